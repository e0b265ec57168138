// REMOVE, RENAME, COPY and EXISTS on names, the drivers' name and text helpers, and the trace
// log: switched by the system profile, one entry per operation with the declaration, the
// record's values, the error and the time taken.
#include "files/dispatch/file_utilities.h"

#include <cstring>
#include <filesystem>
#include <regex>
#include <string>

#include <kestrel/driver.h>
#include <kestrel/files.h>

#include <gtest/gtest.h>

#include "files/dispatch/trace.h"
#include "files/errors/error_state.h"
#include "platform/files/file_system.h"
#include "platform/profile/profile.h"
#include "runtime/stack/string_stack.h"
#include "tests/support/stack_helpers.h"
#include "tests/support/temp_folder.h"

namespace kes::test {
namespace {

namespace fs = std::filesystem;

class FileUtilities : public testing::Test {
 protected:
  void SetUp() override {
    fs::create_directories(folder_.file("sub"));
    write("CUST.DAT", "customers");
  }
  void TearDown() override { drain_string_stack(); }
  void write(const std::string& name, const std::string& text) { folder_.write(name, text); }
  std::string read(const std::string& name) { return folder_.read(name); }
  // A name as programs give it: Windows separators, trailing blanks.
  std::string name(const std::string& relative) { return folder_.path() + "\\" + relative + "   "; }
  // Pushes destination then source, so the source is on top, and calls the utility.
  std::int32_t run(void (*utility)(), const std::string& from, const std::string& to) {
    runtime::push_text(to);
    runtime::push_text(from);
    utility();
    return Kes$ERRCODE;
  }
  TempFolder folder_{"files"};
};

TEST_F(FileUtilities, RemoveReportsMissingFilesAndPaths) {
  runtime::push_text(name("CUST.DAT"));
  Kes$RemoveFile();
  EXPECT_EQ(Kes$ERRCODE, 0);
  EXPECT_FALSE(fs::exists(folder_.file("CUST.DAT")));
  const std::pair<std::string, std::int32_t> failures[] = {
      {name("CUST.DAT"), 2}, {name("none\\CUST.DAT"), 3}, {name("sub"), 5}};
  for (const auto& [missing, error] : failures) {
    runtime::push_text(missing);
    Kes$RemoveFile();
    EXPECT_EQ(Kes$ERRCODE, error) << missing;
  }
}

TEST_F(FileUtilities, RenameAndCopyIntoADirectoryKeepTheSourcesName) {
  EXPECT_EQ(run(Kes$CopyFile, name("CUST.DAT"), name("sub\\")), 0);
  EXPECT_EQ(read("sub/CUST.DAT"), "customers");
  EXPECT_EQ(run(Kes$RenameFile, name("CUST.DAT"), name("OLD.DAT")), 0);
  EXPECT_EQ(read("OLD.DAT"), "customers");
  fs::remove(folder_.file("sub/CUST.DAT"));
  EXPECT_EQ(run(Kes$RenameFile, name("OLD.DAT"), name("sub")), 0);  // an existing directory
  EXPECT_EQ(read("sub/OLD.DAT"), "customers");
  runtime::push_text(name("sub\\OLD.DAT"));
  EXPECT_EQ(Kes$FileExists(), 1);
  runtime::push_text(name("OLD.DAT"));
  EXPECT_EQ(Kes$FileExists(), 0);
}

struct BadCopyCase {
  const char* name;
  const char* from;
  const char* to;
  std::int32_t error;
};
constexpr BadCopyCase kBadCopies[] = {
    {"MissingSource", "NONE.DAT", "X.DAT", 2},
    {"MissingDestinationPath", "CUST.DAT", "none\\X.DAT", 3},
    {"SameFile", "CUST.DAT", "CUST.DAT", 5},
    {"SameFileThroughTheDirectory", "CUST.DAT", ".\\", 5},
    {"QuestionMark", "CUST.DAT", "X?.DAT", 45},
    {"Star", "C*.DAT", "X.DAT", 45},
    {"PipeInDestination", "CUST.DAT", "A|B", 45},
    {"ControlCharacter", "CUST.DAT", "A\tB", 45},
    {"ColonInside", "CUST.DAT", "A:B", 45},
};

TEST_F(FileUtilities, CopyRefusesBadNamesAndTheSameFileAndLeavesTheSource) {
  for (const BadCopyCase& c : kBadCopies) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(run(Kes$CopyFile, name(c.from), name(c.to)), c.error);
    EXPECT_EQ(read("CUST.DAT"), "customers");
  }
}

TEST_F(FileUtilities, CopyOntoAFullDiskFailsAndLeavesNoPartialFile) {
  write("BIG.DAT", std::string(64 * 1024, 'x'));
  write("OLD.DAT", "old copy");
  EXPECT_EXIT(
      {
        platform::limit_file_size_for_testing(1024);
        const std::int32_t error = run(Kes$CopyFile, name("BIG.DAT"), name("OLD.DAT"));
        std::fprintf(stderr, "error %d\n", static_cast<int>(error));
        std::exit(0);
      },
      testing::ExitedWithCode(0), "error 5");
  EXPECT_EQ(read("BIG.DAT"), std::string(64 * 1024, 'x'));
  EXPECT_EQ(read("OLD.DAT"), "old copy");
  EXPECT_EQ(std::distance(fs::directory_iterator(folder_.path()), fs::directory_iterator()), 4);
}

TEST_F(FileUtilities, CompanionsCopyAndRenameByExtension) {
  write("CUST.IDX", "index");
  EXPECT_EQ(
      _drv_CopyOrRenameFiles(name("CUST.DAT").c_str(), name("NEW.DAT").c_str(), "DAT;.IDX", 0), 0);
  EXPECT_EQ(read("NEW.IDX"), "index");
  EXPECT_EQ(_drv_CopyOrRenameFiles(name("CUST.DAT").c_str(), name("sub\\").c_str(), "DAT,IDX", 1),
            0);
  EXPECT_EQ(read("sub/CUST.DAT"), "customers");
  EXPECT_EQ(read("sub/CUST.IDX"), "index");
  EXPECT_EQ(_drv_CopyOrRenameFiles(name("CUST.DAT").c_str(), name("X.DAT").c_str(), "DAT", 1), 2);
  EXPECT_EQ(_drv_CopyFile(name("NEW.IDX").c_str(), name("COPY.IDX").c_str()), 0);
  EXPECT_EQ(read("COPY.IDX"), "index");
  EXPECT_EQ(_drv_CopyFile(name("NEW.IDX").c_str(), name("C?.IDX").c_str()), 45);
  EXPECT_EQ(_drv_PathIsDirectory(name("sub").c_str()), 1);
  EXPECT_EQ(_drv_PathIsDirectory(name("NEW.DAT").c_str()), 0);
}

struct NameCase {
  const char* name;
  std::int32_t check;
  const char* directory;
  const char* base;
  const char* extension;
};
constexpr NameCase kNames[] = {
    {"C:\\DATA\\CUST.TPS  ", 0, "C:\\DATA\\", "CUST", ".TPS"},
    {"C:CUST", 0, "C:", "CUST", ""},
    {"data/archive.2024.dat", 0, "data/", "archive.2024", ".dat"},
    {"NOEXT", 0, "", "NOEXT", ""},
    {"   ", 45, nullptr, nullptr, nullptr},
    {"A<B", 45, nullptr, nullptr, nullptr},
    {"1:X", 45, nullptr, nullptr, nullptr},
};

TEST(DriverNames, CheckAndSplit) {
  for (const NameCase& c : kNames) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(_drv_ChkName(c.name), c.check);
    char directory[DRV_MAX_PATH], base[DRV_MAX_PATH], extension[DRV_MAX_PATH];
    EXPECT_EQ(_drv_Split(c.name, directory, base, extension), c.check);
    if (c.check != 0) continue;
    EXPECT_STREQ(directory, c.directory);
    EXPECT_STREQ(base, c.base);
    EXPECT_STREQ(extension, c.extension);
  }
  EXPECT_EQ(_drv_ChkName(std::string(260, 'a').c_str()), 0);
  EXPECT_EQ(_drv_ChkName(std::string(261, 'a').c_str()), 45);
}

