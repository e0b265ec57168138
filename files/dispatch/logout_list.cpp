// The logout list as a QUEUE of (logout number, file) records, each added by key on the number.
#include "files/dispatch/logout_list.h"

#include <cstring>

#include <kestrel/queues.h>
#include <kestrel/types.h>

#include "data/queues/statements.h"

namespace kes::files {
namespace {

// The record: the number as a USHORT, then the file's address as raw bytes (a STRING as long as
// a pointer), which nothing but this list reads.
constexpr std::uint32_t kFileOffset = 2;
constexpr std::uint32_t kRecordSize = kFileOffset + sizeof(Drv_FCB*);
static_assert(kRecordSize < 0x20, "sizes and offsets below are one-byte compact numbers");

// Its type descriptor, laid out as the compiler lays out a QUEUE's: the record (a GROUP of two
// fields), NUMBER at offset 0 and FILE at offset 2.
constexpr unsigned char kRecordType[] = {
    KesTypeGroup,
    0,
    kRecordSize,
    0,
    0,
    0,
    2,
    0,
    0,
    0,
    0,
    0,
    0,
    0,
    KesTypeUshort,
    0,
    KesTypeString,
    KesFieldOffset,
    sizeof(Drv_FCB*),
    kFileOffset,
};

// The list is ordered by field 1, ascending.
constexpr std::int32_t kByNumber[] = {1, 0};

unsigned char record[kRecordSize];
KesQueueDescriptor list{record, kRecordType, nullptr, kRecordSize};

LogoutEntry loaded() noexcept {
  LogoutEntry entry{};
  std::memcpy(&entry.number, record, sizeof entry.number);
  std::memcpy(&entry.file, record + kFileOffset, sizeof entry.file);
  return entry;
}

// The number of entries; 0, without making the queue, before the first registration.
std::int32_t entry_count() noexcept {
  if (list.group == nullptr) return 0;
  data::ErrorCode error = data::ErrorCode::None;
  return data::record_count(&list, error);
}

// Position of the file's entry, which is then loaded and current; 0 when it has none.
std::int32_t position_of(const Drv_FCB* file) noexcept {
  const std::int32_t count = entry_count();
  for (std::int32_t position = 1; position <= count; ++position) {
    if (data::get_record_at(&list, position) == data::ErrorCode::None && loaded().file == file) {
      return position;
    }
  }
  return 0;
}

}  // namespace

bool add_logout_file(Drv_FCB* file, std::uint16_t number) noexcept {
  delete_logout_file(file);
  std::memcpy(record, &number, sizeof number);
  std::memcpy(record + kFileOffset, &file, sizeof file);
  const data::KeySource by_number{data::KeySource::Kind::Numbers, kByNumber, {}, nullptr};
  return data::add_record_by_key(&list, by_number) == data::ErrorCode::None;
}

bool delete_logout_file(Drv_FCB* file) noexcept {
  return position_of(file) != 0 && data::delete_record(&list) == data::ErrorCode::None;
}

std::optional<std::uint16_t> registered_logout_number(const Drv_FCB* file) noexcept {
  if (position_of(file) == 0) return std::nullopt;
  return loaded().number;
}

std::size_t logout_file_count() noexcept { return static_cast<std::size_t>(entry_count()); }

LogoutEntry logout_file(std::size_t index) noexcept {
  if (data::get_record_at(&list, static_cast<std::int32_t>(index + 1)) != data::ErrorCode::None) {
    return LogoutEntry{};
  }
  return loaded();
}

void clear_logout_files() noexcept { data::free_descriptor(&list); }

}  // namespace kes::files
