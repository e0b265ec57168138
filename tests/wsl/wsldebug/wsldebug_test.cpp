// The diagnostic log beside the program: WslDebug$Diagnostic, and failed internal assertions of
// a real program started as a child process.
#include "wsl/wsldebug/wsldebug.h"

#include <fstream>
#include <iterator>
#include <string>

#include <kestrel/wsldebug.h>

#include <gtest/gtest.h>

#include "platform/launch/module_path.h"
#include "tests/support/child_program.h"

namespace kes::wsl {
namespace {

std::string read_file(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

class WslDebugTest : public testing::Test {
 protected:
  void SetUp() override {
    folder_ = testing::TempDir() + "kes_wsldebug/";
    std::filesystem::remove_all(folder_);
    std::filesystem::create_directories(folder_);
    platform::set_module_path_for_testing(folder_ + "invoice.exe");
  }
  void TearDown() override { platform::set_module_path_for_testing(""); }
  std::string folder_;
};

TEST_F(WslDebugTest, DiagnosticAppendsLinesBesideTheProgram) {
  WslDebug$Diagnostic("first line");
  WslDebug$Diagnostic("");
  WslDebug$Diagnostic(nullptr);  // nothing to write
  WslDebug$Diagnostic("100% done");
  EXPECT_EQ(read_file(folder_ + "K55LOG.TXT"), "first line\r\n\r\n100% done\r\n");
}

TEST_F(WslDebugTest, LogPathIsTheProgramsDirectory) {
  char path[64];
  const std::size_t n = diagnostic_log_path(path);
  EXPECT_EQ(std::string(path, n), folder_ + "K55LOG.TXT");
  platform::set_module_path_for_testing("C:\\APPS\\INVOICE.EXE");
  EXPECT_EQ(std::string(path, diagnostic_log_path(path)), "C:\\APPS\\K55LOG.TXT");
  char short_path[12];  // holds "C:\APPS\" but not the log's name after it
  EXPECT_EQ(diagnostic_log_path(short_path), 0u);
}

TEST_F(WslDebugTest, UnwritableLogGoesToStandardError) {
  platform::set_module_path_for_testing(folder_ + "no such folder/invoice.exe");
  testing::internal::CaptureStderr();
  WslDebug$Diagnostic("kept");
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "kept\n");
}

// A real program whose window layer fails an internal assertion: the assertion's text reaches
// the log beside the program before the program ends with run-time error 501.
TEST(WslDebugProgram, FailedInternalAssertionIsLogged) {
#ifndef KES_PROBE_PROGRAM
  GTEST_SKIP() << "the program is built on hosts that run it";
#else
  const test::ChildRun run = test::run_child_program(KES_PROBE_PROGRAM, "kes_wsldebug_program", {},
                                                     "KESTREL_PROFILE=/nonexistent", "assert");
  EXPECT_EQ(run.status, 2);  // a fatal run-time error
  EXPECT_EQ(read_file((run.folder / "K55LOG.TXT").string()),
            "Assertion failed:count > 0\r\nFile ctllist.cpp line 77\r\n");
#endif
}

}  // namespace
}  // namespace kes::wsl
