// Attach, exit procedures, exit, final shutdown and close-down.
#include "runtime/lifecycle/lifecycle.h"

#include <array>
#include <exception>

#include "platform/core/process_exit.h"
#include "platform/launch/dynamic_library.h"
#include "runtime/fatal/fatal.h"
#include "runtime/fatal/hooks.h"
#include "runtime/lifecycle/module_registry.h"
#include "runtime/lifecycle/run_program.h"
#include "runtime/lifecycle/version.h"

namespace kes::runtime {
namespace {

bool active = false;
bool halting_now = false;
bool exit_started = false;
bool shutdown_done = false;
bool program_code_started = false;
bool locale_started = false;
void* recorded_library_instance = nullptr;
void* recorded_application_instance = nullptr;
KesExitProcedure shutdown_procedure = nullptr;

std::array<KesExitProcedure, kExitProcedureSlots> exit_procedures{};
int exit_procedure_count = 0;

// The library's own module: nothing to initialise, fix or terminate.
KesModuleDescriptor library_descriptor{};

void call_if_set(void (*step)()) noexcept {
  if (step != nullptr) step();
}

[[noreturn]] void on_terminate() noexcept { fatal(RuntimeError::None, "Unhandled exception"); }

// A fatal report ends the program through the life cycle's steps, installed when it is loaded.
[[maybe_unused]] const bool fatal_steps_installed = [] {
  FatalReportSteps& steps = fatal_report_steps();
  steps.library_active = &library_active;
  steps.run_final_shutdown = &run_final_shutdown;
  steps.set_halting = &set_halting;
  steps.exit_program = &exit_program;
  return true;
}();

// Not at attach: the library's own static data may not be initialised yet while the host loads
// it, but it is by the time compiled code first calls in.
void start_locale_once() noexcept {
  if (locale_started) return;
  locale_started = true;
  call_if_set(library_hooks().start_locale);
}

}  // namespace

void attach_library(void* library_instance) noexcept {
  recorded_library_instance = library_instance;
  recorded_application_instance = platform::executable_handle();
  active = true;
  std::set_terminate(on_terminate);
  initialise_module(&library_descriptor, library_instance);
}

void detach_library(void* library_instance) noexcept { terminate_module(library_instance); }

bool library_active() noexcept { return active; }
bool halting() noexcept { return halting_now; }
void set_halting() noexcept { halting_now = true; }

void* library_instance() noexcept { return recorded_library_instance; }
void set_library_instance(void* instance) noexcept { recorded_library_instance = instance; }
void* application_instance() noexcept {
  return recorded_application_instance != nullptr ? recorded_application_instance
                                                  : platform::executable_handle();
}

std::int32_t register_exit_procedure(KesExitProcedure procedure) noexcept {
  if (procedure == nullptr || exit_procedure_count == kExitProcedureSlots) return 1;
  exit_procedures[static_cast<std::size_t>(exit_procedure_count++)] = procedure;
  return 0;
}

void exit_program(std::int32_t code) noexcept {
  if (!exit_started) {
    exit_started = true;
    // Taken one at a time, so a procedure registered by an exit procedure still runs.
    while (exit_procedure_count > 0) {
      KesExitProcedure procedure =
          exit_procedures[static_cast<std::size_t>(--exit_procedure_count)];
      procedure();
    }
    terminate_module(application_instance());
  }
  // The host keeps the low eight bits of the code.
  platform::end_process(static_cast<int>(code));
}

void set_shutdown_procedure(KesExitProcedure procedure) noexcept { shutdown_procedure = procedure; }

void run_final_shutdown() noexcept {
  if (shutdown_done) return;
  shutdown_done = true;
  if (shutdown_procedure != nullptr) shutdown_procedure();
  call_if_set(library_hooks().commit_transaction);
  call_if_set(library_hooks().close_open_files);
}

void close_down() noexcept {
  call_if_set(library_hooks().close_open_windows);
  call_if_set(library_hooks().close_thread_layer);
  active = false;
  call_if_set(library_hooks().stop_timer);
  run_final_shutdown();
}

void start_module(KesModuleDescriptor* descriptor, void* instance) noexcept {
  start_locale_once();
  initialise_module(descriptor, instance);
}

void begin_program_code() noexcept {
  if (program_code_started) return;
  program_code_started = true;
  start_locale_once();
  call_if_set(library_hooks().initialise_main_thread);
}

#ifdef KES_TESTING
void reset_lifecycle_for_testing() noexcept {
  reset_modules_for_testing();
  reset_hooks_for_testing();
  reset_version_for_testing();
  reset_run_program_for_testing();
  active = false;
  halting_now = false;
  exit_started = false;
  shutdown_done = false;
  program_code_started = false;
  locale_started = false;
  recorded_library_instance = nullptr;
  recorded_application_instance = nullptr;
  shutdown_procedure = nullptr;
  exit_procedures.fill(nullptr);
  exit_procedure_count = 0;
}

void set_library_active_for_testing(bool is_active) noexcept { active = is_active; }
#endif

}  // namespace kes::runtime
