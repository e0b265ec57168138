// VARIANT values and their type changes.
#include "runtime/ole/variant.h"

#include <cmath>
#include <limits>
#include <string>

#include <kestrel/ole.h>

#include <gtest/gtest.h>

#include "platform/core/heap.h"
#include "runtime/ole/bstr.h"

namespace kes::runtime {
namespace {

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
