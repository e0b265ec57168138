// The version handshake.
#include "runtime/lifecycle/version.h"

#include <gtest/gtest.h>

#include "tests/runtime/lifecycle/lifecycle_test_support.h"

namespace kes::runtime {
namespace {

using VersionTest = test::LifecycleTest;

struct CheckCase {
  const char* name;
  std::int32_t word;
  std::int32_t minor;
  std::int32_t result;
};
constexpr CheckCase kChecks[] = {
    {"ExactVersion", 5, 500, 1}, {"OlderMinor", 5, 0, 1},
    {"MinorOneOver", 5, 501, 0}, {"HighBitIgnored", 0x8005, 500, 1},
    {"OtherMajor", 6, 0, 0},     {"OlderMajor", 4, 500, 0},
    {"Zero", 0, 0, 0},           {"Bit8Set", 0x105, 500, 0},
};

TEST_F(VersionTest, AcceptsMajorFiveUpToMinor500) {
  for (const CheckCase& c : kChecks) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(_checkversion(c.word, c.minor, 0), c.result);
  }
  EXPECT_EQ(platform::shown_message_box_count(), 5u);  // a box for each refusal only
  EXPECT_EQ(_getversion(), 328180);
  EXPECT_EQ(library_version_number(), 5500);
  ASSERT_EQ(_checkversion(0x8005, 400, 7), 1);  // the last accepted is the program's
  ModuleVersion v = program_version();
  EXPECT_EQ(v.major, 5);
  EXPECT_EQ(v.minor, 400);
  EXPECT_EQ(v.build, 7);
  EXPECT_EQ(program_version_number(), 5400);
}

TEST_F(VersionTest, RefusalNamesBothVersions) {
  EXPECT_EQ(_checkversion(0x106, 501, 3), 0);
  platform::RecordedMessageBox box = platform::last_message_box();
  EXPECT_EQ(box.caption, "Kestrel 5.5 Runtime Library");
  EXPECT_EQ(box.text,
            "This program or a component DLL requires K55RUNX version 6.501.03 or later\r\n"
            "This version is 5.500.00 Release");
  EXPECT_EQ(box.icon, platform::MessageBoxIcon::Stop);
  EXPECT_EQ(box.default_button, 0);
  EXPECT_EQ(program_version_number(), 0);   // nothing recorded
  EXPECT_EQ(_checkversion(5, 501, 12), 0);  // without bit 8 the name has no X
  EXPECT_EQ(platform::last_message_box().text,
            "This program or a component DLL requires K55RUN version 5.501.12 or later\r\n"
            "This version is 5.500.00 Release");
}

}  // namespace
}  // namespace kes::runtime
