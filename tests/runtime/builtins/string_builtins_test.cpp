// The text built-ins (SUB, CLIP, LEFT, RIGHT, CENTER, ALL, UPPER, LOWER, VAL, NUMERIC,
// INSTRING) over referenced, owned and inline entries, against hand-worked results and plain
// references written here, and what they allocate.
#include "runtime/builtins/string_builtins.h"

#include <cstdint>
#include <cstring>
#include <functional>
#include <random>
#include <string>
#include <string_view>

#include <kestrel/collation.h>

#include <gtest/gtest.h>

#include "platform/core/heap.h"
#include "runtime/astring/astring_table.h"
#include "runtime/ole/bstr.h"
#include "runtime/ole/variant.h"
#include "runtime/stack/string_stack.h"
#include "tests/support/allocation_counter.h"
#include "tests/support/stack_helpers.h"

namespace kes::runtime {
namespace {

enum class Kind { Ref, Owned, Inline };
constexpr Kind kKinds[] = {Kind::Ref, Kind::Owned, Kind::Inline};

class StringBuiltinsTest : public testing::Test {
 protected:
  void SetUp() override { test::drain_string_stack(); }
  void TearDown() override { test::drain_string_stack(); }
  // Pushes `text` as an entry of `kind`; an inline entry needs a text of at most 20 bytes, so a
  // longer one is pushed owned instead. `keep` holds the bytes a reference points at.
  static void push_as(Kind kind, std::string_view text, std::string& keep) {
    if (kind == Kind::Ref) {
      keep.assign(text);
      push_reference(keep);
    } else if (kind == Kind::Inline && text.size() <= kInlineCapacity) {
      push_text(text);
    } else {
      auto* block = static_cast<char*>(platform::heap_allocate(text.size()));
      if (!text.empty()) std::memcpy(block, text.data(), text.size());
      push_owned(block, static_cast<std::uint32_t>(text.size()));
    }
  }
  static std::string pop() { return test::pop_heap_text(); }
  // Runs `operation` on `text` pushed as each kind of entry: the results must agree, and a
  // referenced variable must not change. Returns the result.
  static std::string on_every_kind(std::string_view text, const std::function<void()>& operation) {
    std::string first;
    for (Kind kind : kKinds) {
      SCOPED_TRACE(static_cast<int>(kind));
      std::string keep;
      push_as(kind, text, keep);
      operation();
      const std::string result = pop();
      EXPECT_EQ(string_stack_depth(), 0);
      if (kind == Kind::Ref) {
        first = result;
        EXPECT_EQ(keep, text);
      }
      EXPECT_EQ(result, first);
    }
    return first;
  }
};

struct SubCase {
  const char* name;
  std::int32_t start;
  std::int32_t length;
  std::string_view result;  // of "ABCDE"
};
// Ordinary starts and lengths are checked against a reference below; these rows run the
// extremes, and one ordinary cut, on every kind of entry.
constexpr SubCase kSubs[] = {
    {"Middle", 2, 3, "BCD"},
    {"MaxStart", INT32_MAX, INT32_MAX, ""},
    {"MinStart", INT32_MIN, 3, "ABC"},
    {"MinLength", 3, INT32_MIN, "CDE"},
};

TEST_F(StringBuiltinsTest, SubCutsByStartAndLength) {
  for (const SubCase& c : kSubs) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(on_every_kind("ABCDE", [&] { sub_top(c.start, c.length); }), c.result);
  }
}

struct ClipCase {
  const char* name;
  std::string_view text;
  std::string_view result;
};
constexpr ClipCase kClips[] = {
    {"TrailingSpaces", "AB   ", "AB"},
    {"LeadingKept", "  AB", "  AB"},
    {"OnlySpaces", "    ", ""},
    {"TabIsNotCut", "AB\t", "AB\t"},
    {"ZeroByteIsNotCut", {"AB\0 ", 4}, {"AB\0", 3}},
    {"LongText", "ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789     ",
     "ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789"},
};

TEST_F(StringBuiltinsTest, ClipCutsTrailingSpacesOnly) {
  for (const ClipCase& c : kClips) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(on_every_kind(c.text, [] { clip_top(); }), c.result);
  }
  push_astring(intern_astring("OWL"));  // an AString entry stays as it is
  clip_top();
  EXPECT_EQ(entry_from_top(1).kind, static_cast<std::uint32_t>(EntryKind::AStringRef));
  EXPECT_EQ(pop(), "OWL");
  char text[] = "AB  ";  // Kes$clipstr cuts in place
  EXPECT_EQ(clip_cstring(text), 2u);
  EXPECT_STREQ(text, "AB");
  EXPECT_EQ(clip_cstring(nullptr), 0u);
}

