// The headless message-box service: a record of every box, scripted answers, standard error.
#include "platform/msgbox/message_box.h"

#include <algorithm>
#include <array>
#include <cstdlib>

#include "platform/core/process_exit.h"

namespace kes::platform {
namespace {

struct StoredBox {
  std::array<char, kRecordedCaptionCapacity> caption;
  std::size_t caption_length;
  std::array<char, kRecordedTextCapacity> text;
  std::size_t text_length;
  MessageBoxButtons buttons;
  MessageBoxIcon icon;
  int default_button;
  MessageBoxAnswer answer;
};

std::array<StoredBox, kRecordedBoxCapacity> stored_boxes;
std::size_t shown_count = 0;

std::array<MessageBoxAnswer, kAnswerScriptCapacity> script;
std::size_t script_length = 0;
std::size_t script_next = 0;
bool environment_read = false;

// The buttons of each set, left to right.
std::span<const MessageBoxAnswer> buttons_of(MessageBoxButtons buttons) noexcept {
  static constexpr MessageBoxAnswer kOk[] = {MessageBoxAnswer::Ok};
  static constexpr MessageBoxAnswer kOkCancel[] = {MessageBoxAnswer::Ok, MessageBoxAnswer::Cancel};
  static constexpr MessageBoxAnswer kAbortRetryIgnore[] = {
      MessageBoxAnswer::Abort, MessageBoxAnswer::Retry, MessageBoxAnswer::Ignore};
  static constexpr MessageBoxAnswer kYesNoCancel[] = {MessageBoxAnswer::Yes, MessageBoxAnswer::No,
                                                      MessageBoxAnswer::Cancel};
  static constexpr MessageBoxAnswer kYesNo[] = {MessageBoxAnswer::Yes, MessageBoxAnswer::No};
  static constexpr MessageBoxAnswer kRetryCancel[] = {MessageBoxAnswer::Retry,
                                                      MessageBoxAnswer::Cancel};
  static constexpr MessageBoxAnswer kAbortIgnore[] = {MessageBoxAnswer::Abort,
                                                      MessageBoxAnswer::Ignore};
  switch (buttons) {
    case MessageBoxButtons::Ok: return kOk;
    case MessageBoxButtons::OkCancel: return kOkCancel;
    case MessageBoxButtons::AbortRetryIgnore: return kAbortRetryIgnore;
    case MessageBoxButtons::YesNoCancel: return kYesNoCancel;
    case MessageBoxButtons::YesNo: return kYesNo;
    case MessageBoxButtons::RetryCancel: return kRetryCancel;
    case MessageBoxButtons::AbortIgnore: return kAbortIgnore;
  }
  return kOk;
}

void read_environment_once() noexcept {
  if (environment_read) return;
  environment_read = true;
  const char* text = std::getenv("KES_MESSAGE_BOX_ANSWERS");
  if (text == nullptr) return;
  int count = parse_message_box_answers(text, script);
  script_length = count < 0 ? 0 : static_cast<std::size_t>(count);
  script_next = 0;
}

MessageBoxAnswer choose_answer(const MessageBoxRequest& request) noexcept {
  std::span<const MessageBoxAnswer> offered = buttons_of(request.buttons);
  std::size_t default_index =
      request.default_button >= 0 &&
              static_cast<std::size_t>(request.default_button) < offered.size()
          ? static_cast<std::size_t>(request.default_button)
          : 0;
  MessageBoxAnswer answer = offered[default_index];
  if (script_next < script_length) {
    MessageBoxAnswer scripted = script[script_next++];
    if (std::find(offered.begin(), offered.end(), scripted) != offered.end()) answer = scripted;
  }
  return answer;
}

std::size_t copy_cut(std::string_view from, std::span<char> to) noexcept {
  std::size_t length = std::min(from.size(), to.size());
  std::copy_n(from.data(), length, to.data());
  return length;
}

bool equal_ignoring_case(std::string_view a, std::string_view b) noexcept {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    char x = a[i] >= 'A' && a[i] <= 'Z' ? static_cast<char>(a[i] - 'A' + 'a') : a[i];
    if (x != b[i]) return false;
  }
  return true;
}

RecordedMessageBox view_of(const StoredBox& box) noexcept {
  return {{box.caption.data(), box.caption_length},
          {box.text.data(), box.text_length},
          box.buttons,
          box.icon,
          box.default_button,
          box.answer};
}

}  // namespace

