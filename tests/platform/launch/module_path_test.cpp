// The running program's path.
#include "platform/launch/module_path.h"

#include <string>

#include <gtest/gtest.h>

namespace kes::platform {
namespace {

TEST(ModulePath, NamesTheRunningTestProgram) {
  char buffer[4096];
  const std::size_t n = module_path(buffer);
  ASSERT_GT(n, 0U);
  const std::string path(buffer, n);
  // A full path: from the root, or from a drive's root on Windows.
  const bool from_root =
      path.front() == '/' || (path.size() > 2 && path[1] == ':' && path[2] == '\\');
  EXPECT_TRUE(from_root) << path;
  EXPECT_NE(path.find("_tests"), std::string::npos) << path;
}

TEST(ModulePath, TooSmallABufferGivesNothing) {
  char buffer[2];
  EXPECT_EQ(module_path(buffer), 0U);
  EXPECT_EQ(module_path(std::span<char>()), 0U);
}

TEST(ModulePath, TestsCanSetIt) {
  set_module_path_for_testing("/opt/app/invoice.exe");
  char buffer[64];
  EXPECT_EQ(std::string(buffer, module_path(buffer)), "/opt/app/invoice.exe");
  set_module_path_for_testing("");
  EXPECT_NE(std::string(buffer, module_path(buffer)), "/opt/app/invoice.exe");
}

}  // namespace
}  // namespace kes::platform
