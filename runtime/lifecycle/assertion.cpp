// Assertion reports: the program's hooks, or a box that offers the debugger.
#include "runtime/lifecycle/assertion.h"

#include <array>
#include <cstdio>
#include <span>
#include <string_view>

#include "platform/core/heap.h"
#include "platform/core/process_exit.h"
#include "platform/msgbox/message_box.h"
#include "runtime/fatal/fatal.h"
#include "runtime/fatal/hooks.h"
#include "runtime/stack/string_stack.h"

namespace kes::runtime {
namespace {

constexpr int kMessageLimit = 512;

const char* or_empty(const char* text) noexcept { return text != nullptr ? text : ""; }

void ask_for_debugger(std::string_view text) noexcept {
  platform::MessageBoxAnswer answer =
      platform::show_message_box({"Assertion Failed", text, platform::MessageBoxButtons::YesNo,
                                  platform::MessageBoxIcon::Exclamation, 1});
  if (answer == platform::MessageBoxAnswer::Yes) platform::break_into_debugger();
}

std::string_view formatted(std::span<char> buffer, int length) noexcept {
  if (length < 0) return {};
  std::size_t size = static_cast<std::size_t>(length);
  return {buffer.data(), size < buffer.size() ? size : buffer.size() - 1};
}

}  // namespace

void assertion_failed(std::int32_t line, const char* file) noexcept {
  if (program_hook_callable(ProgramHook::Assert)) {
    push_text(or_empty(file));
    call_program_hook(ProgramHook::Assert, line);
    return;
  }
  std::array<char, 2048> buffer;
  int length = std::snprintf(buffer.data(), buffer.size(),
                             "Assertion failed on line: %d in file %s. Shall I GPF?",
                             static_cast<int>(line), or_empty(file));
  ask_for_debugger(formatted(buffer, length));
}

void assertion_failed_with_message(std::int32_t line, const char* file) noexcept {
  HeapText message{nullptr, 0};
  if (string_stack_depth() > 0) message = pop_to_heap();
  std::uint32_t length = message.pointer != nullptr ? message.length : 0;
  while (length > 0 && message.pointer[length - 1] == ' ')
    --length;

  if (length > 0 && program_hook_callable(ProgramHook::Assert2)) {
    push_owned(message.pointer, length);  // the entry takes the block over
    push_text(or_empty(file));
    call_program_hook(ProgramHook::Assert2, line);
    return;
  }
  if (program_hook_callable(ProgramHook::Assert)) {
    platform::heap_free(message.pointer);
    push_text(or_empty(file));
    call_program_hook(ProgramHook::Assert, line);
    return;
  }
  std::array<char, 2048> buffer;
  int shown = static_cast<int>(length < kMessageLimit ? length : kMessageLimit);
  int written =
      std::snprintf(buffer.data(), buffer.size(),
                    "Assertion failed on line: %d in file %s. Message: %.*s. Shall I GPF?",
                    static_cast<int>(line), or_empty(file), shown,
                    message.pointer != nullptr ? message.pointer : "");
  platform::heap_free(message.pointer);
  ask_for_debugger(formatted(buffer, written));
}

void internal_assertion_failed(const char* expression, const char* file,
                               std::int32_t line) noexcept {
  std::array<char, kFatalTextCapacity + 1> buffer;
  int length =
      std::snprintf(buffer.data(), buffer.size(), "Assertion failed:%s\r\nFile %s line %ld",
                    or_empty(expression), or_empty(file), static_cast<long>(line));
  std::string_view text = formatted(buffer, length);
  if (auto* log = library_hooks().write_diagnostic_log) {
    log(text);
  } else {
    platform::write_diagnostic(text);
    platform::write_diagnostic("\n");
  }
  while (string_stack_depth() > 0)
    pop_discard();
  report_runtime_error(static_cast<std::int32_t>(RuntimeError::InternalAssertion), text);
}

}  // namespace kes::runtime
