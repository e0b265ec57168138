// Loading libraries and naming modules.
#include <gtest/gtest.h>

#include "platform/launch/dynamic_library.h"

namespace kes::platform {
namespace {

TEST(DynamicLibraryLoad, LoadsAndFreesASystemLibrary) {
  void* handle = load_library("libm.so.6");
  ASSERT_NE(handle, nullptr);
  EXPECT_TRUE(free_library(handle));
}

TEST(DynamicLibraryLoad, MissingOrEmptyNameGivesNull) {
  EXPECT_EQ(load_library("no-such-library-kestrel.so"), nullptr);
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
}

}  // namespace
}  // namespace kes::platform
