// Pops from the string stack into STRING, CSTRING and PSTRING fields, whole numbers, REALs, the
// decimal stack and heap copies, from every kind of entry; BSTR and VARIANT entries: conversion
// to text, lengths, pops.
#include <algorithm>
#include <cstring>
#include <string>
#include <string_view>

#include <kestrel/ole.h>
#include <kestrel/string_stack.h>

#include <gtest/gtest.h>

#include "numeric/decimal/decimal_stack.h"
#include "platform/core/heap.h"
#include "runtime/fatal/fatal.h"
#include "runtime/ole/bstr.h"
#include "runtime/ole/variant.h"
#include "runtime/stack/string_stack.h"
#include "tests/support/stack_helpers.h"

namespace kes::runtime {
namespace {

class StringStackPopTest : public testing::Test {
 protected:
  void SetUp() override { test::drain_string_stack(); }
  void TearDown() override { test::drain_string_stack(); }
  static std::string pop() { return test::pop_top_text(); }
  static EntryKind top_kind() { return test::top_entry_kind(); }
  static std::string ansi(KesBStr bstr) {
    const runtime::AnsiText text = runtime::bstr_to_ansi(bstr);
    std::string result = text.pointer == nullptr ? "" : std::string(text.pointer, text.length);
    platform::heap_free(text.pointer);
    return result;
  }
};

// Pushes `text` as an entry of the given kind: 0 a reference (`text` must outlive the entry), 1
// an inline copy, 2 a heap block.
void push_as(int kind, const std::string& text) {
  const auto length = static_cast<std::uint32_t>(text.size());
  if (kind == 2) {
    auto* block = static_cast<char*>(platform::heap_allocate(length + 1));
    std::memcpy(block, text.data(), length);
    Kes$PushTemp(block, length);
    return;
  }
  Kes$PushString(text.data(), length);
  if (kind == 1) Kes$StackHeap();
}

// A fixed STRING of `size` bytes holding `text`: cut to size, or padded with spaces.
std::string fixed(const std::string& text, std::size_t size) {
  return size <= text.size() ? text.substr(0, size) : text + std::string(size - text.size(), ' ');
}

constexpr std::size_t kGuard = 8;

using StringStackPopString = StringStackPopTest;

TEST_F(StringStackPopString, EveryLengthIntoEveryFieldWidthFromEveryKind) {
  // Lengths and sizes cross every width class of the stores (0, 1-3, 4-7, 8-16, 17-32, 33-64,
  // above); guards of '#' around the field show any byte written outside it.
  const std::string guard(kGuard, '#');
  for (int kind = 0; kind < 3; ++kind) {
    // Longest first: each text takes an entry a longer one used before, whose bytes must not show.
    for (std::uint32_t length = 71; length-- > 0;) {
      if (kind == 1 && length > kInlineCapacity) continue;
      const std::string source = test::distinct_letters(length, 'A');
      for (std::uint32_t size = 0; size <= 70; ++size) {
        SCOPED_TRACE(testing::Message()
                     << "kind " << kind << " length " << length << " size " << size);
        push_as(kind, source);
        std::string field(kGuard + size + kGuard, '#');
        Kes$PopString(field.data() + kGuard, size);
        ASSERT_EQ(field, guard + fixed(source, size) + guard);
        // CSTRING keeps size - 1 bytes and a terminator, PSTRING a length byte and size - 1; the
        // rest of the field is not written.
        const std::size_t kept = size == 0 ? 0 : std::min<std::size_t>(length, size - 1);
        push_as(kind, source);
        field.assign(size + kGuard, '#');
        Kes$PopCString(field.data(), size);
        const std::string untouched(size + kGuard - (size == 0 ? 0 : kept + 1), '#');
        ASSERT_EQ(field, (size == 0 ? "" : source.substr(0, kept) + '\0') + untouched);
        push_as(kind, source);
        field.assign(size + kGuard, '#');
        Kes$PopPString(field.data(), size);
        ASSERT_EQ(field,
                  (size == 0 ? "" : static_cast<char>(kept) + source.substr(0, kept)) + untouched);
      }
    }
  }
  EXPECT_EQ(string_stack_depth(), 0);
}

TEST_F(StringStackPopString, NullTextsAndDestinations) {
  char destination[6] = "#####";
  Kes$PushString(nullptr, 5);
  Kes$PopString(destination, 5);
  EXPECT_STREQ(destination, "     ");
  Kes$PushNull();
  Kes$PopCString(destination, 3);
  EXPECT_EQ(destination[0], '\0');
  // A null destination or a size of zero stores nothing but still pops.
  Kes$PushString("AB", 2);
  Kes$PushString("CD", 2);
  Kes$PopString(nullptr, 5);
  EXPECT_EQ(string_stack_depth(), 1);
  destination[0] = '#';
  Kes$PopString(destination, 0);
  EXPECT_EQ(destination[0], '#');
  EXPECT_EQ(string_stack_depth(), 0);
}

using StringStackPopLong = StringStackPopTest;

struct PopLongCase {
  const char* name;
  std::string_view text;
  std::int32_t value;
};
constexpr PopLongCase kPopLongs[] = {
    {"Empty", "", 0},
    {"MinusZero", "-0", 0},
    {"LeadingSpaces", "   7", 7},
    {"LeadingZeros", "007", 7},
    {"MinusNineDigits", "-999999999", -999999999},
    {"Maximum", "2147483647", 2147483647},
    {"Minimum", "-2147483648", -2147483647 - 1},
    {"WrapsModuloTwoToThe32", "3000000000", -1294967296},
    {"TruncatesTowardZero", "12.7", 12},
    {"NegativeTruncatesTowardZero", "-12.7", -12},
    {"TrailingLetters", "12abc", 12},
    {"TabIsNotSkipped", "\t5", 0},
    {"MinusThenSpace", "- 5", 0},
    {"ZeroByteEndsTheText", {"12\00099", 5}, 12},
    {"ZeroByteBeforeTheDigits", {" \00099", 4}, 0},
};

TEST_F(StringStackPopLong, ReadsThroughTheDecimalStack) {
  for (const PopLongCase& c : kPopLongs) {
    for (int kind = 0; kind < 3; ++kind) {
      SCOPED_TRACE(testing::Message() << c.name << " kind " << kind);
      const std::string text(c.text);
      push_as(kind, text);
      EXPECT_EQ(Kes$PopLong(), c.value);
      EXPECT_EQ(string_stack_depth(), 0);
      EXPECT_EQ(numeric::decimal_depth(), 0);
    }
  }
}

TEST_F(StringStackPopLong, NinetyNineBytesCountAndNoMore) {
  std::string text = std::string(97, ' ') + "42";  // ends exactly at the 99th byte
  Kes$PushString(text.data(), static_cast<std::uint32_t>(text.size()));
  EXPECT_EQ(Kes$PopLong(), 42);
  text = std::string(98, ' ') + "42";  // the "2" is the hundredth byte and is cut off
  Kes$PushString(text.data(), static_cast<std::uint32_t>(text.size()));
  EXPECT_EQ(Kes$PopLong(), 4);
}

struct PopRealCase {
  const char* name;
  std::string text;
  double value;
};

TEST_F(StringStackPopTest, PopRealReadsAtMostThirtyNineClippedBytes) {
  const PopRealCase cases[] = {
      {"TrailingSpacesCut", "12.5   ", 12.5},
      {"ThirtyNineBytesCount", std::string(37, '0') + "12", 12.0},
      {"TheFortiethIsCutOff", std::string(38, '0') + "12", 1.0},
  };
  for (const PopRealCase& c : cases) {
    SCOPED_TRACE(c.name);
    Kes$PushString(c.text.data(), static_cast<std::uint32_t>(c.text.size()));
    EXPECT_EQ(Kes$PopReal(), c.value);
    EXPECT_EQ(string_stack_depth(), 0);
  }
}

TEST_F(StringStackPopTest, DecimalStackRoundTrip) {
  Kes$PushString("-0.050", 6);
  Kes$Stack2DStack();
  EXPECT_EQ(string_stack_depth(), 0);
  EXPECT_EQ(numeric::decimal_depth(), 1);
  Kes$DStack2Stack();
  EXPECT_EQ(numeric::decimal_depth(), 0);
  EXPECT_EQ(pop(), "-0.05");
}

TEST_F(StringStackPopTest, PopTempHandsOverOwnedBuffersAndCopiesTheRest) {
  auto* block = static_cast<char*>(platform::heap_allocate(3));
  std::memcpy(block, "abc", 3);
  Kes$PushTemp(block, 3);
  KesTextPair pair{nullptr, 0};
  Kes$PopTemp(&pair);
  EXPECT_EQ(pair.pointer, block);
  EXPECT_EQ(pair.length, 3u);
  platform::heap_free(pair.pointer);
  Kes$PushLong(-7);
  Kes$PopTemp(&pair);
  EXPECT_EQ(std::string(pair.pointer, pair.length), "-7");
  platform::heap_free(pair.pointer);
  // Failure gives null and still pops.
  Kes$PushString("abc", 3);
  pair = {reinterpret_cast<char*>(&pair), 5};
  platform::heap_fail_nth(1);
  Kes$PopTemp(&pair);
  platform::heap_fail_nth(0);
  EXPECT_EQ(pair.pointer, nullptr);
  EXPECT_EQ(pair.length, 0u);
  EXPECT_EQ(string_stack_depth(), 0);
}

using StringStackBStr = StringStackPopTest;

TEST_F(StringStackBStr, ReferenceConvertsToOwnedText) {
  KesBStr bstr = runtime::bstr_from_ansi("caf\xE9 \x80");  // é and the euro sign
  Kes$PushBString(bstr);
  EXPECT_EQ(top_kind(), EntryKind::BStrRef);
  EXPECT_EQ(Kes$StackLen2(), 6u);
  EXPECT_EQ(top_kind(), EntryKind::BStrRef);  // the length did not convert it
  EXPECT_EQ(std::string(top_text()), "caf\xE9 \x80");
  EXPECT_EQ(top_kind(), EntryKind::TextOwned);
  pop_discard();
  EXPECT_EQ(runtime::bstr_units(bstr), 6u);  // a reference is not freed
  Kes$PushBString(bstr);
  Kes$StackHeap();  // copies the reference
  EXPECT_EQ(top_kind(), EntryKind::BStrOwned);
  EXPECT_NE(entry_from_top(1).pointer, bstr);
  runtime::bstr_free(bstr);
  EXPECT_EQ(pop(), "caf\xE9 \x80");
}

TEST_F(StringStackBStr, NullEmptyTemporaryTextsAndStoresIntoAVariable) {
  Kes$PushBString(nullptr);
  EXPECT_EQ(Kes$StackLen2(), 0u);
  EXPECT_EQ(pop(), "");
  Kes$PushBStringTmp(runtime::bstr_from_ansi(""));
  convert_to_text(1);
  EXPECT_EQ(top_kind(), EntryKind::TextRef);
  EXPECT_EQ(entry_from_top(1).pointer, nullptr);
  pop_discard();
  Kes$PushString("temporary", 9);
  KesBStr bstr = Kes$PopBStringTmp();  // registered as a temporary
  EXPECT_EQ(ansi(bstr), "temporary");
  Kes$PushBStringTmp(bstr);  // taken off the list, owned by the entry
  EXPECT_EQ(top_kind(), EntryKind::BStrOwned);
  EXPECT_EQ(Kes$StackLen(), 9u);  // frees it (checked by the sanitizer build)
  KesBStr variable = runtime::bstr_from_ansi("old");
  Kes$PushString("new", 3);
  Kes$Stack2BString(&variable);
  EXPECT_EQ(ansi(variable), "new");
  KesBStr kept = variable;
  Kes$PushString("x", 1);
  Kes$Stack2BStringTmp(&variable);  // a temporary that does not clear what was there
  EXPECT_EQ(ansi(kept), "new");
  Kes$ClearBString(&kept);
  EXPECT_EQ(ansi(variable), "x");
  EXPECT_EQ(string_stack_depth(), 0);
}

using StringStackVariant = StringStackPopTest;

struct VariantTextCase {
  const char* name;
  void (*push)();
  const char* text;
};
const VariantTextCase kVariantTexts[] = {
    {"Long", [] { Kes$PushVariantLong(-42); }, "-42"},
    {"Real", [] { Kes$PushVariantReal(0.125); }, "0.125"},
    {"LongMinimum", [] { Kes$PushVariantLong(-2147483647 - 1); }, "-2147483648"},
};

TEST_F(StringStackVariant, InlineVariantsConvertToText) {
  for (const VariantTextCase& c : kVariantTexts) {
    SCOPED_TRACE(c.name);
    c.push();
    EXPECT_EQ(top_kind(), EntryKind::VariantInline);
    EXPECT_EQ(Kes$StackLen2(), std::strlen(c.text));
    EXPECT_EQ(pop(), c.text);
  }
}

TEST_F(StringStackVariant, StringVariantByReferenceOrDeepCopy) {
  KesVariant variant;
  runtime::variant_init(variant);
  runtime::variant_assign_bstr(variant, runtime::bstr_from_ansi("Owl"));
  Kes$PushVariant(&variant);
  EXPECT_EQ(Kes$StackLen2(), 3u);
  EXPECT_EQ(pop(), "Owl");
  EXPECT_EQ(variant.type, KesVariantBStr);  // a reference leaves the variant alone
  Kes$PushVariant(&variant);
  Kes$StackHeap();
  EXPECT_EQ(top_kind(), EntryKind::VariantInline);
  runtime::variant_clear(variant);  // the entry does not depend on it any more
  EXPECT_EQ(pop(), "Owl");
}

TEST_F(StringStackVariant, PopLongAndRealUseTheTypeChange) {
  Kes$PushVariantReal(2.5);
  EXPECT_EQ(Kes$PopLong(), 2);  // half to even
  Kes$PushVariantLong(7);
  EXPECT_EQ(Kes$PopReal(), 7.0);
  KesVariant text;
  runtime::variant_init(text);
  runtime::variant_assign_bstr(text, runtime::bstr_from_ansi("not a number"));
  Kes$PushVariant(&text);
  EXPECT_EQ(Kes$PopLong(), 0);
  runtime::variant_clear(text);
  EXPECT_EQ(string_stack_depth(), 0);
}

TEST_F(StringStackVariant, Stack2VariantStoresTextAsStringOrANewVariant) {
  KesVariant variant;
  runtime::variant_init(variant);
  Kes$AssignLong2Variant(&variant, 5);
  Kes$PushString("abc", 3);
  Kes$Stack2Variant(&variant);
  ASSERT_EQ(variant.type, KesVariantBStr);
  EXPECT_EQ(ansi(runtime::variant_bstr(variant)), "abc");
  Kes$PushVariantReal(1.5);
  Kes$Stack2Variant(&variant);  // an inline variant is handed over
  EXPECT_EQ(variant.type, KesVariantReal);
  EXPECT_EQ(runtime::variant_real(variant), 1.5);
  Kes$PushLong(12);  // the temporary form allocates the variant
  KesVariant* temporary = Kes$Stack2VariantTmp();
  ASSERT_NE(temporary, nullptr);
  EXPECT_EQ(ansi(runtime::variant_bstr(*temporary)), "12");
  Kes$ClearVariant(temporary);
  platform::heap_free(temporary);
  Kes$PushLong(12);
  platform::heap_fail_nth(1);
  EXPECT_EQ(Kes$Stack2VariantTmp(), nullptr);
  platform::heap_fail_nth(0);
  EXPECT_EQ(string_stack_depth(), 0);  // popped all the same, to keep the stack balanced
}

using StringStackPopDeathTest = StringStackPopTest;

TEST_F(StringStackPopDeathTest, PopsOfAnEmptyStackAreFatal) {
  EXPECT_EXIT(pop_discard(), testing::ExitedWithCode(kFatalExitCode), "Stack overflow");
  EXPECT_EXIT(Kes$PopLong(), testing::ExitedWithCode(kFatalExitCode), "Stack overflow");
  EXPECT_EXIT(Kes$StackLen2(), testing::ExitedWithCode(kFatalExitCode), "Stack overflow");
}

TEST_F(StringStackPopDeathTest, FullDecimalStackIsFatalEvenForPlainDigits) {
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
