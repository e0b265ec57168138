// GETINI inside an EVALUATE expression reads INI files as the statement does, once the shared
// library is loaded: run in a program built against the library.
#include <string>

#include <gtest/gtest.h>

#include "tests/support/child_program.h"

namespace {

TEST(IniInEvaluate, ReadsTheFileTheDefaultAndTheSystemProfile) {
#ifndef KES_PROBE_PROGRAM
  GTEST_SKIP() << "the program is built on hosts that run it";
#else
  const kes::test::ChildRun run = kes::test::run_child_program(
      KES_PROBE_PROGRAM, "kes_getini_evaluate",
      {{"app.ini", "[Colours]\nBack=Blue\n"}, {"win.ini", "[Windows]\nLoad=clock\n"}},
      "KESTREL_PROFILE=\"$PWD/win.ini\"",
      "evaluate \"GETINI('Colours','Back','none','app.ini') & '|' & "
      "GETINI('colours','Fore','grey  ','app.ini') & '|' & GETINI('Windows','Load','x','')\"");
  EXPECT_EQ(run.status, 0);
  // The default loses its trailing blanks; the empty name is the system-wide profile.
  const std::string last = "evaluate=Blue|grey|clock\n";
  ASSERT_GE(run.output.size(), last.size());
  EXPECT_EQ(run.output.substr(run.output.size() - last.size()), last);
#endif
}

}  // namespace
