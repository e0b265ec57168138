// Long random sequences of queue statements compared, after every step, with the literal
// reference model of tests/support.
#include <algorithm>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "files/errors/error_state.h"
#include "tests/data/queues/queue_fixture.h"
#include "tests/support/queue_reference.h"

namespace kes::test {
namespace {

using files::ErrorCode;
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
