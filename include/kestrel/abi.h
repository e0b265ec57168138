// Export marking and the fixed-width types shared by every public header of the library.
#pragma once

// Every exported name (Kes$..., Wsl$..., _sysinit, and the members of the exported classes) is
// spelled as compiled programs call it, odd spellings included: those names cannot change.

#include <stdint.h>

#if defined(_WIN32)
#define KES_EXPORT __declspec(dllexport)
#else
#define KES_EXPORT __attribute__((visibility("default")))
#endif

#ifdef __cplusplus
#define KES_NOEXCEPT noexcept
#else
#define KES_NOEXCEPT
#endif

// An exported flat function: C linkage, visible from the shared library.
#ifdef __cplusplus
#define KES_API extern "C" KES_EXPORT
#else
#define KES_API KES_EXPORT
#endif
