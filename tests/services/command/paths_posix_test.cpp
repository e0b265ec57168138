// SETPATH, SHORTPATH and LONGPATH as compiled code calls them.
#include <filesystem>
#include <string>

#include <kestrel/command.h>
#include <kestrel/errors.h>

#include <gtest/gtest.h>

#include "files/errors/error_state.h"
#include "runtime/stack/string_stack.h"
#include "tests/support/stack_helpers.h"
#include "tests/support/temp_folder.h"

namespace kes::services {
namespace {

std::string call(void (*export_function)(), std::string_view path) {
  runtime::push_text(path);
  export_function();
  return test::pop_top_text();
}

TEST(PathExports, SetPathReportsPathNotFound) {
  test::TempFolder folder("paths_set");
  const std::filesystem::path before = std::filesystem::current_path();
  runtime::push_text(folder.path() + "   ");  // trailing blanks removed
  Kes$SETPATH();
  EXPECT_EQ(files::current_error(), files::ErrorCode::None);
  EXPECT_EQ(std::filesystem::current_path(), std::filesystem::canonical(folder.path()));
  runtime::push_text(folder.file("missing"));
  Kes$SETPATH();
  EXPECT_EQ(files::current_error(), files::ErrorCode::NoPath);
  EXPECT_EQ(files::error_text(), "Path Not Found");
  EXPECT_EQ(std::filesystem::current_path(), std::filesystem::canonical(folder.path()));
  std::filesystem::current_path(before);
  files::clear_error();
}

TEST(PathExports, ShortAndLongForms) {
  test::TempFolder folder("paths_forms");
  folder.write("a.txt", "");
  const std::string current = std::filesystem::current_path().string();
  files::post_error(files::ErrorCode::NoFile);
  EXPECT_EQ(call(Kes$SHORTPATH, folder.file("a.txt")), folder.file("a.txt"));
  EXPECT_EQ(files::current_error(), files::ErrorCode::None);  // cleared
  EXPECT_EQ(call(Kes$SHORTPATH, folder.file("b.txt")), "");
  EXPECT_EQ(call(Kes$SHORTPATH, ""), current);
  EXPECT_EQ(call(Kes$LONGPATH, ""), current);
  EXPECT_EQ(call(Kes$LONGPATH, "x/../y/./z  "), current + "/y/z");
  EXPECT_EQ(call(Kes$LONGPATH, "/x/../../y//z/"), "/y/z");  // never above the root
  EXPECT_EQ(call(Kes$LONGPATH, "/.."), "/");
  const std::string longest = "/" + std::string(259, 'p');  // paths are cut to 260 characters
  EXPECT_EQ(call(Kes$LONGPATH, longest + "q"), longest);
  EXPECT_EQ(call(Kes$LONGPATH, folder.path() + "/./a.txt"), folder.file("a.txt"));
}

}  // namespace
}  // namespace kes::services
