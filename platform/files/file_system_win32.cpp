// Files by name through the Win32 file calls.
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
  if (!::CopyFileA(source.c_str(), temporary, FALSE)) {
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
  DWORD written = 0;
  BOOL ok = ::WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
  OsError result = ok && written == text.size() ? OsError::None : last_failure();
  ::CloseHandle(file);
  return result;
}

#ifdef KES_TESTING
void limit_file_size_for_testing(std::uint64_t) noexcept {}
#endif

}  // namespace kes::platform
