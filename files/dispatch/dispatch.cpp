// Statements to drivers: checks, THREAD instances, the remote-file retry of OPEN.
#include "files/dispatch/dispatch.h"

#include "files/error_state.h"
#include "runtime/string_stack.h"

namespace kes::files {
namespace {

ThreadFileHooks thread_hooks;

constexpr std::int32_t kRemoteAccessProperty = 0x7346;
constexpr char kRemoteAccessValue[] = "AXS";

KesFileNameRecord* name_record(Drv_FCB* file) noexcept {
  return reinterpret_cast<KesFileNameRecord*>(file);
}

}  // namespace

void set_thread_file_hooks(const ThreadFileHooks& hooks) noexcept { thread_hooks = hooks; }

Drv_FCB* thread_instance(Drv_FCB* file) noexcept {
  if (thread_hooks.instance == nullptr || (file->attributes & DRV_ATTR_THREAD) == 0) return file;
  bool made = false;
  Drv_FCB* instance = thread_hooks.instance(file, false, &made);
  return instance != nullptr ? instance : file;
}

std::int32_t current_thread_id() noexcept {
  return thread_hooks.thread_id != nullptr ? thread_hooks.thread_id() : 1;
}

void open_thread_instance(Drv_FCB* file) noexcept {
  if (file == nullptr || (file->attributes & DRV_ATTR_THREAD) == 0) return;
  if (thread_hooks.instance == nullptr) return;
  bool made = false;
  Drv_FCB* instance = thread_hooks.instance(file, true, &made);
  if (made && instance != nullptr) instance->state = nullptr;
}

std::int32_t run_unusual_statement(Drv_FCB* file, std::int32_t operation,
                                   const Drv_Args& arguments) noexcept {
  if (file == nullptr || file->driver == nullptr) {
    post_error(ErrorCode::UnsupportedFunction);
    if (file != nullptr) set_error_file(name_record(file));
    return 0;
  }
  Drv_FCB* instance = thread_instance(file);
  const std::int32_t result = call_driver(file, instance, operation, arguments);
  if (Kes$ERRCODE != 0) name_failing_file(instance);
  return result;
}

void name_failing_file(Drv_FCB* file) noexcept {
  if (Kes$FileError == nullptr) set_error_file(name_record(file));
}

std::int32_t run_key_statement(Drv_KCB* key, std::int32_t operation, Drv_Args arguments) noexcept {
  if (key == nullptr) [[unlikely]] {
    clear_error();
    post_error(ErrorCode::UnsupportedFunction);
    return 0;
  }
  arguments.key = key;
  return run_statement(key->file, operation, arguments);
}

std::int32_t run_open(Drv_FCB* file, std::int32_t operation, const Drv_Args& arguments) noexcept {
  const std::int32_t result = run_statement(file, operation, arguments);
  if (current_error() != ErrorCode::FileSystemError || _FindRemoteDriver == nullptr) return result;
  const int depth = runtime::string_stack_depth();
  runtime::push_reference(kRemoteAccessValue);
  Drv_Args property{};
  property.values[0] = kRemoteAccessProperty;
  run_statement(file, DRV_SET_PROPERTY, property);
  // A driver that did not take the value leaves it: the stack is given back as it was.
  while (runtime::string_stack_depth() > depth)
    runtime::pop_discard_slow();
  return run_statement(file, operation, arguments);
}

#ifdef KES_TESTING
void reset_thread_file_hooks_for_testing() noexcept { thread_hooks = ThreadFileHooks{}; }
#endif

}  // namespace kes::files
