// A small in-memory file driver, written against driver.h alone, that behaves as every driver
// must: the reference the conformance suite holds real drivers to. It takes LONG and STRING
// fields, keys of any of them (unique or DUP, NOCASE, descending components, OPT) and keeps its
// tables in memory for the life of the process.
#pragma once

#include <cstdint>

#include <kestrel/driver.h>

namespace kes::test {

std::int32_t reference_driver(std::int32_t operation, Drv_FCB* file,
                              const Drv_Args* arguments) noexcept;

}  // namespace kes::test
