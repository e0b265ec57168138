// Loading shared libraries and naming the modules of the process.
//
// State: none of its own; the host keeps the loaded libraries.
#pragma once

namespace kes::platform {

// Loads a library by file name and returns its handle, or null when it cannot be loaded (a null
// or empty name also gives null).
void* load_library(const char* file_name) noexcept;

// Unloads a library loaded with load_library; null is ignored. Returns false when the handle
// was refused.
bool free_library(void* handle) noexcept;

// The handle of the module that holds `address` (its load address), or null when no module
// holds it.
void* module_handle_of(const void* address) noexcept;

// The handle of the process's executable (never null).
void* executable_handle() noexcept;

}  // namespace kes::platform
