// DIRECTORY and LFNDIRECTORY: the files of a pattern listed as records, with the attribute
// filters of each list and the DOS-style find that DIRECTORY reads through (8.3 names, times
// packed to two seconds).
//
// State: none beyond each search object.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

#include <kestrel/command.h>

#include "platform/dirs/dirs.h"

namespace kes::services {

// Patterns programs pass are cut to these many bytes.
inline constexpr std::size_t kDirectoryPatternLimit = 260;
inline constexpr std::size_t kLongDirectoryPatternLimit = 259;

// A file as the DOS-style find reports it.
struct DosEntry {
  char name[13];       // the 8.3 name, else the long name cut to 12 bytes; terminated
  std::uint16_t date;  // (year - 1980) << 9 | month << 5 | day
  std::uint16_t time;  // hour << 11 | minute << 5 | second / 2
  std::uint32_t size;  // low 32 bits
  std::uint8_t attributes;
};

// Packs a local time into the DOS date and time; years outside 1980 to 2107 are held at the
// nearest end of that range (1 January 1980 00:00:00, 31 December 2107 23:59:58).
std::uint16_t dos_date(const platform::FileTime& time) noexcept;
std::uint16_t dos_time(const platform::FileTime& time) noexcept;

// The DOS-style find: the files of a pattern whose hidden, system and directory attributes are
// all among the requested ones (requested & 37h); a pattern without "*" or "?" gives one file
// at most.
class DosFind {
 public:
  bool first(std::string_view pattern, std::uint8_t requested) noexcept;
  bool next() noexcept;
  const DosEntry& entry() const noexcept { return entry_; }

 private:
  bool take() noexcept;
  platform::DirectorySearch search_;
  DosEntry entry_{};
  std::uint8_t requested_ = 0;
  bool single_ = false;
  bool done_ = true;
};

// The attribute filters, on the file's attributes and the requested ones. Both look at the
// hidden, system and directory bits a = file & 16h: with nothing requested a file is taken
// only when a = 0. Otherwise LFNDIRECTORY (r = requested & 16h) takes it when a = 0 or a shares
// a bit with r; DIRECTORY (r = requested & 37h) when a = 0, or when a has no bit outside r and
// shares one with it.
bool long_list_takes(std::uint32_t attributes, std::uint8_t requested) noexcept;
bool dos_list_takes(std::uint32_t attributes, std::uint8_t requested) noexcept;

// The records of one file.
void fill_record(const DosEntry& entry, KesDirectoryRecord& record) noexcept;
void fill_long_record(const platform::FoundFile& file, KesLongDirectoryRecord& record) noexcept;

// Lists the files of `pattern` that the list's filter takes, handing each record to `add` in
// turn until `add` answers false; returns how many were handed. A pattern that matches nothing
// hands none.
using RecordSink = bool (*)(void* context, const void* record, std::size_t size);
std::size_t list_directory(std::string_view pattern, std::uint8_t requested, RecordSink add,
                           void* context) noexcept;
std::size_t list_long_directory(std::string_view pattern, std::uint8_t requested, RecordSink add,
                                void* context) noexcept;

}  // namespace kes::services
