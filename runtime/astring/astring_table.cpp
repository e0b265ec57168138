// The interning table of AStrings: hashing, probing, growth and the nodes' memory.
#include "runtime/astring/astring_table.h"

#include <cstring>
#include <new>

#include "numeric/locale/collation_tables.h"
#include "platform/core/heap.h"
#include "runtime/stack/hash_slot.h"
#include "runtime/stack/string_stack.h"

namespace kes::runtime {
namespace {

constexpr std::size_t kChunkSize = 64 * 1024;
// Nodes larger than this get a heap block of their own instead of a piece of a chunk.
constexpr std::size_t kLargeNode = kChunkSize / 8;
constexpr std::size_t kNodeAlign = alignof(AStringNodeHead);
// Upper-case conversions of texts up to this length need no heap copy.
constexpr std::size_t kUpperBufferSize = 256;

std::uint32_t little_endian32(const char* bytes) noexcept {
  const auto* b = reinterpret_cast<const unsigned char*>(bytes);
  return static_cast<std::uint32_t>(b[0]) | static_cast<std::uint32_t>(b[1]) << 8 |
         static_cast<std::uint32_t>(b[2]) << 16 | static_cast<std::uint32_t>(b[3]) << 24;
}

AStringNodeHead* node_of(const char* astring) noexcept {
  return reinterpret_cast<AStringNodeHead*>(const_cast<char*>(astring) - kAStringTextOffset);
}

const char* text_of(const AStringNodeHead* node) noexcept {
  return reinterpret_cast<const char*>(node) + kAStringTextOffset;
}

std::uint16_t length_of(const AStringNodeHead* node) noexcept {
  std::uint16_t length = 0;
  std::memcpy(&length, reinterpret_cast<const char*>(node) + kAStringLengthOffset, sizeof(length));
  return length;
}

// Never destroyed: AStrings stay valid through the static destructors of the whole program.
union ProcessTable {
  AStringTable table;
  constexpr ProcessTable() noexcept : table() {}
  ~ProcessTable() {}
};
constinit ProcessTable g_process_table;

}  // namespace

std::uint32_t astring_hash(std::string_view text) noexcept {
  const std::size_t n = text.size();
  if (n >= 32) {
    return static_cast<std::uint32_t>(n) ^ little_endian32(text.data()) ^
           little_endian32(text.data() + n - 4);
  }
  auto h = static_cast<std::uint32_t>(n);
  for (const char c : text)
    h = h * 5 + static_cast<unsigned char>(c);
  return h;
}

std::uint32_t astring_length(const char* astring) noexcept {
  return astring == nullptr ? 0 : length_of(node_of(astring));
}

AStringTable::~AStringTable() {
  for (std::size_t i = 0; i < slot_count_; ++i) {
    if (slots_[i] != nullptr) platform::heap_free(slots_[i]->ties);
  }
  platform::heap_free(slots_);
  platform::heap_free(null_ties_);
  while (blocks_ != nullptr) {
    char* previous = nullptr;
    std::memcpy(&previous, blocks_, sizeof(previous));
    platform::heap_free(blocks_);
    blocks_ = previous;
  }
}

std::size_t AStringTable::probe(std::string_view text, std::uint32_t hash) const noexcept {
  // At most five eighths of the slots are used, so an empty slot ends every probe.
  std::size_t index = home_slot(hash, slot_count_);
  for (;;) {
    const AStringNodeHead* node = slots_[index];
    if (node == nullptr) return index;
    if (node->hash == hash && length_of(node) == text.size() &&
        std::memcmp(text_of(node), text.data(), text.size()) == 0) {
      return index;
    }
    if (++index == slot_count_) index = 0;
  }
}

bool AStringTable::grow() noexcept {
  const std::size_t new_count = slots_ == nullptr ? kAStringInitialSlots : 2 * slot_count_ + 1;
  auto** fresh =
      static_cast<AStringNodeHead**>(platform::heap_allocate(new_count * sizeof(AStringNodeHead*)));
  if (fresh == nullptr) return false;
  for (std::size_t i = 0; i < new_count; ++i)
    fresh[i] = nullptr;
  for (std::size_t i = 0; i < slot_count_; ++i) {
    AStringNodeHead* node = slots_[i];
    if (node == nullptr) continue;
    std::size_t index = home_slot(node->hash, new_count);
    while (fresh[index] != nullptr) {
      if (++index == new_count) index = 0;
    }
    fresh[index] = node;
  }
  platform::heap_free(slots_);
  slots_ = fresh;
  slot_count_ = new_count;
  return true;
}

char* AStringTable::allocate_node(std::size_t size) noexcept {
  size = (size + kNodeAlign - 1) / kNodeAlign * kNodeAlign;
  if (size > kLargeNode) {
    auto* block = static_cast<char*>(platform::heap_allocate(kNodeAlign + size));
    if (block == nullptr) return nullptr;
    std::memcpy(block, &blocks_, sizeof(blocks_));
    blocks_ = block;
    return block + kNodeAlign;
  }
  if (chunk_ == nullptr || chunk_size_ - chunk_used_ < size) {
    auto* block = static_cast<char*>(platform::heap_allocate(kChunkSize));
    if (block == nullptr) return nullptr;
    std::memcpy(block, &blocks_, sizeof(blocks_));
    blocks_ = block;
    chunk_ = block;
    chunk_used_ = kNodeAlign;
    chunk_size_ = kChunkSize;
  }
  char* node = chunk_ + chunk_used_;
  chunk_used_ += size;
  return node;
}

const char* AStringTable::intern(std::string_view text) noexcept {
  if (text.size() > kAStringMaxLength) text = text.substr(0, kAStringMaxLength);
  while (!text.empty() && text.back() == ' ')
    text.remove_suffix(1);
  if (text.empty()) return nullptr;
  if (slots_ == nullptr && !grow()) return nullptr;

  const std::uint32_t hash = astring_hash(text);
  std::size_t index = probe(text, hash);
  if (slots_[index] != nullptr) return text_of(slots_[index]);
  if (node_count_ >= (slot_count_ * 5) >> 3) {
    // A table that cannot grow still takes the node: probing only needs one empty slot.
    if (grow()) {
      index = probe(text, hash);
    } else if (node_count_ + 1 >= slot_count_) {
      return nullptr;
    }
  }

  char* memory = allocate_node(kAStringTextOffset + text.size() + 1);
  if (memory == nullptr) return nullptr;
  auto* node = ::new (memory) AStringNodeHead{hash, nullptr, nullptr};
  const auto length = static_cast<std::uint16_t>(text.size());
  std::memcpy(memory + kAStringLengthOffset, &length, sizeof(length));
  std::memcpy(memory + kAStringTextOffset, text.data(), text.size());
  memory[kAStringTextOffset + text.size()] = '\0';
  slots_[index] = node;
  ++node_count_;

  const char* astring = text_of(node);
  if (init_hook_ != nullptr && !in_init_hook_) {
    // The hook may intern texts of its own; nothing of the table is held across the call.
    in_init_hook_ = true;
    init_hook_(astring);
    in_init_hook_ = false;
  }
  return astring;
}

const char* AStringTable::upper(const char* astring) noexcept {
  if (astring == nullptr) return nullptr;
  AStringNodeHead* node = node_of(astring);
  if (node->upper != nullptr) return node->upper;

  const std::size_t length = length_of(node);
  char buffer[kUpperBufferSize];
  char* copy = buffer;
  if (length > sizeof(buffer)) {
    copy = static_cast<char*>(platform::heap_allocate(length));
    if (copy == nullptr) return nullptr;
  }
  for (std::size_t i = 0; i < length; ++i) {
    copy[i] = static_cast<char>(numeric::to_upper_char(static_cast<std::uint8_t>(astring[i])));
  }
  const char* twin = intern(std::string_view(copy, length));
  if (copy != buffer) platform::heap_free(copy);
  if (twin == nullptr) return nullptr;
  node->upper = twin;
  node_of(twin)->upper = twin;
  return twin;
}

AStringTable& astring_table() noexcept { return g_process_table.table; }

const char* intern_astring(std::string_view text) noexcept { return astring_table().intern(text); }

void set_init_astring_hook(InitAStringHook hook) noexcept { astring_table().set_init_hook(hook); }

const char* pop_astring() noexcept {
  StackEntry& entry = entry_from_top(1);
  if (entry.kind == static_cast<std::uint32_t>(EntryKind::AStringRef)) {
    const char* astring = static_cast<const char*>(entry.pointer);
    pop_discard();
    return astring;
  }
  const char* astring = intern_astring(top_text());
  pop_discard();
  return astring;
}

}  // namespace kes::runtime
