// Host errors onto the Win32 and DOS numbering of the platform error block.
#include <cerrno>

#include <gtest/gtest.h>

#include "platform/launch/os_error.h"

namespace kes::platform {
namespace {

struct MappingCase {
  const char* name;
  int host;
  std::int32_t expected;
};

// The expected numbers are the Win32 error numbers the error table's 3xx block is keyed by.
constexpr MappingCase kMappings[] = {
    {"NoErrorStaysZero", 0, 0},
    {"MissingFileIsFileNotFound", ENOENT, 2},
    {"MissingDirectoryIsPathNotFound", ENOTDIR, 3},
    {"OverlongNameIsPathNotFound", ENAMETOOLONG, 3},
    {"ProcessFileLimitIsTooManyOpenFiles", EMFILE, 4},
    {"SystemFileLimitIsTooManyOpenFiles", ENFILE, 4},
    {"PermissionIsAccessDenied", EACCES, 5},
    {"OperationNotPermittedIsAccessDenied", EPERM, 5},
    {"DirectoryAsFileIsAccessDenied", EISDIR, 5},
    {"BadDescriptorIsInvalidHandle", EBADF, 6},
    {"NoMemoryIsInsufficientMemory", ENOMEM, 8},
    {"NotAProgramIsInvalidFormat", ENOEXEC, 11},
    {"CrossDeviceIsNotSameDevice", EXDEV, 17},
    {"ReadOnlyFileSystemIsWriteProtect", EROFS, 19},
    {"IoErrorIsGeneralFailure", EIO, 31},
    {"BusyTextIsSharingViolation", ETXTBSY, 32},
    {"DeadlockIsLockViolation", EDEADLK, 33},
    {"DiskFullIsHandleDiskFull", ENOSPC, 39},
    {"NotSupportedIsNotSupported", ENOTSUP, 50},
    {"UnreachableNetworkIsInvalidNetworkPath", ENETUNREACH, 53},
    {"NoDeviceIsDeviceDoesNotExist", ENODEV, 55},
    {"ExistingFileIsFileAlreadyExists", EEXIST, 80},
    {"InvalidArgumentIsInvalidParameter", EINVAL, 87},
    {"UnknownHostErrorIsGeneralFailure", 4095, 31},
    {"NegativeHostErrorIsGeneralFailure", -1, 31},
};

TEST(OsErrorFromHost, MapsOntoWin32Numbers) {
  for (const MappingCase& c : kMappings) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(static_cast<std::int32_t>(os_error_from_host(c.host)), c.expected);
  }
}

TEST(OsErrorLast, ReadsAndSetsTheHostsLastError) {
  errno = EACCES;
  EXPECT_EQ(last_os_error(), OsError::AccessDenied);
  errno = 0;
  EXPECT_EQ(last_os_error(), OsError::None);
  for (std::int32_t number = 0; number < 100; ++number) {
    auto error = static_cast<OsError>(number);
    set_last_os_error(error);
    OsError read = last_os_error();
    // A number with a host equivalent comes back as itself; one without reads as a general
    // failure (the host's generic I/O error).
    EXPECT_TRUE(read == error || read == OsError::GeneralFailure) << number;
  }
  set_last_os_error(OsError::FileNotFound);
  EXPECT_EQ(errno, ENOENT);
  errno = 0;
}

}  // namespace
}  // namespace kes::platform
