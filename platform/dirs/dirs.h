// Paths, directories and the process's command line: the current directory, the short and long
// forms of a path, searches of a directory by a wildcard pattern, and the command line the
// process was started with.
//
// On Windows these are the Win32 calls (GetCommandLineA, SetCurrentDirectoryA,
// GetShortPathNameA, GetFullPathNameA, FindFirstFileA ...). Elsewhere:
// - paths are separated by "/" only, and there are no short names: the short form of a path is
//   the path itself, and a found file's short name is empty;
// - a search matches names without regard to the case of A to Z, as Windows does: "*" stands for
//   any run of characters, "?" for one character, "*.*" for every name and a pattern ending in
//   "." for names without a dot; files come in the order of their names (letters compared
//   without regard to case, then byte by byte), "." and ".." included;
// - attributes are made from the file's type and mode: directory 10h, hidden 02h for a name that
//   starts with "." (but not "." and ".."), read-only 01h when the owner may not write, system
//   04h for anything that is neither a regular file nor a directory, archive 20h for a regular
//   file; a symbolic link shows what it points to (itself when it points nowhere);
// - the command line is the arguments joined by single blanks, each one that is empty or holds
//   a blank, a control character or a double quote written in double quotes, with each of its
//   own double quotes written twice.
//
// State: none; each search object holds its own directory listing.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace kes::platform {

// Attribute bits as the DOS and Win32 file systems number them.
inline constexpr std::uint32_t kAttributeReadOnly = 0x01;
inline constexpr std::uint32_t kAttributeHidden = 0x02;
inline constexpr std::uint32_t kAttributeSystem = 0x04;
inline constexpr std::uint32_t kAttributeDirectory = 0x10;
inline constexpr std::uint32_t kAttributeArchive = 0x20;

// A local date and time of day, to the second.
struct FileTime {
  std::int32_t year;
  std::uint8_t month;   // [1, 12]
  std::uint8_t day;     // [1, 31]
  std::uint8_t hour;    // [0, 23]
  std::uint8_t minute;  // [0, 59]
  std::uint8_t second;  // [0, 59]
};

// One file found by a search.
struct FoundFile {
  std::string name;        // the long name
  std::string short_name;  // the 8.3 name; empty when the platform reports none
  FileTime written;        // last write, local time
  std::uint64_t size;      // bytes
  std::uint32_t attributes;
};

// A search over a pattern: a directory part (absent: the current directory) and a name that
// may hold wildcards.
class DirectorySearch {
 public:
  DirectorySearch() noexcept = default;
  DirectorySearch(const DirectorySearch&) = delete;
  DirectorySearch& operator=(const DirectorySearch&) = delete;
  ~DirectorySearch();

  // Starts a search; false when nothing matches or the directory cannot be read (the memory
  // running out included). Starting again ends the previous search.
  bool first(std::string_view pattern) noexcept;
  // Moves to the next match; false at the end.
  bool next() noexcept;
  // The current match, valid after first() or next() returned true.
  const FoundFile& file() const noexcept { return found_; }

 private:
  void close() noexcept;
  bool load() noexcept;

  FoundFile found_{};
  [[maybe_unused]] void* handle_ = nullptr;  // Windows: the search handle
  std::string directory_;                    // the pattern's directory part, with its separator
  std::vector<std::string> names_;           // elsewhere: the matching names, in order
  std::size_t position_ = 0;                 // elsewhere: index of the next name to report
};

// Whether a name matches a pattern by the rules above (used by the search elsewhere; exposed
// for its tests).
bool name_matches(std::string_view pattern, std::string_view name) noexcept;

// The process's command line (see above); false when the memory runs out.
bool process_command_line(std::string& out) noexcept;

// Makes `path` the current directory (drive included on Windows); false when it cannot.
bool change_directory(std::string_view path) noexcept;

// The current directory as an absolute path; false when it cannot be had.
bool current_directory(std::string& out) noexcept;

// The short form of an existing path (relative paths stay relative); false when the path does
// not exist.
bool short_path_name(std::string_view path, std::string& out) noexcept;

// The absolute form of `path` with each component that exists written as the file system
// spells it; false when it cannot be formed.
bool long_path_name(std::string_view path, std::string& out) noexcept;

}  // namespace kes::platform
