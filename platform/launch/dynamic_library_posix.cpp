// Shared libraries through the host's dynamic loader.
#include <dlfcn.h>

#include "platform/launch/dynamic_library.h"

namespace kes::platform {

void* load_library(const char* file_name) noexcept {
  if (file_name == nullptr || file_name[0] == '\0') return nullptr;
  return ::dlopen(file_name, RTLD_NOW | RTLD_LOCAL);
}

bool free_library(void* handle) noexcept {
  if (handle == nullptr) return true;
  return ::dlclose(handle) == 0;
}

void* module_handle_of(const void* address) noexcept {
  Dl_info info{};
  if (::dladdr(address, &info) == 0) return nullptr;
  return info.dli_fbase;
}

void* executable_handle() noexcept {
  // The main program's handle stays valid for the life of the process; opening it again only
  // raises a reference count.
  static void* const handle = ::dlopen(nullptr, RTLD_LAZY);
  return handle;
}

}  // namespace kes::platform
