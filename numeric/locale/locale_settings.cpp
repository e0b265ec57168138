// Setting names, value lists and the settings-text reader.
#include "numeric/locale/locale_settings.h"

#include <array>
#include <cstring>

#include "numeric/locale/collation_settings.h"
#include "numeric/locale/collation_state.h"
#include "numeric/locale/locale_state.h"
#include "platform/text/codepage.h"

namespace kes::numeric {

namespace {

constexpr std::int32_t kFirstButtonMessage = 32512;

char upper_ascii(char c) noexcept { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 32) : c; }

bool equal_ignoring_case(std::string_view a, std::string_view b) noexcept {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (upper_ascii(a[i]) != upper_ascii(b[i])) return false;
  }
  return true;
}

struct NamedSetting {
  std::string_view name;
  SettingKind kind;
};
constexpr NamedSetting kSettings[] = {
    {"KESCHARSET", SettingKind::CharSet},
    {"KESCOLSEQ", SettingKind::CollatingSequence},
    {"KESCASE", SettingKind::Case},
    {"KESMONTH", SettingKind::MonthNames},
    {"KESMON", SettingKind::MonthAbbreviations},
    {"KESAMPM", SettingKind::AmPm},
    {"KESDIGRAPH", SettingKind::Digraphs},
    {"KESBUTTON", SettingKind::Buttons},
    {"KESLFN", SettingKind::LongFileNames},
    {"KESSYSTEMCHARSET", SettingKind::SystemCharSet},
};

// Keyword values ("WINDOWS", "OEM", "on") are recognised without regard to case.
bool is_keyword(std::string_view item, std::string_view keyword) noexcept {
  return equal_ignoring_case(item, keyword);
}

std::string_view first_item(ItemReader& reader) noexcept {
  const std::optional<std::string_view> item = reader.next();
  return item ? *item : std::string_view();
}

void apply_collating_sequence(std::string_view raw, const ValueList& list,
                              bool from_oem_file) noexcept {
  if (raw.empty()) {
    set_collating_sequence({}, false);
    return;
  }
  ItemReader items(list.text());
  const std::string_view sequence = first_item(items);
  if (is_keyword(sequence, "WINDOWS")) {
    set_platform_collating_sequence();
  } else {
    set_collating_sequence(sequence, from_oem_file);
  }
}

void apply_case(std::string_view raw, const ValueList& list) noexcept {
  if (raw.empty()) {
    reset_case_tables(collation_tables());
    return;
  }
  ItemReader items(list.text());
  const std::optional<std::string_view> first = items.next();
  if (!first || is_keyword(*first, "WINDOWS")) {
    set_platform_case_tables();
    return;
  }
  // The second item is read from a reader of its own: the first one's view is replaced.
  char uppers[1200];
  const std::size_t upper_length = first->size();
  std::memcpy(uppers, first->data(), upper_length);
  const std::optional<std::string_view> second = items.next();
  set_case_pairs(std::string_view(uppers, upper_length), second ? *second : std::string_view());
}

template <std::size_t N>
void apply_texts(const ValueList& list, std::array<ShortText, N>& texts,
                 std::size_t limit) noexcept {
  ItemReader items(list.text());
  for (ShortText& text : texts) {
    const std::optional<std::string_view> item = items.next();
    if (!item) break;
    text.assign(item->substr(0, limit));
  }
}

void apply_am_pm(const ValueList& list) noexcept {
  LocaleState& s = locale_state();
  ItemReader items(list.text());
  const std::optional<std::string_view> am = items.next();
  if (!am) return;
  if (is_keyword(*am, "WINDOWS")) {
    s.am.assign(s.platform_am.view().substr(0, 2));
    s.pm.assign(s.platform_pm.view().substr(0, 2));
    return;
  }
  s.am.assign(am->substr(0, 2));
  if (const std::optional<std::string_view> pm = items.next()) {
    s.pm.assign(pm->substr(0, 2));
  }
}

void apply_digraphs(const ValueList& list) noexcept {
  clear_digraphs();
  ItemReader items(list.text());
  while (const std::optional<std::string_view> item = items.next()) {
    if (!add_digraph_item(*item)) break;  // the table is full: the rest is ignored
  }
}

void apply_buttons(const ValueList& list) noexcept {
  ItemReader items(list.text());
  std::int32_t number = kFirstButtonMessage;
  while (const std::optional<std::string_view> item = items.next()) {
    locale_state().messages.set(number++, *item);
  }
}

}  // namespace

SettingName classify_setting(std::string_view name) noexcept {
  for (const NamedSetting& s : kSettings) {
    if (equal_ignoring_case(name, s.name)) return {s.kind, 0};
  }
  constexpr std::string_view kMessagePrefix = "KESMSG";
  if (name.size() > kMessagePrefix.size() && name.size() <= kMessagePrefix.size() + 9 &&
      equal_ignoring_case(name.substr(0, kMessagePrefix.size()), kMessagePrefix)) {
    std::int32_t number = 0;
    for (const char c : name.substr(kMessagePrefix.size())) {
      if (c < '0' || c > '9') return {SettingKind::Unknown, 0};
      number = number * 10 + (c - '0');  // at most nine digits: no overflow
    }
    return {SettingKind::Message, number};
  }
  return {SettingKind::Unknown, 0};
}

