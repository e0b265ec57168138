// The inline cases of the hot pushes and pops: every short length, every entry kind the pops
// meet, and the digit-count boundaries of whole numbers.
#include <cstring>
#include <string>
#include <string_view>

#include <kestrel/string_stack.h>

#include <gtest/gtest.h>

#include "numeric/decimal/decimal_stack.h"
#include "platform/core/heap.h"
#include "runtime/fatal/fatal.h"
#include "runtime/stack/string_stack.h"
#include "runtime/stack/string_store.h"
#include "tests/support/allocation_counter.h"
#include "tests/support/stack_helpers.h"

namespace kes::runtime {
namespace {

class StringStackFastTest : public testing::Test {
 protected:
  void SetUp() override { test::drain_string_stack(); }
  void TearDown() override { test::drain_string_stack(); }
};

// A fixed STRING of `size` bytes holding `text`: cut to size, or padded with spaces.
std::string fixed(const std::string& text, std::size_t size) {
  return size <= text.size() ? text.substr(0, size) : text + std::string(size - text.size(), ' ');
}

constexpr std::size_t kGuard = 8;

TEST(StringStoreStringShort, EverySizeAndLengthPadsOrCuts) {
  // Sizes and lengths cross every width class of the inline store: 0, 1-3, 4-7, 8-16, 17-32,
  // 33-64 and the general case above.
  for (std::uint32_t size = 0; size <= 70; ++size) {
    for (std::uint32_t length = 0; length <= 70; ++length) {
      SCOPED_TRACE(testing::Message() << "size " << size << " length " << length);
      const std::string source = test::distinct_letters(length);
      std::string buffer(kGuard + size + kGuard, '#');
      store_string(buffer.data() + kGuard, size, source.data(), length);
      EXPECT_EQ(buffer.substr(kGuard, size), fixed(source, size));
      EXPECT_EQ(buffer.substr(0, kGuard), std::string(kGuard, '#'));
      EXPECT_EQ(buffer.substr(kGuard + size), std::string(kGuard, '#'));
    }
  }
}

TEST(StringStoreStringShort, OverlapEitherWayCopiesTheOriginalBytes) {
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

TEST(StringStoreStringShort, NullSourceStillFills) {
  std::string buffer(20, '#');
  store_string(buffer.data(), 10, nullptr, static_cast<std::uint32_t>(-1));
  EXPECT_EQ(buffer.substr(0, 10), std::string(10, '\0'));
  EXPECT_EQ(buffer.substr(10), std::string(10, '#'));
  store_string(buffer.data(), 10, nullptr, 0);
  EXPECT_EQ(buffer.substr(0, 10), std::string(10, ' '));
}

using StringStackPushLongDigits = StringStackFastTest;

struct DigitsCase {
  const char* name;
  std::int32_t value;
  const char* text;
};
constexpr DigitsCase kDigitCases[] = {
    {"Nine", 9, "9"},
    {"NinetyNine", 99, "99"},
    {"Hundred", 100, "100"},
    {"NineHundredNinetyNine", 999, "999"},
    {"Thousand", 1000, "1000"},
    {"FourNines", 9999, "9999"},
    {"TenThousand", 10000, "10000"},
    {"FiveDigitsWithZeros", 10203, "10203"},
    {"HundredThousand", 100000, "100000"},
    {"Million", 1000000, "1000000"},
    {"SevenNines", 9999999, "9999999"},
    {"EightNines", 99999999, "99999999"},
    {"HundredMillion", 100000000, "100000000"},
    {"NineDigitsWithZeros", 100000001, "100000001"},
    {"NineNines", 999999999, "999999999"},
    {"Milliard", 1000000000, "1000000000"},
    {"TenDigitsMixed", 1234567890, "1234567890"},
    {"TenDigitsInnerZeros", 2000000009, "2000000009"},
    {"MinusHundredMillion", -100000000, "-100000000"},
    {"MinusEightNines", -99999999, "-99999999"},
    {"MinusMilliard", -1000000000, "-1000000000"},
    {"OneBelowMinimum", -2147483647, "-2147483647"},
};

TEST_F(StringStackPushLongDigits, EveryDigitCountBoundary) {
  for (const DigitsCase& c : kDigitCases) {
    SCOPED_TRACE(c.name);
    Kes$PushLong(c.value);
    const StackEntry& entry = entry_from_top(1);
    EXPECT_EQ(entry.kind, static_cast<std::uint32_t>(EntryKind::TextInline));
    EXPECT_EQ(static_cast<const unsigned char*>(entry.pointer) + entry.length,
              entry.inline_area + kInlineCapacity);
    char destination[12];
    Kes$PopCString(destination, sizeof(destination));
    EXPECT_STREQ(destination, c.text);
    EXPECT_EQ(string_stack_depth(), 0);
  }
}

TEST_F(StringStackPushLongDigits, EveryValueUpToTwentyThousandReadsBack) {
  // Each text, read as a number by hand (digit by digit), gives the value back.
  for (std::int32_t value = -20000; value <= 20000; ++value) {
    Kes$PushLong(value);
    char destination[12];
    Kes$PopCString(destination, sizeof(destination));
    const bool negative = destination[0] == '-';
    std::int32_t read = 0;
    for (const char* digit = destination + (negative ? 1 : 0); *digit != '\0'; ++digit) {
      ASSERT_TRUE(*digit >= '0' && *digit <= '9') << destination;
      read = read * 10 + (*digit - '0');
    }
    ASSERT_EQ(negative ? -read : read, value) << destination;
    ASSERT_NE(destination[negative ? 1 : 0], value == 0 ? '\0' : '0') << destination;
  }
}

using StringStackPopStringKinds = StringStackFastTest;

TEST_F(StringStackPopStringKinds, ReferenceInlineAndOwnedStoreAlike) {
  const std::string text = "KESTREL";
  char expected[10];
  std::memcpy(expected, "KESTREL   ", 10);
  for (int kind = 0; kind < 3; ++kind) {
    SCOPED_TRACE(kind);
    Kes$PushString(text.data(), static_cast<std::uint32_t>(text.size()));
    if (kind == 1) Kes$StackHeap();  // inline copy
    if (kind == 2) {
      auto* block = static_cast<char*>(platform::heap_allocate(text.size()));
      ASSERT_NE(block, nullptr);
      std::memcpy(block, text.data(), text.size());
      Kes$STACKpop();
      Kes$PushTemp(block, static_cast<std::uint32_t>(text.size()));
    }
    char destination[12];
    std::memset(destination, '#', sizeof(destination));
    Kes$PopString(destination, 10);
    EXPECT_EQ(std::string(destination, 10), std::string(expected, 10));
    EXPECT_EQ(destination[10], '#');
    EXPECT_EQ(string_stack_depth(), 0);
  }
}

TEST_F(StringStackPopStringKinds, NullReferenceStoresBlanks) {
  Kes$PushString(nullptr, 5);
  char destination[6] = "#####";
  Kes$PopString(destination, 5);
  EXPECT_STREQ(destination, "     ");
  EXPECT_EQ(string_stack_depth(), 0);
}

TEST_F(StringStackPopStringKinds, ZeroSizeAndNullDestinationStillPop) {
  Kes$PushString("AB", 2);
  Kes$PushString("CD", 2);
  Kes$PopString(nullptr, 5);
  EXPECT_EQ(string_stack_depth(), 1);
  char destination[2] = "#";
  Kes$PopString(destination, 0);
  EXPECT_EQ(destination[0], '#');
  EXPECT_EQ(string_stack_depth(), 0);
}

TEST_F(StringStackPopStringKinds, CStringOfEveryLengthUpToSeventy) {
  for (std::uint32_t length = 0; length <= 70; ++length) {
    SCOPED_TRACE(length);
    const std::string source = test::distinct_letters(length);
    for (std::uint32_t size : {1u, 2u, 9u, 33u, 66u, 100u}) {
      Kes$PushString(source.data(), length);
      std::string buffer(size + 1, '#');
      Kes$PopCString(buffer.data(), size);
      const std::size_t kept = length < size - 1 ? length : size - 1;
      EXPECT_EQ(buffer.substr(0, kept), source.substr(0, kept));
      EXPECT_EQ(buffer[kept], '\0');
      EXPECT_EQ(buffer[size], '#');
    }
  }
  EXPECT_EQ(string_stack_depth(), 0);
}

using StringStackHeapShort = StringStackFastTest;

TEST_F(StringStackHeapShort, UpToTwentyBytesCopyIntoTheEntryWithoutAllocating) {
  for (std::uint32_t length = 0; length <= 21; ++length) {
    SCOPED_TRACE(length);
    std::string source = test::distinct_letters(length);
    test::AllocationCounter allocations;
    Kes$PushString(source.data(), length);
    Kes$StackHeap();
    const StackEntry& entry = entry_from_top(1);
    if (length <= 20) {
      EXPECT_EQ(entry.kind, static_cast<std::uint32_t>(EntryKind::TextInline));
      EXPECT_EQ(entry.pointer, entry.inline_area);
      EXPECT_EQ(allocations.count(), 0u);
    } else {
      EXPECT_EQ(entry.kind, static_cast<std::uint32_t>(EntryKind::TextOwned));
    }
    EXPECT_EQ(entry.length, length);
    source.assign(length, '!');  // the entry no longer depends on the variable
    char destination[24];
    Kes$PopString(destination, 24);
    EXPECT_EQ(std::string(destination, 24), fixed(test::distinct_letters(length), 24));
  }
}

TEST_F(StringStackHeapShort, PushCStringCopiesAtOnce) {
  char text[] = "OWL";
  Kes$PushCString(text);
  text[0] = 'X';
  EXPECT_EQ(Kes$StackLen(), 3u);
  Kes$PushCString(text);
  char destination[4];
  Kes$PopCString(destination, 4);
  EXPECT_STREQ(destination, "XWL");
}

using StringStackLengthFast = StringStackFastTest;

TEST_F(StringStackLengthFast, LenPopsLen2Keeps) {
  Kes$PushString("ABCDE", 5);
  Kes$PushLong(-12);
  EXPECT_EQ(Kes$StackLen2(), 3u);
  EXPECT_EQ(string_stack_depth(), 2);
  EXPECT_EQ(Kes$StackLen(), 3u);
  EXPECT_EQ(Kes$StackLen(), 5u);
  EXPECT_EQ(string_stack_depth(), 0);
}

TEST_F(StringStackLengthFast, OwnedEntriesAreFreedByEveryPop) {
  // Each pop of a TextOwned entry must free its block; the sanitizer build reports a leak
  // otherwise.
  for (int round = 0; round < 4; ++round) {
    auto* block = static_cast<char*>(platform::heap_allocate(30));
    ASSERT_NE(block, nullptr);
    std::memset(block, 'z', 30);
    Kes$PushTemp(block, 30);
    char destination[31];
    switch (round) {
      case 0: Kes$STACKpop(); break;
      case 1: EXPECT_EQ(Kes$StackLen(), 30u); break;
      case 2:
        Kes$PopString(destination, 31);
        EXPECT_EQ(std::string(destination, 31), std::string(30, 'z') + ' ');
        break;
      default:
        Kes$PopCString(destination, 31);
        EXPECT_EQ(std::string(destination), std::string(30, 'z'));
        break;
    }
    EXPECT_EQ(string_stack_depth(), 0);
  }
}

TEST_F(StringStackLengthFast, PushStringOntoAFullStackChangesNothing) {
  for (int index = 0; index < kStringStackCapacity; ++index)
    Kes$PushString("A", 1);
  Kes$PushString("B", 1);
  EXPECT_EQ(string_stack_depth(), kStringStackCapacity);
  char destination[2];
  Kes$PopString(destination, 1);
  EXPECT_EQ(destination[0], 'A');
}

using StringStackPopLongShapes = StringStackFastTest;

struct PopLongCase {
  const char* name;
  std::string_view text;
  std::int32_t value;
};
constexpr PopLongCase kPopLongShapes[] = {
    {"OneDigit", "5", 5},
    {"MinusZero", "-0", 0},
    {"LeadingZeros", "007", 7},
    {"NineDigits", "123456789", 123456789},
    {"MinusNineDigits", "-999999999", -999999999},
    {"TenDigits", "1234567890", 1234567890},
    {"WrapsModuloTwoToThe32", "3000000000", -1294967296},
    {"TrailingSpaces", "12   ", 12},
    {"TrailingLetters", "12abc", 12},
    {"CommaIsAPoint", "12,9", 12},
    {"ExponentAfterAPoint", "1.5e2", 150},
    {"ExponentWithoutAPointIsIgnored", "1e2", 1},
    {"MinusPointFive", "-,5", 0},
    {"PlusIsNotASign", "+5", 0},
    {"TabIsNotSkipped", "\t5", 0},
    {"MinusAlone", "-", 0},
    {"SpacesOnly", "   ", 0},
    {"ZeroByteEndsTheText",
     {"12\0"
      "99",
      5},
     12},
    {"ZeroByteBeforeTheDigits",
     {" \0"
      "99",
      4},
     0},
    {"MinusThenSpace", "- 5", 0},
};

TEST_F(StringStackPopLongShapes, ReadsAsTheDecimalStackDoes) {
  for (const PopLongCase& c : kPopLongShapes) {
    SCOPED_TRACE(c.name);
    Kes$PushString(c.text.data(), static_cast<std::uint32_t>(c.text.size()));
    EXPECT_EQ(Kes$PopLong(), c.value);
    EXPECT_EQ(string_stack_depth(), 0);
  }
}

TEST_F(StringStackPopLongShapes, InlineAndOwnedEntriesReadAlike) {
  Kes$PushLong(-2147483647 - 1);
  EXPECT_EQ(Kes$PopLong(), -2147483647 - 1);
  Kes$PushLong(604);
  EXPECT_EQ(Kes$PopLong(), 604);
  auto* block = static_cast<char*>(platform::heap_allocate(3));
  ASSERT_NE(block, nullptr);
  std::memcpy(block, "-81", 3);
  Kes$PushTemp(block, 3);
  EXPECT_EQ(Kes$PopLong(), -81);
  EXPECT_EQ(string_stack_depth(), 0);
}

TEST_F(StringStackPopLongShapes, NinetyNineBytesCountAndNoMore) {
  std::string text(97, ' ');
  text += "42";  // ends exactly at the 99th byte
  Kes$PushString(text.data(), static_cast<std::uint32_t>(text.size()));
  EXPECT_EQ(Kes$PopLong(), 42);
  text = std::string(98, ' ') + "42";  // the "2" is the hundredth byte and is cut off
  Kes$PushString(text.data(), static_cast<std::uint32_t>(text.size()));
  EXPECT_EQ(Kes$PopLong(), 4);
}

using StringStackPopLongDeathTest = StringStackFastTest;

TEST_F(StringStackPopLongDeathTest, FullDecimalStackIsFatalEvenForPlainDigits) {
  EXPECT_EXIT(
      {
        for (int index = 0; index < numeric::kDecimalStackCapacity; ++index)
          numeric::decimal_push_long(index);
        Kes$PushString("12", 2);
        Kes$PopLong();
      },
      testing::ExitedWithCode(kFatalExitCode), "Stack overflow");
}

}  // namespace
}  // namespace kes::runtime
