// The executable's path from the process's own link in /proc.
#include <cstring>
#include <unistd.h>

#include "platform/module_path.h"

namespace kes::platform {

namespace {
#ifdef KES_TESTING
char g_test_path[4096];
std::size_t g_test_path_length = 0;
#endif
}  // namespace

std::size_t module_path(std::span<char> out) noexcept {
#ifdef KES_TESTING
  if (g_test_path_length != 0) {
    if (g_test_path_length > out.size()) return 0;
    std::memcpy(out.data(), g_test_path, g_test_path_length);
    return g_test_path_length;
  }
#endif
  if (out.empty()) {
    return 0;
  }
  const ssize_t n = ::readlink("/proc/self/exe", out.data(), out.size());
  if (n <= 0 || static_cast<std::size_t>(n) >= out.size()) {
    return 0;  // unknown, or possibly cut
  }
  return static_cast<std::size_t>(n);
}

#ifdef KES_TESTING
void set_module_path_for_testing(std::string_view path) noexcept {
  g_test_path_length = path.size() < sizeof g_test_path ? path.size() : 0;
  if (g_test_path_length != 0) {
    std::memcpy(g_test_path, path.data(), g_test_path_length);
  }
}
#endif

}  // namespace kes::platform
