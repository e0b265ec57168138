// Command tails: any bytes tokenise, the tokens are never longer than the tail, and writing the
// tokens back with quotes and commas gives the same tokens again.
#include <string>
#include <string_view>
#include <vector>

#include "services/command/command_line.h"
#include "tests/fuzz/support/fuzz_check.h"

namespace {

using kes::fuzz::check;

std::vector<std::string> tokens_of(std::string_view tail) {
  kes::services::CommandTokens tokens(tail);
  std::string buffer(tail.size() + 1, '\0');
  std::vector<std::string> out;
  std::size_t total = 0;
  while (const auto length = tokens.next(buffer.data())) {
    total += *length;
    check(total <= tail.size() && out.size() <= tail.size());
    out.emplace_back(buffer.data(), *length);
  }
  return out;
}

// Each quote written twice; blanks, commas and slashes inside quotes, which stay open to the
// token's end once opened (a quote closing and one opening at once would read as one literal).
std::string quoted(std::string_view token) {
  std::string out;
  bool open = false;
  for (char c : token) {
    if (c == '"') {
      out += "\"\"";
      continue;
    }
    if (!open && (static_cast<unsigned char>(c) <= ' ' || c == ',' || c == '/')) {
      out += '"';
      open = true;
    }
    out += c;
  }
  if (open) out += '"';
  return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size > 4096) return 0;
  const std::vector<std::string> first = tokens_of(kes::fuzz::text_of(data, size));
  // A final empty token cannot be written back: nothing after the last comma makes none.
  if (first.empty() || first.back().empty()) return 0;
  std::string again;
  for (std::size_t i = 0; i < first.size(); ++i) {
    if (i != 0) again += ',';
    again += quoted(first[i]);
  }
  check(tokens_of(again) == first);
  // Position n finds the n-th token.
  std::string scratch(again.size() + 1, '\0');
  const std::string position = std::to_string(first.size());
  check(kes::services::command_lookup(again, position, scratch.data()) == first.back());
  return 0;
}
