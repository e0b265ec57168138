// LOGOUT, COMMIT, ROLLBACK and the shutdown of open files.
#include "files/dispatch/transaction.h"

#include "files/dispatch/dispatch.h"
#include "files/dispatch/driver_registry.h"
#include "files/dispatch/logout_list.h"
#include "files/errors/error_state.h"
#include "runtime/fatal/hooks.h"

namespace kes::files {
namespace {

bool active = false;

enum class Ending : std::uint8_t { Commit, Rollback };

Drv_Args seconds(std::int32_t timeout) noexcept {
  Drv_Args arguments{};
  arguments.values[0] = timeout;
  return arguments;
}

// Ends the transaction: each record in it, newest first, through COMMIT or ROLLBACK and UNLOCK.
// A record's flag is cleared before its driver is called, so a driver that opens or closes
// files meanwhile can make a record be skipped, never called twice.
void end_transaction(Ending ending) noexcept {
  active = false;
  HeapVector<DriverRecord>& records = driver_records();
  for (std::size_t i = records.size(); i > 0; --i) {
    if (i > records.size() || !records[i - 1].in_transaction) continue;
    const DriverRecord record = records[i - 1];
    records[i - 1].in_transaction = false;
    if (record.file->driver == nullptr) continue;
    const bool supported =
        ending == Ending::Commit ? record.supports_commit : record.supports_rollback;
    const Drv_Args none{};
    if (supported) {
      call_driver(record.file, record.file, ending == Ending::Commit ? DRV_COMMIT : DRV_ROLLBACK,
                  none);
    }
    if (record.unlock_after) call_driver(record.file, record.file, DRV_UNLOCK, none);
  }
}

// Locks (when asked) and logs out one file: None or the error of its failure.
ErrorCode log_out_file(Drv_FCB* file, std::int32_t timeout, std::uint16_t number) noexcept {
  Drv_FCB* instance = thread_instance(file);
  if (instance->state == nullptr) return ErrorCode::FileNotOpen;
  DriverRecord* record = find_driver_record(instance);
  if (record == nullptr || instance->driver == nullptr) return ErrorCode::TransactionNotLogged;
  const bool lock = record->lock_before_logout;
  const bool supports_logout = record->supports_logout;
  const Drv_Args none{};
  bool locked = false;
  if (lock) {
    call_driver(file, instance, DRV_LOCKFILESEC, seconds(timeout));
    if (current_error() == ErrorCode::UnsupportedFunction) {
      clear_error();  // a driver that cannot lock takes part unlocked
    } else if (current_error() != ErrorCode::None) {
      return ErrorCode::TransactionNotLogged;
    } else {
      locked = true;
    }
  }
  if (!supports_logout) {
    if (locked) call_driver(file, instance, DRV_UNLOCK, none);
    return ErrorCode::TransactionNotLogged;
  }
  call_driver(file, instance, DRV_LOGOUT, seconds(timeout));
  if (current_error() != ErrorCode::None) {
    if (locked) call_driver(file, instance, DRV_UNLOCK, none);
    return ErrorCode::TransactionNotLogged;
  }
  // The driver may have opened or closed files meanwhile: look the record up again.
  record = find_driver_record(instance);
  if (record == nullptr) return ErrorCode::TransactionNotLogged;
  record->in_transaction = true;
  record->logout_number = number;
  return ErrorCode::None;
}

}  // namespace

bool transaction_active() noexcept { return active; }

void logout(std::int32_t timeout, std::span<Drv_FCB* const> files) noexcept {
  if (active) {
    post_error(ErrorCode::LogoutActive);
    return;
  }
  ErrorCode failure = ErrorCode::None;
  Drv_FCB* failed_file = nullptr;
  const std::size_t count = files.empty() ? logout_file_count() : files.size();
  for (std::size_t i = 0; i < count && failure == ErrorCode::None; ++i) {
    // A driver that changes the list while it logs out can shorten it under the loop.
    const LogoutEntry listed = files.empty() ? logout_file(i) : LogoutEntry{};
    Drv_FCB* file = files.empty() ? listed.file : files[i];
    if (file == nullptr) break;
    const std::uint16_t number = files.empty() ? listed.number : static_cast<std::uint16_t>(i + 1);
    failure = log_out_file(file, timeout, number);
    if (failure != ErrorCode::None) failed_file = file;
  }
  if (count == 0) failure = ErrorCode::TransactionNotLogged;
  clear_logout_files();
  active = true;
  install_shutdown_steps();
  if (failure == ErrorCode::None) return;
  end_transaction(Ending::Rollback);
  post_error(failure);
  if (failed_file != nullptr) set_error_file(reinterpret_cast<KesFileNameRecord*>(failed_file));
}

void commit() noexcept {
  if (!active) {
    post_error(ErrorCode::LogoutNotActive);
    return;
  }
  end_transaction(Ending::Commit);
}

void rollback() noexcept {
  if (!active) {
    post_error(ErrorCode::LogoutNotActive);
    return;
  }
  end_transaction(Ending::Rollback);
}

std::uint16_t logout_number(const Drv_FCB* file) noexcept {
  if (active) {
    const DriverRecord* record = find_driver_record(file);
    return record != nullptr && record->in_transaction ? record->logout_number : 0;
  }
  return registered_logout_number(file).value_or(0);
}

void install_shutdown_steps() noexcept {
  runtime::LibraryHooks& hooks = runtime::library_hooks();
  hooks.commit_transaction = commit_at_shutdown;
  hooks.close_open_files = destroy_open_files;
}

void commit_at_shutdown() noexcept {
  if (active) end_transaction(Ending::Commit);
}

void destroy_open_files() noexcept {
  // Taken out first: a driver that deactivates its file during DESTROY finds nothing to remove.
  HeapVector<DriverRecord> open;
  driver_records().move_to(open);
  Drv_Args zero{};
  for (std::size_t i = open.size(); i > 0; --i) {
    Drv_FCB* file = open[i - 1].file;
    if (file->driver != nullptr) call_driver(file, file, DRV_DESTROY, zero);
  }
}

#ifdef KES_TESTING
void reset_files_for_testing() noexcept {
  active = false;
  clear_logout_files();
  driver_records().clear();
  reset_callbacks_for_testing();
  reset_thread_file_hooks_for_testing();
}
#endif

}  // namespace kes::files
