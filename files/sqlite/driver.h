// The SQLite driver's operations behind its entry function.
#pragma once

#include <cstdint>

#include <kestrel/driver.h>

namespace kes::sqlite {

// Carries out driver operation `operation` on `file`: checks the file's state, runs the
// operation, posts its errors through the library's error state and updates the state word.
// Returns the statement's result.
std::int32_t run_operation(std::int32_t operation, Drv_FCB* file, const Drv_Args& arguments);

}  // namespace kes::sqlite
