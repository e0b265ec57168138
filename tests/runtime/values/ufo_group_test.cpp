// Groups and arrays over type descriptors, WHO, WHAT and WHERE, pictures, the generic exports'
// null rules, and descriptors over no storage.
#include <cstring>
#include <functional>
#include <string>

#include <kestrel/dyn_str.h>
#include <kestrel/pic_desc.h>
#include <kestrel/pictures.h>
#include <kestrel/string_stack.h>
#include <kestrel/types.h>
#include <kestrel/ufo.h>
#include <kestrel/values.h>

#include <gtest/gtest.h>

#include "runtime/fatal/fatal.h"
#include "runtime/values/ufo_factory.h"
#include "tests/support/stack_helpers.h"

namespace {

using kes::runtime::kFatalExitCode;

// Rec GROUP; Id LONG; Name STRING(10); Lines GROUP,DIM(3); Qty SHORT; Price LONG; END;
// Alias LONG,OVER(Id). Offsets: Id 0, Name 4, Lines 14 (3 x 6), Qty 14, Price 16; size 32.
struct Record : ::testing::Test {
  class_descriptor descriptor;
  unsigned char bytes[32] = {};
  Record() {
    descriptor.StartGroup("Rec");
    descriptor.AddSimple(KesTypeLong, "Id", nullptr);
    descriptor.AddField(KesTypeString, 10, "Name", 0, nullptr, nullptr);
    descriptor.AddArray(3);
    descriptor.StartGroup("Lines");
    descriptor.AddSimple(KesTypeShort, "Qty", nullptr);
    descriptor.AddSimple(KesTypeLong, "Price", nullptr);
    descriptor.EndGroup();
    descriptor.SetOffset(0);
    descriptor.AddSimple(KesTypeLong, "Alias", nullptr);
    descriptor.EndDeclaration();
  }
  const unsigned char* td() const { return descriptor.stream(); }
  void TearDown() override { kes::test::drain_string_stack(); }
};

TEST_F(Record, GroupDesignatesFieldsAndElements) {
  Ufo* group = Kes$Group2Ufo(bytes, td());
  EXPECT_EQ(group->Max(), 6u);
  EXPECT_EQ(group->Size(), 32u);
  EXPECT_EQ(group->Type(), KesTypeString);
  Ufo* lines = Kes$DesignateUfo(group, 3);
  ASSERT_NE(lines, nullptr);
  EXPECT_EQ(lines->Type(), KesTypeArray);
  EXPECT_EQ(lines->Max(), 3u);
  EXPECT_EQ(lines->Size(), 18u);
  Ufo* second = Kes$SelectUfo(lines, 2);
  Ufo* price = Kes$DesignateUfo(second, 2);
  Kes$AssignLong2Ufo(price, 0x01020304);
  EXPECT_EQ(std::memcmp(bytes + 14 + 6 + 2, "\x04\x03\x02\x01", 4), 0);  // element 2's Price
  EXPECT_EQ(Kes$DesignateUfo(group, 7), nullptr);
  Ufo* whole = Kes$DesignateUfo(group, 0);
  EXPECT_EQ(whole->Address(), reinterpret_cast<char*>(bytes));
  for (Ufo* ufo : {whole, price, second, lines, group})
    Kes$FreeUfo(ufo);
}

TEST_F(Record, WhoWhatWhere) {
  const char* names[] = {"Rec", "Id", "Name", "Lines", "Qty", "Price", "Alias", ""};
  for (uint32_t field = 0; field <= 7; ++field) {
    SCOPED_TRACE(field);
    Kes$WHO(bytes, 32, td(), field);
    EXPECT_EQ(kes::test::pop_top_text(), names[field]);
    Ufo* ufo = Kes$WHAT(bytes, 32, td(), field);
    EXPECT_EQ(ufo == nullptr, field == 7);
    if (field >= 1 && ufo != nullptr) {
      EXPECT_EQ(Kes$WHERE(bytes, 32, td(), ufo), static_cast<int32_t>(field));
    }
    Kes$FreeUfo(ufo);
  }
  // A LONG made directly at offset 0 is the first field that fits; Alias only by its own WHAT.
  Ufo* plain = Kes$Mem2Ufo(bytes, KesTypeLong, 0, 0);
  EXPECT_EQ(Kes$WHERE(bytes, 32, td(), plain), 1);
  Ufo* name = Kes$Mem2Ufo(bytes + 4, KesTypeString, 10, 0);
  EXPECT_EQ(Kes$WHERE(bytes, 32, td(), name), 2);
  Ufo* short_name = Kes$Mem2Ufo(bytes + 4, KesTypeString, 9, 0);
  EXPECT_EQ(Kes$WHERE(bytes, 32, td(), short_name), 0);
  Ufo* value = Kes$Long2Ufo(1);
  EXPECT_EQ(Kes$WHERE(bytes, 32, td(), value), 0);
  EXPECT_EQ(Kes$WHERE(bytes, 32, td(), nullptr), 0);
  EXPECT_EQ(Kes$WHAT(bytes, 13, td(), 2), nullptr);  // Name ends past a group of 13 bytes
  Ufo* id = Kes$WHAT(bytes, 13, td(), 1);
  EXPECT_NE(id, nullptr);
  Kes$FreeUfo(id);
  for (Ufo* ufo : {plain, name, short_name, value})
    Kes$FreeUfo(ufo);
  class_descriptor other;  // Other GROUP; Code LONG: the same offset, type and size as Id
  other.StartGroup("Other");
  other.AddSimple(KesTypeLong, "Code", nullptr);
  other.EndDeclaration();
  Ufo* code = Kes$WHAT(bytes, 4, other.stream(), 1);
  ASSERT_NE(code, nullptr);
  EXPECT_EQ(Kes$WHERE(bytes, 32, td(), code), 0);
  EXPECT_EQ(Kes$WHERE(bytes, 4, other.stream(), code), 1);
  Kes$FreeUfo(code);
}

TEST(UfoReference, StringReferenceFieldIsAPointerToItsText) {
  class_descriptor d;  // G GROUP; Ref &STRING(5); Id LONG
  d.StartGroup("G");
  d.AddField(KesTypeStringRef, 5, "Ref", 0, nullptr, nullptr);
  d.AddSimple(KesTypeLong, "Id", nullptr);
  d.EndDeclaration();
  char text[5] = {'W', 'r', 'e', 'n', ' '};
  struct {
    char* ref;
    int32_t id;
  } g = {text, 7};
  Ufo* ref = Kes$WHAT(&g, sizeof(g), d.stream(), 1);
  ASSERT_NE(ref, nullptr);
  EXPECT_EQ(Kes$WHERE(&g, sizeof(g), d.stream(), ref), 1);
  ref->Push();
  EXPECT_EQ(kes::test::pop_top_text(), "Wren ");
  Ufo* id = Kes$WHAT(&g, sizeof(g), d.stream(), 2);
  EXPECT_EQ(Kes$Ufo2Long(id), 7);
  Kes$FreeUfo(id);
  Kes$FreeUfo(ref);
}

TEST_F(Record, ClearOfAGroupClearsEveryElement) {
  std::memset(bytes, 0x77, sizeof(bytes));
  Ufo* group = Kes$Group2Ufo(bytes, td());
  group->Clear(1);
  EXPECT_EQ(std::memcmp(bytes, "\xFF\xFF\xFF\x7F", 4), 0);
  EXPECT_EQ(std::string(reinterpret_cast<char*>(bytes) + 4, 10), std::string(10, '\xFF'));
  for (int element = 0; element < 3; ++element) {
    SCOPED_TRACE(element);
    EXPECT_EQ(std::memcmp(bytes + 14 + 6 * element, "\xFF\x7F\xFF\xFF\xFF\x7F", 6), 0);
  }
  Kes$FreeUfo(group);
}

TEST(GroupClear, BytesNoFieldCoversAreLeftAlone) {
  class_descriptor d;  // G GROUP; A LONG at offset 2; B STRING(2) at offset 8
  d.StartGroup("G");
  d.SetOffset(2);
  d.AddSimple(KesTypeLong, "A", nullptr);
  d.SetOffset(8);
  d.AddField(KesTypeString, 2, "B", 0, nullptr, nullptr);
  d.EndDeclaration();
  unsigned char bytes[10];
  std::memset(bytes, 0x77, sizeof(bytes));
  Ufo* group = Kes$Group2Ufo(bytes, d.stream());
  group->Clear(1);
  EXPECT_EQ(std::memcmp(bytes, "\x77\x77\xFF\xFF\xFF\x7F\x77\x77\xFF\xFF", 10), 0);
  Kes$FreeUfo(group);
}

using RecordDeathTest = Record;
TEST_F(RecordDeathTest, SelectionsBeyondTheStorageAreFatal) {
  Ufo* group = Kes$Group2Ufo(bytes, td());
  Ufo* lines = Kes$DesignateUfo(group, 3);
  EXPECT_EXIT(Kes$SelectUfo(lines, 4), ::testing::ExitedWithCode(kFatalExitCode),
              "Index out of range");
  EXPECT_EXIT(Kes$SelectUfo(lines, 0), ::testing::ExitedWithCode(kFatalExitCode),
              "Index out of range");
  Ufo* name = Kes$DesignateUfo(group, 2);
  // Errors 12, 9 and 8, each with the typing text after the error's own message.
  EXPECT_EXIT(Kes$SelectUfo2(name, 5, 11), ::testing::ExitedWithCode(kFatalExitCode),
              ": 12 : Parameter typing error");
  EXPECT_EXIT(Kes$SelectUfo(name, 1), ::testing::ExitedWithCode(kFatalExitCode),
              ": 9 : Parameter typing error");
  Ufo* picture = Kes$PictureUfo("@N6");
  EXPECT_EXIT(Kes$SelectUfo2(picture, 1, 2), ::testing::ExitedWithCode(kFatalExitCode),
              "Insufficient Memory : Parameter typing error");
  for (Ufo* ufo : {picture, name, lines, group})
    Kes$FreeUfo(ufo);
}

TEST(UfoPicture, ClassFollowsThePicture) {
  const struct {
    const char* picture;
    int32_t value;
  } rows[] = {{"@N9.2", 1234}, {"@D2", 80000}, {"@T4", 4500001}, {"@E12.", 5}};
  for (const auto& row : rows) {
    SCOPED_TRACE(row.picture);
    Ufo* ufo = Kes$PictureUfo(row.picture);
    ASSERT_NE(ufo, nullptr);
    const auto width = static_cast<uint32_t>(Kes$getpicturewidth(row.picture));
    EXPECT_EQ(ufo->Size(), width);
    EXPECT_EQ(ufo->Type(), KesTypePicture);
    ufo->Push();
    EXPECT_EQ(kes::test::pop_top_text(), std::string(width, ' '));  // own storage starts blank
    Kes$AssignLong2Ufo(ufo, row.value);
    Kes$PushPictLong(row.value, row.picture);  // the picture's own text of the value
    const std::string formatted = kes::test::pop_top_text();
    ufo->Push();
    EXPECT_EQ(kes::test::pop_top_text(), formatted);
    EXPECT_EQ(Kes$Ufo2Long(ufo), row.value);
    Kes$FreeUfo(ufo);
  }
  EXPECT_EQ(Kes$PictureUfo("@Q"), nullptr);
  PicDesc compiled;
  compiled.Init("@S4");
  char text[4] = {'a', 'b', 'c', 'd'};
  Ufo* string = compiled.GiveUfo(text, 0);
  EXPECT_NE(dynamic_cast<PictureUfoS*>(string), nullptr);
  Kes$FreeUfo(string);
}

TEST(UfoGeneric, NullDescriptorsAndComparisonRules) {
  char blank[3] = {' ', ' ', ' '};
  char lower[3] = {'a', 'b', 'c'};
  Ufo* blanks = Kes$Mem2Ufo(blank, KesTypeString, 3, 0);
  Ufo* letters = Kes$Mem2Ufo(lower, KesTypeString, 3, 0);
  Ufo* upper = new StrValueUfo("ABC  ", 5);
  EXPECT_EQ(Kes$Ufodistinct(nullptr, blanks), 0);
  EXPECT_EQ(Kes$Ufodistinct(nullptr, letters), -1);
  EXPECT_EQ(Kes$Ufodistincti(letters, upper), 0);
  EXPECT_EQ(Kes$Ufodistincti(upper, letters), 0);  // the longer one's rest against spaces
  Ufo* longer = new StrValueUfo("ABCD", 4);
  EXPECT_GT(Kes$Ufodistincti(longer, letters), 0);
  Kes$FreeUfo(longer);
  EXPECT_NE(Kes$Ufodistinct(letters, upper), 0);
  EXPECT_EQ(Kes$UfoRealDiff(nullptr, 0.0), -1);
  EXPECT_EQ(Kes$UfoRealDiff(nullptr, -2.0), 1);
  EXPECT_EQ(Kes$UfoCompareN(nullptr), 0);
  EXPECT_EQ(Kes$UfoCompareN(blanks), 0);
  EXPECT_EQ(Kes$Ufo2Long(nullptr), 0);
  EXPECT_EQ(Kes$SizeUfo(nullptr), 0u);
  Kes$PushUfo(nullptr);
  EXPECT_EQ(kes::test::pop_top_text(), "");
  Ufo* value = Kes$Real2Ufo(2.5);
  Kes$AssignLong2Ufo(value, 7);
  EXPECT_EQ(value->Type(), KesTypeLong);
  EXPECT_EQ(Kes$Ufo2Long(value), 7);
  Ufo* largest = Kes$Long2Ufo(2147483647);
  Ufo* one = Kes$Long2Ufo(1);
  largest->Add(*one);
  EXPECT_EQ(Kes$Ufo2Long(largest), -2147483647 - 1);
  DynStr text;
  text.cat("Value=").cat(*value);
  EXPECT_EQ(text.view(), "Value=7");
  for (Ufo* ufo : {blanks, letters, upper, value, largest, one})
    Kes$FreeUfo(ufo);
}

TEST(UfoGeneric, DescriptorsOverNoStorageReadZeroAndIgnoreStores) {
  for (uint32_t code : {1u, 6u, 7u, 9u, 10u, 14u, 15u, 18u, 19u, 20u, 31u, 42u, 43u, 45u}) {
    SCOPED_TRACE(code);
    Ufo* ufo = Kes$Mem2Ufo(nullptr, code, 4, 0);
    Kes$AssignLong2Ufo(ufo, 5);
    EXPECT_EQ(Kes$Ufo2Long(ufo), 0);
    ufo->Clear(1);
    EXPECT_EQ(ufo->Null(), 1);
    EXPECT_EQ(kes::runtime::string_stack_depth(), 0);
    Kes$FreeUfo(ufo);
  }
}

TEST(UfoArray, CloneWithCopyOwnsItsElements) {
  int32_t numbers[3] = {1, 2, 3};
  Ufo* array = Kes$ArrayOfUfo(Kes$Mem2Ufo(numbers, KesTypeLong, 0, 0), 3);
  Ufo* copy = array->AClone(1);
  ASSERT_NE(copy, nullptr);
  numbers[2] = 9;
  Ufo* third = Kes$SelectUfo(copy, 3);
  EXPECT_EQ(Kes$Ufo2Long(third), 3);
  EXPECT_NE(copy->Address(), reinterpret_cast<char*>(numbers));
  EXPECT_EQ(copy->Null(), 0);
  for (Ufo* ufo : {third, copy, array})
    Kes$FreeUfo(ufo);
}

TEST(UfoCommonType, AddAndDivideFamilies) {
  const struct {
    unsigned char a;
    unsigned char b;
    unsigned char common;
  } rows[] = {
      {18, 18, 18}, {18, 29, 18}, {29, 18, 18}, {6, 6, 6},   {6, 9, 9},    {9, 6, 9},
      {18, 9, 9},   {10, 9, 9},   {6, 10, 10},  {18, 6, 10}, {29, 29, 10}, {29, 6, 10},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(std::to_string(row.a) + "," + std::to_string(row.b));
    EXPECT_EQ(kes::runtime::common_type(row.a, row.b), row.common);
  }
  Ufo* real = Kes$Real2Ufo(1.5);
  Ufo* seven = Kes$Long2Ufo(7);
  Ufo* two = Kes$Long2Ufo(2);
  real->Add(*two);
  EXPECT_EQ(Kes$Ufo2Real(real), 3.5);
  seven->Divide(*two);  // on the decimal stack, stored back as a decimal value
  seven->Push();
  EXPECT_EQ(kes::test::pop_top_text(), "3.5");
  for (Ufo* ufo : {real, seven, two})
    Kes$FreeUfo(ufo);
}

struct Node {
  int pushes = 0;
  bool released = false;
};
const KesComputedNode kNodeOperations = {
    [](void* node) noexcept {
      ++static_cast<Node*>(node)->pushes;
      Kes$PushString("42", 2);
    },
    nullptr, nullptr, [](void*) noexcept -> unsigned char { return KesTypeString; },
    [](void* node) noexcept { static_cast<Node*>(node)->released = true; }};

TEST(ComputedUfo, ReadsThroughTheNode) {
  Node node;
  Ufo* computed = new ComputedUfo(&kNodeOperations, &node);
  EXPECT_EQ(Kes$Ufo2Long(computed), 42);
  EXPECT_EQ(Kes$Ufo2Real(computed), 42.0);
  EXPECT_EQ(node.pushes, 2);
  EXPECT_EQ(computed->Hash(), 0x5AA5A55Au);  // no storage of its own
  Ufo* snapshot = computed->AClone(0);
  snapshot->Push();
  EXPECT_EQ(kes::test::pop_top_text(), "42");
  Kes$FreeUfo(snapshot);
  Kes$FreeUfo(computed);
  EXPECT_TRUE(node.released);
  Ufo* detached = new ComputedUfo(nullptr, nullptr);  // a node not given yet reads as empty
  EXPECT_EQ(Kes$UfoCompareN(detached), 0);
  Kes$FreeUfo(detached);
}

TEST(ComputedUfoDeathTest, StoresAreTypingErrorSeven) {
  Node node;
  Ufo* computed = new ComputedUfo(&kNodeOperations, &node);
  const std::function<void()> stores[] = {
      [=] { Kes$AssignLong2Ufo(computed, 1); }, [=] { computed->Assign(2.5); },
      [=] { computed->Clear(0); }, [=] { computed->DPop(); }, [=] { computed->Pop(); }};
  for (const auto& store : stores)
    EXPECT_EXIT(store(), ::testing::ExitedWithCode(kFatalExitCode),
                "Memory Corrupted : Parameter typing error");
  Kes$FreeUfo(computed);
}

TEST(VariantUfo, BaseTypeFollowsTheValue) {
  KesVariant variant{};
  Ufo* ufo = Kes$Mem2Ufo(&variant, KesTypeVariant, 0, 0);
  Kes$AssignLong2Ufo(ufo, 7);
  EXPECT_EQ(ufo->BaseType(), KesTypeLong);
  EXPECT_EQ(ufo->Null(), 0);
  ufo->Assign(0.0);
  EXPECT_EQ(ufo->BaseType(), KesTypeReal);
  EXPECT_EQ(ufo->Null(), 1);
  ufo->Assign(2.5);
  EXPECT_EQ(ufo->Null(), 0);
  EXPECT_EQ(Kes$Ufo2Real(ufo), 2.5);
  Kes$FreeUfo(ufo);
  EXPECT_EQ(variant.type, KesVariantReal);  // the program's variable keeps its value
  Kes$ClearVariant(&variant);
}

}  // namespace
