// Command-line splitting: quoting the arguments again by the same rules and splitting the result
// gives the same arguments back.
#include <string>
#include <string_view>

#include "platform/launch/launch.h"
#include "tests/fuzz/support/fuzz_check.h"

namespace {

using kes::fuzz::check;

bool has_blank(std::string_view text) {
  return text.find_first_of(" \t") != std::string_view::npos;
}

// The program name takes no escapes: quoted when it holds blanks or is empty (it then holds no
// quote, since only an unquoted name can).
void append_program(std::string& line, std::string_view program) {
  if (program.empty() || has_blank(program)) {
    line += '"';
    line += program;
    line += '"';
  } else {
    line += program;
  }
}

// Quotes an argument: backslashes before a quote or the closing quote are doubled, quotes escaped.
void append_argument(std::string& line, std::string_view argument) {
  line += " \"";
  std::size_t backslashes = 0;
  for (char c : argument) {
    if (c == '\\') {
      ++backslashes;
      continue;
    }
    if (c == '"') {
      line.append(2 * backslashes + 1, '\\');
    } else {
      line.append(backslashes, '\\');
    }
    backslashes = 0;
    line += c;
  }
  line.append(2 * backslashes, '\\');
  line += '"';
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size > 4096) return 0;
  kes::platform::CommandArguments first;
  check(first.split(kes::fuzz::text_of(data, size)) && first.count() <= size);
  if (first.count() == 0) return 0;

  std::string line;
  append_program(line, first.argument(0));
  for (std::size_t i = 1; i < first.count(); ++i)
    append_argument(line, first.argument(i));

  kes::platform::CommandArguments second;
  check(second.split(line) && second.count() == first.count());
  for (std::size_t i = 0; i < first.count(); ++i)
    check(second.argument(i) == first.argument(i));
  return 0;
}
