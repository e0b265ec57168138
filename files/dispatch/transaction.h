// The transaction frame across files: LOGOUT, COMMIT and ROLLBACK, and the final shutdown's
// commit and close of every open file.
//
// State: the active flag is process-wide by design: a transaction begun on one thread is the
// process's transaction.
#pragma once

#include <cstdint>
#include <span>

#include <kestrel/driver.h>

namespace kes::files {

bool transaction_active() noexcept;

// LOGOUT: the given files, numbered from 1 in order, or, when there are none, the logout
// list's files with their numbers. Posts 56 while a transaction is active; otherwise each file
// is locked (when its driver asks) and logged out, and the first failure (37, 48) rolls back the
// files already in, is posted and leaves no transaction. The logout list is emptied.
void logout(std::int32_t timeout, std::span<Drv_FCB* const> files) noexcept;

// COMMIT and ROLLBACK: posts 91 without a transaction; otherwise ends it, the newest file first,
// each through its driver's COMMIT or ROLLBACK (when it supports it) and UNLOCK (when it asked).
void commit() noexcept;
void rollback() noexcept;

// The file's number in the transaction (0 when not in it); outside one, its registered number.
std::uint16_t logout_number(const Drv_FCB* file) noexcept;

// Installs the final shutdown's steps into the life cycle: commit the active transaction, then
// DESTROY every file of the driver registry, the newest first, and empty the registry.
void install_shutdown_steps() noexcept;
void commit_at_shutdown() noexcept;
void destroy_open_files() noexcept;

#ifdef KES_TESTING
// No transaction, no logout list, no driver records, no callbacks.
void reset_files_for_testing() noexcept;
#endif

}  // namespace kes::files
