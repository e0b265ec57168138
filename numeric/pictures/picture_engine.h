// The picture engine's internal interface: token codes, the compiler, the formatter and the
// deformatter behind PicDesc and the picture exports.
//
// State: the deformat result buffer is process-wide by nature (a result is read at once by
// the caller, and only one program thread runs library code at a time); nothing else is kept.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include <kestrel/pic_desc.h>

#include "numeric/decimal/decimal_stack.h"

namespace kes::numeric {

enum class PictureKind : std::uint8_t {
  Numeric = 0,
  Scientific = 1,
  Date = 2,
  Time = 3,
  Pattern = 4,
  String = 5,
  KeyIn = 6,
};

// Token codes.
enum TokenCode : std::uint8_t {
  kTokenLiteral = 0,
  kTokenGroup = 1,
  kTokenPoint = 2,
  kTokenFillDigit = 3,   // shows its argument ("0" or "*") when no digit falls there
  kTokenBlankDigit = 4,  // shows a space when no digit falls there
  kTokenSign = 5,
  kTokenCurrency = 6,
  kTokenMonth = 7,
  kTokenDay = 8,
  kTokenYear = 9,
  kTokenMonthName = 10,
  kTokenHour = 11,
  kTokenMinute = 12,
  kTokenSecond = 13,
  kTokenKeyAlpha = 14,
  kTokenKeyUpper = 15,
  kTokenKeyLower = 16,
  kTokenKeyAny = 17,
  kTokenSeparator = 19,
  kTokenAmPm = 20,
  kTokenExponentSign = 21,
  kTokenImpliedPoint = 22,
  kTokenKeyStop = 23,
};

// Size of the engine's result buffer, terminator included.
inline constexpr std::size_t kPictureResultCapacity = 256;
// Width of the string picture that a missing picture compiles to.
inline constexpr int kMissingPictureWidth = 255;

inline PictureKind picture_kind(const PicDesc& desc) noexcept {
  return static_cast<PictureKind>(desc.header & PicDesc::kKindMask);
}
// The width: for a string picture the text length (up to 255), for every other kind the number
// of tokens, which a descriptor holds at most 254 of. A width byte that claims more (a
// program's own bytes) reads as 254, so no member reads past the token array.
inline int picture_width(const PicDesc& desc) noexcept {
  const int width = (desc.header & PicDesc::kWidthMask) >> PicDesc::kWidthShift;
  const bool string = (desc.header & PicDesc::kKindMask) == static_cast<int>(PictureKind::String);
  return !string && width > PicDesc::kMaxTokens ? PicDesc::kMaxTokens : width;
}
inline bool blank_when_zero(const PicDesc& desc) noexcept {
  return (desc.header & PicDesc::kBlankWhenZero) != 0;
}
// Tokens held: the width, except for string pictures, which have none.
inline int token_count(const PicDesc& desc) noexcept {
  return picture_kind(desc) == PictureKind::String ? 0 : picture_width(desc);
}
inline bool is_digit_code(std::uint8_t code) noexcept {
  return code == kTokenFillDigit || code == kTokenBlankDigit;
}

// Compiles a picture text (zero-terminated; null compiles as a string picture of width 255).
// The whole descriptor is cleared first; a temporary descriptor that nothing reads beyond its
// width may pass `clear_tokens` false to leave the tokens past the width as they were.
void compile_picture(PicDesc& desc, const char* picture, bool clear_tokens = true) noexcept;
// Compiles a string picture of the given width, as "@S" followed by the width would (an
// invalid picture when width is outside 1 to 255).
void compile_string_picture(PicDesc& desc, std::uint32_t width) noexcept;

// Formats a value into `destination`, first filled with spaces. `digits` holds decimal digits
// (other bytes count as "0"), the first `integer_digits` of them the integer part (a negative
// count means leading fraction zeros, a count beyond the text trailing integer zeros). String
// and key-in pictures copy `digits` as text.
void format_digits(const PicDesc& desc, std::span<char> destination, std::string_view digits,
                   int integer_digits, bool negative) noexcept;
// Formats a decimal value (normalised first), a REAL and a LONG. A REAL's digits are the
// shortest decimal that reads back as the same REAL, so a REAL shows as the decimal it was
// written as (string and key-in pictures take its general text of 14 significant digits).
void format_decimal(const PicDesc& desc, std::span<char> destination,
                    const DecimalEntry& value) noexcept;
void format_real(const PicDesc& desc, std::span<char> destination, double value) noexcept;
void format_long(const PicDesc& desc, std::span<char> destination, std::int32_t value) noexcept;

// Reads typed text against the picture into the engine's result buffer and returns it
// (zero-terminated, at most 255 bytes; empty for an invalid picture).
std::string_view deformat_text(const PicDesc& desc, std::string_view text) noexcept;

// The standard text-to-long conversion (leading blanks, a sign, digits; saturating at the
// 32-bit limits) and text-to-double conversion (0.0 when no number) of deformatted text.
std::int32_t text_to_long(std::string_view text) noexcept;
double text_to_real(std::string_view text) noexcept;

// ---- Transfers behind the exports. Each compiles its picture into a temporary descriptor.

// Kes$storepict: compiles into `desc`; 0 invalid, 2 for a string picture, else 2 x width + 2.
std::int32_t store_picture(PicDesc& desc, const char* picture) noexcept;
// The width of a picture text, 0 when invalid.
std::int32_t width_of_picture(const char* picture) noexcept;
// Pushes a value formatted by the picture on the string stack: inline when the width fits an
// entry, else in a heap block the entry owns; the empty string when the picture is invalid or
// the block cannot be allocated. The decimal form consumes the decimal stack's top in every
// case, so compiled code stays balanced.
void push_formatted_long(std::int32_t value, const char* picture) noexcept;
void push_formatted_real(double value, const char* picture) noexcept;
void push_formatted_decimal(const char* picture) noexcept;
// Pops the string stack's top (converted to text), deformatted by the picture, as a LONG or a
// REAL.
std::int32_t pop_deformatted_long(const char* picture) noexcept;
double pop_deformatted_real(const char* picture) noexcept;
// Deformats `text` (null picture: the text passes as a number, up to 255 bytes of it) and
// pushes the result on the decimal stack.
void push_deformatted_to_decimal(std::string_view text, const char* picture) noexcept;
// Deformats the string stack's top through the picture, pops it, and pushes the result (at most
// 99 bytes of it) on the decimal stack.
void move_deformatted_top_to_decimal(const char* picture) noexcept;
// Pops the decimal stack and formats the value into the destination.
void pop_decimal_formatted(std::span<char> destination, const char* picture) noexcept;

// ---- Reading compiled pictures.

// The compiled tokens as a compact text, one word per token separated by spaces: lit, grp, pt,
// dig, sgn, cur, mon, day, yr, hr, min, sec, sep followed by their argument in quotes
// (dig'0'), and blk, mname, alpha, upper, lower, any, ampm, esgn, ipt, stop alone.
std::string describe_tokens(const PicDesc& desc);

}  // namespace kes::numeric
