// The program's hooks and the steps other layers install.
#include "runtime/fatal/hooks.h"

#include <array>

namespace kes::runtime {
namespace {
std::array<ProgramHookProcedure, kProgramHookCount> program_hooks{};
std::array<bool, kProgramHookCount> hook_running{};
LibraryHooks installed_hooks;

std::size_t index_of(ProgramHook hook) noexcept { return static_cast<std::size_t>(hook); }
}  // namespace

void set_program_hook(ProgramHook hook, ProgramHookProcedure procedure) noexcept {
  program_hooks[index_of(hook)] = procedure;
}

ProgramHookProcedure program_hook(ProgramHook hook) noexcept {
  return program_hooks[index_of(hook)];
}

bool program_hook_callable(ProgramHook hook) noexcept {
  return program_hooks[index_of(hook)] != nullptr && !hook_running[index_of(hook)];
}

bool call_program_hook(ProgramHook hook, std::int32_t argument) noexcept {
  if (!program_hook_callable(hook)) return false;
  std::size_t index = index_of(hook);
  hook_running[index] = true;
  program_hooks[index](argument);
  hook_running[index] = false;
  return true;
}

LibraryHooks& library_hooks() noexcept { return installed_hooks; }

#ifdef KES_TESTING
void reset_hooks_for_testing() noexcept {
  program_hooks.fill(nullptr);
  hook_running.fill(false);
  installed_hooks = LibraryHooks{};
}
#endif

}  // namespace kes::runtime
