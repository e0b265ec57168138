// Paths, directory searches and the command line on POSIX hosts.
#include <algorithm>
#include <cerrno>
#include <ctime>
#include <dirent.h>
#include <fcntl.h>
#include <new>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/dirs/dirs.h"

namespace kes::platform {

namespace {

char fold(char c) noexcept { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 32) : c; }

bool less_name(const std::string& a, const std::string& b) noexcept {
  const std::size_t n = std::min(a.size(), b.size());
  for (std::size_t i = 0; i < n; ++i) {
    const auto x = static_cast<unsigned char>(fold(a[i]));
    const auto y = static_cast<unsigned char>(fold(b[i]));
    if (x != y) return x < y;
  }
  if (a.size() != b.size()) return a.size() < b.size();
  return a < b;
}

std::uint32_t attributes_of(std::string_view name, const struct stat& info) noexcept {
  std::uint32_t attributes = 0;
  if (S_ISDIR(info.st_mode)) {
    attributes |= kAttributeDirectory;
  } else if (S_ISREG(info.st_mode)) {
    attributes |= kAttributeArchive;
  } else {
    attributes |= kAttributeSystem;
  }
  if (!name.empty() && name.front() == '.' && name != "." && name != "..") {
    attributes |= kAttributeHidden;
  }
  if ((info.st_mode & S_IWUSR) == 0) attributes |= kAttributeReadOnly;
  return attributes;
}

FileTime local_time_of(std::time_t seconds) noexcept {
  std::tm parts{};
  if (::localtime_r(&seconds, &parts) == nullptr) return FileTime{1970, 1, 1, 0, 0, 0};
  return FileTime{parts.tm_year + 1900,
                  static_cast<std::uint8_t>(parts.tm_mon + 1),
                  static_cast<std::uint8_t>(parts.tm_mday),
                  static_cast<std::uint8_t>(parts.tm_hour),
                  static_cast<std::uint8_t>(parts.tm_min),
                  static_cast<std::uint8_t>(parts.tm_sec > 59 ? 59 : parts.tm_sec)};
}

bool has_zero(std::string_view text) noexcept { return text.find('\0') != std::string_view::npos; }

}  // namespace

DirectorySearch::~DirectorySearch() { close(); }

void DirectorySearch::close() noexcept {
  names_.clear();
  position_ = 0;
}

bool DirectorySearch::first(std::string_view pattern) noexcept {
  close();
  if (has_zero(pattern)) return false;
  try {
    const std::size_t slash = pattern.rfind('/');
    const std::string_view name_pattern =
        slash == std::string_view::npos ? pattern : pattern.substr(slash + 1);
    directory_.assign(slash == std::string_view::npos ? std::string_view()
                                                      : pattern.substr(0, slash + 1));
    if (name_pattern.empty()) return false;
    DIR* listing = ::opendir(directory_.empty() ? "." : directory_.c_str());
    if (listing == nullptr) return false;
    try {
      while (const dirent* entry = ::readdir(listing)) {
        if (name_matches(name_pattern, entry->d_name)) names_.emplace_back(entry->d_name);
      }
    } catch (const std::bad_alloc&) {
      ::closedir(listing);
      throw;
    }
    ::closedir(listing);
    std::sort(names_.begin(), names_.end(), less_name);
  } catch (const std::bad_alloc&) {
    close();
    return false;
  }
  return next();
}

bool DirectorySearch::next() noexcept {
  // A name that went away since the listing was read is passed over.
  while (position_ < names_.size()) {
    if (load()) return true;
  }
  return false;
}

bool DirectorySearch::load() noexcept {
  try {
    const std::string& name = names_[position_++];
    const std::string path = directory_ + name;
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0 && ::lstat(path.c_str(), &info) != 0) return false;
    found_.name = name;
    found_.short_name.clear();
    found_.written = local_time_of(info.st_mtim.tv_sec);
    found_.size = static_cast<std::uint64_t>(info.st_size);
    found_.attributes = attributes_of(name, info);
    return true;
  } catch (const std::bad_alloc&) {
    return false;
  }
}

bool process_command_line(std::string& out) noexcept {
  try {
    out.clear();
    const int fd = ::open("/proc/self/cmdline", O_RDONLY | O_CLOEXEC);
    if (fd < 0) return true;  // no arguments to be had: an empty command line
    std::string raw;
    char chunk[4096];
    for (;;) {
      const ssize_t n = ::read(fd, chunk, sizeof chunk);
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) break;
      raw.append(chunk, static_cast<std::size_t>(n));
    }
    ::close(fd);
    if (!raw.empty() && raw.back() == '\0') raw.pop_back();
    std::size_t start = 0;
    for (bool first = true; start <= raw.size() && !raw.empty(); first = false) {
      std::size_t end = raw.find('\0', start);
      if (end == std::string::npos) end = raw.size();
      const std::string_view argument(raw.data() + start, end - start);
      if (!first) out += ' ';
      const bool quote =
          argument.empty() || std::any_of(argument.begin(), argument.end(), [](char c) {
            return static_cast<unsigned char>(c) <= ' ' || c == '"';
          });
      if (quote) out += '"';
      for (char c : argument) {
        out += c;
        if (c == '"') out += '"';
      }
      if (quote) out += '"';
      start = end + 1;
    }
    return true;
  } catch (const std::bad_alloc&) {
    out.clear();
    return false;
  }
}

bool change_directory(std::string_view path) noexcept {
  try {
    if (path.empty() || has_zero(path)) return false;
    return ::chdir(std::string(path).c_str()) == 0;
  } catch (const std::bad_alloc&) {
    return false;
  }
}

bool current_directory(std::string& out) noexcept {
  try {
    out.assign(256, '\0');
    for (;;) {
      if (::getcwd(out.data(), out.size()) != nullptr) {
        out.resize(std::char_traits<char>::length(out.data()));
        return true;
      }
      if (errno != ERANGE || out.size() > (1u << 20)) return false;
      out.assign(out.size() * 2, '\0');
    }
  } catch (const std::bad_alloc&) {
    return false;
  }
}

bool short_path_name(std::string_view path, std::string& out) noexcept {
  try {
    if (path.empty() || has_zero(path)) return false;
    out.assign(path);
    struct stat info {};
    return ::stat(out.c_str(), &info) == 0 || ::lstat(out.c_str(), &info) == 0;
  } catch (const std::bad_alloc&) {
    return false;
  }
}

bool long_path_name(std::string_view path, std::string& out) noexcept {
  try {
    if (has_zero(path)) return false;
    std::string absolute;
    if (path.empty() || path.front() != '/') {
      if (!current_directory(absolute)) return false;
      absolute += '/';
    }
    absolute.append(path);
    // Lexical: "." parts go, ".." takes the part before it away (never above the root).
    out.clear();
    std::size_t start = 0;
    while (start <= absolute.size()) {
      std::size_t end = absolute.find('/', start);
      if (end == std::string::npos) end = absolute.size();
      const std::string_view part(absolute.data() + start, end - start);
      if (part == "..") {
        const std::size_t last = out.rfind('/');
        out.erase(last == std::string::npos ? 0 : last);
      } else if (!part.empty() && part != ".") {
        out += '/';
        out.append(part.data(), part.size());
      }
      start = end + 1;
    }
    if (out.empty()) out.push_back('/');
    return true;
  } catch (const std::bad_alloc&) {
    return false;
  }
}

}  // namespace kes::platform
