// Reading typed text back through compiled pictures into the engine's result text.
#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>
#include <limits>
#include <string_view>
#include <system_error>

#include <kestrel/pic_desc.h>

#include "numeric/dates/date_calendar.h"
#include "numeric/locale/collation_tables.h"
#include "numeric/locale/locale_texts.h"
#include "numeric/pictures/picture_engine.h"
#include "runtime/stack/string_stack.h"

namespace kes::numeric {
namespace {

// The engine's result text: process-wide by nature (read at once by the caller).
char g_result[kPictureResultCapacity];

bool is_digit(char c) noexcept { return c >= '0' && c <= '9'; }

// Appends to the result text; bytes beyond its capacity are dropped.
class Result {
 public:
  Result() noexcept { g_result[0] = '\0'; }
  void append(char c) noexcept {
    if (length_ + 1 < kPictureResultCapacity) {
      g_result[length_++] = c;
      g_result[length_] = '\0';
    }
  }
  void append(std::string_view text) noexcept {
    for (char c : text)
      append(c);
  }
  std::size_t length() const noexcept { return length_; }
  std::string_view view() const noexcept { return {g_result, length_}; }

 private:
  std::size_t length_ = 0;
};

// Keeps only what can form a number: digits, "-" at the start or after an exponent letter,
// "+" after an exponent letter, the first exponent letter and the first point.
void deformat_string(const PicDesc& desc, std::string_view text, Result& out) noexcept {
  const std::size_t n =
      std::min<std::size_t>(text.size(), static_cast<std::size_t>(picture_width(desc)));
  bool seen_exponent = false;
  bool seen_point = false;
  char last = 0;
  for (std::size_t i = 0; i < n; ++i) {
    const char c = text[i];
    const bool after_exponent = last == 'e' || last == 'E';
    bool keep = false;
    if (is_digit(c)) {
      keep = true;
    } else if (c == '-') {
      keep = out.length() == 0 || after_exponent;
    } else if (c == '+') {
      keep = after_exponent;
    } else if ((c == 'e' || c == 'E') && !seen_exponent) {
      keep = seen_exponent = true;
    } else if (c == '.' && !seen_point) {
      keep = seen_point = true;
    }
    if (keep) {
      out.append(c);
      last = c;
    }
  }
}

// What an amount picture (@N) writes besides digits: the decimal character, the grouping
// character, the places and the currency texts before and after the number.
struct AmountLayout {
  char point = 0;  // the decimal character a typed amount uses
  char group = 0;  // the grouping character, 0 when the picture has none
  bool implied = false;
  int places = 0;
  char currency_before[PicDesc::kMaxTokens];
  std::size_t before_length = 0;
  char currency_after[PicDesc::kMaxTokens];
  std::size_t after_length = 0;
};

AmountLayout amount_layout(const PicDesc& desc) noexcept {
  AmountLayout layout;
  const int width = picture_width(desc);
  bool after_point = false;
  bool digits_seen = false;
  for (int i = 0; i < width; ++i) {
    const PicToken t = desc.tokens[i];
    const char arg = static_cast<char>(t.argument);
    switch (t.code) {
      case kTokenPoint:
        layout.point = arg;
        after_point = true;
        break;
      case kTokenImpliedPoint:
        layout.implied = true;
        after_point = true;
        break;
      case kTokenGroup:
        if (layout.group == 0) layout.group = arg;
        break;
      case kTokenCurrency:
        if (digits_seen) {
          layout.currency_after[layout.after_length++] = arg;
        } else {
          layout.currency_before[layout.before_length++] = arg;
        }
        break;
      default:
        if (is_digit_code(t.code)) {
          digits_seen = true;
          if (after_point) ++layout.places;
        }
        break;
    }
  }
  // A picture that shows no point still reads one typed by the user: "." unless that is its
  // grouping character, then ",".
  if (layout.point == 0) layout.point = layout.group == '.' ? ',' : '.';
  return layout;
}

// Amounts are read by what the text shows, wherever it stands in the field, so text typed with
// fewer integer positions than the picture reserves, clipped, or converted from another type
// reads as the value it shows: the digits in the order typed; the point is the last decimal
// character that a digit follows (the one FORMAT writes, also when the grouping character is
// the same); "-" or "(" makes the value negative and "+" positive again; the currency texts
// and every other character are skipped. A blank at a blank-digit position between two digits
// stands for a zero, while blanks after the last digit are only padding. Without a typed point
// an implied point (@N6v2) takes the picture's places from the right, as FORMAT writes them;
// other pictures read a whole number.
void deformat_amount(const PicDesc& desc, std::string_view text, Result& out) noexcept {
  const AmountLayout layout = amount_layout(desc);
  text = text.substr(
      0, std::min<std::size_t>(text.size(), static_cast<std::size_t>(picture_width(desc))));
  // The currency texts are no part of the number, even where they hold a point or a sign.
  const std::string_view before(layout.currency_before, layout.before_length);
  const std::string_view after(layout.currency_after, layout.after_length);
  std::size_t before_at = before.empty() ? std::string_view::npos : text.find(before);
  std::size_t after_at = after.empty() ? std::string_view::npos : text.rfind(after);
  if (before_at == std::string_view::npos) before_at = text.size();
  if (after_at == std::string_view::npos || after_at < before_at + before.size()) {
    after_at = text.size();
  }

  char digits[kPictureResultCapacity];
  std::size_t count = 0;
  constexpr std::size_t kNone = static_cast<std::size_t>(-1);
  std::size_t point_at = kNone;   // digits before the point
  std::size_t candidate = kNone;  // a decimal character that no digit has followed yet
  std::size_t blanks = 0;         // blanks since the last digit that may stand for zeros
  bool negative = false;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (i >= before_at && i < before_at + before.size()) continue;
    if (i >= after_at && i < after_at + after.size()) continue;
    const char c = text[i];
    if (is_digit(c)) {
      for (; blanks > 0 && count < sizeof digits; --blanks)
        digits[count++] = '0';
      blanks = 0;
      if (candidate != kNone) point_at = candidate;
      candidate = kNone;
      if (count < sizeof digits) digits[count++] = c;
    } else if (c == layout.point && (c != ' ' || count > 0)) {
      candidate = count;
      blanks = 0;
    } else if (c == '-' || c == '(') {
      negative = true;
      blanks = 0;
    } else if (c == '+') {
      negative = false;
      blanks = 0;
    } else if (c == ' ') {
      const bool zero_position = desc.tokens[i].code == kTokenBlankDigit;
      if (zero_position && count > 0 && layout.group != ' ') ++blanks;
    } else {
      blanks = 0;
    }
  }
  if (count == 0) return;  // no digit, no number
  if (point_at == kNone && layout.implied) {
    const auto places = static_cast<std::size_t>(layout.places);
    point_at = count > places ? count - places : 0;
    if (count < places) {
      // Fewer digits than places: the missing ones are leading fraction zeros.
      if (negative) out.append('-');
      out.append('.');
      for (std::size_t k = count; k < places; ++k)
        out.append('0');
      out.append(std::string_view(digits, count));
      return;
    }
  }
  if (negative) out.append('-');
  if (point_at == kNone || point_at >= count) {
    out.append(std::string_view(digits, count));
    return;
  }
  out.append(std::string_view(digits, point_at));
  out.append('.');
  out.append(std::string_view(digits + point_at, count - point_at));
}

// Scientific values, patterns and key-in texts: tokens and text walk together.
void deformat_walk(const PicDesc& desc, std::string_view text, Result& out) noexcept {
  const int width = picture_width(desc);
  char point = 0;  // the picture's decimal character, when it shows one
  for (int i = 0; i < width; ++i) {
    if (desc.tokens[i].code == kTokenPoint) point = static_cast<char>(desc.tokens[i].argument);
  }
  char body[kPictureResultCapacity];
  std::size_t length = 0;
  auto append = [&](char c) {
    if (length + 2 < sizeof body) body[length++] = c;  // room for the sign kept
  };
  bool negative = false;
  bool any_digit = false;  // a digit or key-in character has been appended
  bool point_written = false;
  const std::size_t n = std::min<std::size_t>(text.size(), static_cast<std::size_t>(width));
  for (std::size_t i = 0; i < n; ++i) {
    const std::uint8_t code = desc.tokens[i].code;
    const char c = text[i];
    switch (code) {
      case kTokenFillDigit:
      case kTokenBlankDigit:
      case kTokenGroup:
      case kTokenSign:
        if (c == '-' || c == '(') {
          negative = true;
        } else if (c == '+') {
          negative = false;
        } else if (is_digit(c)) {
          append(c);
          any_digit = true;
        } else if (c == ' ' && code == kTokenBlankDigit && any_digit) {
          append('0');  // a blank inside the number stands for a zero
        } else if (c == point && point != 0 && !point_written && code != kTokenSign) {
          // The decimal character typed ahead of its position still ends the integer part.
          append('.');
          point_written = true;
        }
        break;
      case kTokenPoint:
        if (!point_written) append('.');
        point_written = true;
        break;
      case kTokenExponentSign:
        append('e');
        if (c == '-' || c == '+') append(c);
        break;
      case kTokenKeyAlpha:
      case kTokenKeyUpper:
      case kTokenKeyLower:
      case kTokenKeyAny:
        append(c);
        any_digit = true;
        break;
      default: break;  // literals, currency and stops are skipped
    }
  }
  // Without a digit (or a key-in character) there is no number, whatever points were passed.
  if (!any_digit) return;
  if (negative) out.append('-');
  out.append(std::string_view(body, length));
}

// A cursor over typed date and time text.
class TextCursor {
 public:
  explicit TextCursor(std::string_view text) noexcept : text_(text) {}
  void skip_spaces() noexcept {
    while (index_ < text_.size() && text_[index_] == ' ')
      ++index_;
  }
  bool at_end() const noexcept { return index_ >= text_.size(); }
  char peek() const noexcept { return at_end() ? ' ' : text_[index_]; }
  void skip() noexcept { ++index_; }
  // Up to `positions` digits after any spaces; -1 when there is none.
  int digits(int positions) noexcept {
    skip_spaces();
    int value = -1;
    for (int k = 0; k < positions && !at_end() && is_digit(text_[index_]); ++k, ++index_) {
      value = (value < 0 ? 0 : value * 10) + (text_[index_] - '0');
      if (value > 99999999) value = 99999999;
    }
    return value;
  }
  std::string_view rest() const noexcept { return text_.substr(std::min(index_, text_.size())); }

