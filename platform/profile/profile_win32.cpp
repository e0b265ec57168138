// Profile files through the Win32 profile calls; the system-wide profile is WIN.INI.
#define WIN32_LEAN_AND_MEAN
#define NOMINMAX
#include <cstring>
#include <new>
#include <string>
#include <windows.h>

#include "platform/profile/profile.h"
#include "platform/profile/profile_text.h"

namespace kes::platform {

namespace {

// The file the empty name stands for when a test has chosen one, else empty (WIN.INI through
// the calls without a file).
std::string test_profile() {
#ifdef KES_TESTING
  return std::string(system_profile_path_for_testing());
#else
  return std::string();
#endif
}

bool has_zero(std::string_view text) noexcept { return text.find('\0') != std::string_view::npos; }

}  // namespace

std::size_t system_profile_path(std::span<char> out) noexcept {
  try {
    std::string path = test_profile();
    if (path.empty()) {
      char directory[MAX_PATH + 1];
      const UINT n = ::GetWindowsDirectoryA(directory, sizeof directory);
      if (n == 0 || n >= sizeof directory) return 0;
      path.assign(directory, n).append("\\WIN.INI");
    }
    if (path.size() > out.size()) return 0;
    std::memcpy(out.data(), path.data(), path.size());
    return path.size();
  } catch (const std::bad_alloc&) {
    return 0;
  }
}

std::optional<std::size_t> read_profile_string(std::string_view file, std::string_view section,
                                               std::string_view key, std::span<char> out) noexcept {
  try {
    if (has_zero(file) || has_zero(section) || has_zero(key)) return std::nullopt;
    const std::string path = file.empty() ? test_profile() : std::string(file);
    const std::string section_z(section);
    const std::string key_z(key);
    char value[4096];
    // The calls answer an absent entry with the default: two different one-byte defaults tell
    // an absent entry from a present one.
    const auto read = [&](const char* fallback) -> DWORD {
      if (path.empty()) {
        return ::GetProfileStringA(section_z.c_str(), key_z.c_str(), fallback, value, sizeof value);
      }
      return ::GetPrivateProfileStringA(section_z.c_str(), key_z.c_str(), fallback, value,
                                        sizeof value, path.c_str());
    };
    DWORD n = read("\x01");
    if (n == 1 && value[0] == '\x01') {
      n = read("\x02");
      if (n == 1 && value[0] == '\x02') return std::nullopt;
    }
    const std::size_t copied = n < out.size() ? n : out.size();
    if (copied != 0) std::memcpy(out.data(), value, copied);
    return copied;
  } catch (const std::bad_alloc&) {
    return std::nullopt;
  }
}

bool write_profile_string(std::string_view file, std::string_view section,
                          std::optional<std::string_view> key,
                          std::optional<std::string_view> value) noexcept {
  try {
    // The calls would write a name or value the format cannot hold (a line break, "=" in an
    // entry name) as it is, and the file would then read back otherwise: refused, as elsewhere.
    if (has_zero(file) || !ProfileText::storable_section(section) ||
        (key && !ProfileText::storable_key(*key)) ||
        (value && !ProfileText::storable_value(*value))) {
      return false;
    }
    const std::string path = file.empty() ? test_profile() : std::string(file);
    const std::string section_z(section);
    const std::string key_z(key.value_or(""));
    const std::string value_z(value.value_or(""));
    const char* key_p = key ? key_z.c_str() : nullptr;
    const char* value_p = key && value ? value_z.c_str() : nullptr;
    if (path.empty()) return ::WriteProfileStringA(section_z.c_str(), key_p, value_p) != 0;
    return ::WritePrivateProfileStringA(section_z.c_str(), key_p, value_p, path.c_str()) != 0;
  } catch (const std::bad_alloc&) {
    return false;
  }
}

}  // namespace kes::platform
