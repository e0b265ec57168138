// The logout list as a sorted array of (number, file).
#include "files/dispatch/logout_list.h"

#include "files/dispatch/heap_vector.h"

namespace kes::files {
namespace {

HeapVector<LogoutEntry> entries;

std::size_t index_of(const Drv_FCB* file) noexcept {
  for (std::size_t i = 0; i < entries.size(); ++i) {
    if (entries[i].file == file) return i;
  }
  return entries.size();
}

}  // namespace

bool add_logout_file(Drv_FCB* file, std::uint16_t number) noexcept {
  delete_logout_file(file);
  // After every entry of the same or a lower number: added by key, equal keys keep their order.
  std::size_t at = entries.size();
  while (at > 0 && entries[at - 1].number > number)
    --at;
  return entries.insert(at, LogoutEntry{number, file});
}

bool delete_logout_file(Drv_FCB* file) noexcept {
  const std::size_t index = index_of(file);
  if (index == entries.size()) return false;
  entries.erase(index);
  return true;
}

std::optional<std::uint16_t> registered_logout_number(const Drv_FCB* file) noexcept {
  const std::size_t index = index_of(file);
  if (index == entries.size()) return std::nullopt;
  return entries[index].number;
}

std::size_t logout_file_count() noexcept { return entries.size(); }

LogoutEntry logout_file(std::size_t index) noexcept { return entries[index]; }

void clear_logout_files() noexcept { entries.clear(); }

}  // namespace kes::files
