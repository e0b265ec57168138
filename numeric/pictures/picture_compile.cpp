// Compiling picture texts into PicDesc tokens, and the descriptor's own small members.
#include <cstddef>
#include <cstring>
#include <string_view>

#include <kestrel/pic_desc.h>

#include "numeric/dates/date_calendar.h"
#include "numeric/locale/locale_texts.h"
#include "numeric/pictures/picture_engine.h"

namespace kes::numeric {
namespace {

constexpr std::size_t kMaxPictureLength = 254;

bool is_digit(int c) noexcept { return c >= '0' && c <= '9'; }

// Reads the picture text from its terminator-bounded bytes without reading past the byte that
// shows it is too long.
std::size_t bounded_length(const char* text) noexcept {
  std::size_t n = 0;
  while (n <= kMaxPictureLength && text[n] != '\0')
    ++n;
  return n;
}

// A cursor over the work text.
class Cursor {
 public:
  explicit Cursor(std::string_view text) noexcept : text_(text) {}
  int peek(std::size_t ahead = 0) const noexcept {
    return index_ + ahead < text_.size() ? static_cast<unsigned char>(text_[index_ + ahead]) : -1;
  }
  void skip(std::size_t n = 1) noexcept { index_ += n; }
  bool at_end() const noexcept { return index_ >= text_.size(); }
  std::size_t index() const noexcept { return index_; }
  std::string_view text() const noexcept { return text_; }
  // Reads a run of decimal digits; false when there is none. The value saturates at 1000, which
  // every caller rejects.
  bool number(int& value) noexcept {
    if (!is_digit(peek())) return false;
    value = 0;
    while (is_digit(peek())) {
      if (value < 1000) value = value * 10 + (peek() - '0');
      skip();
    }
    return true;
  }
  // An optional currency: "$" or a text between "~" and "~" (at least one character). False
  // when a "~" text is empty or has no end.
  bool currency(std::string_view& out) noexcept {
    if (peek() == '$') {
      out = text_.substr(index_, 1);
      skip();
      return true;
    }
    if (peek() != '~') return true;
    const std::size_t end = text_.find('~', index_ + 1);
    if (end == std::string_view::npos || end == index_ + 1) return false;
    out = text_.substr(index_ + 1, end - index_ - 1);
    index_ = end + 1;
    return true;
  }

 private:
  std::string_view text_;
  std::size_t index_ = 0;
};

// Appends tokens left to right, refusing more than the descriptor holds.
class TokenWriter {
 public:
  explicit TokenWriter(PicDesc& desc) noexcept : desc_(desc) {}
  bool add(std::uint8_t code, std::uint8_t argument) noexcept {
    if (count_ >= PicDesc::kMaxTokens) {
      overflowed_ = true;
      return false;
    }
    desc_.tokens[count_] = PicToken{argument, code};
    ++count_;
    return true;
  }
  void drop_last() noexcept {
    if (count_ > 0) --count_;
  }
  int count() const noexcept { return count_; }
  bool overflowed() const noexcept { return overflowed_; }
  std::uint8_t last_code() const noexcept {
    return count_ > 0 ? desc_.tokens[count_ - 1].code : 255;
  }

