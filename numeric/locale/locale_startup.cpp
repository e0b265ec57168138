// Start-up of the locale (regional settings, the program's settings file) and LOCALE.
#include <cstring>

#include "numeric/locale/collation_state.h"
#include "numeric/locale/collation_tables.h"
#include "numeric/locale/locale_settings.h"
#include "numeric/locale/locale_state.h"
#include "platform/launch/module_path.h"
#include "platform/profile/regional.h"
#include "platform/profile/settings_file.h"

namespace kes::numeric {

namespace {

constexpr std::size_t kFileNameLimit = 259;
constexpr std::size_t kSettingValueLimit = 299;
// A settings file holds a few hundred short lines; one that runs on past this (a device that
// keeps producing bytes) is not a settings file.
constexpr std::size_t kSettingsFileLimit = 16u << 20;

// Process-wide by nature: start-up runs once per process.
bool g_initialized = false;

std::string_view clip_trailing(std::string_view s, bool tabs) noexcept {
  while (!s.empty() && (s.back() == ' ' || (tabs && s.back() == '\t')))
    s.remove_suffix(1);
  return s;
}

// Reads a regional setting into `text`, keeping `text` when the setting is absent.
void read_text(std::string_view key, ShortText& text) noexcept {
  char value[ShortText::kCapacity];
  if (const std::optional<std::size_t> n = platform::read_regional_setting(key, value)) {
    text.assign(std::string_view(value, *n));
  }
}

// Reads a numeric regional setting (leading digits); `fallback` when absent or not a number.
int read_number(std::string_view key, int fallback) noexcept {
  char value[16];
  const std::optional<std::size_t> n = platform::read_regional_setting(key, value);
  if (!n || *n == 0 || value[0] < '0' || value[0] > '9') return fallback;
  int number = 0;
  for (std::size_t i = 0; i < *n && value[i] >= '0' && value[i] <= '9' && number < 100000; ++i) {
    number = number * 10 + (value[i] - '0');
  }
  return number;
}

}  // namespace

void read_regional_settings() noexcept {
  LocaleState& s = locale_state();
  s.twelve_hour_clock = read_number("iTime", 0) == 0;
  s.hour_leading_zero = read_number("iTLzero", 1) != 0;
  read_text("sTime", s.time_separator);
  read_text("s1159", s.platform_am);
  read_text("s2359", s.platform_pm);
  read_text("sShortDate", s.short_date);
  read_text("sLongDate", s.long_date);
  s.refresh_regional();
}

files::ErrorCode read_settings_file(std::string_view path) noexcept {
  platform::FileReader file;
  if (file.open(path) != platform::kFileOpened) {
    return files::ErrorCode::NoFile;
  }
  SettingsReader reader;
  char chunk[4096];
  std::size_t total = 0;
  while (!reader.ended()) {
    const std::size_t n = file.read(chunk);
    if (n == 0) break;
    total += n;
    if (total > kSettingsFileLimit) {
      // The lines read so far stay applied; the unfinished one is dropped.
      return files::ErrorCode::NoFile;
    }
    reader.feed(std::string_view(chunk, n));
  }
  reader.finish();
  return files::ErrorCode::None;
}

std::size_t program_settings_path(char* out, std::size_t capacity) noexcept {
  const std::size_t length = platform::module_path(std::span<char>(out, capacity));
  if (length == 0) return 0;
  const std::string_view path(out, length);
  // Only a "." in the file name itself starts its extension, never one in a directory name.
  const std::size_t slash = path.find_last_of("/\\");
  const std::size_t name_start = slash == std::string_view::npos ? 0 : slash + 1;
  std::size_t dot = path.rfind('.');
  if (dot == std::string_view::npos || dot < name_start) dot = length;
  constexpr std::string_view kExtension = ".ENV";
  if (dot + kExtension.size() > capacity) return 0;
  std::memcpy(out + dot, kExtension.data(), kExtension.size());
  return dot + kExtension.size();
}

files::ErrorCode locale_file(std::string_view name) noexcept {
  name = clip_trailing(name.substr(0, kFileNameLimit), false);
  constexpr std::string_view kWindows = "WINDOWS";
  bool windows = name.size() == kWindows.size();
  for (std::size_t i = 0; windows && i < name.size(); ++i) {
    windows = to_upper_char(static_cast<std::uint8_t>(name[i])) == kWindows[i];
  }
  if (windows) {
    apply_setting("KESCOLSEQ", kWindows, ValueSource::Program);
    apply_setting("KESCASE", kWindows, ValueSource::Program);
    apply_setting("KESAMPM", kWindows, ValueSource::Program);
    return files::ErrorCode::None;
  }
  return read_settings_file(name);
}

void locale_setting(std::string_view name, std::string_view value) noexcept {
  char clean[SettingsReader::kNameLimit];
  std::size_t length = 0;
  for (const char c : name) {
    if (static_cast<unsigned char>(c) < ' ') break;
    if (c != ' ' && length < sizeof clean) clean[length++] = c;
  }
  value = clip_trailing(value.substr(0, kSettingValueLimit), true);
  apply_setting(std::string_view(clean, length), value, ValueSource::Program);
}

void initialize_locale() noexcept {
  if (g_initialized) return;
  g_initialized = true;
  read_regional_settings();
  CollationTables& t = collation_tables();
  t.oem_weight = t.ansi_weight;
  char path[4096 + 8];
  const std::size_t length = program_settings_path(path, sizeof path);
  if (length != 0) {
    (void)read_settings_file(std::string_view(path, length));  // may be missing
  }
  files::clear_error();
}

#ifdef KES_TESTING
void reset_locale_for_testing() noexcept {
  reset_all_tables();
  locale_state().reset();
  g_initialized = false;
}
#endif

}  // namespace kes::numeric
