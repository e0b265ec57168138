// Long random sequences of queue statements compared, after every step, with a plain model that
// applies the queue rules literally: records in a vector, every order a vector re-sorted by the
// merge sort when a key is first used.
#include <algorithm>
#include <memory>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "files/errors/error_state.h"
#include "tests/data/queues/queue_fixture.h"

namespace kes::test {
namespace {

using files::ErrorCode;

std::int32_t by_shelf_down(const void* a, std::uint32_t, const void*, const void* b, std::uint32_t,
                           const void*) {
  std::int16_t left = 0, right = 0;
  std::memcpy(&left, static_cast<const char*>(a) + 12, 2);
  std::memcpy(&right, static_cast<const char*>(b) + 12, 2);
  return right - left;
}

struct ModelKey {
  KesQueueCompareProc procedure = nullptr;
  std::vector<std::int32_t> numbers;  // empty and no procedure: natural
  bool natural() const { return procedure == nullptr && numbers.empty(); }
  bool operator==(const ModelKey&) const = default;
};

int field_order(const std::string& a, const std::string& b, std::int32_t field) {
  auto number = [](const std::string& r, std::size_t at, std::size_t size) {
    std::int32_t value = 0;
    if (size == 2) {
      std::int16_t shortv = 0;
      std::memcpy(&shortv, r.data() + at, 2);
      value = shortv;
    } else {
      std::memcpy(&value, r.data() + at, 4);
    }
    return value;
  };
  int result = 0;
  switch (field < 0 ? -field : field) {
    case kQty:
      result = (number(a, 0, 4) > number(b, 0, 4)) - (number(a, 0, 4) < number(b, 0, 4));
      break;
    case kShelf:
      result = (number(a, 12, 2) > number(b, 12, 2)) - (number(a, 12, 2) < number(b, 12, 2));
      break;
    case kSerial:
      result = (number(a, 16, 4) > number(b, 16, 4)) - (number(a, 16, 4) < number(b, 16, 4));
      break;
    default: {  // upper-case names, trailing spaces ignored
      std::string x(a.c_str() + 4, strnlen(a.c_str() + 4, 8));
      std::string y(b.c_str() + 4, strnlen(b.c_str() + 4, 8));
      while (!x.empty() && x.back() == ' ')
        x.pop_back();
      while (!y.empty() && y.back() == ' ')
        y.pop_back();
      result = x.compare(y) < 0 ? -1 : x.compare(y) > 0;
    }
  }
  return field < 0 ? -result : result;
}

struct ModelOrder {
  ModelKey key;
  std::vector<int> ids;  // record numbers
};

// The queue rules, applied literally.
class Model {
 public:
  explicit Model(std::uint32_t size) : size_(size) { reset(); }

  std::vector<std::string> records;  // by id
  std::shared_ptr<ModelOrder> queue;
  int current = -1;

  void reset() {
    queue = std::make_shared<ModelOrder>();
    list_ = {queue};
    pending_.reset();
    current = -1;
  }

  int compare(const ModelKey& key, const std::string& value, const std::string& entry) const {
    if (key.procedure != nullptr) {
      const int r = key.procedure(value.data(), size_, nullptr, entry.data(), size_, nullptr);
      return (r > 0) - (r < 0);
    }
    if (key.natural()) return value == entry ? 0 : 1;
    for (std::int32_t field : key.numbers) {
      if (const int r = field_order(value, entry, field); r != 0) return r;
    }
    return 0;
  }

  // First index whose entry is above (strict) or not below (!strict) the value.
  std::size_t bound(const ModelOrder& order, const ModelKey& key, const std::string& value,
                    bool strict) const {
    std::size_t low = 0, high = order.ids.size();
    while (low < high) {
      const std::size_t mid = (low + high) / 2;
      const int r = compare(key, value, records[order.ids[mid]]);
      if (strict ? r >= 0 : r > 0)
        low = mid + 1;
      else
        high = mid;
    }
    return low;
  }

