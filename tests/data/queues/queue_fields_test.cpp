// Queues over type descriptors: keys on every kind of field, string tails under OVER and in
// arrays, WHO/WHAT/WHERE on the record, the display view of list controls, NEW.
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include <kestrel/collation.h>
#include <kestrel/queues.h>
#include <kestrel/string_stack.h>
#include <kestrel/types.h>
#include <kestrel/ufo.h>
#include <kestrel/values.h>

#include <gtest/gtest.h>

#include "data/queues/record_layout.h"
#include "files/errors/error_state.h"
#include "runtime/stack/string_stack.h"
#include "tests/data/queues/queue_fixture.h"

namespace kes::test {
namespace {

using files::ErrorCode;
using namespace std::string_view_literals;

// Kinds GROUP; D DATE; P PSTRING(6); M DECIMAL(5,2); R REAL; F BFLOAT4; S SHORT,DIM(2); T TIME;
// N LONG; X MEMO(4): offsets 0, 4, 10, 13, 21, 25, 29, 33, 37; 41 bytes.
const unsigned char* kinds_type() {
  static const class_descriptor* type = [] {
    auto* built = new class_descriptor;
    built->StartGroup("Kinds");
    built->AddSimple(KesTypeDate, "D", nullptr);
    built->AddField(KesTypePstring, 6, "P", 0, nullptr, nullptr);
    built->AddField(KesTypeDecimal, 3, "M", 2, nullptr, nullptr);
    built->AddSimple(KesTypeReal, "R", nullptr);
    built->AddSimple(KesTypeBfloat4, "F", nullptr);
    built->AddArray(2);
    built->AddSimple(KesTypeShort, "S", nullptr);
    built->AddSimple(KesTypeTime, "T", nullptr);
    built->AddSimple(KesTypeLong, "N", nullptr);
    built->AddField(KesTypeMemo, 4, "X", 0, nullptr, nullptr);
    built->EndDeclaration();
    return built;
  }();
  return type->stream();
}

struct KeyOrderCase {
  const char* name;
  std::int32_t field;
  std::uint32_t offset;  // where raw values go
  bool raw;              // values are the field's bytes, else texts stored through its descriptor
  std::string_view a;
  std::string_view b;
  int order;  // of a against b
};

void store(KesQueueDescriptor& queue, const KeyOrderCase& c, std::string_view value) {
  if (c.raw) {
    std::memcpy(static_cast<char*>(queue.buffer) + c.offset, value.data(), value.size());
    return;
  }
  Ufo* descriptor = Kes$WHATqueue(&queue, static_cast<std::uint32_t>(c.field));
  ASSERT_NE(descriptor, nullptr);
  Kes$PushString(value.data(), static_cast<std::uint32_t>(value.size()));
  Kes$Stack2UfoC(descriptor);
  Kes$FreeUfo(descriptor);
}

void set_locale(const char* name, const char* value) {
  Kes$PushCString(value);
  Kes$PushCString(name);
  Kes$Locale(0);
}

TEST(QueueKeys, CompareFieldsAsTheirValues) {
  const KeyOrderCase cases[] = {
      // DATE: day, month, year; 31 February is 2 March, after 1 March.
      {"DateBySerialDay", 1, 0, true, "\037\002\350\007", "\001\003\350\007", 1},
      {"DatesPastYear9999Equal", 1, 0, true, "\001\001\020\047", "\001\001\340\056", 0},
      {"PstringByItsLength", 2, 4, true, "\002ABZZZ", "\003ABAZZ", -1},
      {"PstringBlankTail", 2, 4, true, "\002AB   ", "\004AB  Q", 0},
      {"PstringLengthCutToField", 2, 4, true, "\011ABCDE", "\004ABCDE", 1},
      {"DecimalByValue", 3, 0, false, "1.5", "-2", 1},
      {"RealWithinTolerance", 4, 0, false, "0.30000000000000004", "0.3", 0},
      {"Bfloat4ThroughDescriptor", 5, 0, false, "-3.25", "2", -1},
      {"SecondElementDecides", 6, 25, true, "\001\000\005\000"sv, "\001\000\004\000"sv, 1},
      {"TimeBySerialTime", 7, 29, true, "\000\000\000\013"sv, "\000\000\073\012"sv, 1},
      {"MemoByteByByte", 9, 37, true, "ab\377c", "abc\001", 1},
      {"MemoEqualBytes", 9, 37, true, "abcd", "abcd", 0},
      {"TextFollowsDigraphs", 2, 4, true, "\002QB", "\003AZB", 0},  // Q collates as AZ
  };
  set_locale("KESDIGRAPH", "QAZ");
  for (const KeyOrderCase& c : cases) {
    SCOPED_TRACE(c.name);
    for (const std::int32_t key_field : {c.field, -c.field}) {
      std::vector<char> buffer(41, 0);
      KesQueueDescriptor queue{buffer.data(), kinds_type(), nullptr, 41};
      for (std::int32_t serial : {1, 2}) {
        store(queue, c, serial == 1 ? c.a : c.b);
        std::memcpy(buffer.data() + 33, &serial, 4);
        Kes$ADDqueue(&queue);
      }
      const std::int32_t key[] = {key_field, 0};
      Kes$SORTqueuekey(&queue, key);
      Kes$GETqueueptr(&queue, 1);
      std::int32_t first = 0;
      std::memcpy(&first, buffer.data() + 33, 4);
      const int expected = key_field < 0 ? -c.order : c.order;
      EXPECT_EQ(first, expected > 0 ? 2 : 1) << key_field;
      // GET by the key of b finds the first entry equal to it.
      Kes$GETqueueptr(&queue, expected > 0 ? 1 : 2);
      Kes$GETqueuekey(&queue, key);
      std::memcpy(&first, buffer.data() + 33, 4);
      EXPECT_EQ(first, c.order == 0 ? 1 : 2) << key_field;
      Kes$FREEqueue(&queue);
    }
  }
  set_locale("KESDIGRAPH", "");
}

// Rec GROUP; A CSTRING(8); B LONG,OVER(A); C PSTRING(4); L GROUP,DIM(2); E CSTRING(3); END;
// G GROUP,OVER(C); H BYTE; END; K CSTRING(2),DIM(2); Pad STRING(140): A at 0, C at 8, L at 12
// (two of 3 bytes), G at 8, K at 18 (two of 2 bytes), Pad from 22. E and K keep their tails.
TEST(RecordLayout, StringTailsSkipSharedBytesAndRepeatArrays) {
  class_descriptor type;
  type.StartGroup("Rec");
  type.AddField(KesTypeCstring, 8, "A", 0, nullptr, nullptr);
  type.SetOffset(0);
  type.AddSimple(KesTypeLong, "B", nullptr);
  type.SetOffset(8);
  type.AddField(KesTypePstring, 4, "C", 0, nullptr, nullptr);
  type.AddArray(2);
  type.StartGroup("L");
  type.AddField(KesTypeCstring, 3, "E", 0, nullptr, nullptr);
  type.EndGroup();
  type.SetOffset(8);
  type.StartGroup("G");
  type.AddSimple(KesTypeByte, "H", nullptr);
  type.EndGroup();
  type.SetOffset(18);
  type.AddArray(2);
  type.AddField(KesTypeCstring, 2, "K", 0, nullptr, nullptr);
  type.AddField(KesTypeString, 140, "Pad", 0, nullptr, nullptr);
  ASSERT_TRUE(type.EndDeclaration());
  data::RecordLayout layout;
  ASSERT_EQ(data::read_record_layout(type.stream(), layout), data::LayoutResult::Read);
  EXPECT_EQ(layout.record_size, 162u);
  std::vector<std::uint32_t> tails;
  for (const data::StringTail& tail : layout.tails)
    tails.push_back(tail.offset * 100 + tail.size);
  EXPECT_EQ(tails, (std::vector<std::uint32_t>{1203, 1503, 1802, 2002}));
}

TEST(QueueIntrospection, WhoWhatWhereOnTheRecordBuffer) {
  TestQueue queue;
  write_record(queue.bytes.data(), {7, "OWL", 3, 9});
  Kes$WHOqueue(&queue.descriptor, kShelf);
  EXPECT_EQ(runtime::top_text(), "Shelf");
  runtime::pop_discard();
  Kes$WHOqueue(&queue.descriptor, kPad + 1);
  EXPECT_EQ(runtime::top_text(), "");
  runtime::pop_discard();
  Ufo* shelf = Kes$WHATqueue(&queue.descriptor, kShelf);
  ASSERT_NE(shelf, nullptr);
  EXPECT_EQ(Kes$Ufo2Long(shelf), 3);
  EXPECT_EQ(Kes$WHEREqueue(&queue.descriptor, shelf), kShelf);
  Kes$FreeUfo(shelf);
  EXPECT_EQ(Kes$WHATqueue(&queue.descriptor, kPad + 1), nullptr);
  EXPECT_EQ(Kes$WHEREqueue(&queue.descriptor, nullptr), 0);
  EXPECT_EQ(Kes$WHATqueue(nullptr, 1), nullptr);
  EXPECT_EQ(queue.descriptor.group, nullptr);  // no queue statement ran
}

// A display reads and writes entries through its own view; the program's buffer, current entry,
// counter and a PUT in between are left alone, and the written key is found again.
TEST(QueueDisplayView, ReadsAndWritesEntriesAside) {
  TestQueue queue;
  for (std::int32_t serial = 1; serial <= 3; ++serial) {
    write_record(queue.bytes.data(), {serial * 10, "B", 0, serial});
    Kes$ADDqueue(&queue.descriptor);
  }
  const std::int32_t by_qty[] = {kQty, 0};
  Kes$SORTqueuekey(&queue.descriptor, by_qty);
  Kes$GETqueueptr(&queue.descriptor, 2);
  auto* group = static_cast<qgroup*>(queue.descriptor.group);
  EXPECT_EQ(Kes$Ufo2Long(group->field_buffer_ufo(kSerial)), 2);
  EXPECT_EQ(group->load_view(0), 1);
  EXPECT_EQ(group->load_view(4), 1);
  ASSERT_EQ(group->load_view(1), 0);
  EXPECT_EQ(serial_of(static_cast<std::uint8_t*>(group->view_address())), 1);
  ASSERT_EQ(group->load_view(3), 0);
  Ufo* qty = group->field_view_ufo(kQty);
  EXPECT_EQ(Kes$Ufo2Long(qty), 30);
  Kes$AssignLong2Ufo(qty, 40);
  const std::uint32_t changes = Kes$NUMCHANGESqueue(&queue.descriptor);
  Kes$PUTqueue(&queue.descriptor);  // the program's PUT of entry 2 between load and write
  EXPECT_EQ(group->put_view(), 0);
  EXPECT_EQ(Kes$NUMCHANGESqueue(&queue.descriptor), changes + 1);
  EXPECT_EQ(Kes$POINTERqueue(&queue.descriptor), 2);
  EXPECT_EQ(serial_of(static_cast<std::uint8_t*>(group->view_address())), 3);
  write_record(queue.bytes.data(), {40, "", 0, 0});
  Kes$GETqueuekey(&queue.descriptor, by_qty);
  EXPECT_EQ(files::current_error(), ErrorCode::None);
  EXPECT_EQ(serial_of(queue.bytes.data()), 3);
  Kes$DELETEqueue(&queue.descriptor);
  EXPECT_EQ(group->put_view(), 30);
  EXPECT_EQ(group->field_view_ufo(kPad + 1), nullptr);
}

TEST(QueueNew, ClearsTheRecordAndFreesWithDispose) {
  KesQueueDescriptor* queue = Kes$NEWqueue(line_type(kSmallRecord));
  ASSERT_NE(queue, nullptr);
  EXPECT_EQ(queue->record_size, kSmallRecord);
  const auto* bytes = static_cast<const char*>(queue->buffer);
  EXPECT_EQ(std::string(bytes, 24), std::string(20, '\0') + "    ");  // Pad is blank
  Kes$ADDqueue(queue);
  EXPECT_EQ(Kes$RECORDSqueue(queue), 1);
  Kes$DISPOSEqueue(queue);
  const unsigned char damaged[] = {KesTypeLong, 0};  // the first record must be a GROUP
  for (const unsigned char* type : {static_cast<const unsigned char*>(nullptr), damaged}) {
    EXPECT_EQ(Kes$NEWqueue(type), nullptr);
    EXPECT_EQ(files::current_error(), ErrorCode::InvalidFieldType);
  }
}

}  // namespace
}  // namespace kes::test
