// The text built-ins (SUB, CLIP, LEFT, RIGHT, CENTER, ALL, UPPER, LOWER, VAL, NUMERIC,
// INSTRING) over referenced, owned and inline entries, against hand-worked results and plain
// references written here, and what they allocate; concatenation, the ordering comparison, the
// inequality test, truth and INLIST on the stack.
#include "runtime/builtins/string_builtins.h"

#include <cstdint>
#include <cstring>
#include <functional>
#include <random>
#include <string>
#include <string_view>
#include <vector>

#include <kestrel/collation.h>
#include <kestrel/string_builtins.h>
#include <kestrel/string_stack.h>

#include <gtest/gtest.h>

#include "numeric/locale/collation_tables.h"
#include "platform/core/heap.h"
#include "runtime/astring/astring_table.h"
#include "runtime/fatal/fatal.h"
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
      push_owned_copy(text);
    }
  }
  static void push_owned_copy(std::string_view text) {
    auto* block = static_cast<char*>(platform::heap_allocate(text.size()));
    if (!text.empty()) std::memcpy(block, text.data(), text.size());
    push_owned(block, static_cast<std::uint32_t>(text.size()));
  }
  static std::string pop() { return test::pop_heap_text(); }
  static int sign(int value) { return (value > 0) - (value < 0); }
  // Pushers for the rows of the comparison tables.
  static std::function<void()> text(std::string_view value) {
    return [=] { push_reference(value); };
  }
  static std::function<void()> astring(const char* value) {
    return [=] { push_astring(value); };
  }
  static std::function<void()> bstr(const char* value) {
    return [=] { push_bstr(runtime::bstr_from_ansi(value), true); };
  }
  static std::function<void()> variant(KesVariant* value) {
    return [=] { push_variant_reference(value); };
  }
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
  push_astring(intern_astring("owl"));  // an AString entry stays one, UPPER's the interned upper
  clip_top();
  upper_top();
  EXPECT_EQ(entry_from_top(1).kind, static_cast<std::uint32_t>(EntryKind::AStringRef));
  EXPECT_EQ(entry_from_top(1).pointer, intern_astring("OWL"));
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

using StringCompareTest = StringBuiltinsTest;

// ---- Concatenation.

struct ConcatCase {
  const char* name;
  std::string_view a;
  std::string_view b;
  EntryKind kind;  // of the result
};
constexpr ConcatCase kConcats[] = {
    {"BothEmptyIsTheNullText", "", "", EntryKind::TextRef},
    {"LeftEmpty", "", "B", EntryKind::TextInline},
    {"RightEmpty", "A", "", EntryKind::TextInline},
    {"TwentyFromTheLeftAlone", "ABCDEFGHIJKLMNOPQRST", "", EntryKind::TextInline},
    {"ExactlyTwenty", "0123456789", "ABCDEFGHIJ", EntryKind::TextInline},
    {"OneOverTwenty", "0123456789", "ABCDEFGHIJK", EntryKind::TextOwned},
    {"Long", "The quick brown fox jumps ", "over the lazy dog", EntryKind::TextOwned},
    {"ZeroBytes", {"A\0", 2}, {"\0B", 2}, EntryKind::TextInline},
};

TEST_F(StringCompareTest, ConcatJoinsInOperandOrder) {
  // The left operand referenced, inline (when it fits) or owned; joined either way round.
  for (const ConcatCase& c : kConcats) {
    for (int form = 0; form < 6; ++form) {
      SCOPED_TRACE(std::string(c.name) + " form " + std::to_string(form));
      const int left_kind = form % 3;
      const bool reversed = form >= 3;
      if (left_kind == 2) {
        push_owned_copy(c.a);
      } else if (left_kind == 1) {
        push_text(c.a);
      } else {
        push_reference(c.a);
      }
      push_reference(c.b);
      concat_pop(reversed);
      ASSERT_EQ(string_stack_depth(), 1);
      if (left_kind != 2) {
        EXPECT_EQ(entry_from_top(1).kind, static_cast<std::uint32_t>(c.kind));
      }
      if (c.kind == EntryKind::TextRef) {
        EXPECT_EQ(entry_from_top(1).pointer, nullptr);
      }
      EXPECT_EQ(pop(), reversed ? std::string(c.b) + std::string(c.a)
                                : std::string(c.a) + std::string(c.b));
    }
  }
}

