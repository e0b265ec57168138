// Queue statements called as compiled code calls them: bad descriptors, keys and positions,
// inconsistent procedures, memory running out in the middle of an ADD, the change counter.
#include <climits>
#include <cstdint>
#include <random>
#include <set>
#include <string>
#include <vector>

#include <kestrel/string_stack.h>

#include <gtest/gtest.h>

#include "data/queues/queue.h"
#include "files/errors/error_state.h"
#include "numeric/dates/date_calendar.h"
#include "platform/clock/clock.h"
#include "platform/core/heap.h"
#include "tests/data/queues/queue_fixture.h"

namespace kes::test {
namespace {

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

}  // namespace
}  // namespace kes::test
