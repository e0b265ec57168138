// Type descriptors: stream encodings, the builder and the walk read back field by field, damaged
// streams, and the descriptor cache when memory runs out (nothing half-read is kept).
#include <cstring>
#include <string>
#include <vector>

#include <kestrel/types.h>

#include <gtest/gtest.h>

#include "platform/core/heap.h"
#include "runtime/types/class_cache.h"
#include "runtime/types/type_codes.h"

namespace {

struct CompactCase {
  const char* name;
  std::vector<unsigned char> bytes;
  bool complete;
  int32_t value;
};

TEST(ClassDescCompact, DecodesSignAndFurtherBytes) {
  const CompactCase cases[] = {
      {"OneByte", {0x05}, true, 5},
      {"TwoBytes", {0x21, 0x2C}, true, 300},
      {"Negative", {0x85}, true, -5},
      {"NegativeMaxShort", {0x9F}, true, -31},
      {"ThreeBytes", {0x5F, 0x01, 0x00}, true, 31 * 65536 + 256},
      {"FourBytes", {0x7F, 0x00, 0x00, 0x01}, true, 31 * 16777216 + 1},
      {"Zero", {0x00}, true, 0},
      {"AnnouncedBytesMissing", {0x7F, 0x00}, false, 0},
      {"Empty", {}, false, 0},
  };
  for (const CompactCase& c : cases) {
    SCOPED_TRACE(c.name);
    ClassDesc reader(c.bytes.data(), static_cast<uint32_t>(c.bytes.size()));
    int32_t value = 0;
    EXPECT_EQ(reader.read_compact(value), c.complete);
    EXPECT_EQ(reader.damaged(), !c.complete);
    if (c.complete) {
      EXPECT_EQ(value, c.value);
    }
  }
}

TEST(TypeCodes, SizesNamesAndStringLikeCodes) {
  const struct {
    uint32_t code;
    uint32_t size;
    const char* name;
    bool string_like;
  } rows[] = {
      {0, 0, "END", false},      {1, 1, "BYTE", false},      {3, 2, "USHORT", false},
      {9, 8, "REAL", false},     {13, 4, "BFLOAT4", false},  {14, 8, "BFLOAT8", false},
      {16, 4, "TEMPUFO", false}, {17, 0, "(17)", false},     {18, 0, "STRING", true},
      {20, 0, "PSTRING", true},  {21, 0, "MEMO", false},     {27, 0, "BLOB", true},
      {29, 0, "PICTURE", true},  {30, 0, "STDNUM", false},   {31, 4, "string reference", false},
      {32, 4, "UNKNOWN", false}, {41, 0, "UNKNOWN", false},  {42, 4, "BSTR string", true},
      {44, 4, "UNKNOWN", true},  {45, 16, "VARIANT", false}, {47, 4, "UNKNOWN", false},
      {48, 0, "UNKNOWN", false}, {200, 0, "UNKNOWN", false},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.code);
    EXPECT_EQ(Kes$TypeSize(row.code), row.size);
    EXPECT_EQ(kes::runtime::type_name(row.code), row.name);
    EXPECT_EQ(kes::runtime::is_string_type(row.code), row.string_like);
  }
}

// Rec GROUP; Id LONG; Name STRING(@S10),NAME('Nm'); Amount DECIMAL(7,2);
// Lines GROUP,DIM(3); Qty SHORT; Price LONG; END; Tags BYTE,DIM(2,2); Alias LONG,OVER(Id)
class_descriptor* build_record() {
  auto* d = new class_descriptor;
  EXPECT_TRUE(d->StartGroup("Rec"));
  EXPECT_TRUE(d->AddSimple(KesTypeLong, "Id", nullptr));
  EXPECT_TRUE(d->AddField(KesTypeString, 10, "Name", 0, "@S10", "Nm"));
  EXPECT_TRUE(d->AddField(KesTypeDecimal, 4, "Amount", 2, nullptr, nullptr));
  EXPECT_TRUE(d->AddArray(3));
  EXPECT_TRUE(d->StartGroup("Lines"));
  EXPECT_TRUE(d->AddSimple(KesTypeShort, "Qty", nullptr));
  EXPECT_TRUE(d->AddSimple(KesTypeLong, "Price", nullptr));
  EXPECT_TRUE(d->EndGroup());
  EXPECT_TRUE(d->AddArray(2));
  EXPECT_TRUE(d->AddArray(2));
  EXPECT_TRUE(d->AddSimple(KesTypeByte, "Tags", nullptr));
  EXPECT_TRUE(d->SetOffset(0));
  EXPECT_TRUE(d->AddSimple(KesTypeLong, "Alias", nullptr));
  EXPECT_TRUE(d->EndDeclaration());
  return d;
}

struct FieldRow {
  const char* name;  // FIELDNAME
  uint8_t type;
  uint32_t offset;  // from the structure's start
  uint32_t size;
  uint32_t places;
  uint32_t elements;
  uint32_t group_fields;
};