 private:
  std::string_view text_;
  std::size_t index_ = 0;
};

bool is_letter(char c) noexcept {
  const auto b = static_cast<unsigned char>(c);
  return (b >= 'A' && b <= 'Z') || (b >= 'a' && b <= 'z') || b >= 0x80;
}

// The first month whose name starts like the next three characters, ignoring case; 0 for none.
int match_month(std::string_view typed) noexcept {
  char probe[3];
  for (std::size_t k = 0; k < 3; ++k) {
    probe[k] = k < typed.size() ? typed[k] : ' ';
  }
  for (int month = 1; month <= 12; ++month) {
    const std::string_view name = month_name(month);
    bool same = true;
    for (std::size_t k = 0; k < 3 && same; ++k) {
      const auto a = static_cast<std::uint8_t>(probe[k]);
      const auto b = static_cast<std::uint8_t>(k < name.size() ? name[k] : ' ');
      same = to_upper_char(a) == to_upper_char(b);
    }
    if (same) return month;
  }
  return 0;
}

void append_number(Result& out, std::int32_t value) noexcept {
  char text[12];
  const auto r = std::to_chars(text, text + sizeof text, value);
  out.append(std::string_view(text, static_cast<std::size_t>(r.ptr - text)));
}

// Dates and times: each field run collects the digits typed for it (fewer than its positions
// are allowed), separators and literals step over one typed character that is not a digit.
void deformat_fields(const PicDesc& desc, std::string_view text, Result& out) noexcept {
  const int width = picture_width(desc);
  const bool is_date = picture_kind(desc) == PictureKind::Date;
  int month = -1;
  int day = -1;
  int year = -1;
  int hour = -1;
  int minute = -1;
  int second = -1;
  int meridian = 0;  // 1 AM, 2 PM
  TextCursor in(text);
  for (int i = 0; i < width;) {
    const PicToken t = desc.tokens[i];
    int length = 1;
    while (i + length < width && desc.tokens[i + length].code == t.code &&
           t.code != kTokenSeparator && t.code != kTokenLiteral) {
      ++length;
    }
    switch (t.code) {
      case kTokenMonth: month = in.digits(length); break;
      case kTokenDay: day = in.digits(length); break;
      case kTokenYear: year = in.digits(length); break;
      case kTokenHour: hour = in.digits(length); break;
      case kTokenMinute: minute = in.digits(length); break;
      case kTokenSecond: second = in.digits(length); break;
      case kTokenMonthName: {
        in.skip_spaces();
        const int found = match_month(in.rest());
        if (found != 0) month = found;
        while (!in.at_end() && is_letter(in.peek()))
          in.skip();
        break;
      }
      case kTokenAmPm: {
        in.skip_spaces();
        const bool locale_texts = desc.picture_number >= 7;
        const std::string_view am = locale_texts ? regional_settings().am : am_text();
        const std::string_view pm = locale_texts ? regional_settings().pm : pm_text();
        const auto typed = to_upper_char(static_cast<std::uint8_t>(in.peek()));
        if (!pm.empty() && typed == to_upper_char(static_cast<std::uint8_t>(pm[0]))) {
          meridian = 2;
          in.skip();
        } else if (!am.empty() && typed == to_upper_char(static_cast<std::uint8_t>(am[0]))) {
          meridian = 1;
          in.skip();
        }
        // Its second character is the literal that follows.
        if (i + 1 < width && desc.tokens[i + 1].code == kTokenLiteral) {
          if (!in.at_end() && is_letter(in.peek())) in.skip();
          ++i;
        }
        break;
      }
      default:
        if (t.argument == ' ') {
          in.skip_spaces();
        } else {
          in.skip_spaces();
          if (!in.at_end() && !is_digit(in.peek())) in.skip();
        }
        break;
    }
    i += length;
  }
  if (is_date) {
    if (month < 0 && day < 0 && year < 0) return;
    const bool month_year_layout = desc.picture_number >= 13 && desc.picture_number <= 16;
    const int d = day >= 0 ? day : (month_year_layout ? 1 : 0);
    std::int32_t y = year >= 0 ? year : 0;
    if (y < 100) y = expand_two_digit_year(y, desc.century_window);
    append_number(out, serial_from_fields(month >= 0 ? month : 0, d, y));
    return;
  }
  if (hour < 0 && minute < 0 && second < 0) return;
  int h = hour >= 0 ? hour : 0;
  if (meridian == 2 && h != 12) h += 12;
  if (meridian == 1 && h == 12) h = 0;
  const int m = minute >= 0 ? minute : 0;
  const int s = second >= 0 ? second : 0;
  if (h > 255 || m > 255 || s > 255) {
    append_number(out, -1);
    return;
  }
  const TimeRecord time{static_cast<std::uint8_t>(h), static_cast<std::uint8_t>(m),
                        static_cast<std::uint8_t>(s), 0};
  append_number(out, time_from_record(time));
}

}  // namespace

