// The running program's path.
#include "platform/module_path.h"

#include <string>

#include <gtest/gtest.h>

namespace kes::platform {
namespace {

TEST(ModulePath, NamesTheRunningTestProgram) {
  char buffer[4096];
  const std::size_t n = module_path(buffer);
  ASSERT_GT(n, 0U);
  const std::string path(buffer, n);
  EXPECT_EQ(path.front(), '/');
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
