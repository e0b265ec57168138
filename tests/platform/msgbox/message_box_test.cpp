// The headless message-box service: record, script, defaults and standard error.
#include "platform/msgbox/message_box.h"

#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace kes::platform {
namespace {

class MessageBoxTest : public testing::Test {
 protected:
  void SetUp() override {
    clear_message_boxes();
    set_message_box_answers({});
  }
};

MessageBoxAnswer show(MessageBoxButtons buttons, int default_button) {
  return show_message_box({"Caption", "Text", buttons, MessageBoxIcon::Stop, default_button});
}

struct DefaultCase {
  const char* name;
  MessageBoxButtons buttons;
  int default_button;
  MessageBoxAnswer expected;
};

constexpr DefaultCase kDefaults[] = {
    {"Ok", MessageBoxButtons::Ok, 0, MessageBoxAnswer::Ok},
    {"OkCancelSecond", MessageBoxButtons::OkCancel, 1, MessageBoxAnswer::Cancel},
    {"AbortRetryIgnoreThird", MessageBoxButtons::AbortRetryIgnore, 2, MessageBoxAnswer::Ignore},
    {"YesNoCancelFirst", MessageBoxButtons::YesNoCancel, 0, MessageBoxAnswer::Yes},
    {"YesNoSecond", MessageBoxButtons::YesNo, 1, MessageBoxAnswer::No},
    {"RetryCancelFirst", MessageBoxButtons::RetryCancel, 0, MessageBoxAnswer::Retry},
    {"AbortIgnoreFirst", MessageBoxButtons::AbortIgnore, 0, MessageBoxAnswer::Abort},
    {"AbortIgnoreSecond", MessageBoxButtons::AbortIgnore, 1, MessageBoxAnswer::Ignore},
    {"DefaultPastTheEndIsFirst", MessageBoxButtons::YesNo, 2, MessageBoxAnswer::Yes},
    {"NegativeDefaultIsFirst", MessageBoxButtons::YesNo, -1, MessageBoxAnswer::Yes},
};

TEST_F(MessageBoxTest, WithoutScriptAnswersTheDefaultButton) {
  for (const DefaultCase& c : kDefaults) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(show(c.buttons, c.default_button), c.expected);
  }
}

TEST_F(MessageBoxTest, ScriptAnswersInOrderThenDefaults) {
  const MessageBoxAnswer script[] = {MessageBoxAnswer::Yes, MessageBoxAnswer::Retry,
                                     MessageBoxAnswer::Ignore};
  set_message_box_answers(script);
  EXPECT_EQ(show(MessageBoxButtons::YesNo, 1), MessageBoxAnswer::Yes);
  EXPECT_EQ(show(MessageBoxButtons::YesNo, 1), MessageBoxAnswer::No);  // Retry is not on it
  EXPECT_EQ(show(MessageBoxButtons::AbortIgnore, 0), MessageBoxAnswer::Ignore);
  EXPECT_EQ(show(MessageBoxButtons::YesNo, 1), MessageBoxAnswer::No);
}

TEST_F(MessageBoxTest, RecordsEveryBoxAndWritesItToStandardError) {
  testing::internal::CaptureStderr();
  show_message_box({"Halt", "Bye now", MessageBoxButtons::Ok, MessageBoxIcon::Stop, 0});
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "Halt: Bye now\n");
  EXPECT_EQ(last_message_box().text, "Bye now");  // the only box is the last
  show_message_box(
      {"Stop", "Exit?", MessageBoxButtons::AbortIgnore, MessageBoxIcon::Exclamation, 0});
  ASSERT_EQ(shown_message_box_count(), 2u);
  RecordedMessageBox first = recorded_message_box(0);
  EXPECT_EQ(first.caption, "Halt");
  EXPECT_EQ(first.text, "Bye now");
  EXPECT_EQ(first.buttons, MessageBoxButtons::Ok);
  EXPECT_EQ(first.icon, MessageBoxIcon::Stop);
  EXPECT_EQ(first.answer, MessageBoxAnswer::Ok);
  RecordedMessageBox last = last_message_box();
  EXPECT_EQ(last.caption, "Stop");
  EXPECT_EQ(last.icon, MessageBoxIcon::Exclamation);
  EXPECT_EQ(last.answer, MessageBoxAnswer::Abort);
  EXPECT_TRUE(recorded_message_box(2).caption.empty());
}