std::string_view deformat_text(const PicDesc& desc, std::string_view text) noexcept {
  Result out;
  if (picture_width(desc) == 0) return out.view();
  switch (picture_kind(desc)) {
    case PictureKind::String: deformat_string(desc, text, out); break;
    case PictureKind::Date:
    case PictureKind::Time: deformat_fields(desc, text, out); break;
    case PictureKind::Numeric: deformat_amount(desc, text, out); break;
    default: deformat_walk(desc, text, out); break;
  }
  return out.view();
}

std::int32_t text_to_long(std::string_view text) noexcept {
  std::size_t i = 0;
  while (i < text.size() && (text[i] == ' ' || text[i] == '\t'))
    ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '-' || text[i] == '+')) negative = text[i++] == '-';
  long long value = 0;
  for (; i < text.size() && is_digit(text[i]); ++i) {
    value = value * 10 + (text[i] - '0');
    if (value > 0x80000000LL) value = 0x80000000LL;  // saturates below
  }
  if (negative) value = -value;
  if (value > std::numeric_limits<std::int32_t>::max())
    return std::numeric_limits<std::int32_t>::max();
  return static_cast<std::int32_t>(value);
}

double text_to_real(std::string_view text) noexcept {
  std::size_t i = 0;
  while (i < text.size() && (text[i] == ' ' || text[i] == '\t'))
    ++i;
  bool negative = false;
  if (i < text.size() && text[i] == '+') ++i;
  const char* begin = text.data() + i;
  const char* end = text.data() + text.size();
  if (begin < end && *begin == '-') {
    negative = true;
    ++begin;
  }
  if (begin == end || !(is_digit(*begin) || *begin == '.')) return 0.0;
  double value = 0.0;
  const auto r = std::from_chars(begin, end, value, std::chars_format::general);
  if (r.ec == std::errc::result_out_of_range) {
    // Too large gives an infinity, too small zero, as the standard conversion does.
    const std::string_view number(begin, static_cast<std::size_t>(end - begin));
    const bool tiny =
        number.find("e-") != std::string_view::npos || number.find("E-") != std::string_view::npos;
    value = tiny ? 0.0 : std::numeric_limits<double>::infinity();
  } else if (r.ec != std::errc()) {
    return 0.0;
  }
  return negative ? -value : value;
}

}  // namespace kes::numeric

namespace nm = kes::numeric;

const char* PicDesc::DeformatPict(const char* text, uint32_t length) const noexcept {
  const std::string_view typed =
      text != nullptr ? std::string_view(text, length) : std::string_view();
  return nm::deformat_text(*this, typed).data();
}

void PicDesc::PushDeformatted(const char* text) const noexcept {
  const std::string_view typed = text != nullptr ? std::string_view(text) : std::string_view();
  kes::runtime::push_text(nm::deformat_text(*this, typed));
}
