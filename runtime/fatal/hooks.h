// Procedures that the program and other layers of the library install into the life cycle.
//
// State: process-wide by nature (one program, one set of hooks); the thread switch leaves them.
#pragma once

#include <cstdint>
#include <string_view>

namespace kes::runtime {

// The program's hooks, set through the system properties of the same names.
enum class ProgramHook : std::uint8_t { Halt, Stop, Assert, Assert2, FatalError };
inline constexpr int kProgramHookCount = 5;

// A program hook takes one argument: the exit code (HaltHook), the flag (StopHook), the line
// number (AssertHook, AssertHook2) or the error number (FatalErrorHook).
using ProgramHookProcedure = void (*)(std::int32_t argument);

void set_program_hook(ProgramHook hook, ProgramHookProcedure procedure) noexcept;
ProgramHookProcedure program_hook(ProgramHook hook) noexcept;

// Calls the hook with `argument` and returns true; returns false without calling when it is not
// set or is running already (a hook that re-enters its own statement gets the built-in
// behaviour, so a HALT inside HaltHook ends the program instead of recursing).
bool call_program_hook(ProgramHook hook, std::int32_t argument) noexcept;

// Whether the hook is set and not running already (what call_program_hook would call).
bool program_hook_callable(ProgramHook hook) noexcept;

// The steps of start-up and shutdown that other layers fill; each is null until installed,
// and a null step does nothing.
struct LibraryHooks {
  // Start-up of the locale: the platform's regional settings and the program's settings file.
  void (*start_locale)() = nullptr;
  // Final shutdown: commit the active transaction; close every open file through its driver,
  // the most recently opened first, and empty the list of open files.
  void (*commit_transaction)() = nullptr;
  void (*close_open_files)() = nullptr;
  // Close-down of the window layer: close every open window; close the thread layer (waiting
  // for the other threads); stop the library's timer.
  void (*close_open_windows)() = nullptr;
  void (*close_thread_layer)() = nullptr;
  void (*stop_timer)() = nullptr;
  // Leave and re-enter the runtime lock around a wait for another program.
  void (*release_runtime_lock)() = nullptr;
  void (*retake_runtime_lock)() = nullptr;
  // The per-thread variable registry: register an area of a module (option 4: zero-filled,
  // 0: copied from its initial image), remove a module's areas, make the main thread's copies.
  void (*register_thread_area)(void* start, void* end, std::int32_t option, void* instance,
                               void* executable) = nullptr;
  void (*remove_thread_areas)(void* instance) = nullptr;
  void (*initialise_main_thread)() = nullptr;
  // The window layer's diagnostic log (K55LOG.TXT beside the program); standard error when not
  // installed.
  void (*write_diagnostic_log)(std::string_view text) = nullptr;
};

LibraryHooks& library_hooks() noexcept;

#ifdef KES_TESTING
// Clears every program hook and library hook.
void reset_hooks_for_testing() noexcept;
#endif

}  // namespace kes::runtime
