// The executable's path from the process's own link in /proc.
#include <unistd.h>

#include "platform/launch/module_path.h"

namespace kes::platform {

std::size_t host_module_path(std::span<char> out) noexcept {
  if (out.empty()) {
    return 0;
  }
  const ssize_t n = ::readlink("/proc/self/exe", out.data(), out.size());
  if (n <= 0 || static_cast<std::size_t>(n) >= out.size()) {
    return 0;  // unknown, or possibly cut
  }
  return static_cast<std::size_t>(n);
}

}  // namespace kes::platform
