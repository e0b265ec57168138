// The string stack's BSTR and VARIANT entries: conversion to text, lengths, pops.
#include <cstring>
#include <string>

#include <kestrel/ole.h>
#include <kestrel/string_stack.h>

#include <gtest/gtest.h>

#include "platform/core/heap.h"
#include "runtime/ole/bstr.h"
#include "runtime/ole/variant.h"
#include "runtime/stack/string_stack.h"
#include "tests/support/stack_helpers.h"

namespace kes::runtime {
namespace {

class StringStackConvertTest : public testing::Test {
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

using StringStackBStr = StringStackConvertTest;

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

using StringStackVariant = StringStackConvertTest;

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

}  // namespace
}  // namespace kes::runtime