TEST_F(StringCompareTest, ConcatAfterANumberMovesItsDigitsToTheFront) {
  push_long(-42);  // its digits sit at the end of the entry's inline area
  push_reference("x");
  test::AllocationCounter allocations;
  concat_pop(false);
  EXPECT_EQ(allocations.count(), 0u);
  EXPECT_EQ(entry_from_top(1).kind, static_cast<std::uint32_t>(EntryKind::TextInline));
  EXPECT_EQ(entry_from_top(1).pointer, entry_from_top(1).inline_area);
  push_reference("1234567890123456");  // 20 bytes in all
  concat_pop(false);
  EXPECT_EQ(entry_from_top(1).kind, static_cast<std::uint32_t>(EntryKind::TextInline));
  push_reference("!");  // one over: a heap block
  concat_pop(false);
  EXPECT_EQ(entry_from_top(1).kind, static_cast<std::uint32_t>(EntryKind::TextOwned));
  EXPECT_EQ(pop(), "-42x1234567890123456!");
  push_long(7);
  push_long(8);
  concat_pop(true);
  EXPECT_EQ(pop(), "87");
}

TEST_F(StringCompareTest, ChainOfShortTextsAllocatesNothing) {
  // UPPER(SUB(Name,1,3)) & ', ' & CLIP(City) into a STRING(40), as compiled code calls it.
  const char name[20] = {'k', 'e', 's', 't', 'r', 'e', 'l', ' ', ' ', ' ',
                         ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' '};
  const char city[20] = {'B', 'r', 'i', 's', 't', 'o', 'l', ' ', ' ', ' ',
                         ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' '};
  test::AllocationCounter allocations;
  Kes$PushString(name, 20);
  Kes$StackSUB(1, 3);
  Kes$StackUPPER();
  Kes$PushString(", ", 2);
  Kes$StackConcat();
  Kes$PushString(city, 20);
  Kes$StackCLIP();
  Kes$StackConcat();
  char field[40];
  Kes$PopString(field, sizeof(field));
  EXPECT_EQ(allocations.count(), 0u);
  EXPECT_EQ(std::string_view(field, sizeof(field)), "KES, Bristol                            ");
  EXPECT_EQ(std::string_view(name, 7), "kestrel");  // the variable itself never changes
  EXPECT_EQ(string_stack_depth(), 0);
}

TEST_F(StringCompareTest, ConcatGivesEmptyWhenTheBlockFails) {
  for (const bool owned : {false, true}) {
    owned ? push_owned_copy("The quick brown fox ") : push_reference("The quick brown fox ");
    push_reference("jumps over the lazy dog");
    platform::heap_fail_nth(1);
    concat_pop(false);
    platform::heap_fail_nth(0);
    EXPECT_EQ(pop(), "");
  }
}

TEST_F(StringCompareTest, ConcatWithABStrGivesABStrAndReadsAStrings) {
  push_reference("Kes");
  push_bstr(runtime::bstr_from_ansi("trel"), true);
  concat_pop(false);
  EXPECT_EQ(entry_from_top(1).kind, static_cast<std::uint32_t>(EntryKind::BStrOwned));
  EXPECT_EQ(pop(), "Kestrel");
  KesVariant variant;
  runtime::variant_init(variant);
  runtime::variant_assign_long(variant, 42);
  push_variant_inline(variant);
  push_reference(" owls");
  concat_pop(true);
  EXPECT_EQ(entry_from_top(1).kind, static_cast<std::uint32_t>(EntryKind::BStrOwned));
  EXPECT_EQ(pop(), " owls42");
  push_astring(intern_astring("Kes"));
  push_astring(intern_astring("trel"));
  concat_pop(false);
  EXPECT_EQ(pop(), "Kestrel");
}

// ---- Ordering comparison and inequality.

struct CompareCase {
  const char* name;
  std::string_view a;
  std::string_view b;
  int order;      // sign of the ordering comparison
  int different;  // the inequality test
};
constexpr CompareCase kCompares[] = {
    {"PaddedEqual", "abc", "abc   ", 0, 0},
    {"PaddedEqualOtherSide", "abc   ", "abc", 0, 0},
    {"BothEmpty", "", "", 0, 0},
    {"EmptyAgainstBlanks", "", "   ", 0, 0},
    {"Less", "abc", "abd", -1, 1},
    {"Greater", "abd", "abc", 1, 1},
    {"PrefixIsLess", "ab", "abc", -1, 1},
    {"LongerIsGreater", "abc", "ab", 1, 1},
    {"LeadingSpacesCount", " abc", "abc", -1, 1},
    {"ZeroByteSortsBelowASpace", {"abc\0", 4}, "abc", -1, 1},
};

TEST_F(StringCompareTest, OrderingAndInequality) {
  for (const CompareCase& c : kCompares) {
    SCOPED_TRACE(c.name);
    push_reference(c.a);
    push_reference(c.b);
    EXPECT_EQ(sign(compare_pop(true)), c.order);
    EXPECT_EQ(string_stack_depth(), 0);
    push_reference(c.a);
    push_owned_copy(c.b);
    EXPECT_EQ(not_equal_pop(true), c.different);
    EXPECT_EQ(string_stack_depth(), 0);
  }
}

