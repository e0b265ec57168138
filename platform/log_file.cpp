// Appending to a log file through the C library's streams, on every host.
#include "platform/log_file.h"

#include <cstdio>
#include <cstring>

namespace kes::platform {

bool append_to_file(std::string_view path, std::string_view text) noexcept {
  char name[4096];
  if (path.empty() || path.size() >= sizeof name || path.find('\0') != std::string_view::npos) {
    return false;
  }
  std::memcpy(name, path.data(), path.size());
  name[path.size()] = '\0';
  std::FILE* file = std::fopen(name, "ab");
  if (file == nullptr) return false;
  const bool written =
      text.empty() || std::fwrite(text.data(), 1, text.size(), file) == text.size();
  return std::fclose(file) == 0 && written;
}

}  // namespace kes::platform
