// Random patterns and texts over a small alphabet, searched three ways: by the library, by a
// plain recursive backtracker over the same node program (no memo), and by PCRE2 with the
// braces written as parentheses. All three must agree on the match and every group.
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

// The plain engine: each node a recursive call, groups set while the success unwinds (the
// innermost, so the latest, setting wins), no memo. Only for patterns whose loops always
// consume, on short texts.
class PlainBacktracker {
 public:
  PlainBacktracker(const RegexProgram& program, std::string_view text)
      : program_(program), text_(text) {}

  RegexGroups search() {
    RegexGroups groups;
    for (std::size_t start = 0; start <= text_.size(); ++start) {
      starts_.fill(kNoOffset);
      ends_.fill(kNoOffset);
      if (match(0, start)) {
        groups[0] = RegexSpan{start, end_};
        for (std::size_t g = 1; g < groups.size(); ++g) {
          if (starts_[g] != kNoOffset && ends_[g] != kNoOffset) groups[g] = {starts_[g], ends_[g]};
        }
        return groups;
      }
    }
    return groups;
  }

 private:
  std::uint8_t op(std::int64_t at) const {
    return program_.nodes()[static_cast<std::size_t>(at)].op;
  }

  std::size_t repeat(const RegexNode& node, std::size_t position) const {
    std::size_t at = position;
    while (at < text_.size() && one(node, static_cast<std::uint8_t>(text_[at])))
      ++at;
    return at - position;
  }

  bool one(const RegexNode& node, std::uint8_t c) const {
    const std::uint8_t* pool = program_.pool().data();
    switch (node.op) {
      case kOpAny: return true;
      case kOpAnyOf: return set_has(pool + node.operand, c);
      case kOpAnyBut: return !set_has(pool + node.operand, c);
      case kOpExactly: return pool[node.operand] == c;
      default: return false;
    }
  }

  bool match(std::int64_t at, std::size_t position) {
    while (at >= 0) {
      const auto index = static_cast<std::uint32_t>(at);
      const RegexNode& node = program_.nodes()[index];
      const std::int64_t next = program_.next_of(index);
      switch (node.op) {
        case kOpEnd: end_ = position; return true;
        case kOpBol:
          if (position != 0) return false;
          break;
        case kOpEol:
          if (position != text_.size()) return false;
          break;
        case kOpAny:
        case kOpAnyOf:
        case kOpAnyBut:
          if (position >= text_.size() || !one(node, static_cast<std::uint8_t>(text_[position]))) {
            return false;
          }
          ++position;
          break;
        case kOpExactly:
          if (text_.substr(position).substr(0, node.length) !=
              std::string_view(reinterpret_cast<const char*>(program_.pool().data()) + node.operand,
                               node.length)) {
            return false;
          }
          position += node.length;
          break;
        case kOpNothing:
        case kOpBack: break;
        case kOpBranch:
          if (next < 0 || op(next) != kOpBranch) {
            at = at + 1;
            continue;
          }
          for (std::int64_t alt = at; alt >= 0 && op(alt) == kOpBranch;
               alt = program_.next_of(static_cast<std::uint32_t>(alt))) {
            if (match(alt + 1, position)) return true;
          }
          return false;
        case kOpStar:
        case kOpPlus: {
          const RegexNode& follow = program_.nodes()[static_cast<std::size_t>(next)];
          const int next_char =
              follow.op == kOpExactly ? program_.pool().data()[follow.operand] : -1;
          const std::size_t minimum = node.op == kOpPlus ? 1 : 0;
          std::size_t count = repeat(program_.nodes()[index + 1], position);
          for (; count + 1 > minimum; --count) {
            const std::size_t end = position + count;
            if ((next_char < 0 ||
                 (end < text_.size() && static_cast<std::uint8_t>(text_[end]) == next_char)) &&
                match(next, end)) {
              return true;
            }
            if (count == 0) break;
          }
          return false;
        }
        default: {
          const bool open = node.op < kOpClose;
          const std::size_t group = node.op % 10u;
          if (!match(next, position)) return false;
          auto& slot = open ? starts_[group] : ends_[group];
          if (slot == kNoOffset) slot = position;
          return true;
        }
      }
      at = next;
    }
    return false;
  }

  const RegexProgram& program_;
  std::string_view text_;
  std::array<std::size_t, kRegexGroupCount> starts_{};
  std::array<std::size_t, kRegexGroupCount> ends_{};
  std::size_t end_ = 0;
};

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

TEST(RegexDifferential, AgreesWithPlainBacktrackingAndPcre2) {
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
      EXPECT_EQ(ours_result, describe(PlainBacktracker(program, text).search()));
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
