// CLEAR's fill table byte for byte, CLEAR of groups, NEW and DISPOSE, deep assignment and ANY
// references.
#include <cstdio>
#include <cstring>
#include <string>

#include <kestrel/decimal.h>
#include <kestrel/memory.h>
#include <kestrel/types.h>
#include <kestrel/ufo.h>
#include <kestrel/values.h>

#include <gtest/gtest.h>

#include "platform/heap.h"
#include "tests/support/stack_helpers.h"

namespace {

std::string hex(const unsigned char* bytes, size_t length) {
  std::string text;
  char pair[3];
  for (size_t index = 0; index < length; ++index) {
    std::snprintf(pair, sizeof(pair), "%02x", bytes[index]);
    text += pair;
  }
  return text;
}

struct FillRow {
  const char* name;
  uint32_t type;
  uint32_t size;  // bytes; the places byte is 0
  const char* low;
  const char* zero;
  const char* high;
};

// Storage starts as 77h bytes, so bytes a rule leaves alone show.
constexpr FillRow kFills[] = {
    {"String", 18, 4, "00000000", "20202020", "ffffffff"},
    {"Cstring", 19, 4, "00777777", "00777777", "ffffff00"},
    {"Pstring", 20, 4, "03000000", "00777777", "03ffffff"},
    {"Byte", 1, 1, "00", "00", "ff"},
    {"Short", 2, 2, "0080", "0000", "ff7f"},
    {"Ushort", 3, 2, "0000", "0000", "ffff"},
    {"Long", 6, 4, "00000080", "00000000", "ffffff7f"},
    {"Ulong", 7, 4, "00000000", "00000000", "ffffffff"},
    {"Date", 4, 4, "00000000", "00000000", "ffffffff"},
    {"Time", 5, 4, "00000000", "00000000", "633b3b17"},
    {"Sreal", 8, 4, "ffff7fff", "00000000", "ffff7f7f"},
    {"Real", 9, 8, "e3ffffffffffefff", "0000000000000000", "e3ffffffffffef7f"},
    {"Bfloat4", 13, 4, "ffffffff", "00000000", "ffff7fff"},
    {"Bfloat8", 14, 8, "ffffffffffffffff", "0000000000000000", "ffffffffffff7fff"},
    {"Decimal", 10, 3, "899999", "000000", "099999"},
    {"Pdecimal", 11, 3, "99999d", "00000f", "99999f"},
};

TEST(ClearFillTable, EveryTypeAndCode) {
  for (const FillRow& row : kFills) {
    const struct {
      int8_t fill;
      const char* bytes;
    } codes[] = {{-1, row.low}, {0, row.zero}, {1, row.high}};
    for (const auto& code : codes) {
      SCOPED_TRACE(std::string(row.name) + " " + std::to_string(code.fill));
      unsigned char storage[8];
      std::memset(storage, 0x77, sizeof(storage));
      Ufo* ufo = Kes$Mem2Ufo(storage, row.type, row.size, 0);
      Kes$ClearUfo(ufo, code.fill);
      EXPECT_EQ(hex(storage, row.size), code.bytes);
      Kes$FreeUfo(ufo);
      if (Kes$TypeSize(row.type) == 0) continue;
      std::memset(storage, 0x77, sizeof(storage));
      Kes$ClearType(storage, row.type, code.fill);
      EXPECT_EQ(hex(storage, row.size), code.bytes);
    }
  }
}

// Rec GROUP; Name STRING(3); Count LONG; Amount DECIMAL(5,2): 3 + 4 + 3 = 10 bytes.
class_descriptor* small_record() {
  auto* d = new class_descriptor;
  d->StartGroup("Rec");
  d->AddField(KesTypeString, 3, "Name", 0, nullptr, nullptr);
  d->AddSimple(KesTypeLong, "Count", nullptr);
  d->AddField(KesTypeDecimal, 3, "Amount", 2, nullptr, nullptr);
  d->EndDeclaration();
  return d;
}

TEST(ClearGroup, ClearsEveryFieldWithTheCode) {
  class_descriptor* d = small_record();
  unsigned char record[10];
  std::memset(record, 0x77, sizeof(record));
  Kes$CLEAR(record, d->stream(), 0);
  EXPECT_EQ(hex(record, 10),
            "202020"
            "00000000"
            "000000");
  Kes$CLEAR(record, d->stream(), 1);
  EXPECT_EQ(hex(record, 10),
            "ffffff"
            "ffffff7f"
            "099999");
  Kes$CLEAR(record, d->stream(), -1);
  EXPECT_EQ(hex(record, 10),
            "000000"
            "00000080"
            "899999");
  delete d;
}

TEST(NewMem, FillsAndClears) {
  auto* blank = static_cast<unsigned char*>(Kes$NewMemB(4));
  EXPECT_EQ(hex(blank, 4), "20202020");
  auto* zero = static_cast<unsigned char*>(Kes$NewMemZ(3));
  EXPECT_EQ(hex(zero, 3), "000000");
  class_descriptor* d = small_record();
  auto* typed = static_cast<unsigned char*>(Kes$NewMemT(10, d->stream()));
  EXPECT_EQ(hex(typed, 10),
            "202020"
            "00000000"
            "000000");
  for (void* block :
       {static_cast<void*>(blank), static_cast<void*>(zero), static_cast<void*>(typed)})
    kes::platform::heap_free(block);
  kes::platform::heap_fail_nth(1);
  EXPECT_EQ(Kes$NewMemT(10, d->stream()), nullptr);
  kes::platform::heap_fail_nth(1);
  EXPECT_EQ(Kes$NewMemB(4), nullptr);
  kes::platform::heap_fail_nth(0);
  delete d;
}

int destroyed = 0;
void count_destruction(void* object) { destroyed += *static_cast<int*>(object); }

// An instance as compiled code lays it out: its first word points at its table.
struct Instance {
  KesDestructor* vtable;
  int weight;
};
void count_instance(void* object) { destroyed += static_cast<Instance*>(object)->weight; }

TEST(Dispose, RunsTheDestructorThenFrees) {
  destroyed = 0;
  auto* object = static_cast<int*>(Kes$NewMemZ(sizeof(int)));
  *object = 5;
  Kes$DISPOSEref(count_destruction, object);
  EXPECT_EQ(destroyed, 5);
  Kes$DISPOSEref(count_destruction, nullptr);
  EXPECT_EQ(destroyed, 5);
  // An instance whose first word points at its table; the destructor sits in slot 2.
  static KesDestructor table[3] = {nullptr, nullptr, count_instance};
  auto* instance = static_cast<Instance*>(Kes$NewMemZ(sizeof(Instance)));
  instance->vtable = table;
  instance->weight = 7;
  Kes$DISPOSEvref(2, instance);
  Kes$DISPOSEvref(2, nullptr);
  EXPECT_EQ(destroyed, 5 + 7);
}

struct Pairs : ::testing::Test {
  class_descriptor to;    // To GROUP; A STRING(5); B LONG
  class_descriptor from;  // From GROUP; X LONG; Y REAL; Z STRING(4)
  unsigned char to_bytes[9];
  unsigned char from_bytes[16];
  Pairs() {
    to.StartGroup("To");
    to.AddField(KesTypeString, 5, "A", 0, nullptr, nullptr);
    to.AddSimple(KesTypeLong, "B", nullptr);
    to.EndDeclaration();
    from.StartGroup("From");
    from.AddSimple(KesTypeLong, "X", nullptr);
    from.AddSimple(KesTypeReal, "Y", nullptr);
    from.AddField(KesTypeString, 4, "Z", 0, nullptr, nullptr);
    from.EndDeclaration();
    std::memset(to_bytes, 0x77, sizeof(to_bytes));
    const int32_t x = -42;
    const double y = 1.5;
    std::memcpy(from_bytes, &x, 4);
    std::memcpy(from_bytes + 4, &y, 8);
    std::memcpy(from_bytes + 12, "Owl ", 4);
  }
  void TearDown() override { kes::test::drain_string_stack(); }
};

TEST_F(Pairs, EightAndThirtyTwoBitListsAssignTheSamePairs) {
  const unsigned char narrow[] = {0, 2, 1, 3, 2, 1, 0, 0};
  const unsigned char wide[] = {1, 0, 0, 0, 2, 0, 0, 0, 1, 0, 0, 0,
                                3, 0, 0, 0, 2, 0, 0, 0, 1, 0, 0, 0};
  for (const unsigned char* list : {narrow, wide}) {
    std::memset(to_bytes, 0x77, sizeof(to_bytes));
    Ufo* destination = Kes$Group2Ufo(to_bytes, to.stream());
    Ufo* source = Kes$Group2Ufo(from_bytes, from.stream());
    Kes$DeepAssign(destination, source, list);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(to_bytes), 5), "Owl  ");
    int32_t b = 0;
    std::memcpy(&b, to_bytes + 5, 4);
    EXPECT_EQ(b, -42);
    Kes$FreeUfo(destination);
    Kes$FreeUfo(source);
  }
}

TEST_F(Pairs, GroupItselfAndFieldsBeyondTheGroup) {
  const unsigned char list[] = {0, 2, 9, 1, 0, 0};  // a pair beyond To's fields, then To = From
  Ufo* destination = Kes$Group2Ufo(to_bytes, to.stream());
  Ufo* source = Kes$Group2Ufo(from_bytes, from.stream());
  Kes$DeepAssign(destination, source, list);
  EXPECT_EQ(std::memcmp(to_bytes, from_bytes, 9), 0);  // the group as the string of its bytes
  Kes$FreeUfo(destination);
  Kes$FreeUfo(source);
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
  Ufo* created = nullptr;
  Ufo* text = new StrValueUfo("Kestrel", 7);
  Kes$AssignRefUfo(&created, text);
  EXPECT_EQ(Kes$Ufodistinct(created, text), 0);
  Kes$FreeUfo(created);
  Kes$FreeUfo(text);
}

}  // namespace