MessageBoxAnswer show_message_box(const MessageBoxRequest& request) noexcept {
  read_environment_once();
  MessageBoxAnswer answer = choose_answer(request);

  StoredBox& box = stored_boxes[shown_count % kRecordedBoxCapacity];
  box.caption_length = copy_cut(request.caption, box.caption);
  box.text_length = copy_cut(request.text, box.text);
  box.buttons = request.buttons;
  box.icon = request.icon;
  box.default_button = request.default_button;
  box.answer = answer;
  ++shown_count;

  write_diagnostic(request.caption);
  write_diagnostic(": ");
  write_diagnostic(request.text);
  write_diagnostic("\n");
  return answer;
}

std::size_t shown_message_box_count() noexcept { return shown_count; }

RecordedMessageBox recorded_message_box(std::size_t index) noexcept {
  std::size_t kept = std::min(shown_count, kRecordedBoxCapacity);
  if (index >= kept)
    return {{}, {}, MessageBoxButtons::Ok, MessageBoxIcon::None, 0, MessageBoxAnswer::Ok};
  std::size_t first = shown_count - kept;
  return view_of(stored_boxes[(first + index) % kRecordedBoxCapacity]);
}

RecordedMessageBox last_message_box() noexcept {
  std::size_t kept = std::min(shown_count, kRecordedBoxCapacity);
  return recorded_message_box(kept == 0 ? kRecordedBoxCapacity : kept - 1);
}

void clear_message_boxes() noexcept { shown_count = 0; }

void set_message_box_answers(std::span<const MessageBoxAnswer> answers) noexcept {
  environment_read = true;  // a script set by the program replaces the environment's
  script_length = std::min(answers.size(), script.size());
  std::copy_n(answers.begin(), script_length, script.begin());
  script_next = 0;
}

#ifdef KES_TESTING
void forget_message_box_script() noexcept {
  script_length = 0;
  script_next = 0;
  environment_read = false;
}
#endif

int parse_message_box_answers(std::string_view text, std::span<MessageBoxAnswer> answers) noexcept {
  static constexpr std::pair<std::string_view, MessageBoxAnswer> kWords[] = {
      {"ok", MessageBoxAnswer::Ok},         {"cancel", MessageBoxAnswer::Cancel},
      {"abort", MessageBoxAnswer::Abort},   {"retry", MessageBoxAnswer::Retry},
      {"ignore", MessageBoxAnswer::Ignore}, {"yes", MessageBoxAnswer::Yes},
      {"no", MessageBoxAnswer::No},
  };
  std::size_t stored = 0;
  while (true) {
    std::size_t comma = text.find(',');
    std::string_view item = text.substr(0, comma);
    while (!item.empty() && item.front() == ' ')
      item.remove_prefix(1);
    while (!item.empty() && item.back() == ' ')
      item.remove_suffix(1);
    MessageBoxAnswer answer{0};
    if (!item.empty() && !equal_ignoring_case(item, "default")) {
      auto word = std::find_if(std::begin(kWords), std::end(kWords), [item](const auto& w) {
        return equal_ignoring_case(item, w.first);
      });
      if (word == std::end(kWords)) return -1;
      answer = word->second;
    }
    if (stored < answers.size()) answers[stored++] = answer;
    if (comma == std::string_view::npos) break;
    text.remove_prefix(comma + 1);
  }
  return static_cast<int>(stored);
}

}  // namespace kes::platform
