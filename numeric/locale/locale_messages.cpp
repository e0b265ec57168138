// The message override table, kept in platform heap blocks.
#include <cstring>

#include "files/errors/error_messages.h"
#include "numeric/locale/locale_state.h"
#include "platform/core/heap.h"

namespace kes::numeric {

MessageTable::~MessageTable() { clear(); }

bool MessageTable::set(std::int32_t number, std::string_view text) noexcept {
  // The error messages read overrides only once there can be one.
  files::set_message_override_lookup(&message_override);
  // Kept terminated as well, for callers that want a C string.
  char* copy = static_cast<char*>(kes::platform::heap_allocate(text.size() + 1));
  if (copy == nullptr) {
    return false;
  }
  if (!text.empty()) {
    std::memcpy(copy, text.data(), text.size());
  }
  copy[text.size()] = '\0';
  for (std::size_t i = 0; i < count_; ++i) {
    if (entries_[i].number == number) {
      kes::platform::heap_free(entries_[i].text);
      entries_[i].text = copy;
      entries_[i].length = static_cast<std::uint32_t>(text.size());
      return true;
    }
  }
  if (count_ == capacity_) {
    const std::size_t grown = capacity_ == 0 ? 16 : capacity_ * 2;
    void* block = kes::platform::heap_reallocate(entries_, grown * sizeof(Entry));
    if (block == nullptr) {
      kes::platform::heap_free(copy);
      return false;
    }
    entries_ = static_cast<Entry*>(block);
    capacity_ = grown;
  }
  entries_[count_] = Entry{number, static_cast<std::uint32_t>(text.size()), copy};
  ++count_;
  return true;
}

std::optional<std::string_view> MessageTable::find(std::int32_t number) const noexcept {
  for (std::size_t i = 0; i < count_; ++i) {
    if (entries_[i].number == number) {
      return std::string_view(entries_[i].text, entries_[i].length);
    }
  }
  return std::nullopt;
}

void MessageTable::clear() noexcept {
  for (std::size_t i = 0; i < count_; ++i) {
    kes::platform::heap_free(entries_[i].text);
  }
  kes::platform::heap_free(entries_);
  entries_ = nullptr;
  count_ = 0;
  capacity_ = 0;
}

}  // namespace kes::numeric
