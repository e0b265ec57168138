// The host's error values in the numbering of the error table's platform block (the Win32 and
// DOS error numbers: 2 file not found, 3 path not found, 5 access denied, ...).
//
// State: the last error is the host's own per-thread value; nothing here is cached.
#pragma once

#include <cstdint>

namespace kes::platform {

// Win32 and DOS error numbers the host errors map onto.
enum class OsError : std::int32_t {
  None = 0,
  InvalidFunction = 1,
  FileNotFound = 2,
  PathNotFound = 3,
  TooManyOpenFiles = 4,
  AccessDenied = 5,
  InvalidHandle = 6,
  NotEnoughMemory = 8,
  InvalidBlock = 9,
  BadFormat = 11,
  InvalidAccess = 12,
  InvalidData = 13,
  NotSameDevice = 17,
  WriteProtect = 19,
  NotReady = 21,
  BadLength = 24,
  Seek = 25,
  WriteFault = 29,
  ReadFault = 30,
  GeneralFailure = 31,
  SharingViolation = 32,
  LockViolation = 33,
  SharingBufferExceeded = 36,
  HandleDiskFull = 39,
  NotSupported = 50,
  BadNetworkPath = 53,
  DeviceDoesNotExist = 55,
  UnexpectedNetworkError = 59,
  NetworkNameDeleted = 64,
  FileExists = 80,
  InvalidParameter = 87,
};

// The error number of a host error value (errno on this host). Zero stays zero; every other
// value without a closer equivalent becomes GeneralFailure, so a posted platform error always
// lands on a text of the platform block.
OsError os_error_from_host(int host_error) noexcept;

// The calling thread's last host error, mapped as above.
OsError last_os_error() noexcept;

// Sets the calling thread's last host error to the host's equivalent of `error` (tests use it to
// stand for a failed platform call). Numbers without a host equivalent set a generic I/O error.
void set_last_os_error(OsError error) noexcept;

}  // namespace kes::platform
