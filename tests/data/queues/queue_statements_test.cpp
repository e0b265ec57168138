// Queue statements called as compiled code calls them: bad descriptors, keys on every kind of
// field and bad keys, string tails under OVER and in arrays, WHO/WHAT/WHERE on the record, the
// display view of list controls, NEW, memory running out, the change counter; and long random
// sequences of statements compared after every step with the reference model of tests/support.
#include <algorithm>
#include <climits>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <random>
#include <set>
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

#include "data/queues/queue.h"
#include "data/queues/record_layout.h"
#include "files/errors/error_state.h"
#include "numeric/dates/date_calendar.h"
#include "platform/clock/clock.h"
#include "platform/core/heap.h"
#include "runtime/stack/string_stack.h"
#include "tests/support/queue_reference.h"

namespace kes::test {
namespace {

// The record the queue tests work on, its type descriptor and a queue descriptor over it:
// Qty LONG at 0, Name CSTRING(8) at 4, Shelf SHORT at 12, Serial LONG at 16, Pad STRING(4) at
// 20, or STRING(140) for records of 160 bytes, which are stored compressed.
constexpr std::uint32_t kSmallRecord = 24;
constexpr std::uint32_t kLargeRecord = 160;
constexpr std::int32_t kQty = 1, kName = 2, kShelf = 3, kSerial = 4, kPad = 5;

// The type descriptor of the record of `size` bytes (built once, kept for the process).
const unsigned char* line_type(std::uint32_t size) {
  auto build = [](std::uint32_t record_size) {
    auto* type = new class_descriptor;
    type->StartGroup("Line");
    type->AddSimple(KesTypeLong, "Qty", nullptr);
    type->AddField(KesTypeCstring, 8, "Name", 0, nullptr, nullptr);
    type->AddSimple(KesTypeShort, "Shelf", nullptr);
    type->SetOffset(16);
    type->AddSimple(KesTypeLong, "Serial", nullptr);
    type->AddField(KesTypeString, record_size - 20, "Pad", 0, nullptr, nullptr);
    type->EndDeclaration();
    return type;
  };
  static const class_descriptor* small = build(kSmallRecord);
  static const class_descriptor* large = build(kLargeRecord);
  return (size == kSmallRecord ? small : large)->stream();
}

struct TestRecord {
  std::int32_t qty;
  std::string name;  // at most 7 characters
  std::int16_t shelf;
  std::int32_t serial;
};

// Writes the fields; the rest of the name field holds `tail_garbage` after its terminator.
void write_record(std::uint8_t* buffer, const TestRecord& record, char tail_garbage = 0) {
  std::memcpy(buffer, &record.qty, 4);
  std::memset(buffer + 4, tail_garbage, 8);
  std::memcpy(buffer + 4, record.name.c_str(), record.name.size() + 1);
  std::memcpy(buffer + 12, &record.shelf, 2);
  std::memcpy(buffer + 16, &record.serial, 4);
}

std::int32_t serial_of(const std::uint8_t* buffer) {
  std::int32_t serial = 0;
  std::memcpy(&serial, buffer + 16, 4);
  return serial;
}

// A queue descriptor with its own record buffer.
struct TestQueue {
  explicit TestQueue(bool large = false)
      : bytes(large ? kLargeRecord : kSmallRecord, 0),
        descriptor{bytes.data(), line_type(large ? kLargeRecord : kSmallRecord), nullptr,
                   large ? kLargeRecord : kSmallRecord} {}
  ~TestQueue() { Kes$FREEqueue(&descriptor); }
  std::vector<std::uint8_t> bytes;
  KesQueueDescriptor descriptor;
};

using files::ErrorCode;

void fill(TestQueue& queue, int count) {
  for (int i = 0; i < count; ++i) {
    write_record(queue.bytes.data(), {i % 3, "B", static_cast<std::int16_t>(i), i + 1});
    Kes$ADDqueue(&queue.descriptor);
  }
}

std::vector<std::int32_t> serials(TestQueue& queue) {
  std::vector<std::int32_t> out;
  for (std::int32_t p = 1; p <= Kes$RECORDSqueue(&queue.descriptor); ++p) {
    Kes$GETqueueptr(&queue.descriptor, p);
    out.push_back(serial_of(queue.bytes.data()));
  }
  return out;
}

// A null descriptor is 7 (counting statements answer 0); a null procedure does nothing at all.
TEST(QueueStatements, NullDescriptorOrProcedure) {
  const std::int32_t key[] = {1, 0};
  Kes$GETqueuekey(nullptr, key);
  EXPECT_EQ(files::current_error(), ErrorCode::MemoryCorrupted);
  EXPECT_EQ(Kes$RECORDSqueue(nullptr), 0);
  EXPECT_EQ(files::current_error(), ErrorCode::MemoryCorrupted);
  EXPECT_EQ(Kes$POSITIONqueue(nullptr), 0);
  TestQueue queue;
  files::post_error(ErrorCode::NoPath);
  Kes$SORTqueuefkey(&queue.descriptor, nullptr);
  Kes$ADDqueuefkey(nullptr, nullptr);
  EXPECT_EQ(files::current_error(), ErrorCode::NoPath);
  EXPECT_EQ(queue.descriptor.group, nullptr);  // not even created
}

struct KeyCase {
  const char* name;
  std::vector<std::int32_t> numbers;
  std::string text;  // used when numbers is empty
  ErrorCode error;
  std::vector<std::int32_t> order;  // after the SORT: 5 records, Qty 0 1 2 0 1, Shelf 0 to 4
};

TEST(QueueStatements, KeysSortOrChangeNothing) {
  const std::vector<std::int32_t> unchanged = {1, 2, 3, 4, 5};
  const KeyCase cases[] = {
      {"NumberBeyondFields", {6, 0}, "", ErrorCode::InvalidFieldType, unchanged},
      {"NegativeBeyondFields", {1, -6, 0}, "", ErrorCode::InvalidFieldType, unchanged},
      {"SmallestInteger", {INT_MIN, 0}, "", ErrorCode::InvalidFieldType, unchanged},
      {"UnknownName", {}, "Qty,Colour", ErrorCode::InvalidFieldType, unchanged},
      {"SignAlone", {}, "-", ErrorCode::InvalidFieldType, unchanged},
      {"TextCutAt255", {}, "Qty," + std::string(300, 'Q'), ErrorCode::InvalidFieldType, unchanged},
      {"LastFieldAtTheCut", {}, std::string(249, ' ') + "-Shelf", ErrorCode::None, {5, 4, 3, 2, 1}},
      {"NamesIgnoreCaseAndSigns", {}, "  -qty ,, +SHELF", ErrorCode::None, {3, 2, 5, 1, 4}},
  };
  for (const KeyCase& c : cases) {
    SCOPED_TRACE(c.name);
    TestQueue queue;
    fill(queue, 5);
    const std::uint32_t changes = Kes$NUMCHANGESqueue(&queue.descriptor);
    if (c.numbers.empty()) {
      Kes$PushCString(c.text.c_str());
      Kes$SORTqueueskey(&queue.descriptor);
    } else {
      Kes$SORTqueuekey(&queue.descriptor, c.numbers.data());
    }
    EXPECT_EQ(files::current_error(), c.error);
    EXPECT_EQ(serials(queue), c.order);
    EXPECT_EQ(Kes$NUMCHANGESqueue(&queue.descriptor), changes + (c.error == ErrorCode::None));
  }
}

// Deleting four entries of every five, from the back, merges thin blocks; what is left keeps
// its order, and keyed lookups still find every entry.
TEST(QueueStatements, DeletingMostEntriesKeepsTheRest) {
  for (const std::int32_t key : {0, -kShelf}) {
    SCOPED_TRACE(key);
    TestQueue queue;
    fill(queue, 2000);  // Shelf = serial - 1
    const std::int32_t by_key[] = {key, 0};
    Kes$SORTqueuekey(&queue.descriptor, by_key);
    std::vector<std::int32_t> kept;
    for (std::int32_t position = Kes$RECORDSqueue(&queue.descriptor); position >= 1; --position) {
      Kes$GETqueueptr(&queue.descriptor, position);
      const std::int32_t serial = serial_of(queue.bytes.data());
      if (serial % 5 == 0) {
        kept.insert(kept.begin(), serial);
      } else {
        Kes$DELETEqueue(&queue.descriptor);
      }
    }
    EXPECT_EQ(serials(queue), kept);
    EXPECT_EQ(kept.size(), 400u);
    for (std::int32_t serial : kept) {
      if (key == 0) break;
      write_record(queue.bytes.data(), {0, "", static_cast<std::int16_t>(serial - 1), 0});
      Kes$GETqueuekey(&queue.descriptor, by_key);
      ASSERT_EQ(serial_of(queue.bytes.data()), serial);
    }
  }
}

std::int32_t coin_toss(const void*, std::uint32_t, const void*, const void*, std::uint32_t,
                       const void*) {
  static std::mt19937 random(1);
  return static_cast<std::int32_t>(random() % 3) - 1;
}

// A procedure that answers at random must not crash or hang any statement, and every entry
// stays in the queue exactly once.
TEST(QueueStatements, InconsistentProcedureKeepsEveryEntry) {
  TestQueue queue;
  fill(queue, 1500);
  std::mt19937 random(2);
  std::int32_t next_serial = 1501;
  for (int step = 0; step < 3000; ++step) {
    switch (random() % 5) {
      case 0: Kes$SORTqueuefkey(&queue.descriptor, coin_toss); break;
      case 1: Kes$GETqueuefkey(&queue.descriptor, coin_toss); break;
      case 2: Kes$PUTqueuefkey(&queue.descriptor, coin_toss); break;
      case 3:
        write_record(queue.bytes.data(), {1, "N", 1, next_serial++});
        Kes$ADDqueuefkey(&queue.descriptor, coin_toss);
        break;
      default: Kes$GETqueueptr(&queue.descriptor, static_cast<std::int32_t>(random() % 1600));
    }
  }
  const std::vector<std::int32_t> all = serials(queue);
  const std::set<std::int32_t> distinct(all.begin(), all.end());
  EXPECT_EQ(all.size(), static_cast<std::size_t>(next_serial - 1));
  EXPECT_EQ(distinct.size(), all.size());  // PUT wrote back loaded records: serials stay unique
  EXPECT_EQ(*distinct.begin(), 1);
  EXPECT_EQ(*distinct.rbegin(), next_serial - 1);
}

// Every allocation an ADD makes may fail: the ADD then reports 8 and no order changes.
TEST(QueueStatements, OutOfMemoryInAddChangesNoOrder) {
  const std::int32_t by_qty[] = {1, 0};
  const std::int32_t by_shelf[] = {-3, 0};
  for (bool large : {false, true}) {
    TestQueue queue(large);
    fill(queue, 2000);
    Kes$SORTqueuekey(&queue.descriptor, by_qty);
    Kes$GETqueuekey(&queue.descriptor, by_shelf);  // a second live order
    Kes$GETqueuekey(&queue.descriptor, by_qty);    // the ADD's key at the head of the list
    auto snapshot = [&] {
      auto* q = static_cast<data::Queue*>(queue.descriptor.group);
      std::vector<std::vector<const data::Entry*>> orders;
      for (std::uint32_t slot = 0; slot < q->order_count(); ++slot) {
        orders.emplace_back();
        for (std::size_t i = 0; i < q->order(slot).handles.size(); ++i) {
          orders.back().push_back(q->order(slot).handles.at(i));
        }
      }
      return orders;
    };
    int failures = 0;
    for (std::size_t nth = 1;; ++nth) {
      const auto before = snapshot();
      const std::uint32_t changes = Kes$NUMCHANGESqueue(&queue.descriptor);
      write_record(queue.bytes.data(), {1, "Q", 7, 5000});
      platform::heap_fail_nth(nth);
      Kes$ADDqueuekey(&queue.descriptor, by_qty);
      platform::heap_fail_nth(0);
      if (files::current_error() == ErrorCode::None) break;
      ++failures;
      EXPECT_EQ(files::current_error(), ErrorCode::NoMemory);
      EXPECT_EQ(snapshot(), before);
      EXPECT_EQ(Kes$NUMCHANGESqueue(&queue.descriptor), changes);
    }
    EXPECT_GE(failures, 1);
    EXPECT_EQ(Kes$RECORDSqueue(&queue.descriptor), 2001);
  }
}

// The first statement on a queue builds its working storage; when any of those allocations
// fails it reports 8, keeps nothing (the leak checker of the sanitizer build sees the rest) and a
// later statement starts again.
TEST(QueueStatements, OutOfMemoryOnFirstUse) {
  std::size_t allocations = 0;
  {
    TestQueue queue;
    const std::size_t before = platform::heap_allocation_count();
    Kes$RECORDSqueue(&queue.descriptor);
    allocations = platform::heap_allocation_count() - before;
  }
  int failures = 0;
  for (std::size_t nth = 1; nth <= allocations; ++nth) {
    TestQueue queue;
    platform::heap_fail_nth(nth);
    const std::int32_t records = Kes$RECORDSqueue(&queue.descriptor);
    platform::heap_fail_nth(0);
    if (files::current_error() != ErrorCode::None) {
      ++failures;
      EXPECT_EQ(files::current_error(), ErrorCode::NoMemory);
      EXPECT_EQ(records, 0);
    }
    fill(queue, 3);
    EXPECT_EQ(Kes$RECORDSqueue(&queue.descriptor), 3);
  }
  EXPECT_GE(failures, 6);  // the queue, its five buffers and its order
}

// The counter starts from CLOCK() times 25,781,083 (0x189635B), modulo 2^32; the model test
// follows how statements advance it.
TEST(QueueStatements, ChangeCounterStartsFromClock) {
  platform::fix_local_time({2024, 3, 1, 10, 0, 0, 0});
  TestQueue queue;
  // CLOCK() at 10:00:00.00 is 3,600,000 + 1
  EXPECT_EQ(Kes$NUMCHANGESqueue(&queue.descriptor),
            static_cast<std::uint32_t>(3600001ull * 25781083ull % (1ull << 32)));
  platform::release_local_time();
}

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

using queue_reference::kNone, queue_reference::Model, queue_reference::ModelKey;

std::int32_t by_shelf_down(const void* a, std::uint32_t, const void*, const void* b, std::uint32_t,
                           const void*) {
  std::int16_t left = 0, right = 0;
  std::memcpy(&left, static_cast<const char*>(a) + 12, 2);
  std::memcpy(&right, static_cast<const char*>(b) + 12, 2);
  return right - left;
}

// By hand: LONG Qty and Serial, SHORT Shelf, names (capital letters only) by their bytes.
int field_order(const std::string& a, const std::string& b, std::int32_t field) {
  auto number = [&](const std::string& r) {
    std::int32_t value = 0;
    std::int16_t shelf = 0;
    std::memcpy(&shelf, r.data() + 12, 2);
    std::memcpy(&value, r.data() + (std::abs(field) == kSerial ? 16 : 0), 4);
    return std::abs(field) == kShelf ? shelf : value;
  };
  int result = (number(a) > number(b)) - (number(a) < number(b));
  if (std::abs(field) == kName) result = std::clamp(std::strcmp(&a[4], &b[4]), -1, 1);
  return field < 0 ? -result : result;
}

// Large records keep zeros after a name's terminator.
void normalise(std::string& record) {
  if (record.size() < 128) return;
  const std::size_t end = strnlen(record.data() + 4, 8);
  std::fill(record.begin() + 4 + static_cast<std::ptrdiff_t>(end), record.begin() + 12, '\0');
}

// Twenty keys, so that the 16 orders are recycled; one procedure; the empty key.
std::vector<ModelKey> key_pool() {
  std::vector<ModelKey> keys;
  for (std::int32_t field : {kQty, kName, kShelf, kSerial}) {
    keys.push_back({nullptr, {field}});
    keys.push_back({nullptr, {-field}});
    keys.push_back({nullptr, {field, kSerial == field ? kQty : kSerial}});
    keys.push_back({nullptr, {-field, kName == field ? kShelf : kName}});
  }
  keys.push_back({nullptr, {kQty, kName, kShelf}});
  keys.push_back({nullptr, {kShelf, -kQty}});
  keys.push_back({by_shelf_down, {}});
  keys.push_back({});
  return keys;
}

struct ModelRun {
  const char* name;
  bool large;
  std::uint32_t seed;
  int steps;
  int max_records;
};

void run_model(const ModelRun& run) {
  SCOPED_TRACE(run.name);
  TestQueue queue(run.large);
  const std::uint32_t size = queue.descriptor.record_size;
  Model model(size, field_order, normalise);
  std::mt19937 random(run.seed);
  const std::vector<ModelKey> keys = key_pool();
  std::int32_t serial = 0;
  auto pick = [&](int bound) { return static_cast<int>(random() % static_cast<unsigned>(bound)); };
  auto text = [&] { return std::string(reinterpret_cast<char*>(queue.bytes.data()), size); };
  auto fill_buffer = [&](std::int32_t serial_value) {
    const std::string names[] = {"", "A", "AB", "B", "BA", "C", "CAB"};
    write_record(queue.bytes.data(),
                 {pick(6), names[pick(7)], static_cast<std::int16_t>(pick(7) - 3), serial_value},
                 static_cast<char>(pick(3) == 0 ? 'x' : 0));
    return text();
  };
  // A position in range or just outside it, and now and then one of the far ends.
  auto any_position = [&] {
    const int far = pick(16);
    return far == 0 ? INT_MIN : far == 1 ? INT_MAX : pick(int(model.queue->ids.size()) + 3) - 1;
  };
  std::string buffer(size, '\0');
  for (int step = 0; step < run.steps; ++step) {
    const int operation = pick(run.max_records > 100 ? 12 : 14);
    const ModelKey& key = keys[pick(static_cast<int>(keys.size()))];
    std::vector<std::int32_t> numbers = key.numbers;
    numbers.push_back(0);
    ErrorCode expected = kNone;
    std::int32_t expected_answer = 0, answer = 0;
    auto keyed_call = [&](auto by_numbers, auto by_procedure) {
      if (key.procedure != nullptr)
        by_procedure(&queue.descriptor, key.procedure);
      else
        by_numbers(&queue.descriptor, numbers.data());
    };
    const bool full = static_cast<int>(model.queue->ids.size()) >= run.max_records;
    const std::uint32_t changes = Kes$NUMCHANGESqueue(&queue.descriptor);
    std::uint32_t expected_changes = changes;
    switch (full && operation < 3 ? 7 : operation) {
      case 0:
      case 1:
      case 2: {
        buffer = fill_buffer(++serial);
        const std::int32_t position = any_position();
        model.add(buffer, operation, position, key);
        if (operation == 0) Kes$ADDqueue(&queue.descriptor);
        if (operation == 1) Kes$ADDqueueptr(&queue.descriptor, position);
        if (operation == 2) keyed_call(Kes$ADDqueuekey, Kes$ADDqueuefkey);
        ++expected_changes;
        break;
      }
      case 3:
      case 4: {
        const std::int32_t position = any_position();
        expected = model.get(buffer, position);
        Kes$GETqueueptr(&queue.descriptor, position);
        break;
      }
      case 5:
      case 6:
        buffer = fill_buffer(pick(serial + 2));
        expected = model.get_keyed(buffer, key);
        keyed_call(Kes$GETqueuekey, Kes$GETqueuefkey);
        break;
      case 7:
      case 8:
        buffer = fill_buffer(serial_of(queue.bytes.data()));
        expected = model.put(buffer, operation == 8 ? &key : nullptr);
        if (operation == 8)
          keyed_call(Kes$PUTqueuekey, Kes$PUTqueuefkey);
        else
          Kes$PUTqueue(&queue.descriptor);
        expected_changes += expected == kNone ? 1 : 0;
        break;
      case 9:
      case 12:
        expected = model.erase();
        Kes$DELETEqueue(&queue.descriptor);
        expected_changes += expected == kNone ? 1 : 0;
        break;
      case 10:
        model.sort(key);
        keyed_call(Kes$SORTqueuekey, Kes$SORTqueuefkey);
        expected_changes += key.natural() ? 0 : 1;
        break;
      case 11:
        if (pick(2) == 0) fill_buffer(pick(serial + 2));
        buffer = text();
        expected_answer = model.position(buffer, expected);
        answer = Kes$POSITIONqueue(&queue.descriptor);
        break;
      default:
        model.reset();
        Kes$FREEqueuea(&queue.descriptor);
        ++expected_changes;
    }
    ASSERT_EQ(files::current_error(), expected) << "step " << step << " operation " << operation;
    ASSERT_EQ(answer, expected_answer) << "step " << step;
    ASSERT_EQ(text(), buffer) << "step " << step;
    ASSERT_EQ(Kes$NUMCHANGESqueue(&queue.descriptor), expected_changes) << "step " << step;
    const std::int32_t library_pointer = Kes$POINTERqueue(&queue.descriptor);
    ASSERT_EQ(Kes$RECORDSqueue(&queue.descriptor), std::int32_t(model.queue->ids.size()));
    if (step % (run.max_records > 100 ? 97 : 1) != 0) continue;
    for (std::size_t i = 0; i < model.queue->ids.size(); ++i) {
      Kes$GETqueueptr(&queue.descriptor, static_cast<std::int32_t>(i + 1));
      ASSERT_EQ(text(), model.records[model.queue->ids[i]]) << "step " << step << " at " << i;
    }
    ASSERT_EQ(library_pointer, model.pointer()) << "step " << step << " operation " << operation;
    // Reading the whole queue moved the current entry: put it back where the model has it.
    Kes$GETqueueptr(&queue.descriptor, library_pointer);
    if (library_pointer == 0) model.current = -1;
    std::memcpy(queue.bytes.data(), buffer.data(), size);
  }
}

TEST(QueueModel, RandomStatementsFollowTheRules) {
  const ModelRun runs[] = {
      {"SmallRecordsFewEntries", false, 7, 6000, 40},
      {"CompressedRecordsWithStringTails", true, 11, 4000, 40},
      {"ManyEntriesAcrossBlocks", false, 5, 9000, 3000},
  };
  for (const ModelRun& run : runs)
    run_model(run);
}

}  // namespace
}  // namespace kes::test
