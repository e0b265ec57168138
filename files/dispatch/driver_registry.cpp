// The records of open files.
#include "files/dispatch/driver_registry.h"

#include "files/dispatch/dispatch.h"
#include "files/dispatch/transaction.h"

namespace kes::files {
namespace {

HeapVector<DriverRecord> records;

std::int32_t owning_thread(const Drv_FCB* file) noexcept {
  return (file->attributes & DRV_ATTR_THREAD) != 0 ? current_thread_id() : -1;
}

std::size_t index_of(const Drv_FCB* file) noexcept {
  const std::int32_t thread = owning_thread(file);
  for (std::size_t i = 0; i < records.size(); ++i) {
    if (records[i].file == file && records[i].thread == thread) return i;
  }
  return records.size();
}

}  // namespace

bool activate_driver(Drv_FCB* file, const DriverSupport& support) noexcept {
  // An open file is what the final shutdown commits and destroys.
  install_shutdown_steps();
  const std::size_t index = index_of(file);
  if (index < records.size()) {
    if (support.status != 0) records[index].status = support.status;
    return true;
  }
  const DriverRecord record{false,
                            file,
                            owning_thread(file),
                            support.status,
                            support.supports_logout,
                            support.supports_rollback,
                            support.supports_commit,
                            support.lock_before_logout,
                            support.unlock_after,
                            0};
  return records.push_back(record);
}

void deactivate_driver(Drv_FCB* file) noexcept {
  const std::size_t index = index_of(file);
  if (index < records.size()) records.erase(index);
}

DriverRecord* find_driver_record(const Drv_FCB* file) noexcept {
  const std::size_t index = index_of(file);
  return index < records.size() ? &records[index] : nullptr;
}

HeapVector<DriverRecord>& driver_records() noexcept { return records; }

}  // namespace kes::files
