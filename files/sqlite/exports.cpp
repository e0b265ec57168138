// The driver's one export: its entry function.
#include <new>

#include <kestrel/sqlite_driver.h>

#include "files/sqlite/driver.h"

K55SQLITE_API int32_t SQLite$Driver(int32_t operation, Drv_FCB* file,
                                    const Drv_Args* arguments) noexcept {
  static const Drv_Args kNoArguments{};
  if (file == nullptr) {
    Kes$seterror(80);
    return 0;
  }
  try {
    return kes::sqlite::run_operation(operation, file,
                                      arguments == nullptr ? kNoArguments : *arguments);
  } catch (const std::bad_alloc&) {
    drv_post_error(file, 8, nullptr, nullptr);  // Insufficient Memory
    return 0;
  }
}
