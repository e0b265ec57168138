// The kes tool's command line: commands, operands, messages and exit statuses.
#include "tools/kes_tool.h"

#include <string>
#include <string_view>
#include <vector>

#include <gtest/gtest.h>

namespace kes::tools {
namespace {

struct ToolCase {
  const char* name;
  std::vector<std::string_view> args;
  int status;
  std::string_view out;  // the whole standard output
  std::string_view err;  // a text the messages contain ("" when there must be none)
};

TEST(PictureToolCommandLine, RunsEachCommand) {
  const ToolCase cases[] = {
      {"FormatNumber", {"format", "@N9.2", "1234.5"}, kToolOk, "' 1,234.50'\n", ""},
      {"FormatWithoutAt", {"format", "N-6", "-42"}, kToolOk, "'   -42'\n", ""},
      {"FormatOverflow", {"format", "@N9.2", "12345678"}, kToolOk, "'##,###.##'\n", ""},
      {"FormatManyDigits",
       {"format", "@N5", "000000000000000000000000000000000000000042"},
       kToolOk,
       "'   42'\n",
       ""},
      {"FormatDate", {"format", "@D2", "81457"}, kToolOk, "' 1/05/2024'\n", ""},
      {"FormatTime", {"format", "@T3", "4710001"}, kToolOk, "' 1:05PM'\n", ""},
      {"FormatString", {"format", "@S5", "ab c"}, kToolOk, "'ab c '\n", ""},
      {"FormatNotANumber", {"format", "@N9.2", "12x"}, kToolFailed, "", "not a number: '12x'"},
      {"FormatEmptyValue", {"format", "@N9.2", ""}, kToolFailed, "", "not a number"},
      {"FormatInvalidPicture",
       {"format", "@N9.2x", "1"},
       kToolFailed,
       "",
       "invalid picture '@N9.2x'"},
      {"FormatMissingValue", {"format", "@N9.2"}, kToolUsage, "", "format takes PICTURE and VALUE"},
      {"Deformat", {"deformat", "@N9.2", " 1,234.50"}, kToolOk, "1234.50\n", ""},
      {"DeformatDate", {"deformat", "@D3", "jan 5,2024"}, kToolOk, "81457\n", ""},
      {"DeformatInvalidPicture", {"deformat", "@Z", "1"}, kToolFailed, "", "invalid picture"},
      {"DeformatTooManyOperands",
       {"deformat", "@N9", "1", "2"},
       kToolUsage,
       "",
       "deformat takes PICTURE and TEXT"},
      {"Picture",
       {"picture", "@N9.2"},
       kToolOk,
       "@N9.2: numeric, width 9\nblk blk grp',' blk blk dig'0' pt'.' dig'0' dig'0'\n",
       ""},
      {"PictureDate",
       {"picture", "@D1<50B"},
       kToolOk,
       "@D1<50B: date, width 8, blank when zero, layout 1, century window 50\n"
       "mon' ' mon'0' sep'/' day'0' day'0' sep'/' yr'0' yr'0'\n",
       ""},
      {"PictureString", {"picture", "@S20"}, kToolOk, "@S20: string, width 20\n", ""},
      {"PictureInvalid", {"picture", "@S0"}, kToolFailed, "", "invalid picture '@S0'"},
      {"PictureWithZeroByte",
       {"picture", std::string_view("@N9\0x", 5)},
       kToolFailed,
       "",
       "invalid picture"},
      {"Help", {"--help"}, kToolOk, "", ""},
      {"HelpShort", {"-h"}, kToolOk, "", ""},
      {"NoArguments", {}, kToolUsage, "", "usage: kes"},
      {"UnknownCommand", {"frobnicate"}, kToolUsage, "", "unknown command 'frobnicate'"},
  };
  for (const ToolCase& c : cases) {
    SCOPED_TRACE(c.name);
    std::string out;
    std::string err;
    EXPECT_EQ(run_kes_tool(c.args, out, err), c.status);
    if (c.name == std::string_view("Help") || c.name == std::string_view("HelpShort")) {
      EXPECT_NE(out.find("kes format PICTURE VALUE"), std::string::npos);
      EXPECT_NE(out.find("kes deformat PICTURE TEXT"), std::string::npos);
      EXPECT_NE(out.find("kes picture PICTURE"), std::string::npos);
    } else {
      EXPECT_EQ(out, c.out);
    }
    if (c.err.empty()) {
      EXPECT_EQ(err, "");
    } else {
      EXPECT_NE(err.find(c.err), std::string::npos) << err;
    }
  }
}

}  // namespace
}  // namespace kes::tools
