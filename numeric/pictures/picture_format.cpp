// Formatting values through compiled pictures: numbers, scientific values, dates, times and
// texts. Works in the caller's destination and a few stack buffers; allocates nothing.
#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <string_view>

#include <kestrel/pic_desc.h>

#include "numeric/dates/date_calendar.h"
#include "numeric/locale/collation_tables.h"
#include "numeric/locale/locale_texts.h"
#include "numeric/pictures/picture_engine.h"

namespace kes::numeric {
namespace {

bool is_digit(char c) noexcept { return c >= '0' && c <= '9'; }

// The value as a logical row of digits: `lead` zeros, then the text, then zeros up to the end of
// the integer part. Bytes that are not digits read as "0".
class DigitRow {
 public:
  DigitRow(std::string_view digits, int integer_digits) noexcept : text_(digits) {
    lead_ = integer_digits < 0 ? -static_cast<long long>(integer_digits) : 0;
    integer_ = integer_digits < 0 ? 0 : integer_digits;
    size_ = lead_ + std::max<long long>(static_cast<long long>(digits.size()), integer_);
  }
  char at(long long index) const noexcept {
    const long long k = index - lead_;
    if (k < 0 || k >= static_cast<long long>(text_.size())) return '0';
    return is_digit(text_[static_cast<std::size_t>(k)]) ? text_[static_cast<std::size_t>(k)] : '0';
  }
  long long integer() const noexcept { return integer_; }
  long long size() const noexcept { return size_; }
  // Index of the text's first byte: every digit before it is "0".
  long long text_begin() const noexcept { return lead_; }
  // Index just past the text: every digit from here on is "0".
  long long text_end() const noexcept { return lead_ + static_cast<long long>(text_.size()); }

 private:
  std::string_view text_;
  long long lead_;
  long long integer_;
  long long size_;
};

// Writes into the destination, ignoring positions beyond its end.
class Output {
 public:
  // An empty destination (a null one arrives empty) is never touched.
  explicit Output(std::span<char> destination) noexcept : out_(destination) { blank(); }
  void put(int position, char c) noexcept {
    if (position >= 0 && static_cast<std::size_t>(position) < out_.size()) {
      out_[static_cast<std::size_t>(position)] = c;
    }
  }
  char get(int position) const noexcept {
    return position >= 0 && static_cast<std::size_t>(position) < out_.size()
               ? out_[static_cast<std::size_t>(position)]
               : ' ';
  }
  void blank() noexcept {
    if (!out_.empty()) std::memset(out_.data(), ' ', out_.size());
  }
  // The destination itself when a whole field of `width` fits, else null.
  char* whole_field(int width) noexcept {
    return out_.size() >= static_cast<std::size_t>(width) ? out_.data() : nullptr;
  }
  // Copies a whole field from its first position, cut to the destination.
  void write(const char* field, int width) noexcept {
    const std::size_t n = std::min(out_.size(), static_cast<std::size_t>(width));
    if (n != 0) std::memcpy(out_.data(), field, n);
  }
  // Moves positions [0, end) one to the right and puts `first` at position 0.
  void shift_right(int end, char first) noexcept {
    for (int i = std::min<int>(end, static_cast<int>(out_.size()) - 1); i > 0; --i) {
      put(i, get(i - 1));
    }
    put(0, first);
  }