struct JustifyCase {
  const char* name;
  std::string_view text;
  std::int32_t width;
  std::string_view left, right, center;
};
// Ordinary widths are checked against references below.
constexpr JustifyCase kJustifies[] = {
    {"OwnWidthLeadingSpaces", "  AB", -1, "AB  ", "  AB", " AB "},
    {"PadOddSpareGoesLeft", "AB", 5, "AB   ", "   AB", "  AB "},
    {"CutOddExcessCutsLeft", "ABCDE", 2, "AB", "DE", "CD"},
    {"OtherNegativeWidth", "ABC", -2, "", "", ""},
    {"MinWidth", "ABC", INT32_MIN, "", "", ""},
    {"MaxWidthRefused", "ABC", INT32_MAX, "", "", ""},
};

TEST_F(StringBuiltinsTest, JustifyDropsSpacesThenPadsOrCuts) {
  for (const JustifyCase& c : kJustifies) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(on_every_kind(c.text, [&] { left_top(c.width); }), c.left);
    EXPECT_EQ(on_every_kind(c.text, [&] { right_top(c.width); }), c.right);
    EXPECT_EQ(on_every_kind(c.text, [&] { center_top(c.width); }), c.center);
  }
}

struct AllCase {
  const char* name;
  std::string_view pattern;
  std::int32_t length;
  std::string_view result;
};
constexpr AllCase kAlls[] = {
    {"EmptyPatternIsSpaces", "", 3, "   "},
    {"CutLastRepetition", "AB", 5, "ABABA"},
    {"OneBytePatternFills", "*", 4, "****"},
    {"ShorterThanPattern", "ABCDE", 2, "AB"},
    {"ExactPattern", "ABC", 3, "ABC"},
    {"LengthZero", "AB", 0, ""},
    {"NegativeLength", "AB", -5, ""},
    {"HugeLengthRefused", "AB", INT32_MAX, ""},
    {"PastInlineArea", "XYZ", 23, "XYZXYZXYZXYZXYZXYZXYZXY"},
};

TEST_F(StringBuiltinsTest, AllRepeatsThePattern) {
  for (const AllCase& c : kAlls) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(on_every_kind(c.pattern, [&] { all_top(c.length); }), c.result);
  }
  push_reference("0123456789");
  all_top(1000003);
  const std::string result = pop();
  ASSERT_EQ(result.size(), 1000003u);
  EXPECT_EQ(result.substr(999990), "0123456789012");
}

