// BSTR allocation and the code page 1252 conversions; VARIANT values and their type changes.
#include <cmath>
#include <cstring>
#include <limits>
#include <string>

#include <kestrel/ole.h>

#include <gtest/gtest.h>

#include "platform/core/heap.h"
#include "runtime/ole/bstr.h"
#include "runtime/ole/variant.h"

namespace kes::runtime {
namespace {

// The units of code page 1252's bytes 80h-9Fh, written out by hand from the code chart; the five
// unassigned bytes keep their control-character values.
constexpr KesOleChar kHighUnits[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

// Every other byte is its own unit.
TEST(BStrCodePage, EveryByteMapsBothWays) {
  for (int byte = 0; byte < 256; ++byte) {
    SCOPED_TRACE(byte);
    auto unit = static_cast<KesOleChar>(byte);
    if (byte >= 0x80 && byte <= 0x9F) unit = kHighUnits[byte - 0x80];
    EXPECT_EQ(unit_from_ansi(static_cast<char>(byte)), unit);
    EXPECT_EQ(static_cast<unsigned char>(ansi_from_unit(unit)), byte);
  }
}

TEST(BStrCodePage, EveryUnitOutsideTheCodePageIsAQuestionMark) {
  int mapped = 0;
  for (int unit = 0; unit < 0x10000; ++unit) {
    if (ansi_from_unit(static_cast<KesOleChar>(unit)) != '?') ++mapped;
  }
  EXPECT_EQ(mapped, 255);  // 256 bytes, and '?' itself maps to '?'
}

TEST(BStrAllocate, StoresByteLengthAndTerminatorOrFails) {
  const KesOleChar units[] = {'A', 0x20AC, 'B'};
  KesBStr bstr = bstr_allocate(units, 3);
  ASSERT_NE(bstr, nullptr);
  std::uint32_t byte_length = 0;
  std::memcpy(&byte_length, reinterpret_cast<unsigned char*>(bstr) - 4, 4);
  EXPECT_EQ(byte_length, 6u);
  EXPECT_EQ(bstr_units(bstr), 3u);
  EXPECT_EQ(bstr[3], 0);
  bstr_free(bstr);
  EXPECT_EQ(bstr_allocate(nullptr, 3), nullptr);
  EXPECT_EQ(bstr_allocate(units, kBStrMaxUnits + 1), nullptr);
  EXPECT_EQ(bstr_units(nullptr), 0u);
  bstr_free(nullptr);
  platform::heap_fail_nth(1);
  EXPECT_EQ(bstr_from_ansi("ABC"), nullptr);
  platform::heap_fail_nth(0);
}

TEST(BStrConvert, AnsiRoundTripOfEveryByte) {
  std::string all(256, '\0');
  for (int byte = 0; byte < 256; ++byte)
    all[static_cast<std::size_t>(byte)] = static_cast<char>(byte);
  KesBStr bstr = bstr_from_ansi(all);
  ASSERT_NE(bstr, nullptr);
  EXPECT_EQ(bstr_units(bstr), 256u);
  EXPECT_EQ(bstr[0x80], 0x20AC);
  EXPECT_EQ(bstr_ansi_length(bstr), 256u);
  AnsiText text = bstr_to_ansi(bstr);
  ASSERT_NE(text.pointer, nullptr);
  EXPECT_EQ(std::string(text.pointer, text.length), all);
  platform::heap_free(text.pointer);
  bstr_free(bstr);
}

TEST(BStrConvert, SurrogatePairIsOneQuestionMark) {
  const KesOleChar units[] = {'a', 0xD83D, 0xDE00, 'b', 0xDC00, 'c', 0xD800};
  KesBStr bstr = bstr_allocate(units, 7);
  EXPECT_EQ(bstr_ansi_length(bstr), 6u);
  AnsiText text = bstr_to_ansi(bstr);
  EXPECT_EQ(std::string(text.pointer, text.length), "a?b?c?");
  platform::heap_free(text.pointer);
  bstr_free(bstr);
}

// Both give no buffer; only the failed allocation says it failed.
TEST(BStrConvert, EmptyTextIsNoFailedAllocation) {
  KesBStr empty = bstr_from_ansi("");
  ASSERT_NE(empty, nullptr);
  EXPECT_EQ(bstr_units(empty), 0u);
  bool failed = true;
  EXPECT_EQ(bstr_to_ansi(empty, &failed).pointer, nullptr);
  EXPECT_FALSE(failed);
  bstr_free(empty);
  KesBStr bstr = bstr_from_ansi("ABC");
  platform::heap_fail_nth(1);
  EXPECT_EQ(bstr_to_ansi(bstr, &failed).pointer, nullptr);
  platform::heap_fail_nth(0);
  EXPECT_TRUE(failed);
  bstr_free(bstr);
}

TEST(BStrExports, ClearFreesAndNulls) {
  KesBStr bstr = bstr_from_ansi("text");
  Kes$ClearBString(&bstr);
  EXPECT_EQ(bstr, nullptr);
  Kes$ClearBString(&bstr);  // null BSTR
  Kes$ClearBString(nullptr);
}

std::string ansi(KesBStr bstr) {
  const AnsiText text = bstr_to_ansi(bstr);
  std::string result =
      text.pointer == nullptr ? std::string() : std::string(text.pointer, text.length);
  platform::heap_free(text.pointer);
  return result;
}

KesVariant empty_variant() {
  KesVariant variant;
  variant_init(variant);
  return variant;
}
KesVariant long_variant(std::int32_t value) {
  KesVariant variant = empty_variant();
  variant_assign_long(variant, value);
  return variant;
}
KesVariant real_variant(double value) {
  KesVariant variant = empty_variant();
  variant_assign_real(variant, value);
  return variant;
}
KesVariant text_variant(const char* text) {
  KesVariant variant = empty_variant();
  variant_assign_bstr(variant, bstr_from_ansi(text));
  return variant;
}

TEST(VariantLayout, SixteenBytesValueAtEight) {
  static_assert(sizeof(KesVariant) == 16);
  static_assert(offsetof(KesVariant, value) == 8);
  KesVariant variant = empty_variant();
  Kes$AssignLong2Variant(&variant, 0x01020304);
  EXPECT_EQ(variant.type, KesVariantLong);
  EXPECT_EQ(variant.value[0], 0x04);
  EXPECT_EQ(variant.value[3], 0x01);
}

TEST(VariantToBStr, ChangesToString) {
  struct {
    const char* name;
    KesVariant variant;
    const char* text;
  } cases[] = {
      {"EmptyIsEmpty", empty_variant(), ""},
      {"LongDecimal", long_variant(-2147483647 - 1), "-2147483648"},
      {"RealShort", real_variant(2.5), "2.5"},
      {"RealFifteenDigits", real_variant(1.0 / 3.0), "0.333333333333333"},
      {"TextCopied", text_variant("Kestrel"), "Kestrel"},
  };
  for (auto& c : cases) {
    SCOPED_TRACE(c.name);
    const std::optional<KesBStr> bstr = variant_to_bstr(c.variant);
    ASSERT_TRUE(bstr.has_value());
    EXPECT_EQ(ansi(*bstr), c.text);
    bstr_free(*bstr);
    variant_clear(c.variant);
  }
}

struct ToLongCase {
  const char* name;
  double real;
  std::optional<std::int32_t> value;
};
const ToLongCase kRealToLong[] = {
    {"HalfToEvenDown", 2.5, 2},
    {"HalfToEvenUp", 3.5, 4},
    {"NegativeHalf", -2.5, -2},
    {"Below", 2.4, 2},
    {"Maximum", 2147483647.0, 2147483647},
    {"OneOverMaximum", 2147483648.0, std::nullopt},
    {"Minimum", -2147483648.0, -2147483647 - 1},
    {"OneUnderMinimum", -2147483649.0, std::nullopt},
    {"NotANumber", std::numeric_limits<double>::quiet_NaN(), std::nullopt},
    {"Infinity", HUGE_VAL, std::nullopt},
};

TEST(VariantToLong, RealsRoundHalfToEvenWithinRange) {
  for (const ToLongCase& c : kRealToLong) {
    SCOPED_TRACE(c.name);
    KesVariant variant = empty_variant();
    Kes$AssignReal2Variant(&variant, c.real);
    EXPECT_EQ(variant_to_long(variant), c.value);
  }
}

TEST(VariantToLong, TextsAreReadAsNumbers) {
  KesVariant number = text_variant(" 41.5 ");
  EXPECT_EQ(variant_to_long(number), 42);
  EXPECT_EQ(variant_to_real(number), 41.5);
  variant_clear(number);
  KesVariant word = text_variant("abc");
  EXPECT_EQ(variant_to_long(word), std::nullopt);
  EXPECT_EQ(variant_to_real(word), std::nullopt);
  variant_clear(word);
  KesVariant empty = empty_variant();
  EXPECT_EQ(variant_to_long(empty), 0);
  EXPECT_EQ(variant_to_real(empty), 0.0);
}

TEST(VariantCopy, DeepCopiesStringsOrLeavesTargetEmpty) {
  KesVariant source = text_variant("abc");
  KesVariant target = long_variant(7);
  platform::heap_fail_nth(1);
  EXPECT_FALSE(variant_copy(target, source));
  platform::heap_fail_nth(0);
  EXPECT_EQ(target.type, KesVariantEmpty);
  target = long_variant(7);
  ASSERT_TRUE(variant_copy(target, source));
  EXPECT_NE(variant_bstr(target), variant_bstr(source));
  variant_clear(source);
  EXPECT_EQ(ansi(variant_bstr(target)), "abc");
  Kes$ClearVariant(&target);
  EXPECT_EQ(target.type, KesVariantEmpty);
}

TEST(VariantExports, AssignReplacesAString) {
  KesVariant variant = text_variant("freed by the assignment");
  Kes$AssignReal2Variant(&variant, 0.25);
  EXPECT_EQ(variant.type, KesVariantReal);
  EXPECT_EQ(variant_real(variant), 0.25);
  Kes$AssignLong2Variant(nullptr, 1);
  Kes$ClearVariant(nullptr);
}

}  // namespace
}  // namespace kes::runtime
