// Start-up as a program meets it: a real program file started as a child process, with its
// settings file (".ENV") beside it and the machine's regional settings, never calling
// Kes$isfinit itself.
#include <string>

#include <gtest/gtest.h>

#include "tests/support/child_program.h"

namespace {

TEST(LibraryStartUp, ReadsTheProgramsSettingsWithoutBeingAsked) {
#ifndef KES_PROBE_PROGRAM
  GTEST_SKIP() << "the program is built on hosts that run it";
#else
  const std::string settings =
      "KESMONTH=Enero,Febrero\r\nKESCOLSEQ=ba\r\nKESMSG2=Archivo no encontrado\r\n";
  const kes::test::ChildRun localised = kes::test::run_child_program(
      KES_PROBE_PROGRAM, "kes_startup_settings",
      {{"invoice.ENV", settings}, {"win.ini", "[intl]\nsShortDate=dd/MM/yyyy\n"}},
      "KESTREL_PROFILE=\"$PWD/win.ini\"", "");
  EXPECT_EQ(localised.status, 0);
  EXPECT_EQ(localised.output,
            "month=ENE  5,2024\n"
            "short date=05/01/2024\n"
            "b before a=1\n"
            "error 2=Archivo no encontrado\n");
  // The same program without a settings file or regional settings keeps the defaults.
  const kes::test::ChildRun plain = kes::test::run_child_program(
      KES_PROBE_PROGRAM, "kes_startup_defaults", {}, "KESTREL_PROFILE=/nonexistent/win.ini", "");
  EXPECT_EQ(plain.status, 0);
  EXPECT_EQ(plain.output,
            "month=JAN  5,2024\n"
            "short date=01/05/24\n"
            "b before a=0\n"
            "error 2=File Not Found\n");
#endif
}

}  // namespace
