// The executable's path from GetModuleFileNameA.
#define WIN32_LEAN_AND_MEAN
#define NOMINMAX
#include <windows.h>

#include "platform/launch/module_path.h"

namespace kes::platform {

std::size_t host_module_path(std::span<char> out) noexcept {
  if (out.empty()) return 0;
  const DWORD size = out.size() > 0x7FFF'FFFFu ? 0x7FFF'FFFFu : static_cast<DWORD>(out.size());
  const DWORD n = ::GetModuleFileNameA(nullptr, out.data(), size);
  if (n == 0 || n >= size) {
    return 0;  // unknown, or cut
  }
  return n;
}

}  // namespace kes::platform
