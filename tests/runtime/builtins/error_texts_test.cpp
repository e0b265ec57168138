// The error state as compiled code reads it: post, then read the texts through the string stack.
#include <cstring>
#include <string>

#include <kestrel/errors.h>
#include <kestrel/string_builtins.h>

#include <gtest/gtest.h>

#include "platform/launch/os_error.h"
#include "runtime/stack/string_stack.h"
#include "tests/support/stack_helpers.h"

namespace {

using kes::test::pop_top_text;

class ErrorExportsTest : public testing::Test {
 protected:
  void SetUp() override {
    Kes$clearerror();
    depth_ = kes::runtime::string_stack_depth();
  }
  void TearDown() override {
    EXPECT_EQ(kes::runtime::string_stack_depth(), depth_);
    Kes$clearerror();
  }
  // ERRORFILE, FILEERRORCODE and FILEERRORMSG as compiled code reads them, joined by '|'.
  static std::string file_texts() {
    Kes$ERRORFILE();
    std::string texts = pop_top_text() + '|';
    Kes$FILEERRORCODE();
    texts += pop_top_text() + '|';
    Kes$FILEERRORMSG();
    return texts + pop_top_text();
  }
  int depth_ = 0;
};

TEST_F(ErrorExportsTest, PostAndReadBack) {
  kes::platform::set_last_os_error(kes::platform::OsError::AccessDenied);
  Kes$seterror(0);
  EXPECT_EQ(Kes$ErrCodeVal(), 305);
  Kes$StackErrstr();
  std::string text = pop_top_text();
  EXPECT_EQ(text.size(), 80u);
  EXPECT_EQ(text, "Access Denied" + std::string(67, ' '));
}

TEST_F(ErrorExportsTest, MessageBufferIsReused) {
  const char* first = Kes$err_message(53);
  EXPECT_STREQ(first, "Invalid Kestrel File");
  const char* second = Kes$err_message(97);
  EXPECT_EQ(first, second);
  EXPECT_STREQ(second, "Unknown Error Posted : 97");
  EXPECT_STREQ(Kes$err_message(0), "Unknown Error Posted");
}

TEST_F(ErrorExportsTest, FileErrorTextsArePushedTrimmed) {
  Kes$setfileerror("ORA-1", nullptr);
  KesFileNameRecord file{0, "CUSTOMER.DAT  ", -1};
  Kes$seterror(35);
  Kes$SetErrorFile(&file);
  EXPECT_EQ(file_texts(), "CUSTOMER.DAT|ORA-1|File System Error : ORA-1");
}

TEST_F(ErrorExportsTest, ClearEmptiesTheFileTexts) {
  Kes$setfileerror("ORA-1", "message");
  KesFileNameRecord file{0, "CUSTOMER.DAT", -1};
  Kes$SetErrorFile(&file);
  Kes$clearerror();
  EXPECT_EQ(file_texts(), "||");
  EXPECT_EQ(Kes$ErrCodeVal(), 0);
  Kes$setfileerror(nullptr, "only a message");  // a null code reads as empty
  EXPECT_EQ(file_texts(), "||only a message");
}

}  // namespace