 private:
  std::span<char> out_;
};

// Largest kept row: every digit position plus a carry into a new digit.
constexpr int kKeptCapacity = PicDesc::kMaxTokens + 2;

void format_number(const PicDesc& desc, Output& out, const DigitRow& row, bool negative) noexcept {
  const int width = picture_width(desc);
  const PicToken* const tokens = desc.tokens;
  int positions = 0;  // integer digit positions
  int places = 0;     // fraction digit positions
  int first_integer = -1;
  {
    bool after_point = false;
    for (int i = 0; i < width; ++i) {
      const std::uint8_t code = tokens[i].code;
      after_point = after_point || code == kTokenPoint || code == kTokenImpliedPoint;
      if (!is_digit_code(code)) continue;
      if (after_point) {
        ++places;
      } else {
        if (first_integer < 0) first_integer = i;
        ++positions;
      }
    }
  }

  // Drop leading zeros while the integer part is longer than the positions.
  long long start = 0;
  while (row.integer() - start > positions && row.at(start) == '0') {
    if (start >= row.text_end()) {
      start = row.integer() - positions;  // only zeros are left
      break;
    }
    ++start;
  }
  long long integer_length = row.integer() - start;
  bool overflow = integer_length > positions;
  // kept[0] is room for a carry into a new leading digit; the value's digits start at `first`.
  char kept[kKeptCapacity];
  int first = 1;
  bool zero = !overflow;
  if (!overflow) {
    const int kept_length = static_cast<int>(integer_length) + places;
    kept[0] = '0';
    for (int j = 0; j < kept_length; ++j) {
      const char c = row.at(start + j);
      kept[1 + j] = c;
      zero = zero && c == '0';
    }
    if (start + kept_length < row.size() && row.at(start + kept_length) >= '5') {
      zero = false;
      int j = kept_length;
      while (j >= 1 && kept[j] == '9')
        kept[j--] = '0';
      if (j >= 1) {
        ++kept[j];
      } else {
        kept[0] = '1';
        first = 0;
        ++integer_length;
        overflow = integer_length > positions;
      }
    }
  }
  if (zero) {
    if (blank_when_zero(desc)) return;
    negative = false;  // a value that rounds to zero shows no sign
  }

  // The field is built in the destination, or in a line of its own when it does not fit there.
  char spare[PicDesc::kMaxTokens];
  char* const direct = out.whole_field(width);
  char* const line = direct != nullptr ? direct : spare;
  // Sign and currency before the digits float when the leading positions are blank.
  const bool floating =
      first_integer < 0 || tokens[first_integer].code == kTokenBlankDigit || positions <= 1;
  int floats[PicDesc::kMaxTokens];
  int float_count = 0;
  int anchor = -1;  // first position that shows a digit, the point or a fraction digit
  int implied_at = -1;
  bool digit_left = false;
  char last_fill = ' ';
  int integer_index = 0;
  // Without overflow the integer digits are kept[first, first + integer_length) and the
  // fraction digits follow them.
  const int empty_positions = overflow ? 0 : positions - static_cast<int>(integer_length);
  int fraction_index = overflow ? 0 : first + static_cast<int>(integer_length);
  bool after_point = false;
  for (int i = 0; i < width; ++i) {
    const PicToken t = tokens[i];
    const char arg = static_cast<char>(t.argument);
    char c = arg;
    switch (t.code) {
      case kTokenCurrency:
        if (floating && integer_index == 0 && !after_point) {
          floats[float_count++] = i;
          c = ' ';
        }
        break;
      case kTokenSign:
        if (floating && integer_index == 0 && !after_point) {
          if (negative) floats[float_count++] = i;
          c = ' ';
        } else if (!negative) {
          c = ' ';
        }
        break;
      case kTokenFillDigit:
      case kTokenBlankDigit:
        if (overflow) {
          c = '#';
          digit_left = true;
        } else if (after_point) {
          c = kept[fraction_index++];
        } else if (integer_index < empty_positions) {
          c = t.code == kTokenFillDigit ? arg : ' ';
          last_fill = c;
        } else {
          c = kept[first + integer_index - empty_positions];
          if (c == '0' && t.code == kTokenBlankDigit && !digit_left) {
            c = ' ';
          } else {
            digit_left = true;
          }
        }
        if (!after_point) ++integer_index;
        if (c != ' ' && anchor < 0) anchor = i;
        break;
      case kTokenGroup:
        // A separator with no digit to its left shows the fill before it: "*" or "0", else a
        // space.
        if (!digit_left) c = last_fill == '*' || last_fill == '0' ? last_fill : ' ';
        break;
      case kTokenPoint:
        after_point = true;
        if (anchor < 0) anchor = i;
        break;
      case kTokenImpliedPoint:
        after_point = true;
        implied_at = i;
        c = ' ';
        if (anchor < 0) anchor = i;  // floats go left of it, then move right with the shift
        break;
      default: break;
    }
    line[i] = c;
  }
  // Floating sign and currency, in picture order, immediately left of the first digit shown.
  if (float_count > 0) {
    int position = (anchor >= 0 ? anchor : width) - 1;
    for (int k = float_count - 1; k >= 0 && position >= 0; --k, --position) {
      line[position] = static_cast<char>(tokens[floats[k]].argument);
    }
  }
  // An implied point takes no character: what stands left of it moves one position right, and
  // the freed first position shows the leading fill.
  if (implied_at > 0) {
    std::memmove(line + 1, line, static_cast<std::size_t>(implied_at));
    const bool filled = tokens[0].code == kTokenFillDigit && !overflow;
    line[0] = filled ? static_cast<char>(tokens[0].argument) : ' ';
  } else if (implied_at == 0) {
    line[0] = ' ';
  }
  if (direct == nullptr) out.write(line, width);
}

void format_scientific(const PicDesc& desc, Output& out, const DigitRow& row,
                       bool negative) noexcept {
  const int width = picture_width(desc);
  int mantissa_digits = 0;
  bool has_sign = false;
  for (int i = 0; i < width && desc.tokens[i].code != kTokenExponentSign; ++i) {
    if (is_digit_code(desc.tokens[i].code)) ++mantissa_digits;
    if (desc.tokens[i].code == kTokenSign) has_sign = true;
  }
  long long first = row.text_begin();  // the lead is all zeros
  while (first < row.text_end() && row.at(first) == '0') {
    ++first;
  }
  if (first >= row.text_end()) first = row.size();  // only zeros are left
  const bool zero = first >= row.size();
  char mantissa[kKeptCapacity];
  long long exponent = 0;
  for (int k = 0; k < mantissa_digits; ++k)
    mantissa[k] = zero ? '0' : row.at(first + k);
  if (!zero) {
    exponent = row.integer() - 1 - first;
    if (row.at(first + mantissa_digits) >= '5') {
      int k = mantissa_digits - 1;
      while (k >= 0 && mantissa[k] == '9')
        mantissa[k--] = '0';
      if (k >= 0) {
        ++mantissa[k];
      } else {
        mantissa[0] = '1';
        ++exponent;
      }
    }
  }
  if (zero) {
    if (blank_when_zero(desc)) return;
    negative = false;
  }
  const bool overflow = exponent > 999 || exponent < -999 || (negative && !has_sign);
  int k = 0;
  bool in_exponent = false;
  long long magnitude = exponent < 0 ? -exponent : exponent;
  char exponent_digits[3] = {static_cast<char>('0' + magnitude / 100 % 10),
                             static_cast<char>('0' + magnitude / 10 % 10),
                             static_cast<char>('0' + magnitude % 10)};
  int e = 0;
  for (int i = 0; i < width; ++i) {
    const PicToken t = desc.tokens[i];
    switch (t.code) {
      case kTokenSign: out.put(i, negative && !overflow ? '-' : ' '); break;
      case kTokenExponentSign:
        in_exponent = true;
        out.put(i, overflow ? '#' : (exponent < 0 ? '-' : '+'));
        break;
      case kTokenFillDigit:
      case kTokenBlankDigit:
        if (overflow) {
          out.put(i, '#');
        } else if (in_exponent) {
          out.put(i, e < 3 ? exponent_digits[e] : '0');
          ++e;
        } else {
          out.put(i, k < mantissa_digits ? mantissa[k] : '0');
          ++k;
        }
        break;
      default: out.put(i, static_cast<char>(t.argument)); break;
    }
  }
}

// The integer part of the digit row as a LONG; false when negative, or too large.
bool row_to_long(const DigitRow& row, bool negative, std::int32_t& value) noexcept {
  long long v = 0;
  const long long written = std::min(row.integer(), row.text_end());
  for (long long i = 0; i < written; ++i) {
    v = v * 10 + (row.at(i) - '0');
    if (v > 0x7FFFFFFF) return false;
  }
  // Integer digits beyond the text are zeros.
  for (long long i = written; i < row.integer() && v != 0; ++i) {
    v *= 10;
    if (v > 0x7FFFFFFF) return false;
  }
  if (negative && v != 0) return false;
  value = static_cast<std::int32_t>(v);
  return true;
}

// Writes `value` into a run of field digits from the right: the last position always shows a
// digit, positions left of the value's first digit show their fill.
void write_run(const PicDesc& desc, Output& out, int start, int length, int value) noexcept {
  for (int k = length - 1; k >= 0; --k) {
    const int i = start + k;
    if (k == length - 1 || value > 0) {
      out.put(i, static_cast<char>('0' + value % 10));
      value /= 10;
    } else {
      out.put(i, static_cast<char>(desc.tokens[i].argument));
    }
  }
}

int run_length(const PicDesc& desc, int start, int width) noexcept {
  int end = start + 1;
  while (end < width && desc.tokens[end].code == desc.tokens[start].code)
    ++end;
  return end - start;
}

void format_date(const PicDesc& desc, Output& out, const DigitRow& row, bool negative) noexcept {
  std::int32_t serial = 0;
  if (!row_to_long(row, negative, serial)) return;
  if (serial == 0 && blank_when_zero(desc)) return;
  DateRecord date{};
  if (!date_from_serial(serial, date)) return;
  const int width = picture_width(desc);
  const bool name_as_stored = desc.picture_number == 4 || desc.picture_number == 18;
  for (int i = 0; i < width;) {
    const PicToken t = desc.tokens[i];
    const int length =
        t.code >= kTokenMonth && t.code <= kTokenMonthName ? run_length(desc, i, width) : 1;
    switch (t.code) {
      case kTokenMonth: write_run(desc, out, i, length, date.month); break;
      case kTokenDay: write_run(desc, out, i, length, date.day); break;
      case kTokenYear:
        write_run(desc, out, i, length, length >= 4 ? date.year % 10000 : date.year % 100);
        break;
      case kTokenMonthName: {
        const std::string_view name = month_name(date.month);
        for (int k = 0; k < length && static_cast<std::size_t>(k) < name.size(); ++k) {
          const auto c = static_cast<std::uint8_t>(name[static_cast<std::size_t>(k)]);
          out.put(i + k, static_cast<char>(name_as_stored ? c : to_upper_char(c)));
        }
        break;
      }
      default: out.put(i, static_cast<char>(t.argument)); break;
    }
    i += length;
  }
}

void format_time(const PicDesc& desc, Output& out, const DigitRow& row, bool negative) noexcept {
  std::int32_t value = 0;
  if (!row_to_long(row, negative, value)) return;
  if (value == 0 && blank_when_zero(desc)) return;
  TimeRecord time{};
  if (!time_to_record(value, time)) return;
  const int width = picture_width(desc);
  bool twelve_hour = false;
  for (int i = 0; i < width; ++i)
    twelve_hour = twelve_hour || desc.tokens[i].code == kTokenAmPm;
  int hour = time.hour;
  const bool pm = hour >= 12;
  if (twelve_hour) {
    if (hour > 12) hour -= 12;
    if (hour == 0) hour = 12;
  }
  const bool locale_texts = desc.picture_number >= 7;
  const std::string_view marker = locale_texts
                                      ? (pm ? regional_settings().pm : regional_settings().am)
                                      : (pm ? pm_text() : am_text());
  for (int i = 0; i < width;) {
    const PicToken t = desc.tokens[i];
    const int length =
        t.code >= kTokenHour && t.code <= kTokenSecond ? run_length(desc, i, width) : 1;
    switch (t.code) {
      case kTokenHour: write_run(desc, out, i, length, hour); break;
      case kTokenMinute: write_run(desc, out, i, length, time.minute); break;
      case kTokenSecond: write_run(desc, out, i, length, time.second); break;
      case kTokenAmPm:
        out.put(i, marker.empty() ? ' ' : marker[0]);
        // The literal after the marker shows the text's second character.
        if (i + 1 < width && desc.tokens[i + 1].code == kTokenLiteral) {
          out.put(i + 1, marker.size() > 1 ? marker[1] : ' ');
          ++i;
        }
        break;
      default: out.put(i, static_cast<char>(t.argument)); break;
    }
    i += length;
  }
}

void copy_text(const PicDesc& desc, Output& out, std::string_view text) noexcept {
  const auto n = std::min<std::size_t>(text.size(), static_cast<std::size_t>(picture_width(desc)));
  for (std::size_t i = 0; i < n; ++i)
    out.put(static_cast<int>(i), text[i]);
}

// The digits of a REAL: the shortest decimal that reads back as the same REAL (at most 17
// significant digits), so no digit the REAL holds is lost and a value written as a decimal
// shows as that decimal does: 2.675 rounds to 2.68 through @N4.2 as the decimal 2.675 does.
// Returns the digit count and sets the number of integer digits (negative for leading
// fraction zeros); a zero REAL gives the single digit "0".
constexpr std::size_t kRealDigitCapacity = 32;
std::size_t real_digits(double magnitude, char (&digits)[kRealDigitCapacity],
                        int& integer_digits) noexcept {
  char text[kRealDigitCapacity];
  const auto result =
      std::to_chars(text, text + sizeof text, magnitude, std::chars_format::scientific);
  const char* cursor = text;
  std::size_t count = 0;
  for (; cursor < result.ptr && *cursor != 'e'; ++cursor) {
    if (is_digit(*cursor)) digits[count++] = *cursor;
  }
  int exponent = 0;
  if (cursor < result.ptr) ++cursor;  // the "e"
  const bool exponent_negative = cursor < result.ptr && *cursor == '-';
  if (cursor < result.ptr && (*cursor == '-' || *cursor == '+')) ++cursor;
  for (; cursor < result.ptr; ++cursor)
    exponent = exponent * 10 + (*cursor - '0');
  integer_digits = (exponent_negative ? -exponent : exponent) + 1;
  return count;
}

}  // namespace

void format_digits(const PicDesc& desc, std::span<char> destination, std::string_view digits,
                   int integer_digits, bool negative) noexcept {
  Output out(destination);
  if (picture_width(desc) == 0) return;
  const DigitRow row(digits, integer_digits);
  switch (picture_kind(desc)) {
    case PictureKind::Numeric:
    case PictureKind::Pattern: format_number(desc, out, row, negative); break;
    case PictureKind::Scientific: format_scientific(desc, out, row, negative); break;
    case PictureKind::Date: format_date(desc, out, row, negative); break;
    case PictureKind::Time: format_time(desc, out, row, negative); break;
    case PictureKind::String:
    case PictureKind::KeyIn: copy_text(desc, out, digits); break;
  }
}

void format_decimal(const PicDesc& desc, std::span<char> destination,
                    const DecimalEntry& value) noexcept {
  const PictureKind kind = picture_kind(desc);
  if (kind == PictureKind::String || kind == PictureKind::KeyIn) {
    // A number stored through a string picture keeps its text, sign and point included.
    DecimalEntry normal = value;
    decimal_normalise(normal);
    char text[kDecimalTextCapacity];
    const std::size_t n = decimal_to_text(normal, std::span<char, kDecimalTextCapacity>(text));
    format_digits(desc, destination, std::string_view(text, n), 0, false);
    return;
  }
  // The normal form's outermost digits: only digits[low..high] belong to the value.
  int top = std::min<int>(value.high, kDecimalPositions - 1);
  int bottom = value.low;
  while (top > bottom && value.digits[top] % 10 == 0)
    --top;
  while (bottom < top && value.digits[bottom] % 10 == 0)
    ++bottom;
  const bool zero = bottom > top || value.digits[top] % 10 == 0;
  if (zero) {
    format_digits(desc, destination, "0", 1, false);
    return;
  }
  // Digits from the highest down to the lowest, widened to include the units position.
  const int high = std::max(top, kUnitsPosition);
  const int low = std::min(bottom, kUnitsPosition);
  char digits[kDecimalPositions];
  int n = 0;
  for (int p = high; p >= low; --p) {
    const bool live = p >= bottom && p <= top;
    digits[n++] = static_cast<char>('0' + (live ? value.digits[p] % 10 : 0));
  }
  format_digits(desc, destination, std::string_view(digits, static_cast<std::size_t>(n)),
                high - kUnitsPosition + 1, value.sign != 0);
}

void format_real(const PicDesc& desc, std::span<char> destination, double value) noexcept {
  const PictureKind kind = picture_kind(desc);
  const bool negative = std::signbit(value);
  if (kind == PictureKind::String || kind == PictureKind::KeyIn) {
    // A REAL stored through a string picture keeps its general text (14 significant digits).
    char text[32];
    const auto result =
        std::to_chars(text, text + sizeof text, value, std::chars_format::general, 14);
    format_digits(desc, destination,
                  std::string_view(text, static_cast<std::size_t>(result.ptr - text)), 0, false);
    return;
  }
  if (!std::isfinite(value)) {
    // No digits can show an infinity or a NaN: the field overflows.
    format_digits(desc, destination, "1", 1000, negative && !std::isnan(value));
    return;
  }
  char digits[kRealDigitCapacity];
  int integer_digits = 0;
  const std::size_t count = real_digits(std::fabs(value), digits, integer_digits);
  format_digits(desc, destination, std::string_view(digits, count), integer_digits, negative);
}

void format_long(const PicDesc& desc, std::span<char> destination, std::int32_t value) noexcept {
  const PictureKind kind = picture_kind(desc);
  char text[12];
  const auto result = std::to_chars(text, text + sizeof text, value);
  const std::string_view full(text, static_cast<std::size_t>(result.ptr - text));
  if (kind == PictureKind::String || kind == PictureKind::KeyIn) {
    format_digits(desc, destination, full, 0, false);
    return;
  }
  std::string_view digits = value < 0 ? full.substr(1) : full;
  if (value == 0) digits = {};
  format_digits(desc, destination, digits, static_cast<int>(digits.size()), value < 0);
}

}  // namespace kes::numeric

namespace nm = kes::numeric;

void PicDesc::FormatPict(char* destination, uint32_t length, int32_t integer_digits, int32_t sign,
                         const char* digits) const noexcept {
  if (destination == nullptr) return;
  const std::string_view text = digits != nullptr ? std::string_view(digits) : std::string_view();
  nm::format_digits(*this, std::span<char>(destination, length), text, integer_digits, sign != 0);
}

void PicDesc::StoreDec(char* destination, uint32_t length) const noexcept {
  const nm::DecimalEntry value = nm::decimal_pop();
  if (destination == nullptr) return;
  nm::format_decimal(*this, std::span<char>(destination, length), value);
}

void PicDesc::StoreReal(char* destination, uint32_t length, double value) const noexcept {
  if (destination == nullptr) return;
  nm::format_real(*this, std::span<char>(destination, length), value);
}

void PicDesc::StoreLong(char* destination, uint32_t length, int32_t value) const noexcept {
  if (destination == nullptr) return;
  nm::format_long(*this, std::span<char>(destination, length), value);
}
