// Start-up as a program meets it: a real program file started as a child process, with its
// settings file (".ENV") beside it and the machine's regional settings, never calling
// Kes$isfinit itself.
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include <gtest/gtest.h>

namespace {

#ifdef KES_STARTUP_PROGRAM
namespace fs = std::filesystem;

// Copies the program into a directory of its own and runs it there with the regional settings
// in `profile`; returns what it printed.
std::string run_program(const std::string& directory, const std::string& profile,
                        const std::string* settings) {
  const fs::path folder = fs::path(testing::TempDir()) / directory;
  fs::remove_all(folder);
  fs::create_directories(folder);
  const fs::path program = folder / "invoice.exe";
  fs::copy_file(KES_STARTUP_PROGRAM, program);
  if (settings != nullptr) std::ofstream(folder / "invoice.ENV", std::ios::binary) << *settings;
  const fs::path profile_file = folder / "win.ini";
  std::ofstream(profile_file, std::ios::binary) << profile;
  const std::string command =
      "KESTREL_PROFILE='" + profile_file.string() + "' '" + program.string() + "'";
  std::string output;
  if (FILE* pipe = popen(command.c_str(), "r")) {
    char buffer[256];
    while (std::fgets(buffer, sizeof buffer, pipe) != nullptr)
      output += buffer;
    EXPECT_EQ(pclose(pipe), 0);
  }
  return output;
}
#endif

TEST(LibraryStartUp, ReadsTheProgramsSettingsWithoutBeingAsked) {
#ifndef KES_STARTUP_PROGRAM
  GTEST_SKIP() << "the program is built on hosts that run it";
#else
  const std::string settings =
      "KESMONTH=Enero,Febrero\r\nKESCOLSEQ=ba\r\nKESMSG2=Archivo no encontrado\r\n";
  EXPECT_EQ(run_program("kes_startup_settings", "[intl]\nsShortDate=dd/MM/yyyy\n", &settings),
            "month=ENE  5,2024\n"
            "short date=05/01/2024\n"
            "b before a=1\n"
            "error 2=Archivo no encontrado\n");
  // The same program without a settings file or regional settings keeps the defaults.
  EXPECT_EQ(run_program("kes_startup_defaults", "", nullptr),
            "month=JAN  5,2024\n"
            "short date=01/05/24\n"
            "b before a=0\n"
            "error 2=File Not Found\n");
#endif
}

}  // namespace
