// The process-wide locale texts: month names and abbreviations, AM/PM texts, the platform's
// regional settings and the message overrides, with their defaults.
#include "numeric/locale/locale_texts.h"

#include "numeric/locale/locale_state.h"

namespace kes::numeric {

namespace {

constexpr const char* kDefaultMonths[12] = {"January",   "February", "March",    "April",
                                            "May",       "June",     "July",     "August",
                                            "September", "October",  "November", "December"};

// Process-wide by nature, like the collation tables.
LocaleState g_state;

}  // namespace

ShortText::ShortText(std::string_view text) noexcept { assign(text); }

void ShortText::assign(std::string_view text) noexcept {
  length_ = static_cast<std::uint8_t>(text.size() < kCapacity ? text.size() : kCapacity);
  for (std::size_t i = 0; i < length_; ++i) {
    bytes_[i] = text[i];
  }
}

void LocaleState::reset() noexcept {
  for (std::size_t m = 0; m < 12; ++m) {
    const std::string_view name = kDefaultMonths[m];
    month_names[m].assign(name);
    month_abbreviations[m].assign(name.substr(0, 3));
  }
  am.assign("AM");
  pm.assign("PM");
  platform_am.assign("AM");
  platform_pm.assign("PM");
  twelve_hour_clock = true;
  hour_leading_zero = true;
  time_separator.assign(":");
  short_date.assign("MM/dd/yy");
  long_date.assign("ddd', 'MMMM' 'dd', 'yyyy");
  messages.clear();
  oem_charset = false;
  long_file_names = false;
  system_charset.assign("");
  refresh_regional();
}

void LocaleState::refresh_regional() noexcept {
  regional.twelve_hour_clock = twelve_hour_clock;
  regional.hour_leading_zero = hour_leading_zero;
  regional.time_separator = time_separator.view();
  regional.am = platform_am.view();
  regional.pm = platform_pm.view();
  regional.short_date = short_date.view();
  regional.long_date = long_date.view();
}

LocaleState::LocaleState() noexcept { reset(); }

LocaleState& locale_state() noexcept { return g_state; }

std::string_view month_name(int month) noexcept {
  if (month < 1 || month > 12) {
    return {};
  }
  return g_state.month_names[static_cast<std::size_t>(month - 1)].view();
}

std::string_view month_abbreviation(int month) noexcept {
  if (month < 1 || month > 12) {
    return {};
  }
  return g_state.month_abbreviations[static_cast<std::size_t>(month - 1)].view();
}

std::string_view am_text() noexcept { return g_state.am.view(); }
std::string_view pm_text() noexcept { return g_state.pm.view(); }

const RegionalSettings& regional_settings() noexcept { return g_state.regional; }

std::optional<std::string_view> message_override(std::int32_t number) noexcept {
  return g_state.messages.find(number);
}

bool long_file_names() noexcept { return g_state.long_file_names; }
bool settings_text_is_oem() noexcept { return g_state.oem_charset; }
std::string_view system_charset() noexcept { return g_state.system_charset.view(); }

}  // namespace kes::numeric