 private:
  PicDesc& desc_;
  int count_ = 0;
  bool overflowed_ = false;
};

std::uint8_t byte(char c) noexcept { return static_cast<std::uint8_t>(c); }

// Maps a written grouping or decimal character: "_" is a space, the grave accent a comma.
char mapped_symbol(int c) noexcept {
  if (c == '_') return ' ';
  if (c == '`') return ',';
  return static_cast<char>(c);
}

bool is_number_symbol(int c) noexcept {
  return c == '.' || c == '`' || c == '_' || c == 'v' || c == 'V';
}

void set_header(PicDesc& desc, PictureKind kind, int width, bool blank_zero) noexcept {
  static constexpr std::uint16_t kClassOfKind[] = {3, 2, 1, 1, 3, 0, 0};
  const auto k = static_cast<unsigned>(kind);
  const unsigned klass = kClassOfKind[k];
  const unsigned flag = blank_zero ? PicDesc::kBlankWhenZero : 0u;
  const auto w = static_cast<unsigned>(width);
  desc.header = static_cast<std::uint16_t>(k | klass << PicDesc::kClassShift | flag |
                                           w << PicDesc::kWidthShift);
}

// @N: [currency][sign][fill]width[grouping][decimal places][sign][currency]. Returns the width,
// 0 when invalid.
int compile_numeric(PicDesc& desc, std::string_view text) noexcept {
  Cursor in(text);
  std::string_view currency_before;
  std::string_view currency_after;
  if (!in.currency(currency_before)) return 0;
  char sign_before = 0;
  if (in.peek() == '-' || in.peek() == '(') {
    sign_before = static_cast<char>(in.peek());
    in.skip();
  }
  char fill = 0;
  if (in.peek() == '0' || in.peek() == '_' || in.peek() == '*') {
    fill = static_cast<char>(in.peek());
    in.skip();
  }
  int width = 0;
  if (!in.number(width) || width < 1 || width > PicDesc::kMaxTokens) return 0;
  int grouping = 0;  // the written grouping symbol, 0 when none
  int decimal = 0;   // the written decimal indicator, 0 when none
  int places = 0;
  if (is_number_symbol(in.peek())) {
    if (is_number_symbol(in.peek(1))) {
      grouping = in.peek();
      decimal = in.peek(1);
      in.skip(2);
      if (is_digit(in.peek()) && !in.number(places)) return 0;
    } else if (is_digit(in.peek(1))) {
      decimal = in.peek();
      in.skip();
      in.number(places);
    } else {
      // One symbol before the end (or before a sign or currency) is the grouping symbol.
      grouping = in.peek();
      in.skip();
    }
  }
  if (places > PicDesc::kMaxTokens) return 0;
  char sign_after = 0;
  if (in.peek() == '-' && sign_before == 0) {
    sign_after = '-';
    in.skip();
  } else if (in.peek() == ')' && sign_before == '(') {
    sign_after = ')';
    in.skip();
  }
  if (sign_before == '(' && sign_after != ')') return 0;
  if (currency_before.empty() && !in.currency(currency_after)) return 0;
  if (!in.at_end()) return 0;

  const bool implied = decimal == 'v' || decimal == 'V';
  const int point = places > 0 ? 1 : 0;
  const int signs = (sign_before != 0 ? 1 : 0) + (sign_after != 0 ? 1 : 0);
  const int fixed =
      static_cast<int>(currency_before.size() + currency_after.size()) + signs + point + places;
  if (fixed > width) return 0;

  const bool grouped = grouping != 0 || fill == 0;
  const char group_char = grouping != 0 ? mapped_symbol(grouping) : (decimal == '`' ? '.' : ',');
  PicToken* t = desc.tokens;
  int pos = width - 1;
  for (std::size_t i = currency_after.size(); i > 0; --i) {
    t[pos--] = PicToken{byte(currency_after[i - 1]), kTokenCurrency};
  }
  if (sign_after != 0) t[pos--] = PicToken{byte(sign_after), kTokenSign};
  for (int i = 0; i < places; ++i)
    t[pos--] = PicToken{'0', kTokenFillDigit};
  if (point != 0) {
    t[pos--] = implied ? PicToken{0, kTokenImpliedPoint}
                       : PicToken{byte(mapped_symbol(decimal)), kTokenPoint};
  }
  int left = 0;
  for (char c : currency_before)
    t[left++] = PicToken{byte(c), kTokenCurrency};
  if (sign_before != 0) t[left++] = PicToken{byte(sign_before), kTokenSign};
  if (pos >= left) t[pos--] = PicToken{'0', kTokenFillDigit};  // the units digit
  const PicToken digit = fill == '0' || fill == '*' ? PicToken{byte(fill), kTokenFillDigit}
                                                    : PicToken{' ', kTokenBlankDigit};
  int run = 1;  // digits since the last grouping token
  for (; pos >= left; --pos) {
    if (grouped && run == 3) {
      t[pos] = PicToken{byte(group_char), kTokenGroup};
      run = 0;
    } else {
      t[pos] = digit;
      ++run;
    }
  }
  return width;
}

// @E: width[grouping]decimal digits. The field: blanks, a sign position, the units digit, the
// point, the digits with a separator after every three, then "E", the exponent sign and three
// exponent digits.
int compile_scientific(PicDesc& desc, std::string_view text) noexcept {
  Cursor in(text);
  int width = 0;
  if (!in.number(width) || width < 7 || width > PicDesc::kMaxTokens) return 0;
  auto is_symbol = [](int c) { return c == '.' || c == '`' || c == '_'; };
  int grouping = 0;
  int decimal = '.';
  if (is_symbol(in.peek()) && is_symbol(in.peek(1))) {
    grouping = in.peek();
    decimal = in.peek(1);
    in.skip(2);
  } else if (is_symbol(in.peek())) {
    decimal = in.peek();
    in.skip();
  }
  int digits = 0;
  if (is_digit(in.peek())) in.number(digits);
  if (!in.at_end() || digits > PicDesc::kMaxTokens) return 0;
  const int separators = digits > 3 ? (digits - 1) / 3 : 0;
  const int used = digits + separators + 7;
  if (used > width) return 0;
  const char group_char = grouping != 0 ? mapped_symbol(grouping) : (decimal == '`' ? '.' : ',');
  TokenWriter out(desc);
  const int lead = width - used;
  for (int i = 0; i + 1 < lead; ++i)
    out.add(kTokenLiteral, ' ');
  if (lead > 0) out.add(kTokenSign, '-');
  out.add(kTokenFillDigit, '0');
  out.add(kTokenPoint, byte(mapped_symbol(decimal)));
  for (int i = 1; i <= digits; ++i) {
    out.add(kTokenFillDigit, '0');
    if (i % 3 == 0 && i < digits) out.add(kTokenGroup, byte(group_char));
  }
  out.add(kTokenLiteral, 'E');
  out.add(kTokenExponentSign, 0);
  for (int i = 0; i < 3; ++i)
    out.add(kTokenFillDigit, '0');
  return out.count();
}

// Emits a date or time layout. Letters: M/m month, D/d day, y year, N month-name letter,
// H/h hour, n minute, s second (upper case: a blank for a leading zero; lower case: "0"),
// P the AM/PM marker and its literal "M"; "/" a separator token with `separator`, "," a comma
// separator, "_" a space separator, anything else a literal.
void emit_layout(TokenWriter& out, std::string_view layout, char separator) noexcept {
  for (char c : layout) {
    switch (c) {
      case 'M': out.add(kTokenMonth, ' '); break;
      case 'm': out.add(kTokenMonth, '0'); break;
      case 'D': out.add(kTokenDay, ' '); break;
      case 'd': out.add(kTokenDay, '0'); break;
      case 'y': out.add(kTokenYear, '0'); break;
      case 'N': out.add(kTokenMonthName, 0); break;
      case 'H': out.add(kTokenHour, ' '); break;
      case 'h': out.add(kTokenHour, '0'); break;
      case 'n': out.add(kTokenMinute, '0'); break;
      case 's': out.add(kTokenSecond, '0'); break;
      case 'P':
        out.add(kTokenAmPm, 0);
        out.add(kTokenLiteral, 'M');
        break;
      case '/': out.add(kTokenSeparator, byte(separator)); break;
      case ',': out.add(kTokenSeparator, ','); break;
      case '_': out.add(kTokenSeparator, ' '); break;
      default: out.add(kTokenLiteral, byte(c)); break;
    }
  }
}

// The locale short date layout: order, digit fills, year length and separator from the
// platform's short date format.
void emit_short_date_layout(TokenWriter& out, std::string_view format) noexcept {
  const bool day_zero = format.find("dd") != std::string_view::npos;
  const bool month_zero = format.find("MM") != std::string_view::npos;
  const bool long_year = format.find("yyy") != std::string_view::npos;
  char separator = '/';
  const std::size_t last_month = format.rfind('M');
  if (last_month != std::string_view::npos && last_month + 1 < format.size()) {
    separator = format[last_month + 1];
  }
  const std::string_view day = day_zero ? "dd" : "Dd";
  const std::string_view month = month_zero ? "mm" : "Mm";
  const std::string_view year = long_year ? "yyyy" : "yy";
  // Month, day, year; day, month, year when the format starts with the day; year, month, day
  // when it starts with the year.
  std::string_view order[3] = {month, day, year};
  if (!format.empty() && format[0] == 'd') {
    order[0] = day;
    order[1] = month;
  } else if (!format.empty() && format[0] == 'y') {
    order[0] = year;
    order[1] = month;
    order[2] = day;
  }
  emit_layout(out, order[0], separator);
  emit_layout(out, "/", separator);
  emit_layout(out, order[1], separator);
  emit_layout(out, "/", separator);
  emit_layout(out, order[2], separator);
}

// The locale long date layout, from the platform's long date format: "d" and "dd" a two-digit
// day, "M" and "MM" a two-digit month, "MMM" three month-name letters, "MMMM" twelve, "y" and
// "yy" two year digits, three or more four; quoted text and other characters are literals. The
// weekday ("ddd", "dddd") and the era ("g") have no positions: a weekday is dropped with the
// literal text between it and the next field (or, at the end, the text before it).
void emit_long_date_layout(TokenWriter& out, std::string_view format) noexcept {
  bool dropping = false;  // literals after a dropped weekday
  std::size_t i = 0;
  while (i < format.size()) {
    const char c = format[i];
    std::size_t run = 1;
    while (i + run < format.size() && format[i + run] == c &&
           (c == 'd' || c == 'M' || c == 'y' || c == 'g')) {
      ++run;
    }
    if (c == '\'') {
      std::size_t end = i + 1;
      while (end < format.size() && format[end] != '\'')
        ++end;
      if (end == i + 1 && end < format.size()) {
        if (!dropping) out.add(kTokenLiteral, '\'');  // '' is a quote
      } else if (!dropping) {
        for (std::size_t k = i + 1; k < end; ++k)
          out.add(kTokenLiteral, byte(format[k]));
      }
      i = end + 1;
      continue;
    }
    if (c == 'd' || c == 'M' || c == 'y') {
      if (c == 'd' && run >= 3) {
        dropping = true;
      } else {
        dropping = false;
        if (c == 'd') emit_layout(out, run == 1 ? "Dd" : "dd", '/');
        if (c == 'M' && run <= 2) emit_layout(out, run == 1 ? "Mm" : "mm", '/');
        if (c == 'M' && run == 3) emit_layout(out, "NNN", '/');
        if (c == 'M' && run >= 4) emit_layout(out, "NNNNNNNNNNNN", '/');
        if (c == 'y') emit_layout(out, run <= 2 ? "yy" : "yyyy", '/');
      }
    } else if (c != 'g' && !dropping) {
      out.add(kTokenLiteral, byte(c));
    }
    i += run;
  }
  // A weekday at the end takes the literal text before it along.
  if (dropping) {
    while (out.count() > 0 && out.last_code() == kTokenLiteral)
      out.drop_last();
  }
}

char separator_of(int c) noexcept {
  switch (c) {
    case '.': return '.';
    case '-': return '-';
    case '_': return ' ';
    case '`': return ',';
    default: return 0;
  }
}

// Replaces the arguments of digit tokens of the given codes with a fill, and of separator
// tokens with a separator.
void apply_fill_and_separator(PicDesc& desc, int count, char fill, char separator) noexcept {
  for (int i = 0; i < count; ++i) {
    PicToken& t = desc.tokens[i];
    const bool field_digit = (t.code >= kTokenMonth && t.code <= kTokenYear) ||
                             (t.code >= kTokenHour && t.code <= kTokenSecond);
    if (fill != 0 && field_digit) t.argument = byte(fill == '_' ? ' ' : fill);
    if (separator != 0 && t.code == kTokenSeparator) t.argument = byte(separator);
  }
}

bool take_fill(Cursor& in, char& fill) noexcept {
  const int c = in.peek();
  if (c == '_' || c == '*' || (c == '0' && is_digit(in.peek(1)))) {
    fill = static_cast<char>(c);
    in.skip();
  }
  return true;
}

// @D: [fill]layout[< or >[n]][separator].
int compile_date(PicDesc& desc, std::string_view text) noexcept {
  Cursor in(text);
  char fill = 0;
  take_fill(in, fill);
  int layout = 0;
  if (!in.number(layout) || layout < 1 || layout > 18) return 0;
  int window = kDefaultCenturyWindow;
  if (in.peek() == '<' || in.peek() == '>') {
    const bool later = in.peek() == '>';
    in.skip();
    int n = 0;
    if (is_digit(in.peek())) in.number(n);
    if (n > 99) return 0;
    window = later ? (n == 0 ? 19 : 99 - n) : (n == 0 ? 80 : n);
  }
  char separator = 0;
  if (!in.at_end()) {
    separator = separator_of(in.peek());
    if (separator == 0) return 0;
    in.skip();
  }
  if (!in.at_end()) return 0;
  static constexpr std::string_view kLayouts[] = {
      "",           "Mm/dd/yy",   "Mm/dd/yyyy", "NNN Dd,yyyy", "NNNNNNNNNNNN Dd, yyyy",
      "Dd/mm/yy",   "Dd/mm/yyyy", "Dd_NNN_yy",  "Dd_NNN_yyyy", "yy/mm/dd",
      "yyyy/mm/dd", "yymmdd",     "yyyymmdd",   "mm/yy",       "mm/yyyy",
      "yy/mm",      "yyyy/mm"};
  TokenWriter out(desc);
  if (layout == 17) {
    emit_short_date_layout(out, regional_settings().short_date);
  } else if (layout == 18) {
    emit_long_date_layout(out, regional_settings().long_date);
  } else {
    emit_layout(out, kLayouts[layout], '/');
  }
  if (out.overflowed() || out.count() == 0) return 0;
  apply_fill_and_separator(desc, out.count(), fill, separator);
  desc.century_window = static_cast<std::uint8_t>(window);
  desc.picture_number = static_cast<std::uint8_t>(layout);
  return out.count();
}

// @T: [fill]layout[separator].
int compile_time(PicDesc& desc, std::string_view text) noexcept {
  char separator = 0;
  if (!text.empty() && separator_of(static_cast<unsigned char>(text.back())) != 0) {
    separator = separator_of(static_cast<unsigned char>(text.back()));
    text.remove_suffix(1);
  }
  Cursor in(text);
  char fill = 0;
  take_fill(in, fill);
  int layout = 0;
  if (!in.number(layout) || layout < 1 || layout > 8 || !in.at_end()) return 0;
  static constexpr std::string_view kLayouts[] = {"",         "Hh/nn",  "Hhnn",     "Hh/nnP",
                                                  "Hh/nn/ss", "Hhnnss", "Hh/nn/ssP"};
  TokenWriter out(desc);
  if (layout <= 6) {
    emit_layout(out, kLayouts[layout], ':');
  } else {
    const RegionalSettings& settings = regional_settings();
    emit_layout(out, settings.hour_leading_zero ? "hh" : "Hh", ':');
    for (char c : settings.time_separator)
      out.add(kTokenSeparator, byte(c));
    emit_layout(out, "nn", ':');
    if (layout == 8) {
      for (char c : settings.time_separator)
        out.add(kTokenSeparator, byte(c));
      emit_layout(out, "ss", ':');
    }
    if (settings.twelve_hour_clock) emit_layout(out, " P", ':');
  }
  if (out.overflowed()) return 0;
  apply_fill_and_separator(desc, out.count(), fill, separator);
  desc.picture_number = static_cast<std::uint8_t>(layout);
  return out.count();
}

// @P and @K: the body between the kind letter and the closing letter.
int compile_pattern(PicDesc& desc, std::string_view body, bool key_in) noexcept {
  TokenWriter out(desc);
  for (std::size_t i = 0; i < body.size(); ++i) {
    const char c = body[i];
    if (c == '#') {
      out.add(kTokenFillDigit, '0');
    } else if (c == '<') {
      out.add(kTokenBlankDigit, ' ');
    } else if (!key_in) {
      out.add(kTokenLiteral, byte(c));
    } else if (c == '@') {
      out.add(kTokenKeyAlpha, 0);
    } else if (c == '^') {
      out.add(kTokenKeyUpper, 0);
    } else if (c == '_') {
      out.add(kTokenKeyLower, 0);
    } else if (c == '?') {
      out.add(kTokenKeyAny, 0);
    } else if (c == '|') {
      out.add(kTokenKeyStop, 0);
    } else if (c == '\\') {
      if (i + 1 >= body.size()) return 0;  // nothing left to make literal
      out.add(kTokenLiteral, byte(body[++i]));
    } else {
      out.add(kTokenLiteral, byte(c));
    }
  }
  return out.overflowed() ? 0 : out.count();
}

int compile_string(std::string_view text) noexcept {
  Cursor in(text);
  int width = 0;
  if (!in.number(width) || width < 1 || width > kMissingPictureWidth) return 0;
  while (in.peek() == ' ' || in.peek() == '\t')
    in.skip();
  return in.at_end() ? width : 0;
}

}  // namespace

void compile_string_picture(PicDesc& desc, std::uint32_t width) noexcept {
  desc.Clear();
  if (width >= 1 && width <= static_cast<std::uint32_t>(kMissingPictureWidth)) {
    set_header(desc, PictureKind::String, static_cast<int>(width), false);
  }
}

void compile_picture(PicDesc& desc, const char* picture, bool clear_tokens) noexcept {
  if (clear_tokens) {
    desc.Clear();
  } else {
    std::memset(static_cast<void*>(&desc), 0, offsetof(PicDesc, tokens));
  }
  desc.source = picture;  // kept when the picture turns out invalid
  if (picture == nullptr) {
    set_header(desc, PictureKind::String, kMissingPictureWidth, false);
    return;
  }
  if (picture[0] == '@') ++picture;
  const std::size_t length = bounded_length(picture);
  if (length < 1 || length > kMaxPictureLength) return;
  std::string_view text(picture, length);
  bool blank_zero = false;
  if (text.size() >= 3 && (text.back() == 'b' || text.back() == 'B')) {
    blank_zero = true;
    text.remove_suffix(1);
  }
  const char letter = text[0];
  const std::string_view rest = text.substr(1);
  PictureKind kind = PictureKind::String;
  int width = 0;
  switch (letter) {
    case 'S':
    case 's':
      kind = PictureKind::String;
      width = compile_string(rest);
      break;
    case 'D':
    case 'd':
      kind = PictureKind::Date;
      width = compile_date(desc, rest);
      break;
    case 'T':
    case 't':
      kind = PictureKind::Time;
      width = compile_time(desc, rest);
      break;
    case 'N':
    case 'n':
      kind = PictureKind::Numeric;
      width = compile_numeric(desc, rest);
      break;
    case 'E':
    case 'e':
      kind = PictureKind::Scientific;
      width = compile_scientific(desc, rest);
      break;
    case 'P':
    case 'p':
    case 'K':
    case 'k':
      kind = letter == 'P' || letter == 'p' ? PictureKind::Pattern : PictureKind::KeyIn;
      if (text.size() >= 2 && text.back() == letter) {
        width = compile_pattern(desc, text.substr(1, text.size() - 2), kind == PictureKind::KeyIn);
      }
      break;
    default: break;
  }
  if (width == 0) {
    const char* source = desc.source;
    if (clear_tokens) {
      desc.Clear();
    } else {
      std::memset(static_cast<void*>(&desc), 0, offsetof(PicDesc, tokens));
    }
    desc.source = source;
    return;
  }
  set_header(desc, kind, width, blank_zero);
}

}  // namespace kes::numeric