  void merge_sort(std::vector<int>& a, const ModelKey& key, int lo, int hi) {
    if (lo >= hi) return;
    auto above = [&](int x, int y) { return compare(key, records[x], records[y]) > 0; };
    if (hi - lo < 9) {
      for (int n = lo + 1; n <= hi; ++n) {
        const int item = a[n];
        int place = n;
        while (place > lo && above(a[place - 1], item))
          --place;
        a.erase(a.begin() + n);
        a.insert(a.begin() + place, item);
      }
      return;
    }
    const int mid = (lo + hi) / 2;
    merge_sort(a, key, lo, mid);
    merge_sort(a, key, mid + 1, hi);
    int i = lo;
    while (i <= mid && !above(a[i], a[mid + 1]))
      ++i;
    if (i > mid) return;
    std::vector<int> out{a[mid + 1]};
    int l = i, r = mid + 2;
    bool take_right = true;
    while (l <= mid && r <= hi) {
      if (take_right ? !above(a[r], a[l]) : !above(a[l], a[r])) {
        out.push_back(take_right ? a[r++] : a[l++]);
      } else {
        out.push_back(take_right ? a[l++] : a[r++]);
        take_right = !take_right;
      }
    }
    while (l <= mid)
      out.push_back(a[l++]);
    std::copy(out.begin(), out.end(), a.begin() + i);
  }

  void to_head(std::shared_ptr<ModelOrder> order) {  // by value: it may be an element of the list
    list_.erase(std::find(list_.begin(), list_.end(), order));
    list_.insert(list_.begin(), order);
  }

  bool select(const ModelKey& key) {
    if (key.natural()) {
      to_head(queue);
      return false;
    }
    if (pending_ && *pending_ == key) return true;
    for (auto& order : list_) {
      if (order->key == key) {
        to_head(order);
        pending_.reset();
        return true;
      }
    }
    pending_ = key;
    return true;
  }

  void materialise(char statement) {
    if (!pending_) return;
    std::shared_ptr<ModelOrder> target;
    if ((statement == 'S' && queue->key.natural()) || (statement == 'A' && queue->ids.empty())) {
      target = queue;
    } else if (list_.size() == 16) {
      target = list_[15] == queue ? list_[14] : list_[15];
      target->ids = queue->ids;
    } else {
      target = std::make_shared<ModelOrder>();
      target->ids = queue->ids;
      list_.push_back(target);
    }
    target->key = *pending_;
    merge_sort(target->ids, target->key, 0, static_cast<int>(target->ids.size()) - 1);
    to_head(target);
    pending_.reset();
  }

  std::size_t where(const ModelOrder& order, int id) const {
    return std::find(order.ids.begin(), order.ids.end(), id) - order.ids.begin();
  }

  void add(std::string& record, int mode, std::int32_t position, const ModelKey& key) {
    if (mode == 2 && !select(key)) mode = 0;
    if (mode == 2) materialise('A');
    normalise(record);
    records.push_back(record);
    const int id = static_cast<int>(records.size()) - 1;
    for (auto& order : list_) {
      if (order != queue)
        order->ids.insert(order->ids.begin() + bound(*order, order->key, record, true), id);
    }
    const std::size_t n = queue->ids.size();
    std::size_t index = n;
    if (mode == 2) {
      index = bound(*queue, list_[0]->key, record, true);
      if (list_[0] != queue) queue->key = {};
    } else {
      if (mode == 1 && position >= 1 && static_cast<std::size_t>(position) <= n)
        index = position - 1;
      if (index != bound(*queue, queue->key, record, true)) queue->key = {};
    }
    queue->ids.insert(queue->ids.begin() + index, id);
    current = id;
  }

  ErrorCode get(std::string& buffer, std::int32_t position) {
    if (position == 0) current = -1;
    if (position <= 0 || static_cast<std::size_t>(position) > queue->ids.size())
      return ErrorCode::EntryNotFound;
    current = queue->ids[position - 1];
    buffer = records[current];
    return ErrorCode::None;
  }

  ErrorCode get_keyed(std::string& buffer, const ModelKey& key) {
    if (!select(key)) return ErrorCode::EntryNotFound;
    materialise('G');
    const ModelOrder& head = *list_[0];
    if (head.ids.empty()) return ErrorCode::EntryNotFound;
    const std::size_t i = bound(head, head.key, buffer, false);
    if (i == head.ids.size() || compare(head.key, buffer, records[head.ids[i]]) != 0) {
      current = -1;
      return ErrorCode::EntryNotFound;
    }
    current = head.ids[i];
    buffer = records[current];
    return ErrorCode::None;
  }

