// How a statement reaches its driver: the checks on the control block, the THREAD instance, the
// callbacks, the driver call and the failing file of the error state.
//
// State: the thread layer's hooks for THREAD files are process-wide (installed once by that
// layer); nothing else.
#pragma once

#include <cstdint>

#include <kestrel/files.h>

#include "files/dispatch/callbacks.h"
#include "files/error_state.h"

namespace kes::files {

// ---- THREAD files. The thread layer installs how to find (and make) the calling thread's
// instance of a THREAD file and the calling thread's identifier. Until it does, the declared
// block is the one instance and the program has one thread, identifier 1.
struct ThreadFileHooks {
  // The calling thread's instance of `file`; with `create`, made when missing (*made then set).
  Drv_FCB* (*instance)(Drv_FCB* file, bool create, bool* made) = nullptr;
  std::int32_t (*thread_id)() = nullptr;
};
void set_thread_file_hooks(const ThreadFileHooks& hooks) noexcept;
// The block the driver works on: the calling thread's instance of a THREAD file, else `file`.
Drv_FCB* thread_instance(Drv_FCB* file) noexcept;
std::int32_t current_thread_id() noexcept;
// Kes$ThreadedFileOpen: makes the calling thread's instance; a new one starts not open.
void open_thread_instance(Drv_FCB* file) noexcept;

// Calls the driver of `instance` for an operation on `file` (the block the program named, which
// its callbacks are registered on), through the callbacks when it has any. The error state is
// left as the driver and the callbacks leave it.
inline std::int32_t call_driver(Drv_FCB* file, Drv_FCB* instance, std::int32_t operation,
                                const Drv_Args& arguments) noexcept {
  std::int32_t result = 0;
  if ((file->library_flags & kHasCallbacks) != 0 && callbacks_watch(operation) &&
      run_with_callbacks(file, instance, operation, arguments, result)) {
    return result;
  }
  return instance->driver(operation, instance, &arguments);
}

// The out-of-line cases of run_statement: a null file or driver, a THREAD file, a file with
// callbacks; and naming the failing file.
std::int32_t run_unusual_statement(Drv_FCB* file, std::int32_t operation,
                                   const Drv_Args& arguments) noexcept;
void name_failing_file(Drv_FCB* file) noexcept;

// A statement on a file: clears the error state, refuses a null file or driver with 80, calls
// the driver of the file's instance and names the file in the error state when the driver
// posted an error without naming one. The common case (a plain file without callbacks) runs
// inline in the export, so that it costs little more than the driver call itself.
inline std::int32_t run_statement(Drv_FCB* file, std::int32_t operation,
                                  const Drv_Args& arguments) noexcept {
  clear_error();
  if (file == nullptr || file->driver == nullptr || (file->attributes & DRV_ATTR_THREAD) != 0 ||
      (file->library_flags & kHasCallbacks) != 0) [[unlikely]] {
    return run_unusual_statement(file, operation, arguments);
  }
  const std::int32_t result = file->driver(operation, file, &arguments);
  if (Kes$ERRCODE != 0) [[unlikely]]
    name_failing_file(file);
  return result;
}
// A statement on a key: the same on the key's file, the key in arguments.key.
std::int32_t run_key_statement(Drv_KCB* key, std::int32_t operation, Drv_Args arguments) noexcept;
// OPEN, SHARE and CREATE: a failure with 90 while the remote-file layer is present sets the
// file's property 7346h to "AXS" and calls the driver once more.
std::int32_t run_open(Drv_FCB* file, std::int32_t operation, const Drv_Args& arguments) noexcept;

#ifdef KES_TESTING
void reset_thread_file_hooks_for_testing() noexcept;
#endif

}  // namespace kes::files