TEST_F(StringBuiltinsTest, UpperAndLowerOfEveryLength) {
  // Every length to one past the entry's own area, and a long one; a short result stays in the
  // entry without allocating.
  const std::string mixed = "kEsTrEl oWl 1801 aBcDe, a much longer mixed Case text";
  for (std::size_t length : {0, 1, 2, 7, 8, 15, 16, 19, 20, 21, 22, 45}) {
    SCOPED_TRACE(length);
    const std::string text = mixed.substr(0, length);
    std::string upper = text;
    std::string lower = text;
    for (char& c : upper)
      if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    for (char& c : lower)
      if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    EXPECT_EQ(on_every_kind(text, [] { upper_top(); }), upper);
    EXPECT_EQ(on_every_kind(text, [] { lower_top(); }), lower);
    push_reference(text);
    test::AllocationCounter allocations;
    upper_top();
    if (length >= 1 && length <= kInlineCapacity) {
      EXPECT_EQ(entry_from_top(1).kind, static_cast<std::uint32_t>(EntryKind::TextInline));
      EXPECT_EQ(allocations.count(), 0u);
    }
    pop_discard();
  }
  push_text("--owl");  // an inline text away from the front of its area
  sub_top(3, 3);
  upper_top();
  EXPECT_EQ(pop(), "OWL");
  for (int code = 0; code < 256; ++code) {  // every byte by the case tables
    const char byte = static_cast<char>(code);
    push_text(std::string_view(&byte, 1));
    upper_top();
    EXPECT_EQ(static_cast<unsigned char>(pop()[0]), Kes$isftoupper(code)) << code;
    push_text(std::string_view(&byte, 1));
    lower_top();
    EXPECT_EQ(static_cast<unsigned char>(pop()[0]), Kes$isftolower(code)) << code;
  }
}

TEST_F(StringBuiltinsTest, UpperOfAnAStringStaysAnAString) {
  push_astring(intern_astring("owl"));
  upper_top();
  const StackEntry& entry = entry_from_top(1);
  EXPECT_EQ(entry.kind, static_cast<std::uint32_t>(EntryKind::AStringRef));
  EXPECT_EQ(entry.pointer, intern_astring("OWL"));
  EXPECT_EQ(pop(), "OWL");
}

TEST_F(StringBuiltinsTest, UpperFollowsAChangedCaseTable) {
  // e-acute (E9h) and E-acute (C9h) paired by the program; sharp s (DFh) is a lower-case letter
  // without a partner and stays as it is.
  KesCollationBlock saved;
  Kes$AccessColSeqInfo(&saved, 0);
  KesCollationBlock changed = saved;
  changed.case_partner[0xE9] = 0xC9;
  changed.case_partner[0xC9] = 0xE9;
  changed.char_class[0xE9] = 2;
  changed.char_class[0xC9] = 1;
  changed.case_partner[0xDF] = 0;
  changed.char_class[0xDF] = 2;
  Kes$AccessColSeqInfo(&changed, 1);
  push_reference("caf\xE9 \xDF");
  upper_top();
  const std::string upper = pop();
  push_reference("CAF\xC9");
  lower_top();
  const std::string lower = pop();
  Kes$AccessColSeqInfo(&saved, 1);
  EXPECT_EQ(upper, "CAF\xC9 \xDF");
  EXPECT_EQ(lower, "caf\xE9");
}

TEST_F(StringBuiltinsTest, ValGivesTheFirstByte) {
  const std::pair<std::string_view, std::int32_t> cases[] = {
      {"", 32}, {"A", 65}, {"\xFFZ", 255}, {{"\0A", 2}, 0}};
  for (const auto& [text, value] : cases) {
    push_reference(text);
    EXPECT_EQ(val_pop(), value) << text;
  }
  EXPECT_EQ(string_stack_depth(), 0);
}

struct NumericCase {
  const char* name;
  std::string_view text;
  std::int32_t result;
};
constexpr NumericCase kNumerics[] = {
    {"SignOnly", "-", 0},
    {"Blanks", "  ", 0},
    {"Empty", "", 0},
    {"LeadingBlanks", "  12.5", 1},
    {"TrailingBlanksCut", "12.5   ", 1},
    {"TrailingLetter", "12a", 0},
    {"Negative", "-7", 1},
    {"Plus", "+.5", 1},
    {"PointOnly", ".", 0},
    {"TrailingPoint", "5.", 1},
    {"ExponentWithoutDigits", "1e", 0},
    {"SignedExponent", "2.5E-3", 1},
    {"InnerBlank", "1 2", 0},
    {"Infinity", "inf", 0},
    {"Hex", "0x10", 0},
    {"Past39BytesIgnored", "1234567890123456789012345678901234567890x", 1},
};

