// The host's error values are the Win32 error numbers themselves; numbers outside the error
// table's platform block become a general failure.
#define WIN32_LEAN_AND_MEAN
#define NOMINMAX
#include <windows.h>

#include "platform/launch/os_error.h"

namespace kes::platform {
namespace {

constexpr OsError kKnown[] = {
    OsError::InvalidFunction,
    OsError::FileNotFound,
    OsError::PathNotFound,
    OsError::TooManyOpenFiles,
    OsError::AccessDenied,
    OsError::InvalidHandle,
    OsError::NotEnoughMemory,
    OsError::InvalidBlock,
    OsError::BadFormat,
    OsError::InvalidAccess,
    OsError::InvalidData,
    OsError::NotSameDevice,
    OsError::WriteProtect,
    OsError::NotReady,
    OsError::BadLength,
    OsError::Seek,
    OsError::WriteFault,
    OsError::ReadFault,
    OsError::GeneralFailure,
    OsError::SharingViolation,
    OsError::LockViolation,
    OsError::SharingBufferExceeded,
    OsError::HandleDiskFull,
    OsError::NotSupported,
    OsError::BadNetworkPath,
    OsError::DeviceDoesNotExist,
    OsError::UnexpectedNetworkError,
    OsError::NetworkNameDeleted,
    OsError::FileExists,
    OsError::InvalidParameter,
};

// Host numbers with a nearer equivalent in the platform block.
struct Mapping {
  DWORD host;
  OsError error;
};
constexpr Mapping kMappings[] = {
    {ERROR_OUTOFMEMORY, OsError::NotEnoughMemory},
    {ERROR_ALREADY_EXISTS, OsError::FileExists},
    {ERROR_FILENAME_EXCED_RANGE, OsError::PathNotFound},
    {ERROR_INVALID_NAME, OsError::FileNotFound},
    {ERROR_DIRECTORY, OsError::PathNotFound},
    {ERROR_DISK_FULL, OsError::HandleDiskFull},
    {ERROR_BAD_EXE_FORMAT, OsError::BadFormat},
    {ERROR_MOD_NOT_FOUND, OsError::FileNotFound},
    {ERROR_BAD_NETPATH, OsError::BadNetworkPath},
};

}  // namespace

OsError os_error_from_host(int host_error) noexcept {
  if (host_error == 0) return OsError::None;
  for (const OsError known : kKnown) {
    if (static_cast<int>(known) == host_error) return known;
  }
  for (const Mapping& m : kMappings) {
    if (static_cast<int>(m.host) == host_error) return m.error;
  }
  return OsError::GeneralFailure;
}

OsError last_os_error() noexcept {
  const DWORD error = ::GetLastError();
  return error > 0x7FFF'FFFFu ? OsError::GeneralFailure
                              : os_error_from_host(static_cast<int>(error));
}

void set_last_os_error(OsError error) noexcept { ::SetLastError(static_cast<DWORD>(error)); }

}  // namespace kes::platform
