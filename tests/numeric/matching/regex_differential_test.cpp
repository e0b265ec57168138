// Random patterns and texts over a small alphabet, searched by the library and by PCRE2 with the
// braces written as parentheses: both must agree on the match and every group.
#define PCRE2_CODE_UNIT_WIDTH 8
#include <cstdint>
#include <pcre2.h>
#include <random>
#include <string>
#include <string_view>

#include <gtest/gtest.h>

#include "numeric/matching/regex_search.h"

namespace kes::numeric {
namespace {

// A random pattern in both notations. Quantifiers only follow atoms that always take a
// character, so no loop can run empty (where engines legitimately differ).
class PatternMaker {
 public:
  explicit PatternMaker(std::uint32_t seed) : random_(seed) {}

  void make(std::string& ours, std::string& pcre) {
    ours.clear();
    pcre.clear();
    groups_ = 0;
    const bool start = pick(4) == 0;
    const bool end = pick(4) == 0;
    if (start) emit("^", "^");
    alternation(0);
    if (end) emit("$", "$");
    ours = ours_;
    pcre = pcre_;
    ours_.clear();
    pcre_.clear();
  }

 private:
  unsigned pick(unsigned n) { return std::uniform_int_distribution<unsigned>(0, n - 1)(random_); }
  void emit(std::string_view ours, std::string_view pcre) {
    ours_ += ours;
    pcre_ += pcre;
  }

  // Returns whether every match of what was emitted takes at least one character.
  bool alternation(int depth) {
    const unsigned count = depth < 2 ? 1 + pick(3) : 1;
    bool wide = true;
    for (unsigned i = 0; i < count; ++i) {
      if (i != 0) emit("|", "|");
      wide = sequence(depth) && wide;
    }
    return wide;
  }

  bool sequence(int depth) {
    const unsigned count = 1 + pick(3);
    bool wide = false;
    for (unsigned i = 0; i < count; ++i)
      wide = piece(depth) || wide;
    return wide;
  }

  bool piece(int depth) {
    const bool wide = atom(depth);
    if (!wide) return false;
    switch (pick(6)) {
      case 0: emit("*", "*"); return false;
      case 1: emit("+", "+"); return true;
      case 2: emit("?", "?"); return false;
      default: return true;
    }
  }

  bool atom(int depth) {
    static constexpr std::string_view kOurs[] = {"a", "b",    "c",    "ab",   "ba",
                                                 ".", "[ab]", "[^a]", "[~b]", "[a-b]"};
    static constexpr std::string_view kPcre[] = {"a", "b",    "c",    "ab",   "ba",
                                                 ".", "[ab]", "[^a]", "[^b]", "[a-b]"};
    if (depth < 3 && groups_ < 9 && pick(4) == 0) {
      ++groups_;
      emit("{", "(");
      const bool wide = alternation(depth + 1);
      emit("}", ")");
      return wide;
    }
    const unsigned which = pick(10);
    emit(kOurs[which], kPcre[which]);
    return true;
  }

  std::mt19937 random_;
  int groups_ = 0;
  std::string ours_;
  std::string pcre_;
};

std::string random_text(std::mt19937& random) {
  const unsigned length = std::uniform_int_distribution<unsigned>(0, 12)(random);
  std::string text;
  for (unsigned i = 0; i < length; ++i) {
    text += "abcd"[std::uniform_int_distribution<unsigned>(0, 3)(random)];
  }
  return text;
}

std::string describe(const RegexGroups& groups) {
  if (!groups[0].matched()) return "none";
  std::string out;
  for (std::size_t g = 0; g < groups.size(); ++g) {
    if (!groups[g].matched()) continue;
    out += ' ' + std::to_string(g) + ":[" + std::to_string(groups[g].start) + ',' +
           std::to_string(groups[g].end) + ')';
  }
  return out;
}

RegexGroups search_pcre(pcre2_code* code, pcre2_match_data* data, std::string_view text) {
  RegexGroups groups;
  const int rc = pcre2_match(code, reinterpret_cast<PCRE2_SPTR>(text.data()), text.size(), 0, 0,
                             data, nullptr);
  if (rc < 0) return groups;
  const PCRE2_SIZE* vector = pcre2_get_ovector_pointer(data);
  for (int g = 0; g < rc && g < kRegexGroupCount; ++g) {
    if (vector[2 * g] != PCRE2_UNSET) {
      groups[static_cast<std::size_t>(g)] = RegexSpan{vector[2 * g], vector[2 * g + 1]};
    }
  }
  return groups;
}

TEST(RegexDifferential, AgreesWithPcre2) {
  PatternMaker maker(20261206);
  std::mt19937 texts(7);
  int compared = 0;
  int found = 0;
  for (int round = 0; round < 3000; ++round) {
    std::string ours;
    std::string pcre;
    maker.make(ours, pcre);
    SCOPED_TRACE(ours);
    RegexProgram program;
    ASSERT_EQ(compile_regex(ours, false, program), RegexError::None);
    int error = 0;
    PCRE2_SIZE offset = 0;
    pcre2_code* code = pcre2_compile(reinterpret_cast<PCRE2_SPTR>(pcre.data()), pcre.size(),
                                     PCRE2_DOLLAR_ENDONLY, &error, &offset, nullptr);
    ASSERT_NE(code, nullptr) << pcre;
    pcre2_match_data* data = pcre2_match_data_create_from_pattern(code, nullptr);
    for (int t = 0; t < 20; ++t) {
      const std::string text = random_text(texts);
      SCOPED_TRACE(text);
      RegexGroups groups;
      ASSERT_NE(search_regex(program, text, 0, false, groups), RegexOutcome::OutOfMemory);
      const std::string ours_result = describe(groups);
      EXPECT_EQ(ours_result, describe(search_pcre(code, data, text)));
      ++compared;
      if (groups[0].matched()) ++found;
    }
    pcre2_match_data_free(data);
    pcre2_code_free(code);
  }
  // Both outcomes are well represented.
  EXPECT_GT(found, compared / 5);
  EXPECT_LT(found, compared * 4 / 5);
}

}  // namespace
}  // namespace kes::numeric