// Offsets by hand: Id 0, Name 4 (10 bytes), Amount 14 (4), Lines 18 (3 x 6), Qty 18, Price 20,
// Tags 36 (4 x 1), Alias over Id at 0; the record is 40 bytes.
constexpr FieldRow kRecordFields[] = {
    {"Rec", KesTypeGroup, 0, 40, 0, 1, 8},   {"Id", KesTypeLong, 0, 4, 0, 1, 0},
    {"Nm", KesTypeString, 4, 10, 0, 1, 0},   {"Amount", KesTypeDecimal, 14, 4, 2, 1, 0},
    {"Lines", KesTypeGroup, 18, 6, 0, 3, 2}, {"Qty", KesTypeShort, 18, 2, 0, 1, 0},
    {"Price", KesTypeLong, 20, 4, 0, 1, 0},  {"Tags", KesTypeByte, 36, 1, 0, 4, 0},
    {"Alias", KesTypeLong, 0, 4, 0, 1, 0},
};

TEST(ClassDescriptorBuilder, ReadsBackEveryField) {
  class_descriptor* built = build_record();
  // The built stream read as a compiled one gives the same fields.
  class_descriptor read(built->stream(), built->stream_length(), true);
  for (class_descriptor* d : {built, &read}) {
    ASSERT_FALSE(d->damaged());
    ASSERT_EQ(d->NFields(), 8u);
    for (unsigned n = 0; n <= 8; ++n) {
      const FieldRow& row = kRecordFields[n];
      SCOPED_TRACE(row.name);
      EXPECT_STREQ(d->FIELDNAME(n), row.name);
      const field_descriptor* f = d->FieldDesc(n);
      ASSERT_NE(f, nullptr);
      EXPECT_EQ(f->type, row.type);
      EXPECT_EQ(f->offset, row.offset);
      EXPECT_EQ(f->size, row.size);
      EXPECT_EQ(f->places, row.places);
      EXPECT_EQ(f->group_fields, row.group_fields);
      EXPECT_EQ(d->field_info(n)->elements, row.elements);
    }
  }
  EXPECT_STREQ(read.FIELDLABEL(2), "Name");
  EXPECT_STREQ(read.FieldComment(2), "Nm");
  EXPECT_STREQ(read.FieldDesc(2)->picture, "@S10");
  EXPECT_EQ(read.FieldDesc(7)->dimension_count, 2);
  EXPECT_EQ(read.OverField(8), 1u);
  EXPECT_EQ(read.OverField(2), 0u);
  EXPECT_EQ(read.field_info(5)->inside_array, 1);
  delete built;
}

TEST(ClassDescriptorBuilder, WritesTheCompilersEncoding) {
  class_descriptor d;
  ASSERT_TRUE(d.StartGroup(nullptr));
  EXPECT_EQ(d.stream()[0], 0);  // a descriptor under construction starts with a zero byte
  ASSERT_TRUE(d.AddField(KesTypeString, 300, "A", 0, nullptr, nullptr));
  ASSERT_TRUE(d.AddSimple(KesTypeLong, nullptr, nullptr));
  ASSERT_TRUE(d.EndDeclaration());
  const std::vector<unsigned char> expected = {
      0x16, 0x00, 0x30, 0x01, 0,   0, 0x02, 0, 0, 0, 0, 0, 0, 0,  // GROUP: size 304, 2 fields
      0x12, 0x02, 0x21, 0x2C, 'A', 0,                             // STRING(300) 'A' at 0
      0x06, 0x08, 0x21, 0x2C};                                    // LONG at offset 300
  EXPECT_EQ(std::vector<unsigned char>(d.stream(), d.stream() + d.stream_length()), expected);
}

TEST(ClassDescriptorLookup, FindsNamesWithoutCaseAndReportsErrors) {
  class_descriptor* built = build_record();
  class_descriptor named(built->stream(), built->stream_length(), true);
  class_descriptor unnamed(built->stream(), built->stream_length(), false);
  EXPECT_EQ(named.FieldNum("PRICE"), 6u);
  EXPECT_EQ(named.FieldNum("nm   "), 2u);  // the second name, trailing blanks ignored
  EXPECT_EQ(named.last_error(), 0);
  EXPECT_EQ(named.FieldNum("Name"), 0u);  // a name hidden by its second name
  EXPECT_EQ(named.last_error(), 5);
  EXPECT_EQ(unnamed.FieldNum("Price"), 0u);
  EXPECT_EQ(unnamed.last_error(), 5);
  EXPECT_EQ(named.FieldDesc(9), nullptr);
  EXPECT_EQ(named.last_error(), 8);
  EXPECT_STREQ(named.FIELDNAME(9), "");
  delete built;
}