void ValueList::assign(std::string_view value, bool commas_in_items) noexcept {
  length_ = 0;
  if (!value.empty() && value.front() == '"') {
    if (value.size() > kWrittenLimit) value = value.substr(0, kWrittenLimit);
    std::memcpy(text_, value.data(), value.size());
    length_ = value.size();
    return;
  }
  if (value.size() > kPlainLimit) value = value.substr(0, kPlainLimit);
  text_[length_++] = '"';
  for (const char c : value) {
    if (c == ',' && !commas_in_items) {
      text_[length_++] = '"';
      text_[length_++] = ',';
      text_[length_++] = '"';
    } else if (c == '"') {
      text_[length_++] = '"';
      text_[length_++] = '"';
    } else {
      text_[length_++] = c;
    }
  }
  text_[length_++] = '"';
}

std::optional<std::string_view> ItemReader::next() noexcept {
  const std::size_t open = rest_.find('"');
  if (open == std::string_view::npos) {
    rest_ = {};
    return std::nullopt;
  }
  std::size_t i = open + 1;
  std::size_t length = 0;
  while (i < rest_.size()) {
    const char c = rest_[i];
    if (c == '"') {
      if (i + 1 < rest_.size() && rest_[i + 1] == '"') {
        if (length < sizeof item_) item_[length++] = '"';
        i += 2;
        continue;
      }
      ++i;  // the closing quote
      break;
    }
    if (length < sizeof item_) item_[length++] = c;  // a longer item is cut
    ++i;
  }
  rest_ = rest_.substr(i);
  return std::string_view(item_, length);
}

void apply_setting(std::string_view name, std::string_view value, ValueSource source) noexcept {
  const SettingName setting = classify_setting(name);
  if (setting.kind == SettingKind::Unknown) return;
  LocaleState& s = locale_state();
  const bool from_oem_file = source == ValueSource::File && s.oem_charset;

  // Values other than the collating sequence are read in the ANSI code page.
  char converted[SettingsReader::kValueLimit];
  if (from_oem_file && setting.kind != SettingKind::CollatingSequence) {
    if (value.size() > sizeof converted) value = value.substr(0, sizeof converted);
    std::memcpy(converted, value.data(), value.size());
    platform::oem_to_ansi(std::span<char>(converted, value.size()));
    value = std::string_view(converted, value.size());
  }
  const bool commas_in_items =
      setting.kind == SettingKind::CollatingSequence || setting.kind == SettingKind::Message;
  ValueList list;
  list.assign(value, commas_in_items);
  ItemReader items(list.text());

  switch (setting.kind) {
    case SettingKind::CharSet: s.oem_charset = is_keyword(first_item(items), "OEM"); break;
    case SettingKind::CollatingSequence:
      apply_collating_sequence(value, list, from_oem_file);
      break;
    case SettingKind::Case: apply_case(value, list); break;
    case SettingKind::MonthNames: apply_texts(list, s.month_names, 12); break;
    case SettingKind::MonthAbbreviations: apply_texts(list, s.month_abbreviations, 3); break;
    case SettingKind::AmPm: apply_am_pm(list); break;
    case SettingKind::Digraphs: apply_digraphs(list); break;
    case SettingKind::Buttons: apply_buttons(list); break;
    case SettingKind::LongFileNames: s.long_file_names = is_keyword(first_item(items), "on"); break;
    case SettingKind::SystemCharSet: s.system_charset.assign(first_item(items)); break;
    case SettingKind::Message:
      if (const std::optional<std::string_view> item = items.next()) {
        s.messages.set(setting.message_number, *item);
      }
      break;
    case SettingKind::Unknown: break;
  }
}

std::size_t decode_file_value(char* value, std::size_t length) noexcept {
  std::size_t out = 0;
  std::size_t i = 0;
  while (i < length) {
    const char c = value[i];
    if (c != '<' || i + 1 >= length) {
      value[out++] = c;
      ++i;
      continue;
    }
    if (value[i + 1] == '<') {
      value[out++] = '<';
      i += 2;
      continue;
    }
    std::size_t j = i + 1;
    int code = 0;
    while (j < length && value[j] >= '0' && value[j] <= '9') {
      if (code <= 255) code = code * 10 + (value[j] - '0');  // past 255 it only has to stay big
      ++j;
    }
    if (j > i + 1 && j < length && code <= 255) {
      value[out++] = static_cast<char>(code);
      i = j + 1;  // the digits and the one character after them
      continue;
    }
    // "<" with anything else stays, together with that character.
    value[out++] = '<';
    value[out++] = value[i + 1];
    i += 2;
  }
  return out;
}

void SettingsReader::feed(std::string_view bytes) noexcept {
  for (const char c : bytes) {
    if (ended_) return;
    if (c == '\x1A') {
      finish();
      ended_ = true;
      return;
    }
    if (c == '\r' || c == '\n') {
      end_line();
      continue;
    }
    switch (state_) {
      case State::Name:
        if (c == '=') {
          state_ = State::Value;
        } else if (static_cast<unsigned char>(c) < ' ') {
          state_ = State::Skip;  // the name ended without "="
        } else if (c != ' ' && name_length_ < kNameLimit) {
          name_[name_length_++] = c;
        }
        break;
      case State::Value:
        if (value_length_ < kValueLimit) value_[value_length_++] = c;
        break;
      case State::Skip: break;
    }
  }
}

void SettingsReader::finish() noexcept {
  if (!ended_) end_line();
}

void SettingsReader::end_line() noexcept {
  if (state_ == State::Value) {
    std::size_t length = value_length_;
    while (length > 0 && (value_[length - 1] == ' ' || value_[length - 1] == '\t'))
      --length;
    length = decode_file_value(value_, length);
    apply_setting(std::string_view(name_, name_length_), std::string_view(value_, length),
                  ValueSource::File);
  }
  state_ = State::Name;
  name_length_ = 0;
  value_length_ = 0;
}

}  // namespace kes::numeric