TEST_F(StringBuiltinsTest, NumericReadsTheWholeText) {
  for (const NumericCase& c : kNumerics) {
    for (Kind kind : kKinds) {
      SCOPED_TRACE(std::string(c.name) + " " + std::to_string(static_cast<int>(kind)));
      std::string keep;
      push_as(kind, c.text, keep);
      EXPECT_EQ(numeric_pop(), c.result);
    }
  }
  EXPECT_EQ(string_stack_depth(), 0);
}

struct InstringCase {
  const char* name;
  std::string_view sought;
  std::string_view searched;
  std::int32_t step;
  std::int32_t start;
  std::int32_t result;
};
// Ordinary steps and starts are checked against a reference below.
constexpr InstringCase kInstrings[] = {
    {"StepOne", "CD", "ABCDEF", 1, 1, 3},
    {"EmptySought", "", "ABCDEF", 1, 1, 0},
    {"StartMax", "A", "ABCDEF", 1, INT32_MAX, 0},
    {"StepMax", "B", "ABCDEF", INT32_MAX, 2, 1},
    {"StepMin", "B", "ABCDEF", INT32_MIN, 2, 2},
    {"StepMinMisses", "A", "ABCDEF", INT32_MIN, 2, 0},
    {"ExactBytesNoCaseFolding", "cd", "ABCDEF", 1, 1, 0},
    {"ZeroBytesCompared", {"\0B", 2}, {"A\0B", 3}, 1, 1, 2},
};

TEST_F(StringBuiltinsTest, InstringFollowsItsStepAndStart) {
  for (const InstringCase& c : kInstrings) {
    for (Kind kind : kKinds) {
      SCOPED_TRACE(std::string(c.name) + " " + std::to_string(static_cast<int>(kind)));
      std::string keep_searched;
      std::string keep_sought;
      push_as(kind, c.searched, keep_searched);
      push_as(kind, c.sought, keep_sought);
      EXPECT_EQ(instring_pop(c.step, c.start), c.result);
      EXPECT_EQ(string_stack_depth(), 0);
    }
  }
  std::string text(4096, 'a');  // long enough for the skip table
  text.replace(1000, 6, "needle");
  text.replace(3000, 6, "needle");
  EXPECT_EQ(instring(text, "needle", 1, 1001), 1001);
  EXPECT_EQ(instring(text, "needle", 1, 1002), 3001);
  EXPECT_EQ(instring(text, "needle", 1, 3002), 0);
  EXPECT_EQ(instring(text, "aaaaaaa", 1, 4090), 4090);
  EXPECT_EQ(instring(text, "aaaaaaa", 1, 4091), 0);
}

// The candidate offsets start - 1, start - 1 + step, ... while the sought text fits.
std::int32_t reference_instring(std::string_view searched, std::string_view sought,
                                std::int32_t step, std::int32_t start) {
  const long long t = static_cast<long long>(sought.size());
  const long long m = static_cast<long long>(searched.size());
  if (t == 0 || start <= 0 || m < t) return 0;
  const long long s = step == 0 ? t : step;
  for (long long o = start - 1LL; o >= 0 && o + t <= m; o += s) {
    if (searched.substr(static_cast<std::size_t>(o), sought.size()) == sought) {  // views
      return static_cast<std::int32_t>(s > 0 ? o / s + 1 : o + 1);
    }
  }
  return 0;
}

// A random text of `length` bytes, each 'b' one time in `one_in`, else 'a'; or of the letters
// a to c when `one_in` is 0.
std::string random_text(std::mt19937& random, std::size_t length, unsigned one_in) {
  std::string text(length, 'a');
  for (char& c : text)
    c = one_in == 0 ? static_cast<char>('a' + random() % 3) : random() % one_in == 0 ? 'b' : 'a';
  return text;
}