TEST_F(MessageBoxTest, KeepsTheLastBoxesAndCutsLongTexts) {
  for (std::size_t i = 0; i < kRecordedBoxCapacity + 3; ++i)
    show_message_box({"C", std::to_string(i), MessageBoxButtons::Ok, MessageBoxIcon::None, 0});
  EXPECT_EQ(shown_message_box_count(), kRecordedBoxCapacity + 3);
  EXPECT_EQ(recorded_message_box(0).text, "3");
  EXPECT_EQ(last_message_box().text, std::to_string(kRecordedBoxCapacity + 2));
  show_message_box({std::string(kRecordedCaptionCapacity + 1, 'c'),
                    std::string(kRecordedTextCapacity + 1, 'x'), MessageBoxButtons::Ok,
                    MessageBoxIcon::None, 0});
  EXPECT_EQ(last_message_box().text.size(), kRecordedTextCapacity);
  EXPECT_EQ(last_message_box().caption.size(), kRecordedCaptionCapacity);
}

struct ScriptCase {
  const char* name;
  std::string_view script;
  int count;
  std::vector<std::int32_t> answers;
};

const ScriptCase kScripts[] = {
    {"OneWord", "yes", 1, {6}},
    {"AllWordsAnyCase", "OK,Cancel,abort,RETRY,ignore,Yes,no", 7, {1, 2, 3, 4, 5, 6, 7}},
    {"BlanksAroundItems", " no , yes ", 2, {7, 6}},
    {"DefaultAndEmptyItems", "default,,yes", 3, {0, 0, 6}},
    {"EmptyScriptIsOneDefault", "", 1, {0}},
    {"UnknownWordRejectsTheScript", "yes,maybe", -1, {}},
};

TEST(MessageBoxScriptParse, ReadsTheWords) {
  for (const ScriptCase& c : kScripts) {
    SCOPED_TRACE(c.name);
    MessageBoxAnswer answers[8];
    int count = parse_message_box_answers(c.script, answers);
    ASSERT_EQ(count, c.count);
    for (std::size_t i = 0; i < c.answers.size(); ++i) {
      EXPECT_EQ(static_cast<std::int32_t>(answers[i]), c.answers[i]) << i;
    }
  }
}

TEST(MessageBoxScriptParse, StopsAtTheCapacityGiven) {
  MessageBoxAnswer answers[2];
  EXPECT_EQ(parse_message_box_answers("yes,no,ok", answers), 2);
  EXPECT_EQ(answers[1], MessageBoxAnswer::No);
}

void set_answers_variable(const char* value) {
#ifdef _WIN32
  _putenv_s("KES_MESSAGE_BOX_ANSWERS", value);
#else
  setenv("KES_MESSAGE_BOX_ANSWERS", value, 1);
#endif
}

TEST(MessageBoxEnvironmentDeathTest, ProgramSetsTheScriptThroughTheEnvironment) {
  // A program reads the variable at its first box.
  EXPECT_EXIT(
      {
        set_answers_variable("no,yes");
        forget_message_box_script();
        MessageBoxAnswer first = show(MessageBoxButtons::YesNo, 0);
        MessageBoxAnswer second = show(MessageBoxButtons::YesNo, 1);
        std::exit(first == MessageBoxAnswer::No && second == MessageBoxAnswer::Yes ? 7 : 1);
      },
      testing::ExitedWithCode(7), "Caption: Text");
}

}  // namespace
}  // namespace kes::platform