  ErrorCode put(std::string& buffer, const ModelKey* key) {
    bool keyed = key != nullptr && select(*key);
    if (keyed) materialise('P');
    if (current < 0) return ErrorCode::EntryNotFound;
    normalise(buffer);
    const std::string old = records[current];
    std::vector<std::shared_ptr<ModelOrder>> marked;
    for (auto& order : list_) {
      if (order == queue ? keyed : compare(order->key, buffer, old) != 0) marked.push_back(order);
    }
    for (auto& order : marked) {
      order->ids.erase(order->ids.begin() + where(*order, current));
    }
    if (!keyed && compare(queue->key, buffer, old) != 0) queue->key = {};
    records[current] = buffer;
    for (auto& order : marked) {
      const ModelKey& by = order == queue ? list_[0]->key : order->key;
      order->ids.insert(order->ids.begin() + bound(*order, by, buffer, true), current);
      if (order == queue && list_[0] != queue) queue->key = {};
    }
    return ErrorCode::None;
  }

  ErrorCode erase() {
    if (current < 0) return ErrorCode::EntryNotFound;
    for (auto& order : list_) {
      order->ids.erase(order->ids.begin() + where(*order, current));
    }
    current = -1;
    return ErrorCode::None;
  }

  void sort(const ModelKey& key) {
    if (!select(key)) return;
    materialise('S');
    if (list_[0] != queue) {
      auto former = queue;
      queue = list_[0];
      if (former->key.natural()) list_.erase(std::find(list_.begin(), list_.end(), former));
    }
    current = -1;
  }

  std::int32_t position(const std::string& buffer, ErrorCode& error) {
    error = ErrorCode::None;
    const std::size_t k = bound(*queue, queue->key, buffer, true);
    if (k == 0) {
      error = ErrorCode::EntryNotFound;
      return 1;
    }
    current = queue->ids[k - 1];
    if (compare(queue->key, buffer, records[current]) != 0) {
      error = ErrorCode::EntryNotFound;
      return static_cast<std::int32_t>(k + 1);
    }
    std::size_t first = k - 1;
    while (first > 0 && compare(queue->key, buffer, records[queue->ids[first - 1]]) == 0)
      --first;
    return static_cast<std::int32_t>(first + 1);
  }

  std::int32_t pointer() const {
    return current < 0 ? 0 : static_cast<std::int32_t>(where(*queue, current) + 1);
  }

 private:
  void normalise(std::string& record) const {
    if (size_ < 128) return;
    const std::size_t end = strnlen(record.data() + 4, 8);
    std::fill(record.begin() + 4 + static_cast<std::ptrdiff_t>(end), record.begin() + 12, '\0');
  }

