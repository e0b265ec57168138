// Message boxes. This host has no window system, so every box is headless: it is recorded (for
// tests and diagnostics), its caption and text go to standard error, and it is answered from a
// script, or with its default button when the script has no answer for it.
//
// A program sets the script through the environment variable KES_MESSAGE_BOX_ANSWERS: answers
// separated by commas, taken in order, one per box, from the words ok, cancel, abort, retry,
// ignore, yes and no (any case; "default" or an empty item takes the box's default button).
// The variable is read when the first box is shown.
//
// State: process-wide by nature (the record and the script belong to the process); boxes are
// shown under the runtime lock.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

namespace kes::platform {

// The button sets of a box, in the platform's numbering; AbortIgnore is the library's own.
enum class MessageBoxButtons : std::uint8_t {
  Ok = 0,
  OkCancel = 1,
  AbortRetryIgnore = 2,
  YesNoCancel = 3,
  YesNo = 4,
  RetryCancel = 5,
  AbortIgnore = 16,
};

enum class MessageBoxIcon : std::uint8_t { None, Stop, Question, Exclamation, Information };

// The answer of a box, in the platform's numbering.
enum class MessageBoxAnswer : std::int32_t {
  Ok = 1,
  Cancel = 2,
  Abort = 3,
  Retry = 4,
  Ignore = 5,
  Yes = 6,
  No = 7,
};

struct MessageBoxRequest {
  std::string_view caption;
  std::string_view text;
  MessageBoxButtons buttons;
  MessageBoxIcon icon;
  int default_button;  // [0, buttons in the set - 1]; out of range means the first
};

// Shows a box and returns the button chosen: the next scripted answer when it names a button of
// the box, else the default button. Allocates nothing; long captions and texts are recorded cut
// (kRecordedCaptionCapacity, kRecordedTextCapacity) but written to standard error whole.
MessageBoxAnswer show_message_box(const MessageBoxRequest& request) noexcept;

inline constexpr std::size_t kRecordedCaptionCapacity = 128;
inline constexpr std::size_t kRecordedTextCapacity = 2048;
inline constexpr std::size_t kRecordedBoxCapacity = 16;

// One shown box as recorded; the views stay valid until the next box or clear.
struct RecordedMessageBox {
  std::string_view caption;
  std::string_view text;
  MessageBoxButtons buttons;
  MessageBoxIcon icon;
  int default_button;
  MessageBoxAnswer answer;
};

// Boxes shown since the last clear (all of them, also beyond the record's capacity).
std::size_t shown_message_box_count() noexcept;
// The index-th of the last kRecordedBoxCapacity boxes, oldest first: index is
// [0, min(count, capacity) - 1]; out of range gives an empty record.
RecordedMessageBox recorded_message_box(std::size_t index) noexcept;
// The most recent box (an empty record when none was shown).
RecordedMessageBox last_message_box() noexcept;
// Forgets the recorded boxes.
void clear_message_boxes() noexcept;

inline constexpr std::size_t kAnswerScriptCapacity = 64;
// Replaces the answer script; answers beyond kAnswerScriptCapacity are dropped. An empty span
// makes every box take its default button.
void set_message_box_answers(std::span<const MessageBoxAnswer> answers) noexcept;

#ifdef KES_TESTING
// Forgets the script and makes the next box read the environment variable again.
void forget_message_box_script() noexcept;
#endif

// Parses a script text in the format of KES_MESSAGE_BOX_ANSWERS into `answers`; returns the
// number stored, or -1 when an item is not one of the words (nothing is then to be used). An
// item "default" is stored as answer 0.
int parse_message_box_answers(std::string_view script,
                              std::span<MessageBoxAnswer> answers) noexcept;

}  // namespace kes::platform
