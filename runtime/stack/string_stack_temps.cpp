// Housekeeping helpers of the string stack: optional parameters, colon-separated numbers and
// the ring of temporary BSTRs.
#include <cstring>

#include "runtime/ole/bstr.h"
#include "runtime/stack/string_stack.h"

namespace kes::runtime {
namespace {
// The ring of temporary BSTRs; the remaining ones are freed when the library is unloaded.
struct TemporaryBStrs {
  KesBStr slots[kTemporaryBStrCount] = {};
  int next = 0;  // [0, 64): the slot the next registration takes
  TemporaryBStrs() = default;
  TemporaryBStrs(const TemporaryBStrs&) = delete;
  TemporaryBStrs& operator=(const TemporaryBStrs&) = delete;
  ~TemporaryBStrs() {
    for (KesBStr& slot : slots) {
      runtime::bstr_free(slot);
      slot = nullptr;
    }
  }
};

TemporaryBStrs temporaries;

// Reads one field: blanks, an optional sign, digits; stops at anything else.
std::int32_t read_field(std::string_view field) noexcept {
  std::size_t index = 0;
  while (index < field.size() && field[index] == ' ')
    ++index;
  bool negative = false;
  if (index < field.size() && (field[index] == '-' || field[index] == '+')) {
    negative = field[index++] == '-';
  }
  std::int64_t value = 0;
  while (index < field.size() && field[index] >= '0' && field[index] <= '9') {
    value = value * 10 + (field[index++] - '0');
    if (value > 2147483648LL) value = 2147483648LL;  // clamped, then fitted below
  }
  if (negative) value = -value;
  if (value > INT32_MAX) value = INT32_MAX;
  return static_cast<std::int32_t>(value);
}
}  // namespace

std::int32_t omitted_flag(std::int32_t number, std::int32_t count, std::uint32_t flag) noexcept {
  if (number < 1 || number > count) return 1;
  return static_cast<std::int32_t>(flag & 0xFFu);
}

void pop_colon_numbers(std::int32_t (&numbers)[3]) noexcept {
  char text[100];
  pop_to_cstring(text, sizeof(text));
  std::string_view rest(text, std::strlen(text));
  for (std::int32_t& number : numbers) {
    number = 0;
    if (rest.data() == nullptr) continue;
    const std::size_t colon = rest.find(':');
    number = read_field(rest.substr(0, colon));
    rest = colon == std::string_view::npos ? std::string_view() : rest.substr(colon + 1);
  }
}

void register_temporary_bstr(KesBStr bstr) noexcept {
  if (bstr == nullptr) return;
  KesBStr& slot = temporaries.slots[temporaries.next];
  runtime::bstr_free(slot);
  slot = bstr;
  temporaries.next = (temporaries.next + 1) % kTemporaryBStrCount;
}

void unregister_temporary_bstr(KesBStr bstr) noexcept {
  if (bstr == nullptr) return;
  for (KesBStr& slot : temporaries.slots) {
    if (slot == bstr) slot = nullptr;
  }
}

}  // namespace kes::runtime
