// The exported entry points of start-up, shutdown, HALT, STOP, assertions, RUN, library
// loading and the recorded instances.
#include <kestrel/lifecycle.h>

#include "platform/core/heap.h"
#include "platform/launch/dynamic_library.h"
#include "runtime/lifecycle/assertion.h"
#include "runtime/lifecycle/halt.h"
#include "runtime/lifecycle/lifecycle.h"
#include "runtime/lifecycle/module_registry.h"
#include "runtime/lifecycle/run_program.h"
#include "runtime/lifecycle/version.h"
#include "runtime/stack/string_stack.h"

namespace rt = kes::runtime;

extern "C" void _sysinit(KesModuleDescriptor* descriptor, void* instance) noexcept {
  rt::start_module(descriptor, instance);
}

extern "C" void _systerm(void* instance) noexcept { rt::terminate_module(instance); }

extern "C" void Kew$CallDestructors(void* instance) noexcept { rt::terminate_module(instance); }

extern "C" int32_t _checkversion(int32_t version, int32_t minor, int32_t build) noexcept {
  return rt::check_version(version, minor, build) ? 1 : 0;
}

extern "C" int32_t _getversion() noexcept { return rt::library_version_word(); }

extern "C" void Kes$code() noexcept { rt::begin_program_code(); }

extern "C" void Kes$exit(int32_t code) noexcept { rt::exit_program(code); }

extern "C" int32_t Kes$atexit(KesExitProcedure procedure) noexcept {
  return rt::register_exit_procedure(procedure);
}

extern "C" void Standard$HALT() noexcept { rt::halt_at_once(); }

extern "C" void Kes$SHUTDOWN(KesExitProcedure procedure) noexcept {
  rt::set_shutdown_procedure(procedure);
}

extern "C" void Kes$HALT(int32_t code, int32_t quiet) noexcept {
  rt::halt_program(code, quiet != 0);
}

extern "C" void Kes$STOP(int32_t flag) noexcept { rt::stop_program(flag); }

extern "C" void Kes$AssertFailed(int32_t line, const char* file) noexcept {
  rt::assertion_failed(line, file);
}

extern "C" void Kes$AssertFailedM(int32_t line, const char* file) noexcept {
  rt::assertion_failed_with_message(line, file);
}

extern "C" void WslDebug$AssertFailed(const char* expression, const char* file,
                                      int32_t line) noexcept {
  rt::internal_assertion_failed(expression, file, line);
}

extern "C" void Wsl$CloseDown() noexcept { rt::close_down(); }

extern "C" void Kes$RUN(int32_t wait) noexcept {
  rt::HeapText command{nullptr, 0};
  if (rt::string_stack_depth() > 0) command = rt::pop_to_heap();
  rt::run_program({command.pointer != nullptr ? command.pointer : "", command.length}, wait != 0);
  kes::platform::heap_free(command.pointer);
}

extern "C" int32_t Kes$RUNCODE() noexcept { return rt::last_run_code(); }

extern "C" void* Kew$LoadLibrary(const char* file_name) noexcept {
  return kes::platform::load_library(file_name);
}

extern "C" int32_t Kew$FreeLibrary(void* handle) noexcept {
  return kes::platform::free_library(handle) ? 1 : 0;
}

// Start-up information and library patching have nothing to do on this host.
extern "C" void Kew$SetStartInfo() noexcept {}
extern "C" void Kew$PatchDlls() noexcept {}
extern "C" void Kew$UnpatchDlls() noexcept {}

// ---- The instances recorded at start: the library's and the executable's.

extern "C" void* Wsl$GetLibInstance() noexcept { return rt::library_instance(); }

extern "C" void Wsl$SetLibInstance(void* instance) noexcept { rt::set_library_instance(instance); }

extern "C" void* Wsl$GetAppInstance() noexcept { return rt::application_instance(); }
