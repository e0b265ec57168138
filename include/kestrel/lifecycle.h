// The library's life cycle: module registration, start-up and shutdown, HALT, STOP,
// assertions, running other programs and loading libraries. The fatal run-time errors are in
// fatal.h, included here.
//
// exit and atexit are exported as Kes$exit and Kes$atexit: the plain names belong to the C
// library on this host, and taking them over would replace the C library's own exit for every
// program that loads this library.
#pragma once

#include <kestrel/abi.h>
#include <kestrel/fatal.h>

#ifdef __cplusplus
#include <cstddef>
#else
#include <stddef.h>
#endif

// An initialiser (called with 0) or terminator (called with 1) of a compiled module.
typedef void (*KesModuleProcedure)(int32_t argument);

// One entry of a module's initialisation table: 12 bytes on a 32-bit build.
typedef struct KesInitEntry {
  int32_t priority;                // initialised from 255 down to 1; terminated from 0 up to 255
  KesModuleProcedure initialiser;  // or null
  KesModuleProcedure terminator;   // or null
} KesInitEntry;

// One fix-up: 8 bytes on a 32-bit build. Each word of the area whose value lies in the
// descriptor's indirection range is replaced by the word stored at the address it holds.
typedef struct KesFixup {
  void* area;
  uint32_t length;  // in bytes
} KesFixup;

// The descriptor every compiled module carries, read and partly written by the library. Words
// take the native pointer width: 48 bytes on a 32-bit build, fields at 0, 4, ... 44.
typedef struct KesModuleDescriptor {
  struct KesModuleDescriptor* previous;  // set by the library: the module registered before
  const KesInitEntry* init_start;
  const KesInitEntry* init_end;  // just past the last entry
  void* instance;                // set by the library
  void* first_swap_start;        // the module's areas of per-thread variables
  void* first_swap_end;
  void* second_swap_start;
  void* second_swap_end;
  const KesFixup* fixup_start;
  const KesFixup* fixup_end;   // just past the last entry
  uintptr_t indirection_low;   // inclusive
  uintptr_t indirection_high;  // exclusive
} KesModuleDescriptor;

#ifdef __cplusplus
static_assert(offsetof(KesInitEntry, initialiser) == sizeof(void*));
static_assert(offsetof(KesInitEntry, terminator) == 2 * sizeof(void*));
static_assert(sizeof(KesInitEntry) == 3 * sizeof(void*));
static_assert(offsetof(KesFixup, length) == sizeof(void*));
static_assert(sizeof(KesFixup) == 2 * sizeof(void*));
static_assert(offsetof(KesModuleDescriptor, init_start) == 1 * sizeof(void*));
static_assert(offsetof(KesModuleDescriptor, instance) == 3 * sizeof(void*));
static_assert(offsetof(KesModuleDescriptor, first_swap_start) == 4 * sizeof(void*));
static_assert(offsetof(KesModuleDescriptor, second_swap_end) == 7 * sizeof(void*));
static_assert(offsetof(KesModuleDescriptor, fixup_start) == 8 * sizeof(void*));
static_assert(offsetof(KesModuleDescriptor, indirection_low) == 10 * sizeof(void*));
static_assert(offsetof(KesModuleDescriptor, indirection_high) == 11 * sizeof(void*));
static_assert(sizeof(KesModuleDescriptor) == 12 * sizeof(void*));
static_assert(sizeof(void*) != 4 || sizeof(KesModuleDescriptor) == 48, "48 bytes on 32-bit hosts");
#endif

typedef void (*KesExitProcedure)(void);

// Registers a module (instance null: the executable), applies its fix-ups, runs its
// initialisers and hands its per-thread areas to the thread layer.
KES_API void _sysinit(KesModuleDescriptor* descriptor, void* instance) KES_NOEXCEPT;
// Runs the module's terminators and unregisters it.
KES_API void _systerm(void* instance) KES_NOEXCEPT;
KES_API void Kew$CallDestructors(void* instance) KES_NOEXCEPT;
// 1 when a module built for (version, minor, build) may run with this library, else 0.
KES_API int32_t _checkversion(int32_t version, int32_t minor, int32_t build) KES_NOEXCEPT;
// 5 * 65536 + 500.
KES_API int32_t _getversion(void) KES_NOEXCEPT;
// The program's code begins (first call only).
KES_API void Kes$code(void) KES_NOEXCEPT;
// Ends the process after the exit procedures and the executable's terminators; a call from an
// exit procedure ends it at once.
KES_API void Kes$exit(int32_t code) KES_NOEXCEPT;
// 0 when registered, 1 when the 33 slots are taken.
KES_API int32_t Kes$atexit(KesExitProcedure procedure) KES_NOEXCEPT;
// Ends the process at once with exit code 255.
KES_API void Standard$HALT(void) KES_NOEXCEPT;
// The procedure the final shutdown calls (a later call replaces it).
KES_API void Kes$SHUTDOWN(KesExitProcedure procedure) KES_NOEXCEPT;
// HALT: the message on the string stack.
KES_API void Kes$HALT(int32_t code, int32_t quiet) KES_NOEXCEPT;
// STOP: the message on the string stack.
KES_API void Kes$STOP(int32_t flag) KES_NOEXCEPT;
KES_API void Kes$AssertFailed(int32_t line, const char* file) KES_NOEXCEPT;
// The message on the string stack.
KES_API void Kes$AssertFailedM(int32_t line, const char* file) KES_NOEXCEPT;
KES_API void WslDebug$AssertFailed(const char* expression, const char* file,
                                   int32_t line) KES_NOEXCEPT;
// Closes the window layer and runs the final shutdown.
KES_API void Wsl$CloseDown(void) KES_NOEXCEPT;
// RUN: the command line on the string stack.
KES_API void Kes$RUN(int32_t wait) KES_NOEXCEPT;
KES_API int32_t Kes$RUNCODE(void) KES_NOEXCEPT;
KES_API void* Kew$LoadLibrary(const char* file_name) KES_NOEXCEPT;
// 1 when unloaded, 0 when the handle was refused.
KES_API int32_t Kew$FreeLibrary(void* handle) KES_NOEXCEPT;
KES_API void Kew$SetStartInfo(void) KES_NOEXCEPT;
KES_API void Kew$PatchDlls(void) KES_NOEXCEPT;
KES_API void Kew$UnpatchDlls(void) KES_NOEXCEPT;
KES_API void* Wsl$GetLibInstance(void) KES_NOEXCEPT;
KES_API void Wsl$SetLibInstance(void* instance) KES_NOEXCEPT;
KES_API void* Wsl$GetAppInstance(void) KES_NOEXCEPT;
