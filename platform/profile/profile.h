// The profile service: entries of profile (INI) files read and written by section and name, and
// the system-wide profile (regional settings, trace switches, INI files named by an empty name).
//
// Naming: an empty file name means the system-wide profile; a name without a directory lies in
// the directory of the system-wide profile (on Windows, the Windows directory); any other name
// is used as it is.
//
// On Windows these are the Win32 profile calls, and the system-wide profile is WIN.INI. Elsewhere
// the system-wide profile is the file named by the environment variable KESTREL_PROFILE, else
// /etc/kestrel/win.ini, and the files are read and written by our own code (profile_text.h
// tells the format):
// - a write never leaves a damaged file: the new text goes to a new file beside the old one,
//   reaches the disk and is renamed over the old one, so a crash, a full disk or a kill leaves
//   either file whole. The directory must be writable; a symbolic link is followed and its
//   target replaced, keeping the target's permissions;
// - writers of one file, in this process or others, take turns through a lock on the file and
//   each edits the text as it finds it: two writers of different entries both land, and of two
//   writers of one entry the later one wins;
// - files above 64 MiB read as empty and are not written.
//
// State: parsed files are cached, process-wide by design, for at most four files under a lock
// of their own. Writes of this process show at once; a file looked at in the last millisecond is
// trusted without a new look at the disk, so a change by another process shows within a
// millisecond. The test override of the system profile's location is process-wide too.
#pragma once

#include <cstddef>
#include <optional>
#include <span>
#include <string_view>

namespace kes::platform {

// Copies the system profile's path into `out`; returns its length, 0 when it does not fit.
std::size_t system_profile_path(std::span<char> out) noexcept;

// Reads the value of entry `key` of section `section` in the profile `file` (named as above).
// Copies at most out.size() bytes of the value and returns the count copied, or nothing when
// the file, the section or the entry is absent.
std::optional<std::size_t> read_profile_string(std::string_view file, std::string_view section,
                                               std::string_view key, std::span<char> out) noexcept;

// Writes entry `key` of section `section` in the profile `file` (created when absent). No key:
// the whole section is deleted; a key but no value: the entry is deleted. False when nothing
// could be written (the file is then as it was), including names and values the format cannot
// hold (a line break anywhere, "]" in a section name, "=" in an entry name).
bool write_profile_string(std::string_view file, std::string_view section,
                          std::optional<std::string_view> key,
                          std::optional<std::string_view> value) noexcept;

#ifdef KES_TESTING
// Makes the system profile the file at `path` (an empty path: back to the normal lookup).
void set_system_profile_path_for_testing(std::string_view path) noexcept;
// The override, empty when none is set.
std::string_view system_profile_path_for_testing() noexcept;
#endif

}  // namespace kes::platform
