// Host errors onto the Win32 and DOS numbering of the platform error block; loading libraries,
// naming modules and the running program's path.
#ifdef _WIN32
#define WIN32_LEAN_AND_MEAN
#define NOMINMAX
#include <windows.h>
#else
#include <cerrno>
#endif

#include <string>

#include <gtest/gtest.h>

#include "platform/launch/dynamic_library.h"
#include "platform/launch/module_path.h"
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
#ifdef _WIN32
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
#else
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
#endif
};

TEST(OsErrorFromHost, MapsOntoWin32Numbers) {
  for (const MappingCase& c : kMappings) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(static_cast<std::int32_t>(os_error_from_host(c.host)), c.expected);
  }
}

#ifdef _WIN32
TEST(OsErrorLast, ReadsAndSetsTheThreadsLastError) {
  ::SetLastError(ERROR_ACCESS_DENIED);
  EXPECT_EQ(last_os_error(), OsError::AccessDenied);
  set_last_os_error(OsError::FileNotFound);
  EXPECT_EQ(::GetLastError(), DWORD{ERROR_FILE_NOT_FOUND});
  set_last_os_error(OsError::None);
  EXPECT_EQ(last_os_error(), OsError::None);
}

TEST(OsErrorLast, FailedCallLeavesItsNumber) {
  const HANDLE file = ::CreateFileA("C:\\no-such-dir-kestrel\\x.txt", GENERIC_READ, 0, nullptr,
                                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  EXPECT_EQ(file, INVALID_HANDLE_VALUE);
  EXPECT_EQ(last_os_error(), OsError::PathNotFound);
}
#else
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
#endif

#ifdef _WIN32
constexpr const char* kSystemLibrary = "version.dll";
#else
constexpr const char* kSystemLibrary = "libm.so.6";
#endif

TEST(DynamicLibraryLoad, LoadsAndFreesASystemLibraryAndNoOther) {
  void* handle = load_library(kSystemLibrary);
  ASSERT_NE(handle, nullptr);
#ifdef _WIN32
  EXPECT_NE(::GetProcAddress(static_cast<HMODULE>(handle), "GetFileVersionInfoA"), nullptr);
#endif
  EXPECT_TRUE(free_library(handle));
  EXPECT_EQ(load_library("no-such-library-kestrel.dll"), nullptr);
  EXPECT_EQ(load_library(""), nullptr);
  EXPECT_EQ(load_library(nullptr), nullptr);
  EXPECT_TRUE(free_library(nullptr));
}

int anchor = 0;

TEST(DynamicLibraryModule, NamesTheModuleOfAnAddress) {
  EXPECT_NE(module_handle_of(&anchor), nullptr);
  EXPECT_EQ(module_handle_of(nullptr), nullptr);
  EXPECT_NE(executable_handle(), nullptr);
  EXPECT_EQ(executable_handle(), executable_handle());
#ifdef _WIN32
  // The anchor lies in this test program, the executable itself; GetTickCount in kernel32.
  EXPECT_EQ(module_handle_of(&anchor), executable_handle());
  EXPECT_EQ(executable_handle(), ::GetModuleHandleA(nullptr));
  EXPECT_EQ(module_handle_of(reinterpret_cast<const void*>(&::GetTickCount)),
            ::GetModuleHandleA("kernel32.dll"));
#endif
}

TEST(ModulePath, NamesTheRunningTestProgramOrWhatATestSets) {
  char buffer[4096];
  const std::size_t n = module_path(buffer);
  ASSERT_GT(n, 0U);
  const std::string path(buffer, n);
  // A full path: from the root, or from a drive's root on Windows.
  const bool from_root =
      path.front() == '/' || (path.size() > 2 && path[1] == ':' && path[2] == '\\');
  EXPECT_TRUE(from_root) << path;
  EXPECT_NE(path.find("_tests"), std::string::npos) << path;
  EXPECT_EQ(module_path(std::span<char>(buffer, 2)), 0U);  // too small a buffer
  EXPECT_EQ(module_path(std::span<char>()), 0U);
  set_module_path_for_testing("/opt/app/invoice.exe");
  EXPECT_EQ(std::string(buffer, module_path(buffer)), "/opt/app/invoice.exe");
  set_module_path_for_testing("");
  EXPECT_NE(std::string(buffer, module_path(buffer)), "/opt/app/invoice.exe");
}

}  // namespace
}  // namespace kes::platform
