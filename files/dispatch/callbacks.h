// The callback registry: the objects a program registers on a file to watch, and veto, every
// operation on it.
//
// State: process-wide by design (a file's callbacks serve every thread that uses the file); no
// lock of its own, the runtime lock serialises its users.
#pragma once

#include <cstdint>

#include <kestrel/files.h>

namespace kes::files {

// Adds the object to the file's list (making the list on first use); false when the heap is
// exhausted.
bool register_callback(Drv_FCB* file, KesFileCallback* callback) noexcept;
// Removes one registration of the object; the file's record goes with its last one.
void unregister_callback(Drv_FCB* file, KesFileCallback* callback) noexcept;

// Marks a file block (in Drv_FCB.library_flags) that has callbacks, so that the dispatch looks
// up only the files that have them.
inline constexpr std::uint8_t kHasCallbacks = 0x01;

// Whether callbacks see the operation (all but 73, 74, 87, 91, 94, 95 and 103).
bool callbacks_watch(std::int32_t operation) noexcept;

// Runs an operation through the callbacks of `file` (the block the program named): every
// before-operation, the driver of `instance` unless one vetoed, every after-operation; the
// first false answer of each round posts 90 with that callback's texts. Returns false, doing
// nothing, when the file has no callbacks; otherwise `result` is the driver's result, 0 after
// a veto.
bool run_with_callbacks(Drv_FCB* file, Drv_FCB* instance, std::int32_t operation,
                        const Drv_Args& arguments, std::int32_t& result) noexcept;

#ifdef KES_TESTING
void reset_callbacks_for_testing() noexcept;
#endif

}  // namespace kes::files
