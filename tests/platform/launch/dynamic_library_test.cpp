// Loading libraries, naming modules and the running program's path.
#ifdef _WIN32
#define WIN32_LEAN_AND_MEAN
#define NOMINMAX
#include <windows.h>
#endif

#include <string>

#include <gtest/gtest.h>

#include "platform/launch/dynamic_library.h"
#include "platform/launch/module_path.h"

namespace kes::platform {
namespace {

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
