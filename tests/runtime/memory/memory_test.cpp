// CLEAR of groups, NEW and DISPOSE, deep assignment and ANY references.
#include <cstring>
#include <string>

#include <kestrel/memory.h>
#include <kestrel/types.h>
#include <kestrel/ufo.h>
#include <kestrel/values.h>

#include <gtest/gtest.h>

#include "platform/core/heap.h"

namespace {

std::string bytes(const void* start, size_t length) {
  return std::string(static_cast<const char*>(start), length);
}

TEST(ClearAndNew, FieldsTakeTheirFill) {
  class_descriptor d;  // Rec GROUP; Name STRING(3); Count LONG; Amount DECIMAL(5,2)
  d.StartGroup("Rec");
  d.AddField(KesTypeString, 3, "Name", 0, nullptr, nullptr);
  d.AddSimple(KesTypeLong, "Count", nullptr);
  d.AddField(KesTypeDecimal, 3, "Amount", 2, nullptr, nullptr);
  d.EndDeclaration();
  unsigned char record[10];
  Kes$CLEAR(record, d.stream(), 1);
  EXPECT_EQ(bytes(record, 10), bytes("\xFF\xFF\xFF\xFF\xFF\xFF\x7F\x09\x99\x99", 10));
  auto* typed = static_cast<unsigned char*>(Kes$NewMemT(10, d.stream()));
  EXPECT_EQ(bytes(typed, 10), bytes("   \0\0\0\0\0\0\0", 10));
  auto* blank = Kes$NewMemB(4);
  EXPECT_EQ(bytes(blank, 4), "    ");
  for (void* block : {static_cast<void*>(typed), blank})
    kes::platform::heap_free(block);
  uint16_t fixed = 0x7777;
  Kes$ClearType(&fixed, KesTypeShort, -1);
  EXPECT_EQ(fixed, 0x8000);
  kes::platform::heap_fail_nth(1);
  EXPECT_EQ(Kes$NewMemT(10, d.stream()), nullptr);
  kes::platform::heap_fail_nth(0);
}

// An instance as compiled code lays it out: its first word points at its table.
struct Instance {
  KesDestructor* table;
  int weight;
};
int destroyed = 0;
void destroy_instance(void* object) { destroyed += static_cast<Instance*>(object)->weight; }

TEST(Dispose, RunsTheDestructorThenFrees) {
  static KesDestructor table[3] = {nullptr, nullptr, destroy_instance};
  destroyed = 0;
  for (int by_slot = 0; by_slot < 2; ++by_slot) {
    auto* instance = static_cast<Instance*>(Kes$NewMemZ(sizeof(Instance)));
    *instance = {table, 5};
    if (by_slot != 0) {
      Kes$DISPOSEvref(2, instance);
    } else {
      Kes$DISPOSEref(destroy_instance, instance);
    }
  }
  Kes$DISPOSEref(destroy_instance, nullptr);
  Kes$DISPOSEvref(2, nullptr);
  EXPECT_EQ(destroyed, 10);
}

// To GROUP; A STRING(5); B LONG; C SHORT,DIM(2) and From GROUP; X LONG; Y REAL; Z STRING(4);
// W SHORT,DIM(2). The lists pair A with Z, B with X, C with W and one pair beyond To's fields.
TEST(DeepAssign, EightAndThirtyTwoBitLists) {
  class_descriptor to;
  to.StartGroup("To");
  to.AddField(KesTypeString, 5, "A", 0, nullptr, nullptr);
  to.AddSimple(KesTypeLong, "B", nullptr);
  to.AddArray(2);
  to.AddSimple(KesTypeShort, "C", nullptr);
  to.EndDeclaration();
  class_descriptor from;
  from.StartGroup("From");
  from.AddSimple(KesTypeLong, "X", nullptr);
  from.AddSimple(KesTypeReal, "Y", nullptr);
  from.AddField(KesTypeString, 4, "Z", 0, nullptr, nullptr);
  from.AddArray(2);
  from.AddSimple(KesTypeShort, "W", nullptr);
  from.EndDeclaration();
  unsigned char from_bytes[20] = {0xD6, 0xFF, 0xFF, 0xFF};  // X = -42
  std::memcpy(from_bytes + 12, "Owl \x01\x00\x02\x00", 8);
  const unsigned char narrow[] = {0, 4, 1, 3, 2, 1, 3, 4, 9, 1};
  const unsigned char wide[] = {1, 0, 0, 0, 4, 0, 0, 0, 1, 0, 0, 0, 3, 0, 0, 0, 2, 0, 0, 0,
                                1, 0, 0, 0, 3, 0, 0, 0, 4, 0, 0, 0, 9, 0, 0, 0, 1, 0, 0, 0};
  for (const unsigned char* list : {narrow, wide}) {
    unsigned char to_bytes[13];
    std::memset(to_bytes, 0x77, sizeof(to_bytes));
    Ufo* destination = Kes$Group2Ufo(to_bytes, to.stream());
    Ufo* source = Kes$Group2Ufo(from_bytes, from.stream());
    Kes$DeepAssign(destination, source, list);
    EXPECT_EQ(bytes(to_bytes, 13), bytes("Owl  \xD6\xFF\xFF\xFF\x01\x00\x02\x00", 13));
    Kes$FreeUfo(destination);
    Kes$FreeUfo(source);
  }
}

// Packed decimals copy as their bytes only when those are what storing the value writes.
TEST(DeepAssign, NonCanonicalDecimalsGoThroughTheDecimalStack) {
  class_descriptor d;  // Money GROUP; A DECIMAL(5,2); B PDECIMAL(5,2); C LONG
  d.StartGroup("Money");
  d.AddField(KesTypeDecimal, 3, "A", 2, nullptr, nullptr);
  d.AddField(KesTypePdecimal, 3, "B", 2, nullptr, nullptr);
  d.AddSimple(KesTypeLong, "C", nullptr);
  d.EndDeclaration();
  const unsigned char list[] = {0, 3, 1, 1, 2, 2, 3, 3};
  const struct {
    const char* name;
    std::string source;
    std::string copied;  // empty: rewritten in some way
  } rows[] = {
      {"Canonical", bytes("\xF0\x12\x34\x01\x23\x4D\x07\0\0\0", 10),
       bytes("\xF0\x12\x34\x01\x23\x4D\x07\0\0\0", 10)},
      {"SignNibbleEightAndC", bytes("\x80\x12\x34\x01\x23\x4C\x07\0\0\0", 10),
       bytes("\xF0\x12\x34\x01\x23\x4F\x07\0\0\0", 10)},
      {"PdecimalSignZero", bytes("\xF0\x12\x34\x01\x23\x40\x07\0\0\0", 10),
       bytes("\xF0\x12\x34\x01\x23\x4F\x07\0\0\0", 10)},
      {"NibbleNotADigit", bytes("\xF0\x12\xA4\x01\x2A\x4D\x07\0\0\0", 10), ""},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    std::string from = row.source;
    unsigned char to[10] = {};
    Ufo* destination = Kes$Group2Ufo(to, d.stream());
    Ufo* source = Kes$Group2Ufo(from.data(), d.stream());
    Kes$DeepAssign(destination, source, list);
    if (row.copied.empty()) {
      EXPECT_NE(bytes(to, 3), row.source.substr(0, 3));
      EXPECT_NE(bytes(to + 3, 3), row.source.substr(3, 3));
    } else {
      EXPECT_EQ(bytes(to, 10), row.copied);
    }
    Kes$FreeUfo(destination);
    Kes$FreeUfo(source);
  }
}

TEST(AnyReference, RefersToVariablesAndHoldsValues) {
  Ufo* reference = nullptr;
  Kes$RefAssignAny(&reference, nullptr);
  EXPECT_EQ(reference, nullptr);
  int32_t variable = 3;
  Ufo* source = Kes$Mem2Ufo(&variable, KesTypeLong, 0, 0);
  Kes$RefAssignAny(&reference, source);
  variable = 11;
  EXPECT_EQ(Kes$Ufo2Long(reference), 11);  // later changes are seen through the reference
  Kes$AssignLong2RefUfo(&reference, 12);
  EXPECT_EQ(variable, 12);
  Kes$FreeUfo(source);
  Ufo* value = Kes$Long2Ufo(4);
  Kes$RefAssignAny(&reference, value);  // a free-standing value is taken itself
  EXPECT_EQ(reference, value);
  Kes$FreeUfo(reference);
  Ufo* empty = nullptr;
  Kes$AssignReal2RefUfo(&empty, 2.5);
  EXPECT_EQ(Kes$Ufo2Real(empty), 2.5);
  Kes$AssignRefUfo(&empty, nullptr);  // the empty string
  EXPECT_EQ(Kes$UfoCompareN(empty), 0);
  Kes$FreeUfo(empty);
}

}  // namespace