TEST(ClassDescriptorBuilder, RefusesCallsOutOfOrder) {
  class_descriptor early;
  EXPECT_FALSE(early.AddSimple(KesTypeLong, "X", nullptr));  // before StartGroup
  class_descriptor open;
  ASSERT_TRUE(open.StartGroup("G"));
  EXPECT_FALSE(open.EndGroup());  // the structure itself ends with EndDeclaration
  class_descriptor long_name;
  ASSERT_TRUE(long_name.StartGroup("G"));
  EXPECT_FALSE(long_name.AddSimple(KesTypeLong, std::string(100, 'N').c_str(), nullptr));
  class_descriptor unclosed;
  ASSERT_TRUE(unclosed.StartGroup("G"));
  ASSERT_TRUE(unclosed.StartGroup("Inner"));
  EXPECT_FALSE(unclosed.EndDeclaration());
  EXPECT_EQ(unclosed.NFields(), 0u);
  class_descriptor ended;
  ASSERT_TRUE(ended.StartGroup("G"));
  ASSERT_TRUE(ended.AddField(KesTypeDecimal, 16, "Widest", 31, nullptr, nullptr));
  ASSERT_TRUE(ended.EndDeclaration());
  EXPECT_FALSE(ended.SetOffset(0));
  EXPECT_FALSE(ended.AddArray(2));
  EXPECT_EQ(ended.NFields(), 1u);  // the widest packed decimal is no damage
}

int released = 0;
void count_release(void* data) noexcept { released += *static_cast<int*>(data); }

TEST(ClassDescriptorAttachments, ReleasedWhenReplacedAndWithTheDescriptor) {
  released = 0;
  int first = 1;
  int second = 10;
  {
    class_descriptor d;
    EXPECT_FALSE(d.attach(CLASS_DESCRIPTOR::kAttachmentSlots, &first, count_release));
    ASSERT_TRUE(d.attach(3, &first, count_release));
    EXPECT_EQ(d.attachment(3), &first);
    ASSERT_TRUE(d.attach(3, &second, count_release));
    EXPECT_EQ(released, 1);
  }
  EXPECT_EQ(released, 11);
}

// Every prefix of a valid stream, and a stream whose nesting does not add up, is damaged: the
// walk stops and gives no fields.
TEST(ClassDescriptorWalk, DamagedStreamsGiveNoFields) {
  class_descriptor* built = build_record();
  std::vector<std::pair<std::string, std::vector<unsigned char>>> cases;
  for (uint32_t length = 0; length < built->stream_length(); ++length)
    cases.push_back(
        {"Prefix" + std::to_string(length), {built->stream(), built->stream() + length}});
  delete built;
  const std::vector<unsigned char> group = {0x16, 0, 4, 0, 0, 0, 1,
                                            0,    0, 0, 0, 0, 0, 0};  // 1 field
  const std::pair<std::string, std::vector<unsigned char>> fields[] = {
      {"NestedGroupCountsMoreThanItsParent", {0x16, 0, 4, 0, 0, 0, 2, 0, 0, 0, 0, 0, 0, 0}},
      {"SeventeenDimensions", {0x06, 0x10, 17, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1}},
      {"DimensionOfNoElements", {0x06, 0x10, 1, 0}},
      {"NegativeOffset", {0x06, 0x08, 0x81}},
      {"DecimalOfSeventeenBytes", {0x0A, 0, 17, 2}},
      {"DecimalWithThirtyTwoPlaces", {0x0B, 0, 5, 32}},
      {"NameWithoutTerminator", {0x06, 0x02, 'A'}},
  };
  for (const auto& [name, field] : fields) {
    cases.push_back({name, group});
    cases.back().second.insert(cases.back().second.end(), field.begin(), field.end());
  }
  cases.push_back({"FirstRecordNotAGroup", {0x06, 0x00}});
  for (const auto& [name, stream] : cases) {
    SCOPED_TRACE(name);
    class_descriptor d(stream.data(), static_cast<uint32_t>(stream.size()), true);
    EXPECT_TRUE(d.damaged());
    EXPECT_EQ(d.NFields(), 0u);
    EXPECT_EQ(d.FieldNum("Id"), 0u);
  }
}

// Rec GROUP; A LONG; B STRING(3) at offset 4; END (7 bytes).
constexpr unsigned char kRecord[] = {
    KesTypeGroup, 0, 7, 0, 0, 0, 2, 0, 0, 0, 0, 0, 0, 0, KesTypeLong, 0, KesTypeString, 0x08, 3, 4,
};

TEST(ClassCache, AWalkShortOfMemoryIsNotKeptAsDamage) {
  int failures = 0;
  for (std::size_t n = 1;; ++n) {
    SCOPED_TRACE(n);
    kes::runtime::forget_class_descriptor(kRecord);
    kes::platform::heap_fail_nth(n);
    const class_descriptor* made = kes::runtime::cached_class_descriptor(kRecord, sizeof kRecord);
    kes::platform::heap_fail_nth(0);
    if (made != nullptr) break;
    ++failures;
  }
  EXPECT_GT(failures, 0);
  // Read whole once memory is there, from the cache or anew.
  const class_descriptor* read = kes::runtime::cached_class_descriptor(kRecord, sizeof kRecord);
  ASSERT_NE(read, nullptr);
  EXPECT_FALSE(read->damaged());
  EXPECT_EQ(read->NFields(), 2u);
  EXPECT_EQ(read->field_info(2)->offset, 4u);
  kes::runtime::forget_class_descriptor(kRecord);
}

}  // namespace
