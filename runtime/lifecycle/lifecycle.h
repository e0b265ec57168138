// The library's life cycle as a whole: attach and detach, the exit procedures, exit, the final
// shutdown and the close-down of the library, and the flags other layers consult.
//
// State: process-wide by nature (one library per process); the thread switch leaves it.
#pragma once

#include <cstdint>

#include <kestrel/lifecycle.h>

namespace kes::runtime {

// Process attach: records the library's instance and the executable's, sets active, installs
// the terminate handler (which ends in the fatal path) and registers the library's own module.
void attach_library(void* library_instance) noexcept;
// Process detach: terminates the library's own module.
void detach_library(void* library_instance) noexcept;

// Set while the library is attached, cleared by close_down.
bool library_active() noexcept;
// Set when HALT, STOP or a fatal error is about to end the process.
bool halting() noexcept;
void set_halting() noexcept;

// The library's instance (null until recorded) and the executable's (the executable's own
// handle when none was recorded).
void* library_instance() noexcept;
void set_library_instance(void* instance) noexcept;
void* application_instance() noexcept;

// The exit procedures: 33 slots.
inline constexpr int kExitProcedureSlots = 33;
// Stores the procedure in the next free slot: 0; with every slot taken (or a null procedure):
// 1, nothing stored.
std::int32_t register_exit_procedure(KesExitProcedure procedure) noexcept;

// The first call calls the exit procedures, the most recently registered first, then
// terminates the executable's module; every call then ends the process with `code` (an exit
// procedure that calls it ends the process at once, skipping what is left).
[[noreturn]] void exit_program(std::int32_t code) noexcept;

// The procedure the final shutdown calls (null for none; a later call replaces it).
void set_shutdown_procedure(KesExitProcedure procedure) noexcept;

// Once per process: calls the shutdown procedure, commits the active transaction and closes
// every open file (through the file layer's steps). Later calls do nothing.
void run_final_shutdown() noexcept;

// Wsl$CloseDown: closes every window and the thread layer, clears active, stops the library's
// timer and runs the final shutdown.
void close_down() noexcept;

// _sysinit of a compiled module (the program or a Kestrel DLL): the first call starts the
// locale (the regional settings and the program's settings file), so the program's month
// names, collation and locale pictures are in force before any of its initialisers runs and
// without the program asking; then initialise_module.
void start_module(KesModuleDescriptor* descriptor, void* instance) noexcept;

// Kes$code: the first call starts the locale when no module has, and makes the main thread's
// copies of the per-thread variables; later calls do nothing.
void begin_program_code() noexcept;

#ifdef KES_TESTING
// Back to the state before attach: no modules, procedures, hooks or flags.
void reset_lifecycle_for_testing() noexcept;
// Marks the library active without registering anything.
void set_library_active_for_testing(bool active) noexcept;
#endif

}  // namespace kes::runtime
