// Files by name on POSIX hosts.
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/files/file_system.h"

namespace kes::platform {
namespace {

// A name as the host reads it: terminated, '\' turned into '/'.
class HostName {
 public:
  explicit HostName(std::string_view name) noexcept {
    if (name.size() > kMaxHostPath) return;
    for (std::size_t i = 0; i < name.size(); ++i) {
      if (name[i] == '\0') return;  // a name cannot hold a zero byte
      text_[i] = name[i] == '\\' ? '/' : name[i];
    }
    text_[name.size()] = '\0';
    valid_ = !name.empty();
  }
  bool valid() const noexcept { return valid_; }
  const char* c_str() const noexcept { return text_; }
  char* data() noexcept { return text_; }

 private:
  char text_[kMaxHostPath + 1] = {};
  bool valid_ = false;
};

// Whether the directory part of the name exists (a name without one is in the current
// directory, which does).
bool parent_exists(const char* name) noexcept {
  const char* slash = std::strrchr(name, '/');
  if (slash == nullptr) return true;
  if (slash == name) return true;  // the root
  char parent[kMaxHostPath + 1];
  std::size_t length = static_cast<std::size_t>(slash - name);
  std::memcpy(parent, name, length);
  parent[length] = '\0';
  struct stat info {};
  return ::stat(parent, &info) == 0 && S_ISDIR(info.st_mode);
}

// The error of a failed call on `name`: a missing entry is a missing file when its directory
// exists and a missing path otherwise.
OsError failure_on(const char* name, int host_error) noexcept {
  if (host_error == ENOENT && !parent_exists(name)) return OsError::PathNotFound;
  return os_error_from_host(host_error);
}

bool write_all(int fd, const char* bytes, std::size_t length, int& host_error) noexcept {
  while (length > 0) {
    ssize_t written = ::write(fd, bytes, length);
    if (written < 0) {
      if (errno == EINTR) continue;
      host_error = errno;
      return false;
    }
    bytes += written;
    length -= static_cast<std::size_t>(written);
  }
  return true;
}

// Copies every byte of `in` to `out`; false with the host's error on failure.
bool copy_bytes(int in, int out, int& host_error) noexcept {
  char buffer[64 * 1024];
  for (;;) {
    ssize_t got = ::read(in, buffer, sizeof buffer);
    if (got == 0) return true;
    if (got < 0) {
      if (errno == EINTR) continue;
      host_error = errno;
      return false;
    }
    if (!write_all(out, buffer, static_cast<std::size_t>(got), host_error)) return false;
  }
}

}  // namespace

OsError remove_file(std::string_view name) noexcept {
  HostName host(name);
  if (!host.valid()) return OsError::PathNotFound;
  struct stat info {};
  if (::lstat(host.c_str(), &info) == 0 && S_ISDIR(info.st_mode)) return OsError::AccessDenied;
  if (::unlink(host.c_str()) == 0) return OsError::None;
  return failure_on(host.c_str(), errno);
}

OsError rename_file(std::string_view from, std::string_view to) noexcept {
  HostName source(from);
  HostName destination(to);
  if (!source.valid() || !destination.valid()) return OsError::PathNotFound;
  struct stat info {};
  if (::lstat(source.c_str(), &info) != 0) return failure_on(source.c_str(), errno);
  if (::lstat(destination.c_str(), &info) == 0) return OsError::FileExists;
  if (::rename(source.c_str(), destination.c_str()) == 0) return OsError::None;
  int host_error = errno;
  if (host_error == ENOENT && !parent_exists(destination.c_str())) return OsError::PathNotFound;
  return os_error_from_host(host_error);
}

OsError copy_file(std::string_view from, std::string_view to) noexcept {
  HostName source(from);
  HostName destination(to);
  if (!source.valid() || !destination.valid()) return OsError::PathNotFound;
  int in = ::open(source.c_str(), O_RDONLY | O_CLOEXEC);
  if (in < 0) return failure_on(source.c_str(), errno);
  struct stat source_info {};
  struct stat destination_info {};
  if (::fstat(in, &source_info) != 0 || S_ISDIR(source_info.st_mode)) {
    ::close(in);
    return OsError::AccessDenied;
  }
  if (::stat(destination.c_str(), &destination_info) == 0 &&
      destination_info.st_dev == source_info.st_dev &&
      destination_info.st_ino == source_info.st_ino) {
    ::close(in);
    return OsError::SharingViolation;
  }
  // The temporary file lies beside the destination, so the final rename stays on one volume.
  HostName temporary(to);
  std::size_t length = std::strlen(temporary.c_str());
  constexpr char kSuffix[] = ".kescopyXXXXXX";
  if (length + sizeof kSuffix > kMaxHostPath) {
    ::close(in);
    return OsError::PathNotFound;
  }
  std::memcpy(temporary.data() + length, kSuffix, sizeof kSuffix);
  int out = ::mkstemp(temporary.data());
  if (out < 0) {
    int host_error = errno;
    ::close(in);
    return failure_on(destination.c_str(), host_error);
  }
  int host_error = 0;
  bool copied = copy_bytes(in, out, host_error);
  if (copied && ::fchmod(out, source_info.st_mode & 07777) != 0) {
    copied = false;
    host_error = errno;
  }
  if (::close(out) != 0 && copied) {
    copied = false;
    host_error = errno;
  }
  ::close(in);
  if (copied && ::rename(temporary.c_str(), destination.c_str()) != 0) {
    copied = false;
    host_error = errno;
  }
  if (!copied) {
    ::unlink(temporary.c_str());
    return os_error_from_host(host_error);
  }
  return OsError::None;
}

bool path_exists(std::string_view name) noexcept {
  HostName host(name);
  struct stat info {};
  return host.valid() && ::stat(host.c_str(), &info) == 0;
}

bool is_directory(std::string_view name) noexcept {
  HostName host(name);
  struct stat info {};
  return host.valid() && ::stat(host.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

OsError append_to_file(std::string_view name, std::string_view text) noexcept {
  HostName host(name);
  if (!host.valid()) return OsError::PathNotFound;
  int fd = ::open(host.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
  if (fd < 0) return failure_on(host.c_str(), errno);
  int host_error = 0;
  bool written = write_all(fd, text.data(), text.size(), host_error);
  ::close(fd);
  return written ? OsError::None : os_error_from_host(host_error);
}

#ifdef KES_TESTING
void limit_file_size_for_testing(std::uint64_t bytes) noexcept {
  // Without this the host ends the process instead of failing the write.
  std::signal(SIGXFSZ, SIG_IGN);
  struct rlimit limit {};
  limit.rlim_cur = static_cast<rlim_t>(bytes);
  limit.rlim_max = static_cast<rlim_t>(bytes);
  ::setrlimit(RLIMIT_FSIZE, &limit);
}
#endif

}  // namespace kes::platform