void PicDesc::Init(const char* picture) noexcept { kes::numeric::compile_picture(*this, picture); }

void PicDesc::Clear() noexcept { std::memset(static_cast<void*>(this), 0, sizeof(PicDesc)); }

void PicDesc::Count(PicCounts& counts) const noexcept {
  using namespace kes::numeric;
  counts = PicCounts{0, 0, 0, 0, 0, -1, -1};
  bool after_point = false;
  bool in_exponent = false;
  const int n = token_count(*this);
  for (int i = 0; i < n; ++i) {
    const std::uint8_t code = tokens[i].code;
    if (code == kTokenPoint || code == kTokenImpliedPoint) after_point = true;
    if (code == kTokenExponentSign) in_exponent = true;
    if (is_digit_code(code) && !in_exponent) {
      ++(after_point ? counts.fraction_digits : counts.integer_digits);
      if (counts.first_digit < 0) counts.first_digit = static_cast<std::int16_t>(i);
      counts.last_digit = static_cast<std::int16_t>(i);
    }
    if (code >= kTokenMonth && code <= kTokenYear) ++counts.date_tokens;
    if (code == kTokenMonthName) ++counts.month_name_tokens;
    if ((code >= kTokenHour && code <= kTokenSecond) || code == kTokenAmPm) ++counts.time_tokens;
  }
}