TEST_F(StringBuiltinsTest, InstringMatchesTheReference) {
  std::mt19937 random(9);
  for (int round = 0; round < 120; ++round) {
    // Every third text is long enough for the skip-table search.
    const std::string searched =
        random_text(random, round % 3 == 0 ? 257 + random() % 60 : random() % 30, 0);
    const std::string sought = random_text(random, 1 + random() % 7, 0);
    for (std::int32_t step = -3; step <= 8; ++step) {
      for (std::int32_t start = -1; start <= static_cast<std::int32_t>(searched.size()) + 2;
           ++start) {
        ASSERT_EQ(instring(searched, sought, step, start),
                  reference_instring(searched, sought, step, start))
            << searched << " / " << sought << " step " << step << " start " << start;
      }
    }
  }
  // Long searches through the skip table: matches fall in several places.
  for (int round = 0; round < 400; ++round) {
    std::string searched = random_text(random, 257 + random() % 1800, 4);
    const std::string sought = random_text(random, 5 + random() % (round % 4 == 0 ? 300 : 8), 6);
    if (round % 3 == 0 && sought.size() < searched.size()) {
      searched.replace(random() % (searched.size() - sought.size()), sought.size(), sought);
    }
    for (const auto start :
         {std::int32_t{1}, static_cast<std::int32_t>(1 + random() % searched.size())}) {
      ASSERT_EQ(instring(searched, sought, 1, start),
                reference_instring(searched, sought, 1, start))
          << "round " << round;
    }
  }
}

// ---- Random SUB, LEFT, RIGHT and CENTER against plain references.

std::string reference_sub(const std::string& text, std::int32_t start, std::int32_t length) {
  const long long size = static_cast<long long>(text.size());
  long long offset = start < 0 ? size + start : (start == 0 ? 0 : start - 1LL);
  if (offset < 0) offset = 0;
  if (offset >= size) return "";
  return text.substr(static_cast<std::size_t>(offset),
                     length < 0 ? std::string::npos : static_cast<std::size_t>(length));
}

std::string reference_left(const std::string& text, std::size_t width) {
  const std::size_t first = text.find_first_not_of(' ');
  std::string rest = first == std::string::npos ? "" : text.substr(first);
  rest.resize(width, ' ');
  return rest;
}

std::string reference_right(const std::string& text, std::size_t width) {
  const std::size_t last = text.find_last_not_of(' ');
  const std::string core = last == std::string::npos ? "" : text.substr(0, last + 1);
  if (core.size() >= width) return core.substr(core.size() - width);
  return std::string(width - core.size(), ' ') + core;
}

std::string reference_center(const std::string& text, std::size_t width) {
  const std::size_t first = text.find_first_not_of(' ');
  const std::string core =
      first == std::string::npos ? "" : text.substr(first, text.find_last_not_of(' ') - first + 1);
  if (core.size() < width) {
    const std::size_t spare = width - core.size();
    const std::size_t before = (spare + 1) / 2;
    return std::string(before, ' ') + core + std::string(spare - before, ' ');
  }
  const std::size_t excess = core.size() - width;
  return core.substr((excess + 1) / 2, width);
}

