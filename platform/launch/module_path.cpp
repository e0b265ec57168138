// The executable's path: the host's answer, or the one a test has set.
#include "platform/launch/module_path.h"

#include <cstring>

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
  return host_module_path(out);
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
