// REMOVE, RENAME, COPY and EXISTS on names, and the drivers' name and text helpers.
#include "files/dispatch/file_utilities.h"

#include <filesystem>
#include <string>

#include <kestrel/driver.h>
#include <kestrel/files.h>

#include <gtest/gtest.h>

#include "platform/files/file_system.h"
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

}  // namespace
}  // namespace kes::test
