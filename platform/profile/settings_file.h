// Reading a text file from start to end in pieces, for settings files of any size.
//
// State: none beyond the open file of each reader object.
#pragma once

#include <cstddef>
#include <cstdio>
#include <span>
#include <string_view>

namespace kes::platform {

// Error numbers of open().
inline constexpr int kFileOpened = 0;
inline constexpr int kFileNotFound = 2;  // no such file, or the name is empty or too long
inline constexpr int kFileNoPath = 3;    // a directory on the path does not exist
inline constexpr int kFileAccessDenied = 5;

class FileReader {
 public:
  FileReader() noexcept = default;
  FileReader(const FileReader&) = delete;
  FileReader& operator=(const FileReader&) = delete;
  ~FileReader();

  // Opens the file at `path` for reading (a path of up to 4095 bytes); one of the error numbers
  // above. A reader holds one file at a time; opening again closes the previous one.
  int open(std::string_view path) noexcept;
  // Fills `out` with the next bytes; the count read, 0 at the end of the file or on a read
  // failure. Reading a reader that is not open gives 0.
  std::size_t read(std::span<char> out) noexcept;
  void close() noexcept;

 private:
  std::FILE* file_ = nullptr;
};

}  // namespace kes::platform
