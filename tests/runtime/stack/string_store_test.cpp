// Text stores, fill codes, byte helpers and the REAL reader.
#include "runtime/stack/string_store.h"

#include <cmath>
#include <span>
#include <string>
#include <string_view>
#include <tuple>

#include <kestrel/string_stack.h>

#include <gtest/gtest.h>

#include "platform/core/heap.h"
#include "tests/support/stack_helpers.h"

namespace kes::runtime {
namespace {

struct StoreCase {
  const char* name;
  const char* source;  // null: `length` is a fill code
  std::uint32_t length;
  std::uint32_t size;
  std::string_view stored;
};

using namespace std::string_view_literals;

constexpr StoreCase kStringStores[] = {
    {"KeepsZeroBytes", "A\0B", 3, 4, "A\0B "sv},
    {"FillZeroBlanks", nullptr, 0, 3, "   "sv},
    {"FillNegativeLowValues", nullptr, static_cast<std::uint32_t>(-1), 3, "\0\0\0"sv},
    {"FillMostNegative", nullptr, 0x80000000u, 2, "\0\0"sv},
    {"FillPositiveHighValues", nullptr, 1, 3, "\xFF\xFF\xFF"sv},
    {"HugeLengthCopiesOnlySize", "ABCDEFGH", 0xFFFFFFFFu, 4, "ABCD"sv},
};

constexpr StoreCase kCStringStores[] = {
    {"CutBeforeTerminator", "ABCDEF", 6, 4, "ABC\0"sv},
    {"FillZeroEmpty", nullptr, 0, 4, "\0"sv},
    {"FillNegativeEmpty", nullptr, static_cast<std::uint32_t>(-1), 4, "\0"sv},
    {"FillPositiveHighValues", nullptr, 5, 4, "\xFF\xFF\xFF\0"sv},
    {"FillPositiveSizeOne", nullptr, 5, 1, "\0"sv},
};

constexpr StoreCase kPStringStores[] = {
    {"EmptySource", "", 0, 5, "\0"sv},
    {"FillZeroLengthZero", nullptr, 0, 4, "\0"sv},
    {"FillNegativeLowValues", nullptr, static_cast<std::uint32_t>(-3), 4, "\x03\0\0\0"sv},
    {"FillPositiveHighValues", nullptr, 2, 4, "\x03\xFF\xFF\xFF"sv},
};

template <typename Store>
void check_stores(std::span<const StoreCase> cases, Store store) {
  for (const StoreCase& c : cases) {
    SCOPED_TRACE(c.name);
    std::string destination(300, '#');
    store(destination.data(), c.size, c.source, c.length);
    EXPECT_EQ(std::string_view(destination).substr(0, c.stored.size()), c.stored);
    EXPECT_EQ(destination[c.stored.size()], '#');  // nothing written past the stored bytes
  }
}

TEST(StringStoreExports, PadCutTerminateAndFill) {
  check_stores(kStringStores, Kes$storestr);
  check_stores(kCStringStores, Kes$storecstr);
  check_stores(kPStringStores, Kes$storepstr);
}

TEST(StringStorePString, SizesAboveTwoHundredFiftySixStoreAtMost255Bytes) {
  const std::string source(400, 'x');
  std::string destination(400, '#');
  store_pstring(destination.data(), 300, source.data(), 400);
  EXPECT_EQ(static_cast<unsigned char>(destination[0]), 255);
  EXPECT_EQ(destination.substr(1, 255), std::string(255, 'x'));
  EXPECT_EQ(destination[256], '#');
  store_pstring(destination.data(), 1000, nullptr, 1);
  EXPECT_EQ(static_cast<unsigned char>(destination[0]), 255);
  EXPECT_EQ(static_cast<unsigned char>(destination[255]), 0xFF);
  EXPECT_EQ(destination[256], '#');
}

TEST(StringStoreString, OverlapEitherWayCopiesTheOriginalBytes) {
  for (std::uint32_t length = 0; length <= 64; ++length) {
    for (int shift : {-9, -3, -1, 1, 2, 7, 16}) {
      SCOPED_TRACE(testing::Message() << "length " << length << " shift " << shift);
      std::string buffer = test::distinct_letters(200);
      const std::string original = buffer;
      char* source = buffer.data() + 80;
      store_string(source + shift, length, source, length);
      std::string expected = original;
      expected.replace(static_cast<std::size_t>(80 + shift), length, original, 80, length);
      EXPECT_EQ(buffer, expected);
    }
  }
}

TEST(StringStoreClear, FillsWithSpacesOnly) {
  char buffer[] = "ABCDEF";
  Kes$clearstr(buffer, 4);
  EXPECT_STREQ(buffer, "    EF");
  Kes$clearstr(nullptr, 4);  // ignored
}

struct DuplicateCase {
  const char* name;
  std::string_view seed;
  std::uint32_t unit;
  std::uint32_t count;
  std::string_view result;
};
constexpr DuplicateCase kDuplicates[] = {
    {"OneByteFills", "x", 1, 5, "xxxxx#"sv},
    {"TwoBytePattern", "ab", 2, 3, "ababab#"sv},
    {"ThreeBytePattern", "abc", 3, 3, "abcabcabc#"sv},
    {"FourBytePattern", "abcd", 4, 2, "abcdabcd#"sv},
    {"SevenBytePattern", "abcdefg", 7, 3, "abcdefgabcdefgabcdefg#"sv},
    {"CountOneUnchanged", "ab", 2, 1, "ab#"sv},
    {"CountZeroUnchanged", "ab", 2, 0, "ab#"sv},
    {"UnitZeroUnchanged", "ab", 0, 4, "ab#"sv},
};

TEST(StringStoreDuplicate, RepeatsTheFirstUnit) {
  for (const DuplicateCase& c : kDuplicates) {
    SCOPED_TRACE(c.name);
    std::string buffer(64, '#');
    buffer.replace(0, c.seed.size(), c.seed);
    Kes$duplicate(buffer.data(), c.unit, c.count);
    EXPECT_EQ(buffer.substr(0, c.result.size()), c.result);
  }
}

TEST(StringStoreFastClip, FindsTheLastByteThatIsNotASpace) {
  // Every length to 40 (the word scan, the whole-field scan of 8 to 32 bytes and the byte scan
  // below 8), at every alignment of the start, with the last other byte at every place; other
  // bytes also lie before it, so only the last one counts.
  for (const char other : {'x', '\0', '\xA0', '\t', '!'}) {
    for (std::uint32_t start = 0; start < 8; ++start) {
      for (std::uint32_t length = 0; length <= 40; ++length) {
        for (std::uint32_t kept = 0; kept <= length; ++kept) {
          std::string buffer(48, ' ');
          for (std::uint32_t index = 0; index < kept; index += 3)
            buffer[start + index] = other;
          if (kept > 0) buffer[start + kept - 1] = other;
          ASSERT_EQ(Kes$FastClip(length, buffer.data() + start), kept)
              << int{other} << " start " << start << " length " << length;
        }
      }
    }
  }
  EXPECT_EQ(Kes$FastClip(5, nullptr), 0u);
}

TEST(StringStoreLoad, CopiesToANewBlockOrLeavesThePairEmpty) {
  KesTextPair pair{nullptr, 99};
  Kes$loadstr(&pair, "ABCDE", 3);
  ASSERT_NE(pair.pointer, nullptr);
  EXPECT_EQ(std::string_view(pair.pointer, pair.length), "ABC");
  platform::heap_free(pair.pointer);
  // An empty text, a null one and a failed allocation leave the pair empty.
  for (const auto& [text, length, fail] :
       {std::tuple{"ABC", 0u, 0u}, std::tuple<const char*, unsigned, unsigned>{nullptr, 5u, 0u},
        std::tuple{"ABC", 3u, 1u}}) {
    pair = {reinterpret_cast<char*>(&pair), 99};
    platform::heap_fail_nth(fail);
    Kes$loadstr(&pair, text, length);
    platform::heap_fail_nth(0);
    EXPECT_EQ(pair.pointer, nullptr);
    EXPECT_EQ(pair.length, 0u);
  }
}

struct RealCase {
  const char* name;
  const char* text;
  double value;
};
constexpr RealCase kReals[] = {
    {"LeadingWhiteSpace", " \t 3", 3.0},
    {"Negative", "-0.25", -0.25},
    {"Plus", "+7", 7.0},
    {"NoLeadingDigit", ".5", 0.5},
    {"TrailingPoint", "5.", 5.0},
    {"Exponent", "1.5E3", 1500.0},
    {"LowerNegativeExponent", "25e-2", 0.25},
    {"ExponentWithoutDigits", "4e", 4.0},
    {"ExponentSignWithoutDigits", "4e+", 4.0},
    {"StopsAtLetter", "12abc", 12.0},
    {"StopsAtSecondPoint", "1.2.3", 1.2},
    {"NoNumber", "abc", 0.0},
    {"SignOnly", "-", 0.0},
    {"PointOnly", ".", 0.0},
    {"Empty", "", 0.0},
    {"InfinityIsNotANumber", "inf", 0.0},
    {"HexIsNotANumber", "0x10", 0.0},
    {"Overflow", "1e999", HUGE_VAL},
    {"NegativeOverflow", "-1e999", -HUGE_VAL},
    {"Underflow", "1e-999", 0.0},
};

TEST(StringStoreReadReal, ReadsTheLongestNumber) {
  for (const RealCase& c : kReals) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(read_real(c.text), c.value);
  }
}

}  // namespace
}  // namespace kes::runtime