TEST(DriverNames, OptionsTextsAndTypeNames) {
  const char* cursor = " /TRUNCATE=ON/NAME=\"a b/c\"  /FAST ";
  char item[8];
  std::vector<std::string> items;
  while (_drv_NextDrvStr(&cursor, item, sizeof item) == 1)
    items.push_back(item);
  EXPECT_EQ(items, (std::vector<std::string>{"TRUNCAT", "NAME=a ", "FAST"}));  // cut to 7
  char out[6];
  EXPECT_STREQ(_drv_MakeCSTRING(out, sizeof out, "AB  ", 4), "AB");
  EXPECT_STREQ(_drv_MakeCSTRING(out, sizeof out, "ABCDEFGH", -1), "ABCDE");
  EXPECT_STREQ(_drv_MakeCSTRING(out, sizeof out, "ABCD  X", 6), "ABCD");
  char text[] = "Cust1";
  EXPECT_STREQ(_drv_Strup(text), "CUST1");
  EXPECT_EQ(_drv_IsReservedWord("select"), 1);
  EXPECT_EQ(_drv_IsReservedWord("Customer"), 0);
  const std::pair<std::int32_t, const char*> types[] = {
      {0, "END"},     {6, "LONG"},     {17, "(17)"},   {19, "CSTRING"},
      {30, "STDNUM"}, {31, "UNKNOWN"}, {-1, "UNKNOWN"}};
  for (const auto& [code, type] : types)
    EXPECT_STREQ(_drv_GetTypeName(code), type);
}

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
