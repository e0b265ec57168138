// Fatal run-time errors: the report, the box or hook, and the end of the program.
#include "runtime/fatal/fatal.h"

#include <algorithm>
#include <array>

#include "files/errors/error_state.h"
#include "platform/core/process_exit.h"
#include "platform/msgbox/message_box.h"
#include "runtime/fatal/hooks.h"

namespace kes::runtime {
namespace {

constexpr std::string_view kBoxQuestion = "\nDo you want to GPF?";
constexpr std::size_t kMessageLimit = 254;

// Room for the text and the box's question.
std::array<char, kFatalTextCapacity + kBoxQuestion.size()> report_text;
bool reporting = false;

FatalReportSteps steps;

bool library_is_active() noexcept {
  return steps.library_active != nullptr && steps.library_active();
}

[[noreturn]] void end_program(std::int32_t code) noexcept {
  if (steps.exit_program != nullptr) steps.exit_program(code);
  platform::end_process(code);
}

class TextBuilder {
 public:
  void append(std::string_view text, std::size_t limit) noexcept {
    std::size_t length = std::min(text.size(), limit - std::min(limit, length_));
    std::copy_n(text.data(), length, report_text.data() + length_);
    length_ += length;
  }
  std::string_view text() const noexcept { return {report_text.data(), length_}; }

 private:
  std::size_t length_ = 0;
};

}  // namespace

FatalReportSteps& fatal_report_steps() noexcept { return steps; }

void report_runtime_error(std::int32_t number, std::optional<std::string_view> extra) noexcept {
  if (reporting) {
    // A fault while reporting one (in the hook, the box or the shutdown): end at once.
    platform::end_process(kFatalExitCode);
  }
  reporting = true;

  TextBuilder text;
  if (number != 0) {
    files::post_error_number(number);
    text.append(files::error_text(), kMessageLimit);
    if (extra) text.append(" : ", kFatalTextCapacity);
  }
  if (extra) {
    text.append(*extra, kFatalTextCapacity);
  } else if (number == 0) {
    text.append("Unknown Error", kFatalTextCapacity);
  }

  if (program_hook(ProgramHook::FatalError) != nullptr) {
    if (library_is_active() && program_hook_callable(ProgramHook::FatalError)) {
      if (steps.push_text != nullptr) steps.push_text(text.text());
      call_program_hook(ProgramHook::FatalError, number);
    }
  } else {
    text.append(kBoxQuestion, report_text.size());
    platform::MessageBoxAnswer answer = platform::show_message_box(
        {"Runtime error", text.text(), platform::MessageBoxButtons::YesNo,
         platform::MessageBoxIcon::Stop, 1});
    if (answer == platform::MessageBoxAnswer::Yes) platform::break_into_debugger();
  }

  if (steps.run_final_shutdown != nullptr) steps.run_final_shutdown();
  if (steps.set_halting != nullptr) steps.set_halting();
  if (library_is_active()) end_program(kFatalExitCode);
  reporting = false;
}

void fatal(RuntimeError error, std::string_view extra) noexcept {
  std::optional<std::string_view> given;
  if (!extra.empty()) given = extra;
  report_runtime_error(static_cast<std::int32_t>(error), given);
  platform::end_process(kFatalExitCode);
}

}  // namespace kes::runtime

// The C++ runtime calls this for a call of a pure virtual member: reported like the heap's
// faults (number 0 and a text), then the program exits with code 2.
extern "C" [[noreturn]] void __cxa_pure_virtual() noexcept {
  kes::runtime::report_runtime_error(0, "Pure virtual function called");
  kes::runtime::end_program(kes::runtime::kFatalExitCode);
}
