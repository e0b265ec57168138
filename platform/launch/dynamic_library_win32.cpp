// Dynamic-link libraries through LoadLibraryA and FreeLibrary.
#define WIN32_LEAN_AND_MEAN
#define NOMINMAX
#include <windows.h>

#include "platform/launch/dynamic_library.h"

namespace kes::platform {

void* load_library(const char* file_name) noexcept {
  if (file_name == nullptr || file_name[0] == '\0') return nullptr;
  // No "cannot find" box from the host: a missing library is reported as a null handle.
  const UINT previous = ::SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
  HMODULE module = ::LoadLibraryA(file_name);
  ::SetErrorMode(previous);
  return reinterpret_cast<void*>(module);
}

bool free_library(void* handle) noexcept {
  if (handle == nullptr) return true;
  return ::FreeLibrary(static_cast<HMODULE>(handle)) != 0;
}

void* module_handle_of(const void* address) noexcept {
  if (address == nullptr) return nullptr;  // the host would name the executable
  HMODULE module = nullptr;
  if (!::GetModuleHandleExA(
          GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
          static_cast<LPCSTR>(address), &module)) {
    return nullptr;
  }
  return reinterpret_cast<void*>(module);
}

void* executable_handle() noexcept { return reinterpret_cast<void*>(::GetModuleHandleA(nullptr)); }

}  // namespace kes::platform
