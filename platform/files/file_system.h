// Files and directories by name, for the file utilities, the drivers' helpers and the trace log.
//
// Names are the program's own: on hosts whose separator is '/', a '\' in a name reads as '/', so
// programs written with Windows paths find the same files. Failures come back as the Win32 and
// DOS error numbers (a missing file is FileNotFound, a missing directory on the way to it
// PathNotFound).
//
// State: none; test builds may set a process-wide limit on the size of files written.
#pragma once

#include <cstdint>
#include <string_view>

#include "platform/launch/os_error.h"

namespace kes::platform {

// Longest name handed to the host, in bytes; a longer one fails with PathNotFound.
inline constexpr std::size_t kMaxHostPath = 4095;

// Deletes a file (not a directory: that is AccessDenied).
OsError remove_file(std::string_view name) noexcept;

// Gives a file a new name, which may lie in another directory of the same volume. An existing
// destination is not replaced: that is FileExists.
OsError rename_file(std::string_view from, std::string_view to) noexcept;

// Copies a file's bytes to `to`, replacing a file of that name. The copy is written beside the
// destination under a temporary name and takes the destination's name only once it is whole,
// so a failure (a full disk, a file-size limit) leaves the source and any earlier destination
// as they were. Source and destination naming the same file is SharingViolation, and nothing
// is touched.
OsError copy_file(std::string_view from, std::string_view to) noexcept;

// Whether a file or directory of that name exists.
bool path_exists(std::string_view name) noexcept;

// Whether the name is an existing directory.
bool is_directory(std::string_view name) noexcept;

// Appends the bytes to the file, creating it when it does not exist.
OsError append_to_file(std::string_view name, std::string_view text) noexcept;

#ifdef KES_TESTING
// Limits the size of every file this process writes from now on to `bytes` (the host's own
// limit: writes beyond it fail as a full disk would). Meant for a test's child process.
void limit_file_size_for_testing(std::uint64_t bytes) noexcept;
#endif

}  // namespace kes::platform
