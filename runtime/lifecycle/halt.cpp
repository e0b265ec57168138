// HALT and STOP.
#include "runtime/lifecycle/halt.h"

#include <algorithm>
#include <array>
#include <string_view>

#include "platform/core/process_exit.h"
#include "platform/msgbox/message_box.h"
#include "runtime/fatal/hooks.h"
#include "runtime/lifecycle/lifecycle.h"
#include "runtime/stack/string_stack.h"

namespace kes::runtime {
namespace {

constexpr int kImmediateHaltCode = 255;
constexpr std::string_view kExitQuestion = "Exit?";

// A message popped from the string stack, cut to the box's buffer. An empty stack gives the
// empty message rather than a fault: the statement's own operand is missing, not the program.
class PoppedMessage {
 public:
  static constexpr std::size_t kCapacity = 1024;
  PoppedMessage() noexcept {
    if (string_stack_depth() == 0) return;
    std::string_view top = top_text();
    length_ = std::min(top.size(), kCapacity);
    std::copy_n(top.data(), length_, text_.data());
    pop_discard();
  }
  void append(std::string_view more) noexcept {
    std::size_t length = std::min(more.size(), text_.size() - length_);
    std::copy_n(more.data(), length, text_.data() + length_);
    length_ += length;
  }
  std::string_view text() const noexcept { return {text_.data(), length_}; }

 private:
  std::array<char, kCapacity + kExitQuestion.size()> text_;
  std::size_t length_ = 0;
};

[[noreturn]] void end_program(std::int32_t code) noexcept {
  run_final_shutdown();
  set_halting();
  exit_program(code);
}

}  // namespace

void halt_program(std::int32_t code, bool quiet) noexcept {
  if (!call_program_hook(ProgramHook::Halt, code)) {
    PoppedMessage message;
    if (!quiet) {
      platform::show_message_box({"Halt", message.text(), platform::MessageBoxButtons::Ok,
                                  platform::MessageBoxIcon::Stop, 0});
    }
  }
  end_program(code);
}

void stop_program(std::int32_t flag) noexcept {
  if (call_program_hook(ProgramHook::Stop, flag)) return;
  PoppedMessage message;
  if (flag != 0) message.append(kExitQuestion);
  platform::MessageBoxAnswer answer =
      platform::show_message_box({"Stop", message.text(), platform::MessageBoxButtons::AbortIgnore,
                                  platform::MessageBoxIcon::Stop, 0});
  if (answer == platform::MessageBoxAnswer::Abort) end_program(0);
}

void halt_at_once() noexcept { platform::end_process(kImmediateHaltCode); }

}  // namespace kes::runtime
