// Loading dynamic-link libraries and naming modules on Windows.
#define WIN32_LEAN_AND_MEAN
#define NOMINMAX
#include <windows.h>

#include <gtest/gtest.h>

#include "platform/launch/dynamic_library.h"

namespace kes::platform {
namespace {

TEST(DynamicLibraryLoadWin32, LoadsAndFreesASystemLibrary) {
  void* handle = load_library("version.dll");
  ASSERT_NE(handle, nullptr);
  EXPECT_NE(::GetProcAddress(static_cast<HMODULE>(handle), "GetFileVersionInfoA"), nullptr);
  EXPECT_TRUE(free_library(handle));
}

TEST(DynamicLibraryLoadWin32, MissingOrEmptyNameGivesNull) {
  EXPECT_EQ(load_library("no-such-library-kestrel.dll"), nullptr);
  EXPECT_EQ(load_library(""), nullptr);
  EXPECT_EQ(load_library(nullptr), nullptr);
  EXPECT_TRUE(free_library(nullptr));
}

int anchor = 0;

TEST(DynamicLibraryModuleWin32, NamesTheModuleOfAnAddress) {
  // The anchor lies in this test program, the executable itself.
  EXPECT_EQ(module_handle_of(&anchor), executable_handle());
  EXPECT_EQ(executable_handle(), ::GetModuleHandleA(nullptr));
  // A function of kernel32 lies in kernel32.
  EXPECT_EQ(module_handle_of(reinterpret_cast<const void*>(&::GetTickCount)),
            ::GetModuleHandleA("kernel32.dll"));
  EXPECT_EQ(module_handle_of(nullptr), nullptr);
}

}  // namespace
}  // namespace kes::platform
