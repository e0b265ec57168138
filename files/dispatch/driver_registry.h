// The driver registry: one record per open file (per file and thread for a THREAD file), made
// by the driver at OPEN and removed at CLOSE, behind STATUS(), the transaction frame and the
// final shutdown.
//
// State: process-wide by design (a transaction spans the files of every thread); no lock of
// its own, the runtime lock serialises its users.
#pragma once

#include <cstdint>

#include <kestrel/driver.h>

#include "files/dispatch/heap_vector.h"

namespace kes::files {

// One record, fields in the order the registry keeps them.
struct DriverRecord {
  bool in_transaction;
  Drv_FCB* file;
  std::int32_t thread;  // the owning thread's identifier for a THREAD file, -1 otherwise
  std::int32_t status;
  bool supports_logout;
  bool supports_rollback;
  bool supports_commit;
  bool lock_before_logout;
  bool unlock_after;
  std::uint16_t logout_number;
};

// What the driver declares at activation.
struct DriverSupport {
  std::int32_t status;
  bool supports_logout;
  bool supports_rollback;
  bool supports_commit;
  bool lock_before_logout;
  bool unlock_after;
};

// Appends a record for the file (for a THREAD file, the calling thread's) unless it has one, in
// which case only a nonzero status replaces the recorded one. False when the heap is exhausted.
bool activate_driver(Drv_FCB* file, const DriverSupport& support) noexcept;
void deactivate_driver(Drv_FCB* file) noexcept;

// The file's record for the calling thread, or null.
DriverRecord* find_driver_record(const Drv_FCB* file) noexcept;

// The records, oldest first.
HeapVector<DriverRecord>& driver_records() noexcept;

}  // namespace kes::files
