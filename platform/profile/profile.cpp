// The test override of the system profile's location, shared by both hosts.
#include "platform/profile/profile.h"

#include <cstring>

namespace kes::platform {

#ifdef KES_TESTING
namespace {
char g_test_path[4096];
std::size_t g_test_path_length = 0;
}  // namespace

void set_system_profile_path_for_testing(std::string_view path) noexcept {
  g_test_path_length = path.size() < sizeof g_test_path ? path.size() : 0;
  if (g_test_path_length != 0) {
    std::memcpy(g_test_path, path.data(), g_test_path_length);
  }
}

std::string_view system_profile_path_for_testing() noexcept {
  return std::string_view(g_test_path, g_test_path_length);
}
#endif

}  // namespace kes::platform
