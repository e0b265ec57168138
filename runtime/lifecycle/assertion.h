// Failed assertions of the program (ASSERT) and of the window layer.
//
// State: none of its own.
#pragma once

#include <cstdint>

namespace kes::runtime {

// Kes$AssertFailed: with an AssertHook, pushes the file name and calls it with the line.
// Otherwise shows "Assertion failed on line: <line> in file <file>. Shall I GPF?" captioned
// "Assertion Failed" (Yes and No, No the default, exclamation icon); Yes breaks into the
// debugger, No returns. A null file name reads as empty.
void assertion_failed(std::int32_t line, const char* file) noexcept;

// Kes$AssertFailedM: pops the message and cuts its trailing spaces. A message that is not empty
// goes to AssertHook2 (message pushed back, then the file name, hook called with the line);
// otherwise AssertHook gets the file name and line without the message; without hooks the box
// reads "Assertion failed on line: <line> in file <file>. Message: <message, at most 512
// characters>. Shall I GPF?".
void assertion_failed_with_message(std::int32_t line, const char* file) noexcept;

// WslDebug$AssertFailed: writes "Assertion failed:<expression>\r\nFile <file> line <line>" to the
// diagnostic log, empties the string stack and raises run-time error 501 with that text.
void internal_assertion_failed(const char* expression, const char* file,
                               std::int32_t line) noexcept;

}  // namespace kes::runtime
