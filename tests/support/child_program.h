// Running a program built against the shared library as a child process, from a folder of its
// own with the files it reads beside it, as a user starts a Kestrel program.
//
// State: none; each run makes its folder afresh under the test's temporary directory.
#pragma once

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

namespace kes::test {

struct ChildRun {
  std::filesystem::path folder;  // where the program ran
  std::string output;            // what it printed on standard output
  int status = -1;               // its exit code; -1 when it could not be run
};

// Copies `program` into a fresh folder `name` as "invoice.exe", writes each (file name, text)
// pair beside it, runs it from that folder with `environment` (shell assignments, may be empty)
// and `arguments`, and returns what it printed and its exit code.
// Only hosts with a POSIX shell run it; elsewhere the run reports status -1 and no output.
inline ChildRun run_child_program(
    [[maybe_unused]] const std::string& program, [[maybe_unused]] const std::string& name,
    [[maybe_unused]] const std::vector<std::pair<std::string, std::string>>& files,
    [[maybe_unused]] const std::string& environment,
    [[maybe_unused]] const std::string& arguments) {
#ifdef _WIN32
  return {};
#else
  namespace fs = std::filesystem;
  ChildRun run;
  run.folder = fs::path(testing::TempDir()) / name;
  fs::remove_all(run.folder);
  fs::create_directories(run.folder);
  const fs::path copy = run.folder / "invoice.exe";
  fs::copy_file(program, copy);
  for (const auto& [file, text] : files)
    std::ofstream(run.folder / file, std::ios::binary) << text;
  const std::string command = "cd '" + run.folder.string() + "' && " + environment +
                              " ./invoice.exe " + arguments + " 2>/dev/null";
  if (FILE* pipe = popen(command.c_str(), "r")) {
    char buffer[256];
    while (std::fgets(buffer, sizeof buffer, pipe) != nullptr)
      run.output += buffer;
    const int status = pclose(pipe);
    run.status = status >= 0 && (status & 0x7F) == 0 ? (status >> 8) & 0xFF : -1;
  }
  return run;
#endif
}

}  // namespace kes::test
