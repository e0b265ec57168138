// The locale texts that pictures and messages read: month names, AM/PM texts, the platform's
// regional date and time settings, and message overrides.
//
// State: process-wide, set at start-up and by LOCALE, like the collation tables.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace kes::numeric {

// Month names (up to 12 characters, "January" ... "December" by default); month is [1, 12].
std::string_view month_name(int month) noexcept;
// Month abbreviations (3 characters, "Jan" ... "Dec" by default); month is [1, 12].
std::string_view month_abbreviation(int month) noexcept;
// The AM and PM texts (up to 2 characters, "AM" and "PM" by default).
std::string_view am_text() noexcept;
std::string_view pm_text() noexcept;

// The platform's regional settings as read at start-up (section "intl").
struct RegionalSettings {
  bool twelve_hour_clock;           // iTime 0 (the default)
  bool hour_leading_zero;           // iTLzero 1 (the default)
  std::string_view time_separator;  // sTime, ":" by default
  std::string_view am;              // s1159, "AM" by default
  std::string_view pm;              // s2359, "PM" by default
  std::string_view short_date;      // sShortDate, "MM/dd/yy" by default
  std::string_view long_date;       // sLongDate, "ddd', 'MMMM' 'dd', 'yyyy" by default
};
const RegionalSettings& regional_settings() noexcept;

// The override text of a run-time message set through the settings (KESMSG, KESBUTTON), or
// nothing when the message keeps its built-in text.
std::optional<std::string_view> message_override(std::int32_t number) noexcept;

// The settings' flags: long file names (KESLFN "on"), the settings file's text in the OEM code
// page (KESCHARSET "OEM"), and the character set the window layer uses for its fonts
// (KESSYSTEMCHARSET, empty when not set).
bool long_file_names() noexcept;
bool settings_text_is_oem() noexcept;
std::string_view system_charset() noexcept;

}  // namespace kes::numeric
