// The trace log: switched by the system profile, one entry per operation with the declaration,
// the record's values, the error and the time taken.
#include "files/dispatch/trace.h"

#include <cstring>
#include <regex>
#include <string>

#include <kestrel/driver.h>

#include <gtest/gtest.h>

#include "files/errors/error_state.h"
#include "platform/profile/profile.h"
#include "tests/support/temp_folder.h"

namespace kes::test {
namespace {

// A record of LONG ID, STRING(6) NAME, DATE BORN, TIME AT (18 bytes) as the compiler lists it,
// and a LONG X that follows the record in the same stream but is not one of its fields.
constexpr std::uint8_t kRecordType[] = {
    22,  0x02, 18,   0,   0,   0,  4,  0,    0,   0,   0,   0,   0,   0,    'R', 'E', 'C',
    0,   6,    0x02, 'I', 'D', 0,  18, 0x0A, 6,   'N', 'A', 'M', 'E', 0,    4,   4,   0x0A,
    'B', 'O',  'R',  'N', 0,   10, 5,  0x0A, 'A', 'T', 0,   14,  6,   0x02, 'X', 0,
};

class Trace : public testing::Test {
 protected:
  void TearDown() override {
    platform::set_system_profile_path_for_testing("");
    files::reload_trace_settings_for_testing();
  }
  void profile(const std::string& section) {
    platform::set_system_profile_path_for_testing(folder_.write(
        "win.ini", "[KXVIEW]\n" + section + "TraceFile=" + folder_.file("trace.log") + "\n"));
    files::reload_trace_settings_for_testing();
  }
  std::string log() { return folder_.read("trace.log"); }
  TempFolder folder_{"trace"};
};

TEST_F(Trace, FileEntryHasTheDeclarationTheValuesTheErrorAndTheTime) {
  profile("Profile=1\nTraceIntoFiles=1\n");
  std::uint8_t record[18] = {};
  const std::int32_t id = 42, born = 81457, at = 3781526;
  std::memcpy(record, &id, 4);
  std::memcpy(record + 4, "Smith ", 6);
  std::memcpy(record + 10, &born, 4);
  std::memcpy(record + 14, &at, 4);
  const Drv_KeyComponent components[] = {{2, 0, 0}, {1, DRV_COMPONENT_DESCENDING, 0}};
  Drv_FCB file{};
  Drv_KCB key{&file, "CUS:ByName", nullptr, DRV_KEY_DUP | DRV_KEY_NOCASE, 2, 0,
              0,     components,   nullptr};
  Drv_KCB* keys[] = {&key};
  Drv_MCB blob{"CUS:Pic", nullptr, nullptr, 0, DRV_MEMO_BLOB, {}, nullptr};
  file.name = "CUST.DAT  ";
  file.name_length = 10;
  file.attributes = DRV_ATTR_CREATE;
  file.driver_name = "TEST";
  file.driver_string = "/X=1";
  file.owner = "secret";
  file.record = record;
  file.record_size = sizeof record;
  file.record_type = kRecordType;
  file.key_count = 1;
  file.keys = keys;
  file.memo_count = 1;
  file.memos = &blob;
  const std::uint32_t mark = _drv_TraceOp(DRV_NEXT, &file, nullptr, 0);
  EXPECT_NE(mark, 0u);
  files::post_error(files::ErrorCode::RecordNotFound);
  EXPECT_EQ(_drv_TraceOp(DRV_NEXT, &file, nullptr, mark), mark);
  const std::string expected_head =
      "NEXT                    FILE,DRIVER('TEST','/X=1'),NAME('CUST.DAT'),OWNER(******),CREATE\r\n"
      "CUS:ByName KEY(NAME,-ID),DUP,NOCASE\r\n"
      "CUS:Pic BLOB\r\n"
      "RECORD\r\nID LONG\r\nNAME STRING(6)\r\nBORN DATE\r\nAT TIME\r\nEND\r\n"
      "  ID = 42\r\n  NAME = 'Smith'\r\n  BORN = 05 Jan 2024 (81457)\r\n"
      "  AT = 10:30:15.25 (3781526)\r\nError: Record Not Found\r\n";
  const std::string written = log();
  ASSERT_EQ(written.substr(0, expected_head.size()), expected_head);
  EXPECT_TRUE(std::regex_match(written.substr(expected_head.size()),
                               std::regex("Time Taken: [0-9]+\\.[0-9]{2} secs\r\n")));
  EXPECT_EQ(written.find("secret"), std::string::npos);
  files::clear_error();
}

TEST_F(Trace, ViewEntryPrintsItsDescriptorAndFilesOnlyWhenAskedFor) {
  profile("Profile=1\n");
  const std::uint8_t descriptor[] = {0, 0, 0xFF, 0xFF, 1, 1, 2, 0, 0, 0xFF, 0xFF, 0};
  Kes_VCBBLK_struct view{};
  view.file.attributes = DRV_ATTR_VIEW;
  view.descriptor = descriptor;
  Drv_FCB file{};
  EXPECT_EQ(_drv_TraceOp(DRV_NEXT, &file, nullptr, 0), 0u);  // files are not traced
  for (const std::int32_t internal : {DRV_INTERNAL87, DRV_INTERNAL91})
    EXPECT_EQ(_drv_TraceOp(internal, &view.file, nullptr, 0), 0u);
  EXPECT_NE(_drv_TraceOp(DRV_SETVIEW, &view.file, nullptr, 0), 0u);
  EXPECT_TRUE(std::regex_match(
      log(), std::regex("SETview {17}VIEW\\(FILE\\)\r\n  JOIN\\(KEY,FIELD\\(2\\)\\)\r\n"
                        "  END\r\nEND\r\nVIEW:[0-9A-F]+:\r\n")));
  profile("");
  EXPECT_EQ(_drv_TraceOp(DRV_SETVIEW, &view.file, nullptr, 0), 0u);  // tracing off
}

}  // namespace
}  // namespace kes::test
