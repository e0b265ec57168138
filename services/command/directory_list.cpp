// The DOS-style find, the attribute filters and the directory records.
#include "services/command/directory_list.h"

#include <cstring>

#include "numeric/dates/date_calendar.h"
#include "runtime/stack/string_store.h"

namespace kes::services {

namespace {

constexpr std::uint32_t kFilterBits =
    platform::kAttributeHidden | platform::kAttributeSystem | platform::kAttributeDirectory;  // 16h
constexpr std::uint32_t kRecordBits = 0x37;

// Stores a name into a blank-padded STRING field of the record, cut to its size.
template <std::size_t kSize>
void store_name(char (&field)[kSize], std::string_view name) noexcept {
  runtime::store_string(field, kSize, name.data(), static_cast<std::uint32_t>(name.size()));
}

std::int32_t serial_time(unsigned hour, unsigned minute, unsigned second) noexcept {
  return numeric::time_from_record(numeric::TimeRecord{static_cast<std::uint8_t>(hour),
                                                       static_cast<std::uint8_t>(minute),
                                                       static_cast<std::uint8_t>(second), 0});
}

}  // namespace

std::uint16_t dos_date(const platform::FileTime& time) noexcept {
  if (time.year < 1980) return (1 << 5) | 1;
  if (time.year > 2107) return static_cast<std::uint16_t>((127 << 9) | (12 << 5) | 31);
  return static_cast<std::uint16_t>(((time.year - 1980) << 9) | (time.month << 5) | time.day);
}

std::uint16_t dos_time(const platform::FileTime& time) noexcept {
  if (time.year < 1980) return 0;
  if (time.year > 2107) return static_cast<std::uint16_t>((23 << 11) | (59 << 5) | 29);
  return static_cast<std::uint16_t>((time.hour << 11) | (time.minute << 5) | (time.second / 2));
}

bool DosFind::first(std::string_view pattern, std::uint8_t requested) noexcept {
  requested_ = static_cast<std::uint8_t>(requested & kRecordBits);
  single_ = pattern.find_first_of("*?") == std::string_view::npos;
  done_ = !search_.first(pattern);
  while (!done_ && !take())
    done_ = !search_.next();
  return !done_;
}

bool DosFind::next() noexcept {
  if (done_ || single_) {
    done_ = true;
    return false;
  }
  do {
    done_ = !search_.next();
  } while (!done_ && !take());
  return !done_;
}

bool DosFind::take() noexcept {
  const platform::FoundFile& file = search_.file();
  if ((file.attributes & kFilterBits & ~std::uint32_t{requested_}) != 0) return false;
  const std::string_view name = file.short_name.empty() ? file.name : file.short_name;
  const std::size_t n = name.size() < 12 ? name.size() : 12;
  std::memcpy(entry_.name, name.data(), n);
  entry_.name[n] = '\0';
  entry_.date = dos_date(file.written);
  entry_.time = dos_time(file.written);
  entry_.size = static_cast<std::uint32_t>(file.size);
  entry_.attributes = static_cast<std::uint8_t>(file.attributes & 0xFF);
  return true;
}

bool long_list_takes(std::uint32_t attributes, std::uint8_t requested) noexcept {
  const std::uint32_t a = attributes & kFilterBits;
  const std::uint32_t r = requested & kFilterBits;
  if (r == 0) return a == 0;
  return a == 0 || (a & r) != 0;
}

bool dos_list_takes(std::uint32_t attributes, std::uint8_t requested) noexcept {
  const std::uint32_t a = attributes & kFilterBits;
  const std::uint32_t r = requested & kRecordBits;
  if (r == 0) return a == 0;
  return a == 0 || ((a & ~r) == 0 && (a & r) != 0);
}

void fill_record(const DosEntry& entry, KesDirectoryRecord& record) noexcept {
  const std::string_view name(entry.name, std::strlen(entry.name));
  store_name(record.name, name);
  const unsigned day = entry.date & 31u;
  const unsigned month = (entry.date >> 5) & 15u;
  const unsigned year = (entry.date >> 9) + 1980u;
  record.date =
      numeric::serial_from_fields(static_cast<std::int32_t>(month), static_cast<std::int32_t>(day),
                                  static_cast<std::int32_t>(year));
  record.time = serial_time(entry.time >> 11, (entry.time >> 5) & 63u, (entry.time & 31u) * 2);
  record.size = static_cast<std::int32_t>(entry.size);
  record.attributes = static_cast<std::uint8_t>(entry.attributes & kRecordBits);
}

void fill_long_record(const platform::FoundFile& file, KesLongDirectoryRecord& record) noexcept {
  store_name(record.name, file.name);
  store_name(record.short_name, file.short_name.empty() ? file.name : file.short_name);
  const platform::FileTime& t = file.written;
  record.date = numeric::serial_from_fields(t.month, t.day, t.year);
  record.time = serial_time(t.hour, t.minute, t.second);
  record.size = static_cast<std::int32_t>(file.size);
  record.attributes = static_cast<std::uint8_t>(file.attributes & kRecordBits);
}

std::size_t list_directory(std::string_view pattern, std::uint8_t requested, RecordSink add,
                           void* context) noexcept {
  std::size_t count = 0;
  DosFind find;
  for (bool found = find.first(pattern, requested); found; found = find.next()) {
    if (!dos_list_takes(find.entry().attributes, requested)) continue;
    KesDirectoryRecord record;
    fill_record(find.entry(), record);
    ++count;
    if (!add(context, &record, sizeof record)) break;
  }
  return count;
}

std::size_t list_long_directory(std::string_view pattern, std::uint8_t requested, RecordSink add,
                                void* context) noexcept {
  std::size_t count = 0;
  platform::DirectorySearch search;
  for (bool found = search.first(pattern); found; found = search.next()) {
    if (!long_list_takes(search.file().attributes, requested)) continue;
    KesLongDirectoryRecord record;
    fill_long_record(search.file(), record);
    ++count;
    if (!add(context, &record, sizeof record)) break;
  }
  return count;
}

}  // namespace kes::services
