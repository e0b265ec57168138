// AGE's text: days below 61, months up to 24, years beyond.
#include "numeric/dates/age.h"

#include <algorithm>
#include <charconv>
#include <cstring>
#include <string_view>

#include "numeric/dates/date_calendar.h"
#include "platform/core/heap.h"
#include "runtime/stack/string_stack.h"

namespace kes::numeric {
namespace {

constexpr std::int32_t kDaysShownAsDays = 61;
constexpr std::int32_t kMonthsShownAsMonths = 24;

std::size_t impossible_age(std::span<char, kAgeTextCapacity> text) noexcept {
  std::fill(text.begin(), text.end(), '*');
  return text.size();
}

std::size_t number_and_unit(std::int32_t count, std::string_view unit,
                            std::span<char, kAgeTextCapacity> text) noexcept {
  // At most 10 digits and a 5-byte unit: well inside the buffer.
  const std::to_chars_result written = std::to_chars(text.data(), text.data() + 16, count);
  const auto digits = static_cast<std::size_t>(written.ptr - text.data());
  std::memcpy(written.ptr, unit.data(), unit.size());
  return digits + unit.size();
}

}  // namespace

std::size_t age_text(std::int32_t birth, std::int32_t base,
                     std::span<char, kAgeTextCapacity> text) noexcept {
  DateRecord born{};
  DateRecord on{};
  if (!date_from_serial(birth, born) || !date_from_serial(base, on)) return impossible_age(text);
  std::int32_t birth_serial = birth;
  if (birth_serial > base) {
    // A birth date "after" the base is taken as the same day a century earlier (a two-digit year
    // read into the wrong century).
    born.year -= 100;
    birth_serial = serial_from_date(born);  // the year is at least 1701: no expansion
    if (birth_serial < 0 || birth_serial > base) return impossible_age(text);
  }
  const std::int32_t days = base - birth_serial;
  if (days < kDaysShownAsDays) return number_and_unit(days, " DAYS", text);
  const std::int32_t months =
      12 * (on.year - born.year) + (on.month - born.month) - (on.day < born.day ? 1 : 0);
  if (months <= kMonthsShownAsMonths) return number_and_unit(months, " MOS", text);
  const bool before_birthday =
      on.month < born.month || (on.month == born.month && on.day < born.day);
  return number_and_unit(on.year - born.year - (before_birthday ? 1 : 0), " YRS", text);
}

void push_age(std::int32_t birth, std::int32_t base) noexcept {
  if (base == -1) base = today_serial();
  char buffer[kAgeTextCapacity];
  const std::size_t length = age_text(birth, base, buffer);
  // The stack takes over the block; a null block (heap exhausted) pushes the empty string.
  auto* block = static_cast<char*>(platform::heap_allocate(length));
  if (block != nullptr) std::memcpy(block, buffer, length);
  runtime::push_owned(block, block != nullptr ? static_cast<std::uint32_t>(length) : 0);
}

}  // namespace kes::numeric
