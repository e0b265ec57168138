// GETINI against Python's configparser over 150 generated files, in the part of the format both
// read alike (the script tells which).
#include <cstdio>
#include <sstream>
#include <string>

#include <kestrel/ini.h>

#include <gtest/gtest.h>

#include "runtime/stack/string_stack.h"
#include "tests/support/stack_helpers.h"
#include "tests/support/temp_folder.h"

namespace kes::services {
namespace {

std::string unhex(const std::string& text) {
  std::string out;
  for (std::size_t i = 0; i + 1 < text.size(); i += 2)
    out += static_cast<char>(std::stoi(text.substr(i, 2), nullptr, 16));
  return out;
}

TEST(IniDifferential, ReadsAsConfigParserDoes) {
  test::TempFolder folder("ini_differential");
  const std::string command = "python3 \"" KES_SOURCE_DIR
                              "/tests/services/ini/configparser_oracle.py\" \"" +
                              folder.path() + "\" 150 20240611";
  std::FILE* pipe = ::popen(command.c_str(), "r");
  ASSERT_NE(pipe, nullptr);
  std::string answers;
  char chunk[4096];
  for (std::size_t n; (n = std::fread(chunk, 1, sizeof chunk, pipe)) > 0;)
    answers.append(chunk, n);
  ASSERT_EQ(::pclose(pipe), 0) << "the oracle needs python3";
  std::istringstream lines(answers);
  std::string path, section, key, answer;
  int compared = 0;
  while (lines >> path >> section >> key >> answer) {
    runtime::push_text(unhex(path));
    runtime::push_text("\x01");  // a default no file holds
    runtime::push_text(unhex(key));
    runtime::push_text(unhex(section));
    Kes$GETINI();
    SCOPED_TRACE(unhex(path) + " [" + unhex(section) + "] " + unhex(key));
    EXPECT_EQ(test::pop_top_text(), answer == "-" ? "\x01" : unhex(answer.substr(1)));
    ++compared;
  }
  EXPECT_GT(compared, 1000);
}

}  // namespace
}  // namespace kes::services
