// Mapping of errno values onto the Win32 and DOS error numbers.
#include <cerrno>

#include "platform/launch/os_error.h"

namespace kes::platform {
namespace {
struct Mapping {
  int host;
  OsError error;
};

// Host values with a Win32 equivalent. Opening or removing a directory as a file is refused
// with access denied on Win32, and an over-long name reads as a path that cannot be found.
constexpr Mapping kMappings[] = {
    {ENOSYS, OsError::InvalidFunction},
    {ENOTTY, OsError::InvalidFunction},
    {ENOENT, OsError::FileNotFound},
    {ENOTDIR, OsError::PathNotFound},
    {ENAMETOOLONG, OsError::PathNotFound},
    {ELOOP, OsError::PathNotFound},
    {EMFILE, OsError::TooManyOpenFiles},
    {ENFILE, OsError::TooManyOpenFiles},
    {EACCES, OsError::AccessDenied},
    {EPERM, OsError::AccessDenied},
    {EISDIR, OsError::AccessDenied},
    {ENOTEMPTY, OsError::AccessDenied},
    {EBADF, OsError::InvalidHandle},
    {ENOMEM, OsError::NotEnoughMemory},
    {ENOBUFS, OsError::NotEnoughMemory},
    {EFAULT, OsError::InvalidBlock},
    {ENOEXEC, OsError::BadFormat},
    {EXDEV, OsError::NotSameDevice},
    {EROFS, OsError::WriteProtect},
    {ENXIO, OsError::NotReady},
    {E2BIG, OsError::BadLength},
    {ESPIPE, OsError::Seek},
    {EPIPE, OsError::WriteFault},
    {EIO, OsError::GeneralFailure},
    {EBUSY, OsError::SharingViolation},
    {ETXTBSY, OsError::SharingViolation},
    {EDEADLK, OsError::LockViolation},
    {EAGAIN, OsError::LockViolation},
    {ENOLCK, OsError::SharingBufferExceeded},
    {ENOSPC, OsError::HandleDiskFull},
    {EDQUOT, OsError::HandleDiskFull},
    {EFBIG, OsError::HandleDiskFull},
    {ENOTSUP, OsError::NotSupported},
    {ENETUNREACH, OsError::BadNetworkPath},
    {EHOSTUNREACH, OsError::BadNetworkPath},
    {ENETDOWN, OsError::BadNetworkPath},
    {ENODEV, OsError::DeviceDoesNotExist},
    {ECONNREFUSED, OsError::UnexpectedNetworkError},
    {ETIMEDOUT, OsError::UnexpectedNetworkError},
    {ECONNRESET, OsError::NetworkNameDeleted},
    {EEXIST, OsError::FileExists},
    {EINVAL, OsError::InvalidParameter},
};
}  // namespace

OsError os_error_from_host(int host_error) noexcept {
  if (host_error == 0) return OsError::None;
  for (const Mapping& m : kMappings) {
    if (m.host == host_error) return m.error;
  }
  return OsError::GeneralFailure;
}

OsError last_os_error() noexcept { return os_error_from_host(errno); }

void set_last_os_error(OsError error) noexcept {
  if (error == OsError::None) {
    errno = 0;
    return;
  }
  for (const Mapping& m : kMappings) {
    if (m.error == error) {
      errno = m.host;
      return;
    }
  }
  errno = EIO;
}

}  // namespace kes::platform
