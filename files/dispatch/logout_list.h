// The logout list: the files a LOGOUT without files takes, each with its logout number, in
// ascending order of number (files of equal number in the order they were registered), each
// file at most once, kept in a QUEUE.
//
// State: process-wide by design, like the transaction it prepares.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>

#include <kestrel/driver.h>

namespace kes::files {

struct LogoutEntry {
  std::uint16_t number;
  Drv_FCB* file;
};

// Registers the file with its number, replacing an earlier registration; false when the list
// cannot take it (the earlier registration is then gone too).
bool add_logout_file(Drv_FCB* file, std::uint16_t number) noexcept;
// Removes the file's registration; false when it has none.
bool delete_logout_file(Drv_FCB* file) noexcept;
std::optional<std::uint16_t> registered_logout_number(const Drv_FCB* file) noexcept;

std::size_t logout_file_count() noexcept;
// The entry at `index`, [0, logout_file_count()); one with a null file beyond.
LogoutEntry logout_file(std::size_t index) noexcept;
void clear_logout_files() noexcept;

}  // namespace kes::files
