// Files by name through the Win32 file calls.
//
// State: test builds keep a process-wide limit on the size of files written (set once, in a
// test's child process); other builds keep none.
#define WIN32_LEAN_AND_MEAN
#define NOMINMAX
#include <cstring>
#include <windows.h>

#include "platform/files/file_system.h"

namespace kes::platform {
namespace {

class HostName {
 public:
  explicit HostName(std::string_view name) noexcept {
    if (name.size() > kMaxHostPath || name.empty()) return;
    for (std::size_t i = 0; i < name.size(); ++i) {
      if (name[i] == '\0') return;
      text_[i] = name[i];
    }
    text_[name.size()] = '\0';
    valid_ = true;
  }
  bool valid() const noexcept { return valid_; }
  const char* c_str() const noexcept { return text_; }

 private:
  char text_[kMaxHostPath + 1] = {};
  bool valid_ = false;
};

OsError last_failure() noexcept { return os_error_from_host(static_cast<int>(::GetLastError())); }

#ifdef KES_TESTING
std::uint64_t g_size_limit = UINT64_MAX;
#endif

// Writes every byte at the file's end; false with the platform's last error set on failure.
// Test builds fail a write that would pass the size limit as a full disk does.
bool write_all(HANDLE file, const char* bytes, std::size_t length) noexcept {
#ifdef KES_TESTING
  LARGE_INTEGER size{};
  if (g_size_limit != UINT64_MAX && ::GetFileSizeEx(file, &size) &&
      static_cast<std::uint64_t>(size.QuadPart) + length > g_size_limit) {
    ::SetLastError(ERROR_DISK_FULL);
    return false;
  }
#endif
  while (length > 0) {
    DWORD chunk = length > 0x10000000u ? 0x10000000u : static_cast<DWORD>(length);
    DWORD written = 0;
    if (!::WriteFile(file, bytes, chunk, &written, nullptr)) return false;
    if (written == 0) {
      ::SetLastError(ERROR_DISK_FULL);
      return false;
    }
    bytes += written;
    length -= written;
  }
  return true;
}

// Copies every byte of the source file to a new file; false with the last error set on failure.
bool copy_bytes(const char* from, const char* to) noexcept {
  HANDLE in = ::CreateFileA(from, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                            OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
  if (in == INVALID_HANDLE_VALUE) return false;
  HANDLE out =
      ::CreateFileA(to, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (out == INVALID_HANDLE_VALUE) {
    DWORD error = ::GetLastError();
    ::CloseHandle(in);
    ::SetLastError(error);
    return false;
  }
  char buffer[16 * 1024];
  bool copied = true;
  for (;;) {
    DWORD got = 0;
    if (!::ReadFile(in, buffer, sizeof buffer, &got, nullptr)) {
      copied = false;
      break;
    }
    if (got == 0) break;
    if (!write_all(out, buffer, got)) {
      copied = false;
      break;
    }
  }
  DWORD error = ::GetLastError();
  if (!::CloseHandle(out) && copied) {
    copied = false;
    error = ::GetLastError();
  }
  ::CloseHandle(in);
  ::SetLastError(error);
  return copied;
}

DWORD attributes_of(const char* name) noexcept { return ::GetFileAttributesA(name); }

bool same_file(const char* left, const char* right) noexcept {
  HANDLE a = ::CreateFileA(left, 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                           OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (a == INVALID_HANDLE_VALUE) return false;
  HANDLE b = ::CreateFileA(right, 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                           nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  bool same = false;
  if (b != INVALID_HANDLE_VALUE) {
    BY_HANDLE_FILE_INFORMATION ia{};
    BY_HANDLE_FILE_INFORMATION ib{};
    same = ::GetFileInformationByHandle(a, &ia) && ::GetFileInformationByHandle(b, &ib) &&
           ia.dwVolumeSerialNumber == ib.dwVolumeSerialNumber &&
           ia.nFileIndexHigh == ib.nFileIndexHigh && ia.nFileIndexLow == ib.nFileIndexLow;
    ::CloseHandle(b);
  }
  ::CloseHandle(a);
  return same;
}

}  // namespace

OsError remove_file(std::string_view name) noexcept {
  HostName host(name);
  if (!host.valid()) return OsError::PathNotFound;
  return ::DeleteFileA(host.c_str()) ? OsError::None : last_failure();
}

OsError rename_file(std::string_view from, std::string_view to) noexcept {
  HostName source(from);
  HostName destination(to);
  if (!source.valid() || !destination.valid()) return OsError::PathNotFound;
  return ::MoveFileA(source.c_str(), destination.c_str()) ? OsError::None : last_failure();
}

OsError copy_file(std::string_view from, std::string_view to) noexcept {
  HostName source(from);
  HostName destination(to);
  if (!source.valid() || !destination.valid()) return OsError::PathNotFound;
  if (attributes_of(source.c_str()) == INVALID_FILE_ATTRIBUTES) return last_failure();
  if (same_file(source.c_str(), destination.c_str())) return OsError::SharingViolation;
  std::size_t length = std::strlen(destination.c_str());
  constexpr char kSuffix[] = ".kescopy";
  if (length + sizeof kSuffix > kMaxHostPath) return OsError::PathNotFound;
  char temporary[kMaxHostPath + 1];
  std::memcpy(temporary, destination.c_str(), length);
  std::memcpy(temporary + length, kSuffix, sizeof kSuffix);
  if (!copy_bytes(source.c_str(), temporary)) {
    OsError failure = last_failure();
    ::DeleteFileA(temporary);
    return failure;
  }
  if (!::MoveFileExA(temporary, destination.c_str(), MOVEFILE_REPLACE_EXISTING)) {
    OsError failure = last_failure();
    ::DeleteFileA(temporary);
    return failure;
  }
  return OsError::None;
}

bool path_exists(std::string_view name) noexcept {
  HostName host(name);
  return host.valid() && attributes_of(host.c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool is_directory(std::string_view name) noexcept {
  HostName host(name);
  if (!host.valid()) return false;
  DWORD attributes = attributes_of(host.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

OsError append_to_file(std::string_view name, std::string_view text) noexcept {
  HostName host(name);
  if (!host.valid()) return OsError::PathNotFound;
  HANDLE file = ::CreateFileA(host.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE,
                              nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return last_failure();
  OsError result = write_all(file, text.data(), text.size()) ? OsError::None : last_failure();
  ::CloseHandle(file);
  return result;
}

#ifdef KES_TESTING
void limit_file_size_for_testing(std::uint64_t bytes) noexcept { g_size_limit = bytes; }
#endif

}  // namespace kes::platform
