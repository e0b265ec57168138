// The error state: the message table, posting, clearing, appending, file errors and saved blocks.
#include "files/errors/error_state.h"

#include <cstring>
#include <map>
#include <memory>
#include <optional>
#include <string>

#include <gtest/gtest.h>

#include "files/errors/error_messages.h"
#include "platform/launch/os_error.h"

namespace kes::files {
namespace {

// Override texts, installed the way the locale settings install theirs.
std::map<std::int32_t, std::string> message_overrides;

void set_message_override(std::int32_t number, std::string text) {
  set_message_override_lookup([](std::int32_t n) noexcept -> std::optional<std::string_view> {
    const auto found = message_overrides.find(n);
    if (found == message_overrides.end()) return std::nullopt;
    return found->second;
  });
  message_overrides[number] = std::move(text);
}

void clear_message_overrides() {
  message_overrides.clear();
  set_message_override_lookup(nullptr);
}

std::string errstr() { return std::string(Kes$ERRSTR, sizeof Kes$ERRSTR); }

std::string padded(std::string_view text, std::size_t size) {
  std::string result(text);
  result.resize(size, ' ');
  return result;
}

class ErrorStateTest : public testing::Test {
 protected:
  void SetUp() override {
    clear_error();
    platform::set_last_os_error(platform::OsError::None);
  }
  void TearDown() override {
    clear_message_overrides();
    set_error_posted_hook(nullptr);
    clear_error();
  }
};

using platform::OsError;

struct PostCase {
  const char* name;
  std::int32_t number;
  OsError platform_error;
  std::int32_t posted;
  std::string_view text;
  std::int32_t dos_error;
};

constexpr PostCase kPosts[] = {
    {"KnownNumber", 53, OsError::None, 53, "Invalid Kestrel File", 0},
    {"UnknownNumber", 97, OsError::None, 97, "Unknown Error Posted : 97", 0},
    {"ZeroAfterAccessDenied", 0, OsError::AccessDenied, 305, "Access Denied", 5},
    {"ZeroAfterMissingFile", 0, OsError::FileNotFound, 302, "File Not Found", 2},
    {"ZeroWithoutPlatformError", 0, OsError::None, 300, "Unknown Error Posted : 300", 0},
    {"NonzeroKeepsNumberButCapturesPlatform", 35, OsError::FileNotFound, 35, "Record Not Found", 2},
    {"RuntimeError", 401, OsError::None, 401, "Stack overflow", 0},
    {"Negative", -5, OsError::None, -5, "Unknown Error Posted : -5", 0},
};

TEST_F(ErrorStateTest, PostSetsNumberTextAndPlatformError) {
  for (const PostCase& c : kPosts) {
    SCOPED_TRACE(c.name);
    platform::set_last_os_error(c.platform_error);
    post_error_number(c.number);
    EXPECT_EQ(Kes$ERRCODE, c.posted);
    EXPECT_EQ(static_cast<std::int32_t>(current_error()), c.posted);
    EXPECT_EQ(errstr(), padded(c.text, 80));
    EXPECT_EQ(error_text(), c.text);
    EXPECT_EQ(Kes$DOSerror, c.dos_error);
  }
}

TEST_F(ErrorStateTest, PostLeavesFileTextsAndClearTakesEverything) {
  set_file_error("E42", "Driver said no");
  KesFileNameRecord file{0, "CUSTOMER.DAT", -1};
  set_error_file(&file);
  post_error(ErrorCode::RecordNotFound);
  EXPECT_EQ(Kes$FileError, nullptr);
  EXPECT_EQ(file_error_code(), "E42");
  EXPECT_EQ(file_error_message(), "Driver said no");
  set_error_file(&file);
  clear_error();
  EXPECT_EQ(Kes$ERRCODE, 0);
  EXPECT_EQ(errstr(), std::string(80, ' '));
  EXPECT_EQ(error_file_name(), "");
  EXPECT_EQ(file_error_code(), "");
  EXPECT_EQ(file_error_message(), "");
  EXPECT_EQ(Kes$FileError, nullptr);
}

TEST_F(ErrorStateTest, ClearOfAClearStateStillCatchesEachChange) {
  const std::pair<const char*, void (*)()> changes[] = {
      {"FileTextsAlone", [] { set_file_error("E1", "message"); }},
      {"AppendedText", [] { append_error_text("more"); }},
      {"NumberWrittenDirectly", [] { Kes$ERRCODE = 33; }},
      {"TextWrittenDirectly", [] { Kes$ERRSTR[0] = 'X'; }},
  };
  for (const auto& [name, change] : changes) {
    SCOPED_TRACE(name);
    clear_error();
    change();
    clear_error();
    EXPECT_EQ(Kes$ERRCODE, 0);
    EXPECT_EQ(errstr(), std::string(80, ' '));
    EXPECT_EQ(file_error_message(), "");
  }
}

// An override's text, less its leading blanks, at most 79 characters.
TEST_F(ErrorStateTest, OverrideTextLosesLeadingBlanksAndHoldsAtMost79Characters) {
  const std::pair<std::string, std::string> texts[] = {
      {"   Indented", "Indented"},
      {"", ""},
      {std::string(79, 'x'), std::string(79, 'x')},
      {std::string(80, 'x'), std::string(79, 'x')},
  };
  for (const auto& [text, kept] : texts) {
    SCOPED_TRACE(text);
    set_message_override(700, text);
    post_error_number(700);
    EXPECT_EQ(errstr(), padded(kept, 80));
  }
}

TEST_F(ErrorStateTest, AppendGoesAfterTheLastNonBlankUpTo79Characters) {
  append_error_text("Alone");  // to an empty text
  EXPECT_EQ(error_text(), "Alone");
  post_error(ErrorCode::NoBind);
  append_error_text(" : Total");
  EXPECT_EQ(error_text(), "No BIND on variable : Total");
  EXPECT_EQ(Kes$ERRCODE, 801);
  const std::string full = "No BIND on variable : Total" + std::string(52, 'v') + " ";
  append_error_text(std::string(100, 'v'));
  EXPECT_EQ(errstr(), full);
  append_error_text("more");  // already full
  EXPECT_EQ(errstr(), full);
}

struct FileErrorCase {
  const char* name;
  std::string code;
  const char* message;
  std::string stored_code;
  std::string stored_message;
};

const std::string kMessage254(254, 'm');
const std::string kMessage255(255, 'm');

const FileErrorCase kFileErrors[] = {
    {"CodeAndMessage", "ORA-00942", "table or view does not exist", "ORA-00942",
     "table or view does not exist"},
    {"NoMessageNamesTheCode", "ORA-00942", nullptr, "ORA-00942", "File System Error : ORA-00942"},
    {"EmptyCodeNoMessage", "", nullptr, "", "File System Error : "},
    {"CodeExactFit80", std::string(80, 'c'), "m", std::string(80, 'c'), "m"},
    {"CodeOneOverIsCut", std::string(81, 'c'), "m", std::string(80, 'c'), "m"},
    {"EmptyMessage", "c", "", "c", ""},
    {"MessageExactFit254", "c", kMessage254.c_str(), "c", kMessage254},
    {"MessageOneOverIsCut", "c", kMessage255.c_str(), "c", kMessage254},
};

TEST_F(ErrorStateTest, FileErrorSetsCodeAndMessage) {
  for (const FileErrorCase& c : kFileErrors) {
    SCOPED_TRACE(c.name);
    set_file_error(c.code, c.message);
    EXPECT_EQ(file_error_code(), c.stored_code);
    // The trailing blank of "File System Error : " is padding once stored.
    std::string expected = c.stored_message;
    while (!expected.empty() && expected.back() == ' ')
      expected.pop_back();
    EXPECT_EQ(file_error_message(), expected);
    EXPECT_EQ(Kes$ERRCODE, 0);  // the error number is not touched
  }
  EXPECT_EQ(file_error_message_field()[254], ' ');  // after the message one over
}

struct FileNameCase {
  const char* name;
  const char* text;
  std::int32_t length;
  std::string_view expected;
};

constexpr FileNameCase kFileNames[] = {
    {"Terminated", "CUSTOMER.DAT", -1, "CUSTOMER.DAT"},
    {"TerminatedTrailingBlanks", "CUSTOMER.DAT   ", -1, "CUSTOMER.DAT"},
    {"Counted", "ORDERS.DATXXXX", 10, "ORDERS.DAT"},
    {"CountedBlankPadded", "ORDERS    ", 10, "ORDERS"},
    {"CountedEmpty", "ORDERS", 0, ""},
    {"CountedOne", "ORDERS", 1, "O"},
    {"OtherNegativeLengthIsEmpty", "ORDERS", -2, ""},
    {"NullName", nullptr, -1, ""},
};

TEST_F(ErrorStateTest, ErrorFileNameReadsTheRecord) {
  for (const FileNameCase& c : kFileNames) {
    SCOPED_TRACE(c.name);
    KesFileNameRecord record{7, c.text, c.length};
    set_error_file(&record);
    EXPECT_EQ(error_file_name(), c.expected);
  }
  set_error_file(nullptr);
  EXPECT_EQ(error_file_name(), "");
}

std::int32_t hook_number = 0;
int hook_calls = 0;

TEST_F(ErrorStateTest, PostNotifiesTheHookAndAScopeClearsAndReports) {
  hook_calls = 0;
  set_error_posted_hook([](std::int32_t number) {
    hook_number = number;
    ++hook_calls;
  });
  post_error(ErrorCode::AccessDenied);
  EXPECT_EQ(hook_calls, 1);
  EXPECT_EQ(hook_number, 5);
  {
    ErrorScope scope;  // clearing is not posting
    EXPECT_EQ(Kes$ERRCODE, 0);
    EXPECT_EQ(hook_calls, 1);
    scope.report(ErrorCode::None);
    EXPECT_EQ(Kes$ERRCODE, 0);
    scope.report(ErrorCode::DuplicateKey);
    EXPECT_EQ(error_text(), "Creates Duplicate Key");
  }
}

TEST_F(ErrorStateTest, SavedBlockRestoresTheWholeState) {
  platform::set_last_os_error(platform::OsError::FileNotFound);
  post_error(ErrorCode::RecordHeld);
  set_file_error("X1", "held elsewhere");
  KesFileNameRecord file{0, "A.DAT", -1};
  set_error_file(&file);
  {
    errcodeblock saved;
    EXPECT_EQ(saved_error_blocks(), &saved);
    clear_error();
    platform::set_last_os_error(platform::OsError::AccessDenied);
    post_error(ErrorCode::NoPath);
    saved.restore();
  }
  EXPECT_EQ(saved_error_blocks(), nullptr);
  EXPECT_EQ(Kes$ERRCODE, 43);
  EXPECT_EQ(error_text(), "Record Is Already Held");
  EXPECT_EQ(Kes$DOSerror, 2);
  EXPECT_EQ(Kes$FileError, &file);
  EXPECT_EQ(file_error_code(), "X1");
  EXPECT_EQ(file_error_message(), "held elsewhere");
}

TEST_F(ErrorStateTest, SavedBlocksFormAStack) {
  auto outer = std::make_unique<errcodeblock>();
  auto inner = std::make_unique<errcodeblock>();
  EXPECT_EQ(saved_error_blocks(), inner.get());
  EXPECT_EQ(inner->previous, outer.get());
  outer.reset();  // out of order: unlinked where it is
  EXPECT_EQ(inner->previous, nullptr);
  inner.reset();
  EXPECT_EQ(saved_error_blocks(), nullptr);
}

struct MessageCase {
  std::int32_t number;
  std::string_view text;
};

// The first and last text of each block of numbers, texts that keep a trailing blank (78, 350),
// and the highest number.
constexpr MessageCase kMessages[] = {
    {2, "File Not Found"},
    {8, "Insufficient Memory"},
    {30, "Entry Not Found"},
    {78, "Invalid Number Of Parameters "},
    {81, "Unknown Error Posted"},
    {96, "Remote Object Not Found"},
    {301, "Invalid Function"},
    {313, "Invalid Data"},
    {315, "Invalid Drive"},
    {350, "Not Supported "},
    {391, "Unknown Error"},
    {401, "Stack overflow"},
    {403, "Termination caused by signal.  (User break or Floating point)"},
    {410, "Pure Virtual Function Called"},
    {501, "Internal error 01"},
    {515, "Internal error 15"},
    {520, "Mismatch with KXVBX.DLL detected"},
    {544, "Too Many VBX Hooks"},
    {601, "Invalid DDE channel"},
    {605, "DDE transaction timed out"},
    {800, "Invalid expression for EVALUATE"},
    {802, "Mismatched PUSHSCOPE/POPSCOPE"},
};

TEST(ErrorMessagesBuiltin, TextsAreExact) {
  MessageBuffer buffer;
  for (const MessageCase& c : kMessages) {
    SCOPED_TRACE(c.number);
    EXPECT_EQ(builtin_message(c.number), c.text);
    EXPECT_EQ(message_text(c.number, buffer), c.text);
    EXPECT_EQ(buffer[c.text.size()], '\0');
  }
}

// Numbers just beside each block of texts name themselves; 0 reads as 81's text alone.
TEST(ErrorMessagesText, UnknownNumbersNameTheNumber) {
  MessageBuffer buffer;
  for (std::int32_t number : {INT32_MIN, -1,  1,   6,   9,   29,  97,  300, 314, 392,      400,
                              411,       500, 516, 519, 545, 600, 606, 799, 803, INT32_MAX}) {
    SCOPED_TRACE(number);
    EXPECT_FALSE(builtin_message(number).has_value());
    EXPECT_EQ(message_text(number, buffer), "Unknown Error Posted : " + std::to_string(number));
  }
  EXPECT_FALSE(builtin_message(0).has_value());
  EXPECT_EQ(message_text(0, buffer), "Unknown Error Posted");
}

// An override comes first, also for unknown numbers; one of 81 names unknown numbers; every
// text is cut to 255 characters.
TEST(ErrorMessagesOverride, ComesFirstAndIsCutTo255) {
  MessageBuffer buffer;
  set_message_override(2, "Fichier introuvable");
  EXPECT_EQ(message_text(2, buffer), "Fichier introuvable");
  EXPECT_EQ(message_text(3, buffer), "Path Not Found");
  set_message_override(97, "Own text");
  EXPECT_EQ(message_text(97, buffer), "Own text");
  set_message_override(81, "Erreur inconnue");
  EXPECT_EQ(message_text(98, buffer), "Erreur inconnue : 98");
  EXPECT_EQ(message_text(0, buffer), "Erreur inconnue");
  set_message_override(2, std::string(255, 'e'));
  EXPECT_EQ(message_text(2, buffer), std::string(255, 'e'));
  set_message_override(2, std::string(300, 'o'));
  EXPECT_EQ(message_text(2, buffer), std::string(255, 'o'));
  EXPECT_EQ(buffer[255], '\0');
  set_message_override(81, std::string(254, 'u'));
  EXPECT_EQ(message_text(98, buffer), std::string(254, 'u') + " ");
  clear_message_overrides();
}

}  // namespace
}  // namespace kes::files
