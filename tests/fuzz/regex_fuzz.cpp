// Patterns on texts (input: a mode byte, pattern, zero byte, text, zero byte, replacement):
// spans lie inside the text and the match, a search from the match's start finds it again,
// FindNext walks end, Replace writes nothing past the buffer, wildcards agree with a table.
#include <string>
#include <string_view>
#include <vector>

#include <kestrel/matching.h>
#include <kestrel/reg_expr.h>

#include "numeric/matching/match.h"
#include "numeric/matching/regex_search.h"
#include "numeric/matching/wildcard.h"
#include "tests/fuzz/support/fuzz_check.h"

namespace {

namespace num = kes::numeric;
using kes::fuzz::check;

void check_groups(const num::RegexGroups& groups, std::size_t length) {
  check(groups[0].start <= groups[0].end && groups[0].end <= length);
  for (const num::RegexSpan& span : groups) {
    if (!span.matched()) continue;
    check(span.start <= span.end);
    check(span.start >= groups[0].start && span.end <= groups[0].end);
  }
}

// Whole-text wildcard match by table: cell [i][j] says pattern[i..] matches text[j..].
bool wildcard_table(std::string_view pattern, std::string_view text) {
  const std::size_t columns = text.size() + 1;
  std::vector<char> next(columns, 0);
  std::vector<char> here(columns, 0);
  next[text.size()] = 1;
  for (std::size_t i = pattern.size(); i-- > 0;) {
    for (std::size_t j = columns; j-- > 0;) {
      if (pattern[i] == '*') {
        here[j] = static_cast<char>(next[j] || (j < text.size() && here[j + 1]));
      } else {
        here[j] = static_cast<char>(j < text.size() &&
                                    (pattern[i] == '?' || pattern[i] == text[j]) && next[j + 1]);
      }
    }
    next.swap(here);
  }
  return next[0] != 0;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 1 || size > 4096) return 0;
  const auto mode = static_cast<std::int32_t>(data[0]);
  const auto [pattern, rest] = kes::fuzz::split_at(kes::fuzz::text_of(data + 1, size - 1), '\0');
  auto [text, replacement] = kes::fuzz::split_at(rest, '\0');
  if (text.size() == rest.size()) replacement = "#1<##>";
  const bool no_case = (mode & num::kMatchNoCase) != 0;
  const kes::fuzz::StackDepths depths;

  num::RegexProgram program;
  if (num::compile_regex(pattern, no_case, program) == num::RegexError::None) {
    num::RegexGroups groups;
    if (num::search_regex(program, text, 0, false, groups) == num::RegexOutcome::Found) {
      check_groups(groups, text.size());
      num::RegexGroups again;
      check(num::search_regex(program, text, groups[0].start, false, again) ==
            num::RegexOutcome::Found);
      for (std::size_t g = 0; g < groups.size(); ++g)
        check(again[g].start == groups[g].start && again[g].end == groups[g].end);
    } else {
      check(!groups[0].matched());
    }

    // The class: walk every match, then replace and substitute.
    KewRegExpr regex;
    kes::runtime::push_text(pattern);
    check(regex.Init(mode) == 1);
    std::string buffer(text);
    buffer += std::string(8, '\x7F');  // guard bytes after the text
    const auto length = static_cast<std::int32_t>(text.size());
    std::size_t walked = 0;
    for (std::int32_t at = regex.Find(mode, buffer.data(), length, 1); at != 0;
         at = regex.FindNext()) {
      check(at >= 1 && at <= length + 1);
      check(++walked <= text.size() + 1);
    }
    if (regex.Find(mode, buffer.data(), length, 1) != 0) {
      kes::runtime::push_text(replacement);
      regex.Replace(mode % 11);
      check(buffer.substr(text.size()) == std::string(8, '\x7F'));
      check(static_cast<std::size_t>(regex.FindLen(0)) <= text.size());
      kes::runtime::push_text(replacement);
      regex.Substitute();
      kes::runtime::pop_discard();
    }
  }

  if (pattern.size() * (text.size() + 1) <= 1000000)
    check(num::wildcard_match(pattern, text, false) == wildcard_table(pattern, text));
  kes::runtime::push_text(pattern);
  kes::runtime::push_text(text);
  const std::int32_t matched = Kes$MATCH(mode);
  check(matched == 0 || matched == 1);
  depths.check_kept();
  return 0;
}
