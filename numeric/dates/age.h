// AGE: the time between two serial dates as a short text in days, months or years.
//
// State: none.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

namespace kes::numeric {

// The longest AGE text: the 255 '*' characters that report an impossible age.
inline constexpr std::size_t kAgeTextCapacity = 255;

// Writes the age at `base` of someone born on `birth` into `text` and returns its length:
//   - 255 '*' when either serial lies outside 4 to 2994626, or when the birth is after the base
//     even taken 100 years earlier (or that earlier date does not exist, as 29 February 1900);
//   - "<n> DAYS" when the base is less than 61 days after the birth;
//   - "<n> MOS", the whole months between them, when that is 24 or fewer;
//   - "<n> YRS", the whole years between them, otherwise.
std::size_t age_text(std::int32_t birth, std::int32_t base,
                     std::span<char, kAgeTextCapacity> text) noexcept;

// AGE(birth, base): pushes age_text as a new heap string owned by the string stack; a base of -1
// means today. If the heap is exhausted the empty string is pushed.
void push_age(std::int32_t birth, std::int32_t base) noexcept;

}  // namespace kes::numeric
