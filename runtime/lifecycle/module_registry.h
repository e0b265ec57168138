// The registered modules (the library itself, the program and each Kestrel DLL), their fix-ups,
// and their initialisers and terminators by priority.
//
// State: process-wide by nature; start-up and termination run on the thread that loads or
// unloads a module, and the list has no lock.
#pragma once

#include <cstddef>
#include <span>

#include <kestrel/lifecycle.h>

namespace kes::runtime {

// Registers a module: records the instance as the library's when none is recorded yet, links
// the descriptor to the newest registered module and records its instance, puts the module at
// the head of the list and applies its fix-ups. Its initialisers are not run yet. A null
// descriptor registers a module with nothing to run. Ends the program (fatal) when the heap
// cannot hold the list node.
void register_module(KesModuleDescriptor* descriptor, void* instance) noexcept;

// Runs the initialisers of every module registered since the last run: every entry of priority
// 255 of those modules (oldest module first, in table order), then the next lower priority
// present, down to 1. Entries of priority above 255 or below 1, and null initialisers, are not
// run. A module registered by an initialiser is initialised after the current run.
void run_pending_initialisers() noexcept;

// _sysinit: register_module (instance null: the executable), run_pending_initialisers, then
// hand the module's two per-thread areas to the thread layer (the second with option 4, then
// the first with option 0; for the executable only once).
void initialise_module(KesModuleDescriptor* descriptor, void* instance) noexcept;

// _systerm: removes the module's per-thread areas, unlinks it and runs its terminators by
// priority from 0 up to 255, each priority from the end of the table to its start (null
// terminators and priorities outside [0, 255] skipped), and frees its node. An instance that is
// not registered does nothing.
void terminate_module(void* instance) noexcept;

// The module walk: null gives the newest module's instance; an instance gives the instance of
// the module registered before it; null at the end (and for an instance not registered).
void* next_module_instance(void* instance) noexcept;

// The number of registered modules.
std::size_t registered_module_count() noexcept;

// The entries of a descriptor's initialisation table, empty when the table's bounds are null,
// reversed, misaligned or implausibly far apart (more than kMaxTableEntries entries).
inline constexpr std::size_t kMaxTableEntries = 65536;
std::span<const KesInitEntry> init_entries(const KesModuleDescriptor* descriptor) noexcept;

// Applies a descriptor's fix-ups: each whole, aligned word of each area whose value lies in
// [indirection_low, indirection_high) becomes the word stored at the address it holds. Lists
// with null or reversed bounds, and entries with a null or misaligned area, are skipped.
void apply_fixups(const KesModuleDescriptor& descriptor) noexcept;

#ifdef KES_TESTING
// Forgets every module without running terminators.
void reset_modules_for_testing() noexcept;
#endif

}  // namespace kes::runtime