  std::uint32_t size_;
  std::vector<std::shared_ptr<ModelOrder>> list_;
  std::optional<ModelKey> pending_;
};

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
  Model model(size);
  std::mt19937 random(run.seed);
  const std::vector<ModelKey> keys = key_pool();
  std::int32_t serial = 0;
  auto pick = [&](int bound) { return static_cast<int>(random() % static_cast<unsigned>(bound)); };
  auto fill_buffer = [&](std::int32_t serial_value) {
    const std::string names[] = {"", "A", "AB", "B", "BA", "C", "CAB"};
    write_record(queue.bytes.data(),
                 {pick(6), names[pick(7)], static_cast<std::int16_t>(pick(7) - 3), serial_value},
                 static_cast<char>(pick(3) == 0 ? 'x' : 0));
  };
  std::string buffer(size, '\0');
  for (int step = 0; step < run.steps; ++step) {
    const int operation = pick(run.max_records > 100 ? 12 : 14);
    const ModelKey& key = keys[pick(static_cast<int>(keys.size()))];
    std::vector<std::int32_t> numbers = key.numbers;
    numbers.push_back(0);
    ErrorCode expected = ErrorCode::None;
    std::int32_t expected_answer = 0, answer = 0;
    auto keyed_call = [&](auto by_numbers, auto by_procedure) {
      if (key.procedure != nullptr)
        by_procedure(&queue.descriptor, key.procedure);
      else
        by_numbers(&queue.descriptor, numbers.data());
    };
    const bool full = static_cast<int>(model.queue->ids.size()) >= run.max_records;
    switch (full && operation < 3 ? 7 : operation) {
      case 0:
      case 1:
      case 2: {
        fill_buffer(++serial);
        buffer.assign(reinterpret_cast<char*>(queue.bytes.data()), size);
        const std::int32_t position = pick(static_cast<int>(model.queue->ids.size()) + 3) - 1;
        model.add(buffer, operation, position, key);
        if (operation == 0) Kes$ADDqueue(&queue.descriptor);
        if (operation == 1) Kes$ADDqueueptr(&queue.descriptor, position);
        if (operation == 2) keyed_call(Kes$ADDqueuekey, Kes$ADDqueuefkey);
        break;
      }
      case 3:
      case 4: {
        const std::int32_t position = pick(static_cast<int>(model.queue->ids.size()) + 3) - 1;
        expected = model.get(buffer, position);
        Kes$GETqueueptr(&queue.descriptor, position);
        break;
      }
      case 5:
      case 6: {
        fill_buffer(pick(serial + 2));
        buffer.assign(reinterpret_cast<char*>(queue.bytes.data()), size);
        expected = model.get_keyed(buffer, key);
        keyed_call(Kes$GETqueuekey, Kes$GETqueuefkey);
        break;
      }
      case 7:
      case 8: {
        const std::int32_t keep = serial_of(queue.bytes.data());
        fill_buffer(keep);
        buffer.assign(reinterpret_cast<char*>(queue.bytes.data()), size);
        const bool keyed = operation == 8;
        expected = model.put(buffer, keyed ? &key : nullptr);
        if (keyed)
          keyed_call(Kes$PUTqueuekey, Kes$PUTqueuefkey);
        else
          Kes$PUTqueue(&queue.descriptor);
        break;
      }
      case 9:
        expected = model.erase();
        Kes$DELETEqueue(&queue.descriptor);
        break;
      case 10:
        model.sort(key);
        keyed_call(Kes$SORTqueuekey, Kes$SORTqueuefkey);
        break;
      case 11:
        if (pick(2) == 0) fill_buffer(pick(serial + 2));
        buffer.assign(reinterpret_cast<char*>(queue.bytes.data()), size);
        expected_answer = model.position(buffer, expected);
        answer = Kes$POSITIONqueue(&queue.descriptor);
        break;
      case 12:
        expected = model.erase();
        Kes$DELETEqueue(&queue.descriptor);
        break;
      default:
        model.reset();
        Kes$FREEqueuea(&queue.descriptor);
        break;
    }
    ASSERT_EQ(files::current_error(), expected) << "step " << step << " operation " << operation;
    ASSERT_EQ(answer, expected_answer) << "step " << step;
    ASSERT_EQ(std::string(reinterpret_cast<char*>(queue.bytes.data()), size), buffer)
        << "step " << step;
    const std::int32_t library_pointer = Kes$POINTERqueue(&queue.descriptor);
    ASSERT_EQ(Kes$RECORDSqueue(&queue.descriptor),
              static_cast<std::int32_t>(model.queue->ids.size()));
    if (step % (run.max_records > 100 ? 97 : 1) != 0) continue;
    std::vector<std::uint8_t> saved = queue.bytes;
    for (std::size_t i = 0; i < model.queue->ids.size(); ++i) {
      Kes$GETqueueptr(&queue.descriptor, static_cast<std::int32_t>(i + 1));
      ASSERT_EQ(std::string(reinterpret_cast<char*>(queue.bytes.data()), size),
                model.records[model.queue->ids[i]])
          << "step " << step << " position " << i + 1;
    }
    ASSERT_EQ(library_pointer, model.pointer()) << "step " << step << " operation " << operation;
    // Reading the whole queue moved the current entry: put it back where the model has it.
    const std::int32_t pointer = model.pointer();
    Kes$GETqueueptr(&queue.descriptor, pointer);
    model.current = pointer == 0 ? -1 : model.current;
    queue.bytes = saved;
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
