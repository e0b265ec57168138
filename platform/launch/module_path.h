// The path of the running program's executable file.
//
// State: the test override below is process-wide and exists only in test builds.
#pragma once

#include <cstddef>
#include <span>
#include <string_view>

namespace kes::platform {

// Copies the executable's full path into `out` and returns its length; 0 when it cannot be
// found or does not fit.
std::size_t module_path(std::span<char> out) noexcept;

// The host's own answer, without the test override (one implementation per host).
std::size_t host_module_path(std::span<char> out) noexcept;

#ifdef KES_TESTING
// Makes module_path() report `path` (an empty path: back to the real one).
void set_module_path_for_testing(std::string_view path) noexcept;
#endif

}  // namespace kes::platform