TEST_F(StringCompareTest, OrderingFollowsCollationWhileInequalityIsExact) {
  numeric::CollationTables saved = numeric::collation_tables();
  // A sequence that sorts 'a' and 'A' together: the ordering sees them equal.
  numeric::collation_tables().ansi_weight['a'] = numeric::collation_tables().ansi_weight['A'];
  push_reference("a");
  push_reference("A");
  EXPECT_EQ(compare_pop(true), 0);
  push_reference("a");
  push_reference("A");
  EXPECT_EQ(not_equal_pop(true), 1);
  push_reference("z");  // item 3
  push_reference("A");  // item 2
  push_reference("b");  // item 1
  push_reference("a");  // the value
  EXPECT_EQ(inlist_pop(3), 2);
  numeric::collation_tables() = saved;
}

struct OperandCase {
  const char* name;
  std::function<void()> push_a, push_b;
  int order;      // sign of the ordering comparison
  int different;  // the inequality test
};

TEST_F(StringCompareTest, OtherKindsCompareByTheirValues) {
  const char* owl = intern_astring("owl");
  KesVariant nine;
  KesVariant ten;
  runtime::variant_init(nine);
  runtime::variant_init(ten);
  runtime::variant_assign_long(nine, 9);
  runtime::variant_assign_real(ten, 10.0);
  const OperandCase cases[] = {
      {"SameAString", astring(owl), astring(owl), 0, 0},
      {"OtherAString", astring(owl), astring(intern_astring("emu")), 1, 1},
      {"AStringAgainstPaddedText", astring(owl), text("owl  "), 0, 0},
      {"NumbersByValue", variant(&nine), variant(&ten), -1, 1},  // as text "9" sorts after "10"
      {"NumbersByValueReversed", variant(&ten), variant(&nine), 1, 1},
      {"NumberAgainstTextAsText", variant(&nine), text("9"), 0, 0},
      {"TextAgainstNumber", text("8"), variant(&nine), -1, 1},
      {"NumberAgainstNoNumber", variant(&nine), text("A"), -1, 1},
      {"BStrLess", bstr("abc"), bstr("abd"), -1, 1},
      {"BStrEqual", bstr("abc"), bstr("abc"), 0, 0},
      {"BStrLonger", bstr("abc"), bstr("ab"), 1, 1},
      {"BStrFacingTextIsText", text("abc"), bstr("abc   "), 0, 0},
  };
  for (const OperandCase& c : cases) {
    SCOPED_TRACE(c.name);
    c.push_a();
    c.push_b();
    EXPECT_EQ(sign(compare_pop(true)), c.order);
    c.push_a();
    c.push_b();
    EXPECT_EQ(not_equal_pop(true), c.different);
    EXPECT_EQ(string_stack_depth(), 0);
  }
}

TEST_F(StringCompareTest, TruthOfAText) {
  const std::pair<std::function<void()>, std::int32_t> cases[] = {
      {text("   "), 0},
      {text(""), 0},
      {text("  x "), 1},
      {text({"\0", 1}), 1},
      {[] { push_bstr(nullptr, false); }, 0},
      {astring(nullptr), 0},
      {astring(intern_astring("owl")), 1},
  };
  for (const auto& [push, truth] : cases) {
    push();
    EXPECT_EQ(truth_pop(), truth);
  }
  EXPECT_EQ(string_stack_depth(), 0);
}

// ---- INLIST.

TEST_F(StringCompareTest, InlistNumbersItemsUpwardFromTheValue) {
  const struct {
    const char* name;
    std::vector<std::string> items;  // the last item nearest the value
    std::int32_t result;
  } cases[] = {
      {"PaddedEqualSecond", {"B  ", "A"}, 2}, {"NoneEqual", {"X", "Y"}, 0}, {"NoItems", {}, 0},
      {"FirstOfTwoEqual", {"B", "B"}, 1},     {"FullStack", {}, 31},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    std::vector<std::string> items = c.items;
    for (int item = 31; c.result == 31 && item >= 1; --item)
      items.push_back(std::to_string(item));
    for (const std::string& item : items)
      push_reference(item);
    push_reference(c.result == 31 ? "31" : "B");
    EXPECT_EQ(inlist_pop(static_cast<std::int32_t>(items.size())), c.result);
    EXPECT_EQ(string_stack_depth(), 0);
  }
}

using StringCompareDeathTest = StringCompareTest;

TEST_F(StringCompareDeathTest, InlistCountingBelowTheStackIsFatal) {
  EXPECT_EXIT(
      {
        push_reference("A");
        push_reference("A");
        inlist_pop(2);
      },
      testing::ExitedWithCode(kFatalExitCode), "Stack overflow");
  EXPECT_EXIT(
      {
        push_reference("A");
        inlist_pop(255);
      },
      testing::ExitedWithCode(kFatalExitCode), "Stack overflow");
}

}  // namespace
}  // namespace kes::runtime
