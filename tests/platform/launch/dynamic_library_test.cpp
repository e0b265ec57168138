// Loading libraries and naming modules.
#ifdef _WIN32
#define WIN32_LEAN_AND_MEAN
#define NOMINMAX
#include <windows.h>
#endif

#include <gtest/gtest.h>

#include "platform/launch/dynamic_library.h"

namespace kes::platform {
namespace {

#ifdef _WIN32
constexpr const char* kSystemLibrary = "version.dll";
#else
constexpr const char* kSystemLibrary = "libm.so.6";
#endif

TEST(DynamicLibraryLoad, LoadsAndFreesASystemLibrary) {
  void* handle = load_library(kSystemLibrary);
  ASSERT_NE(handle, nullptr);
#ifdef _WIN32
  EXPECT_NE(::GetProcAddress(static_cast<HMODULE>(handle), "GetFileVersionInfoA"), nullptr);
#endif
  EXPECT_TRUE(free_library(handle));
}

TEST(DynamicLibraryLoad, MissingOrEmptyNameGivesNull) {
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

}  // namespace
}  // namespace kes::platform
