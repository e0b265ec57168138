// SETPATH, SHORTPATH and LONGPATH: the current directory and the short and long forms of a
// path, through the platform's path services.
//
// State: none of its own; the current directory is the process's.
#pragma once

#include <string>
#include <string_view>

#include "files/errors/error_state.h"

namespace kes::services {

// Paths programs pass are cut to this many bytes.
inline constexpr std::size_t kPathLimit = 260;

// Makes `path` the current drive and directory; NoPath when it cannot.
files::ErrorCode set_path(std::string_view path) noexcept;

// The short form of `path` (an empty path: the current directory); the empty text when the path
// does not exist. Hosts without short names answer the path itself.
std::string short_path(std::string_view path) noexcept;

// The absolute form of `path` (an empty path: the current directory) with each component that
// exists spelt as on the disk; the empty text when it cannot be formed.
std::string long_path(std::string_view path) noexcept;

}  // namespace kes::services
