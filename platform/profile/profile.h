// The system-wide profile: a text file of "[section]" headers and "key=value" lines, read as
// the platform's own settings (regional settings, trace switches, INI files named by an empty
// file name).
//
// Location: the file named by the environment variable KESTREL_PROFILE, else
// /etc/kestrel/win.ini. Test builds can point it elsewhere.
//
// State: the location is process-wide by nature, looked up on each call.
#pragma once

#include <cstddef>
#include <optional>
#include <span>
#include <string_view>

namespace kes::platform {

// Copies the system profile's path into `out`; returns its length, 0 when it does not fit.
std::size_t system_profile_path(std::span<char> out) noexcept;

// Reads the value of `key` in section `section` of the profile file at `path`. Section and key
// names compare without regard to case; blanks around names and values are dropped, and so is
// one pair of double quotes around a value; lines beginning with ";" are comments; a line of
// more than 4095 bytes is cut there. Copies at most out.size() bytes of the value and returns
// the count copied, or nothing when the file, the section or the key is absent.
std::optional<std::size_t> read_profile_string(std::string_view path, std::string_view section,
                                               std::string_view key, std::span<char> out) noexcept;

#ifdef KES_TESTING
// Makes the system profile the file at `path` (an empty path: back to the normal lookup).
void set_system_profile_path_for_testing(std::string_view path) noexcept;
#endif

}  // namespace kes::platform