TEST_F(StringBuiltinsTest, RandomCutsMatchTheReferences) {
  std::mt19937 random(2026);
  for (int round = 0; round < 3000; ++round) {
    std::string text(random() % 40, ' ');
    for (char& c : text)
      c = random() % 3 == 0 ? ' ' : static_cast<char>('A' + random() % 26);
    const Kind kind = kKinds[random() % 3];
    const auto start = static_cast<std::int32_t>(random() % 50) - 25;
    const auto length = static_cast<std::int32_t>(random() % 50) - 5;
    const auto width = static_cast<std::int32_t>(random() % 45) - 1;
    const std::size_t target = width == -1 ? text.size() : static_cast<std::size_t>(width);
    SCOPED_TRACE("'" + text + "' kind " + std::to_string(static_cast<int>(kind)) + " start " +
                 std::to_string(start) + " length " + std::to_string(length) + " width " +
                 std::to_string(width));
    std::string keep;
    push_as(kind, text, keep);
    sub_top(start, length);
    ASSERT_EQ(pop(), reference_sub(text, start, length));
    push_as(kind, text, keep);
    left_top(width);
    ASSERT_EQ(pop(), reference_left(text, target));
    push_as(kind, text, keep);
    right_top(width);
    ASSERT_EQ(pop(), reference_right(text, target));
    push_as(kind, text, keep);
    center_top(width);
    ASSERT_EQ(pop(), reference_center(text, target));
  }
}

TEST_F(StringBuiltinsTest, CutsOnlyMoveThePointerOfAReferenceOrAnOwnedBlock) {
  const std::string variable = "   The quick brown fox jumps over the lazy dog   ";
  test::AllocationCounter counter;
  push_reference(variable);
  sub_top(5, 30);
  clip_top();
  left_top(10);
  pop_discard();
  push_reference(variable);
  center_top(21);
  pop_discard();
  push_reference(std::string_view(variable).substr(0, 6));
  left_top(-1);  // "The" and three spaces: the padding fits the entry itself
  pop_discard();
  push_reference(variable);
  all_top(7);
  pop_discard();
  EXPECT_EQ(counter.count(), 0u);
  push_reference(variable);
  right_top(5);
  EXPECT_EQ(entry_from_top(1).kind, static_cast<std::uint32_t>(EntryKind::TextRef));
  EXPECT_EQ(entry_from_top(1).pointer, variable.data() + 41);
  EXPECT_EQ(pop(), "y dog");
  push_text("Kestrel");
  sub_top(3, 4);  // an inline text narrows inside its own area
  EXPECT_EQ(entry_from_top(1).kind, static_cast<std::uint32_t>(EntryKind::TextInline));
  EXPECT_EQ(pop(), "stre");
  auto* block = static_cast<char*>(platform::heap_allocate(26));
  std::memcpy(block, "ABCDEFGHIJKLMNOPQRSTUVWXYZ", 26);
  push_owned(block, 26);
  sub_top(24, 2);
  EXPECT_EQ(entry_from_top(1).pointer, block);  // still frees the block it was given
  EXPECT_EQ(pop(), "XY");
}

TEST_F(StringBuiltinsTest, ResultsGiveEmptyWhenTheBlockFails) {
  const std::string variable = "a text longer than the inline area";
  const std::function<void()> operations[] = {[] { left_top(40); }, [] { all_top(40); },
                                              [] { upper_top(); }};
  for (const auto& operation : operations) {
    push_reference(variable);
    platform::heap_fail_nth(1);
    operation();
    platform::heap_fail_nth(0);
    EXPECT_EQ(pop(), "");
  }
  EXPECT_EQ(variable, "a text longer than the inline area");
}

TEST_F(StringBuiltinsTest, OperandsOfEveryKindAreReadAsText) {
  push_bstr(runtime::bstr_from_ansi("kestrel"), true);
  upper_top();
  EXPECT_EQ(pop(), "KESTREL");
  push_bstr(runtime::bstr_from_ansi("  kestrel  "), true);
  center_top(9);
  EXPECT_EQ(pop(), " kestrel ");
  push_astring(intern_astring("ABCDE"));
  sub_top(2, 3);
  EXPECT_EQ(pop(), "BCD");
  KesVariant variant;
  runtime::variant_init(variant);
  runtime::variant_assign_long(variant, 1234);
  push_variant_inline(variant);
  right_top(6);
  EXPECT_EQ(pop(), "  1234");
}

}  // namespace
}  // namespace kes::runtime
