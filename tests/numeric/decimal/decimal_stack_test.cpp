// The decimal stack as compiled code drives it through the exports: push, operate, pop; its
// capacity limits, the thread save and restore, and the absence of allocation.
#include "numeric/decimal/decimal_stack.h"

#include <cstdint>
#include <string>
#include <vector>

#include <kestrel/decimal.h>

#include <gtest/gtest.h>

#include "numeric/decimal/decimal_stack_ops.h"
#include "platform/core/heap.h"
#include "runtime/fatal/fatal.h"
#include "tests/support/allocation_counter.h"

namespace kes::numeric {
namespace {

using testing::ExitedWithCode;

class DecimalStackTest : public testing::Test {
 protected:
  void SetUp() override { decimal_stack_clear(); }
  void TearDown() override { decimal_stack_clear(); }

  // Pops the top as text, as the string stack's transfer would.
  static std::string pop_text() {
    const DecimalEntry value = decimal_pop();
    char buffer[kDecimalTextCapacity];
    return std::string(buffer, decimal_to_text(value, buffer));
  }
};

struct BinaryCase {
  const char* name;
  std::int32_t next;  // pushed first
  std::int32_t top;
  void (*operation)();
  const char* result;
};
const BinaryCase kBinaryOperations[] = {
    {"Add", 10, 4, Kes$DecAdd, "14"},
    {"Sub", 10, 4, Kes$DecSub, "6"},
    {"SubReversed", 10, 4, Kes$DecSubR, "-6"},
    {"Mul", -10, 4, Kes$DecMul, "-40"},
    {"Divide", 10, 4, Kes$DecDivide, "2.5"},
    {"DivideReversed", 10, 4, Kes$DecDivideR, "0.4"},
    {"DivideByZeroGivesZero", 7, 0, Kes$DecDivide, "0"},
};

TEST_F(DecimalStackTest, BinaryOperationsReplaceTheTwoTopEntries) {
  for (const BinaryCase& c : kBinaryOperations) {
    SCOPED_TRACE(c.name);
    Kes$DPushLong(c.next);
    Kes$DPushLong(c.top);
    c.operation();
    EXPECT_EQ(decimal_depth(), 1);
    EXPECT_EQ(pop_text(), c.result);
  }
  Kes$DPushLong(4);
  Kes$DPushLong(4);
  Kes$DecSubR();
  EXPECT_EQ(decimal_top().sign, 0);  // a zero difference stays positive
  EXPECT_EQ(Kes$DecCompareN(), 0);   // pops the zero
  Kes$DPushCString("-0.001");
  EXPECT_EQ(Kes$DecCompareN(), 1);
  EXPECT_EQ(decimal_depth(), 0);
}

TEST_F(DecimalStackTest, DistinctGivesTheSignOfTopMinusNext) {
  Kes$DPushLong(5);
  Kes$DPushLong(7);
  EXPECT_EQ(Kes$DecDistinct(), 1);
  EXPECT_EQ(decimal_depth(), 0);
  Kes$DPushLong(5);
  Kes$DPushLong(7);
  EXPECT_EQ(Kes$DecDistinctR(), -1);
  Kes$DPushCString("1.50");
  Kes$DPushCString("1.5");
  EXPECT_EQ(Kes$DecDistinct(), 0);
  Kes$DPushLong(0);
  Kes$DNegate();  // a negated zero still equals zero
  Kes$DPushLong(0);
  EXPECT_EQ(Kes$DecDistinct(), 0);
  EXPECT_EQ(decimal_depth(), 0);
}

TEST_F(DecimalStackTest, UnaryOperationsWorkOnTheTop) {
  Kes$DPushLong(1);
  Kes$DPushCString("-2.7");
  Kes$DInt();
  EXPECT_EQ(pop_text(), "-2");
  Kes$DPushCString("-2.7");
  Kes$DAbs();
  EXPECT_EQ(pop_text(), "2.7");
  Kes$DPushCString("-2.7");
  Kes$DNegate();
  EXPECT_EQ(pop_text(), "2.7");
  Kes$DPushLong(2);
  Kes$Dulongpower(10);
  EXPECT_EQ(Kes$DPopLong(), 1024);
  Kes$DPushLong(2);
  Kes$Dlongpower(-2);
  EXPECT_EQ(pop_text(), "0.25");
  Kes$DPushLong(0);
  Kes$DNegate();
  EXPECT_EQ(pop_text(), "0");
  Kes$DPushCString("1234.5678");
  Kes$DPushCString("0.01");
  Kes$DRound();  // pops the increment
  EXPECT_EQ(decimal_depth(), 2);
  EXPECT_EQ(pop_text(), "1234.57");
  Kes$DPushLong(2);
  Kes$DSwap();
  EXPECT_EQ(Kes$DPopLong(), 1);  // the entry below was never touched
  EXPECT_EQ(Kes$DPopLong(), 2);
}

TEST_F(DecimalStackTest, WholeNumberAndRealPops) {
  Kes$DPushCString("3000000000");
  EXPECT_EQ(Kes$DPopLong(), -1294967296);
  Kes$DPushCString("-5.9");
  EXPECT_EQ(Kes$DPopUlong(), 5U);
  Kes$DPushULong(4294967295U);
  EXPECT_EQ(Kes$DPopUlong(), 4294967295U);
  Kes$DPushReal(0.1);
  EXPECT_EQ(Kes$DPopReal(), 0.1);
  Kes$DPushReal(-1234.5);
  EXPECT_EQ(Kes$DPopReal(), -1234.5);
}

TEST_F(DecimalStackTest, StoresAndLoadsPackedVariables) {
  std::uint8_t amount[3] = {0xF0, 0x12, 0x34};  // DECIMAL(5,2) -12.34
  std::uint8_t packed[3] = {};
  Kes$DPushDec(amount, 3, 2);
  Kes$DPopPdec(packed, 3, 2);
  EXPECT_EQ(std::vector<std::uint8_t>(packed, packed + 3),
            (std::vector<std::uint8_t>{0x01, 0x23, 0x4D}));
  Kes$DPushPdec(packed, 3, 2);
  Kes$DPushLong(100);
  Kes$DecMul();
  Kes$DPopDec(amount, 3, 2);  // -1234.00 keeps only 234.00
  EXPECT_EQ(std::vector<std::uint8_t>(amount, amount + 3),
            (std::vector<std::uint8_t>{0xF2, 0x34, 0x00}));
  Kes$DPushCString("0.005");
  Kes$DPopDec(amount, 3, 2);
  EXPECT_EQ(std::vector<std::uint8_t>(amount, amount + 3),
            (std::vector<std::uint8_t>{0x00, 0x00, 0x01}));
}

TEST_F(DecimalStackTest, PushesConstantsAndClearsByTypeCode) {
  const std::uint8_t digits[] = {5, 2, 1};  // 1.25
  Kes$DPushConstant(digits, 3, 2, 1);
  EXPECT_EQ(pop_text(), "-1.25");
  Kes$DPushCString(nullptr);
  EXPECT_EQ(pop_text(), "0");
  std::uint8_t bytes[3] = {0x12, 0x34, 0x56};
  Kes$ClearDec(bytes, 3, KES_TYPE_DECIMAL, -1);
  Kes$DPushDec(bytes, 3, 2);
  EXPECT_EQ(pop_text(), "-999.99");
  Kes$ClearDec(bytes, 3, KES_TYPE_PDECIMAL, 0);
  EXPECT_EQ(bytes[2], 0x0F);
}

TEST_F(DecimalStackTest, ArithmeticAllocatesNothing) {
  test::AllocationCounter counter;
  std::uint8_t amount[8] = {};
  for (int round = 0; round < 10; ++round) {
    Kes$DPushCString("12345678901.23");
    Kes$DPushCString("1.075");
    Kes$DecMul();
    Kes$DPushLong(3);
    Kes$DecDivide();
    Kes$DPushReal(2.5);
    Kes$DecSub();
    Kes$DPushLong(2);
    Kes$DecAdd();
    Kes$Dlongpower(-2);
    Kes$DPushCString("0.01");
    Kes$DRound();
    Kes$DPushLong(1);
    Kes$DSwap();
    Kes$DecDistinct();
    Kes$DPushDec(amount, 8, 2);
    Kes$DInt();
    Kes$DPopDec(amount, 8, 2);
    Kes$DPushLong(1);
    (void)Kes$DPopReal();
  }
  EXPECT_EQ(counter.count(), 0U);
  EXPECT_EQ(decimal_depth(), 0);
}

TEST_F(DecimalStackTest, SaveHoldsTheLiveEntriesAndRestoreBringsThemBack) {
  EXPECT_EQ(save_decimal_stack(), nullptr);  // empty: no block
  Kes$DPushCString("-12.5");
  Kes$DPushLong(7);
  std::size_t allocations = 0;
  void* block = nullptr;
  {
    test::AllocationCounter counter;
    block = save_decimal_stack();
    allocations = counter.count();
  }
  EXPECT_EQ(allocations, 1U);
  ASSERT_NE(block, nullptr);
  decimal_stack_clear();
  Kes$DPushLong(99);  // another thread's temporaries
  restore_decimal_stack(block);
  EXPECT_EQ(decimal_depth(), 2);
  EXPECT_EQ(Kes$DPopLong(), 7);
  EXPECT_EQ(pop_text(), "-12.5");
  Kes$DPushLong(1);
  restore_decimal_stack(nullptr);
  EXPECT_EQ(decimal_depth(), 0);
  for (int i = 1; i <= kDecimalStackCapacity; ++i)  // ten entries fit, and come back
    Kes$DPushLong(i);
  block = save_decimal_stack();
  decimal_stack_clear();
  restore_decimal_stack(block);
  EXPECT_EQ(decimal_depth(), kDecimalStackCapacity);
  for (int i = 1; i < kDecimalStackCapacity; ++i)
    Kes$DecAdd();
  EXPECT_EQ(Kes$DPopLong(), 55);
}

using DecimalStackDeathTest = DecimalStackTest;

TEST_F(DecimalStackDeathTest, PushOntoAFullStackIsFatal) {
  EXPECT_EXIT(
      {
        for (int i = 0; i <= kDecimalStackCapacity; ++i)
          Kes$DPushLong(i);
      },
      ExitedWithCode(runtime::kFatalExitCode), "Stack overflow");
}

TEST_F(DecimalStackDeathTest, OperationsBeyondTheEntriesAreFatal) {
  EXPECT_EXIT((void)Kes$DPopLong(), ExitedWithCode(runtime::kFatalExitCode), "Stack overflow");
  EXPECT_EXIT((void)Kes$DPopReal(), ExitedWithCode(runtime::kFatalExitCode), "Stack overflow");
  std::uint8_t bytes[2] = {};
  EXPECT_EXIT(Kes$DPopDec(bytes, 2, 0), ExitedWithCode(runtime::kFatalExitCode), "Stack overflow");
  EXPECT_EXIT(Kes$DNegate(), ExitedWithCode(runtime::kFatalExitCode), "Stack overflow");
  EXPECT_EXIT(Kes$Dulongpower(2), ExitedWithCode(runtime::kFatalExitCode), "Stack overflow");
  Kes$DPushLong(1);
  EXPECT_EXIT(Kes$DecAdd(), ExitedWithCode(runtime::kFatalExitCode), "Stack overflow");
  EXPECT_EXIT(Kes$DSwap(), ExitedWithCode(runtime::kFatalExitCode), "Stack overflow");
  EXPECT_EXIT((void)Kes$DecDistinct(), ExitedWithCode(runtime::kFatalExitCode), "Stack overflow");
  EXPECT_EXIT(Kes$DRound(), ExitedWithCode(runtime::kFatalExitCode), "Stack overflow");
}

TEST_F(DecimalStackDeathTest, SaveWithoutMemoryIsFatal) {
  Kes$DPushLong(1);
  EXPECT_EXIT(
      {
        platform::heap_fail_nth(1);
        (void)save_decimal_stack();
      },
      ExitedWithCode(runtime::kFatalExitCode), "out of memory");
}

}  // namespace
}  // namespace kes::numeric
