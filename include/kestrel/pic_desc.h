// PicDesc: a picture compiled into one token per output character, and the members that
// format values through it and read typed text back.
#pragma once

#include <stddef.h>
#include <stdint.h>

#include <kestrel/abi.h>

class Ufo;

// Token counts of a compiled picture, for the formatter (PicDesc::Count). Positions count tokens
// from 0; -1 means no such token.
struct PicCounts {
  int16_t integer_digits;     // digit positions before the decimal point
  int16_t fraction_digits;    // digit positions after the decimal point
  int16_t date_tokens;        // month, day and year digits
  int16_t time_tokens;        // hour, minute and second digits and the AM/PM marker
  int16_t month_name_tokens;  // month-name letters
  int16_t first_digit;        // index of the first digit position
  int16_t last_digit;         // index of the last digit position
};

// One output position: what it shows (the code) and its argument (a character, or 0).
struct PicToken {
  uint8_t argument;
  uint8_t code;
};

// A compiled picture. Plain data laid out as compiled code expects it; compiled code keeps
// descriptors in its own storage and calls the members directly, by these exact names
// (FormatPict, StoreDec, ...), which cannot change.
class KES_EXPORT PicDesc {
 public:
  // Header bits.
  static constexpr uint16_t kKindMask =
      0x0007;  // bits 0-2: 0 @N, 1 @E, 2 @D, 3 @T, 4 @P, 5 @S, 6 @K
  static constexpr uint16_t kClassMask = 0x0038;  // bits 3-5: 0 @S @K, 1 @D @T, 2 @E, 3 @N @P
  static constexpr int kClassShift = 3;
  static constexpr uint16_t kBlankWhenZero = 0x0040;  // bit 6
  static constexpr uint16_t kWidthMask = 0x7F80;      // bits 7-14: number of output characters
  static constexpr int kWidthShift = 7;
  static constexpr int kMaxTokens = 254;

  uint16_t header;         // kind, class, blank-when-zero and width
  uint16_t reserved;       // always cleared
  uint8_t century_window;  // date pictures: the two-digit-year window
  uint8_t picture_number;  // date and time pictures: the layout number
  PicToken tokens[kMaxTokens];
  const char* source;  // the picture text that was compiled (the caller's bytes)

  // Compiles a zero-terminated picture text; an invalid picture leaves width 0. A null
  // picture compiles as a string picture of width 255.
  void Init(const char* picture) noexcept;
  // Zeroes the whole descriptor.
  void Clear() noexcept;
  // Counts the tokens by class into `counts`.
  void Count(PicCounts& counts) const noexcept;
  // Formats a value given as digit text (zero-terminated, digits only; the first
  // `integer_digits` of them are the integer part) and a sign (non-zero: negative) into the
  // fixed-length destination, which is first filled with spaces. String and key-in pictures
  // copy the text instead.
  void FormatPict(char* destination, uint32_t length, int32_t integer_digits, int32_t sign,
                  const char* digits) const noexcept;
  // Pops the top of the decimal stack and formats it into the destination.
  void StoreDec(char* destination, uint32_t length) const noexcept;
  // Formats a REAL into the destination from the shortest decimal that reads back as the same
  // REAL (at most 17 significant digits), rounded to the picture as a decimal is.
  void StoreReal(char* destination, uint32_t length, double value) const noexcept;
  // Formats a LONG into the destination.
  void StoreLong(char* destination, uint32_t length, int32_t value) const noexcept;
  // Reads `length` bytes of typed text against the picture. Returns the zero-terminated
  // result in the engine's process-wide result buffer (at most 255 bytes), valid until the
  // next call; empty for an invalid picture.
  const char* DeformatPict(const char* text, uint32_t length) const noexcept;
  // Deformats a zero-terminated text (null: the empty text) and pushes the result on the
  // string stack.
  void PushDeformatted(const char* text) const noexcept;
  // A value descriptor seen through this picture, by the picture's class: string pictures
  // PictureUfoS, date and time pictures PictureUfoL, scientific PictureUfoR, numeric and
  // pattern pictures PictureUfoD. Over `address` (the picture's width in bytes), or, with
  // `own` nonzero, over its own blank storage (copied from `address` when it is not null). The
  // descriptor refers to this picture, which must outlive it. Null when memory runs out or the
  // picture is invalid.
  Ufo* GiveUfo(void* address, int own) const noexcept;
};

// The layout compiled code and stored descriptors rely on; on the 32-bit build the source
// pointer lies at offset 516 and the size is 520.
static_assert(sizeof(PicToken) == 2, "token layout");
static_assert(offsetof(PicDesc, header) == 0, "PicDesc layout");
static_assert(offsetof(PicDesc, reserved) == 2, "PicDesc layout");
static_assert(offsetof(PicDesc, century_window) == 4, "PicDesc layout");
static_assert(offsetof(PicDesc, picture_number) == 5, "PicDesc layout");
static_assert(offsetof(PicDesc, tokens) == 6, "PicDesc layout");
static_assert(offsetof(PicDesc, source) == (sizeof(void*) == 8 ? 520 : 516), "PicDesc layout");
static_assert(sizeof(PicDesc) == (sizeof(void*) == 8 ? 528 : 520), "PicDesc layout");
static_assert(sizeof(PicCounts) == 14, "counts layout");
