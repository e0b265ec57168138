// File reading through the C library's buffered streams.
#include "platform/profile/settings_file.h"

#include <cerrno>
#include <cstring>
#include <sys/stat.h>

namespace kes::platform {

FileReader::~FileReader() { close(); }

void FileReader::close() noexcept {
  if (file_ != nullptr) {
    std::fclose(file_);
    file_ = nullptr;
  }
}

int FileReader::open(std::string_view path) noexcept {
  close();
  char name[4096];
  if (path.empty() || path.size() >= sizeof name || path.find('\0') != std::string_view::npos) {
    return kFileNotFound;
  }
  std::memcpy(name, path.data(), path.size());
  name[path.size()] = '\0';
  struct stat info {};
  if (::stat(name, &info) == 0 && S_ISDIR(info.st_mode)) {
    return kFileAccessDenied;  // a directory is not a readable file
  }
  errno = 0;
  file_ = std::fopen(name, "rb");
  if (file_ != nullptr) {
    return kFileOpened;
  }
  switch (errno) {
    case EACCES:
    case EPERM: return kFileAccessDenied;
    case ENOTDIR: return kFileNoPath;
    default: return kFileNotFound;
  }
}

std::size_t FileReader::read(std::span<char> out) noexcept {
  if (file_ == nullptr || out.empty()) {
    return 0;
  }
  return std::fread(out.data(), 1, out.size(), file_);
}

}  // namespace kes::platform
