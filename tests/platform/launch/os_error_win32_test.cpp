// The Win32 error numbers in the platform block's numbering.
#define WIN32_LEAN_AND_MEAN
#define NOMINMAX
#include <windows.h>

#include <gtest/gtest.h>

#include "platform/launch/os_error.h"

namespace kes::platform {
namespace {

struct HostCase {
  const char* name;
  int host;
  std::int32_t expected;
};

constexpr HostCase kHostCases[] = {
    {"NoneStaysNone", 0, 0},
    {"FileNotFoundIsItself", 2, 2},
    {"PathNotFoundIsItself", 3, 3},
    {"AccessDeniedIsItself", 5, 5},
    {"SharingViolationIsItself", 32, 32},
    {"InvalidParameterIsItself", 87, 87},
    {"OutOfMemoryIsNotEnoughMemory", 14, 8},
    {"AlreadyExistsIsFileExists", 183, 80},
    {"NameTooLongIsPathNotFound", 206, 3},
    {"BadExeFormatIsBadFormat", 193, 11},
    {"DiskFullIsHandleDiskFull", 112, 39},
    {"UnknownIsGeneralFailure", 1460, 31},
    {"NegativeIsGeneralFailure", -1, 31},
};

TEST(OsErrorFromHostWin32, MapsWin32Numbers) {
  for (const HostCase& c : kHostCases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(static_cast<std::int32_t>(os_error_from_host(c.host)), c.expected);
  }
}

TEST(OsErrorLastWin32, ReadsAndSetsTheThreadsLastError) {
  ::SetLastError(ERROR_ACCESS_DENIED);
  EXPECT_EQ(last_os_error(), OsError::AccessDenied);
  set_last_os_error(OsError::FileNotFound);
  EXPECT_EQ(::GetLastError(), DWORD{ERROR_FILE_NOT_FOUND});
  set_last_os_error(OsError::None);
  EXPECT_EQ(last_os_error(), OsError::None);
}

TEST(OsErrorLastWin32, FailedCallLeavesItsNumber) {
  const HANDLE file = ::CreateFileA("C:\\no-such-dir-kestrel\\x.txt", GENERIC_READ, 0, nullptr,
                                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  EXPECT_EQ(file, INVALID_HANDLE_VALUE);
  EXPECT_EQ(last_os_error(), OsError::PathNotFound);
}

}  // namespace
}  // namespace kes::platform
