// A literal reference for queues, for differential tests: records in a vector, each order a
// vector of record numbers, every rule of the queue statements applied in its most direct form
// (linear searches, a fresh merge sort whenever a key is first used). It shares no code with
// the queue module, so a fault in its blocked orders, sort prefixes or stored records cannot
// hide in both.
//
// State: none beyond each model object.
#pragma once

#include <algorithm>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include <kestrel/queues.h>

#include "files/errors/error_state.h"

namespace kes::test::queue_reference {

using files::ErrorCode;
inline constexpr ErrorCode kNone = ErrorCode::None, kNotFound = ErrorCode::EntryNotFound;

struct ModelKey {
  KesQueueCompareProc procedure = nullptr;
  std::vector<std::int32_t> numbers;  // empty and no procedure: natural
  bool natural() const { return procedure == nullptr && numbers.empty(); }
  bool operator==(const ModelKey&) const = default;
};

struct ModelOrder {
  ModelKey key;
  std::vector<int> ids;  // record numbers
};
using OrderPtr = std::shared_ptr<ModelOrder>;

// The queue rules, applied literally.
class Model {
 public:
  // Records of `size` bytes; `field_order` compares field n (descending when negative) of two
  // records, `normalise` fixes a record's string tails before it is stored.
  using FieldOrder = int (*)(const std::string& a, const std::string& b, std::int32_t field);
  using Normalise = void (*)(std::string& record);
  Model(std::uint32_t size, FieldOrder field_order, Normalise normalise)
      : size_(size), field_order_(field_order), normalise_(normalise) {
    reset();
  }

  std::vector<std::string> records;  // by id
  OrderPtr queue;
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
      if (const int r = field_order_(value, entry, field); r != 0) return r;
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
      (strict ? r >= 0 : r > 0) ? low = mid + 1 : high = mid;
    }
    return low;
  }

  void merge_sort(std::vector<int>& a, const ModelKey& key, int lo, int hi) {
    if (lo >= hi) return;
    auto above = [&](int x, int y) { return compare(key, records[x], records[y]) > 0; };
    if (hi - lo < 9) {
      for (int n = lo + 1; n <= hi; ++n) {
        int place = n;
        while (place > lo && above(a[place - 1], a[n]))
          --place;
        std::rotate(a.begin() + place, a.begin() + n, a.begin() + n + 1);
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

  void to_head(OrderPtr order) {  // by value: it may be an element of the list
    list_.erase(std::find(list_.begin(), list_.end(), order));
    list_.insert(list_.begin(), order);
  }

  bool select(const ModelKey& key) {
    if (key.natural()) {
      to_head(queue);
      return false;
    }
    if (pending_ && *pending_ == key) return true;
    const auto found =
        std::find_if(list_.begin(), list_.end(), [&](auto& o) { return o->key == key; });
    if (found == list_.end()) {
      pending_ = key;
    } else {
      to_head(*found);
      pending_.reset();
    }
    return true;
  }

  void materialise(char statement) {
    if (!pending_) return;
    OrderPtr target = queue;
    if ((statement != 'S' || !queue->key.natural()) && (statement != 'A' || !queue->ids.empty())) {
      if (list_.size() < 16) list_.push_back(std::make_shared<ModelOrder>());
      target = list_.back();  // a new order, or with 16 the least recently used
      if (target == queue) target = list_[14];
      target->ids = queue->ids;
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
    normalise_(record);
    records.push_back(record);
    const int id = static_cast<int>(records.size()) - 1;
    for (auto& order : list_) {
      if (order != queue)
        order->ids.insert(order->ids.begin() + bound(*order, order->key, record, true), id);
    }
    const std::size_t n = queue->ids.size();
    std::size_t index =
        mode == 1 && position >= 1 && position <= std::int64_t(n) ? position - 1 : n;
    if (mode == 2) {
      index = bound(*queue, list_[0]->key, record, true);
      if (list_[0] != queue) queue->key = {};
    } else if (index != bound(*queue, queue->key, record, true)) {
      queue->key = {};
    }
    queue->ids.insert(queue->ids.begin() + index, id);
    current = id;
  }

  ErrorCode get(std::string& buffer, std::int32_t position) {
    if (position == 0) current = -1;
    if (position <= 0 || position > std::int64_t(queue->ids.size())) return kNotFound;
    current = queue->ids[position - 1];
    buffer = records[current];
    return kNone;
  }

  ErrorCode get_keyed(std::string& buffer, const ModelKey& key) {
    if (!select(key)) return kNotFound;
    materialise('G');
    const ModelOrder& head = *list_[0];
    if (head.ids.empty()) return kNotFound;
    const std::size_t i = bound(head, head.key, buffer, false);
    current = i < head.ids.size() && compare(head.key, buffer, records[head.ids[i]]) == 0
                  ? head.ids[i]
                  : -1;
    if (current < 0) return kNotFound;
    buffer = records[current];
    return kNone;
  }

  ErrorCode put(std::string& buffer, const ModelKey* key) {
    bool keyed = key != nullptr && select(*key);
    if (keyed) materialise('P');
    if (current < 0) return kNotFound;
    normalise_(buffer);
    const std::string old = records[current];
    std::vector<OrderPtr> marked;
    for (auto& order : list_) {
      if (order == queue ? keyed : compare(order->key, buffer, old) != 0) marked.push_back(order);
    }
    for (auto& order : marked)
      order->ids.erase(order->ids.begin() + where(*order, current));
    if (!keyed && compare(queue->key, buffer, old) != 0) queue->key = {};
    records[current] = buffer;
    for (auto& order : marked) {
      const ModelKey& by = order == queue ? list_[0]->key : order->key;
      order->ids.insert(order->ids.begin() + bound(*order, by, buffer, true), current);
      if (order == queue && list_[0] != queue) queue->key = {};
    }
    return kNone;
  }

  ErrorCode erase() {
    if (current < 0) return kNotFound;
    for (auto& order : list_)
      order->ids.erase(order->ids.begin() + where(*order, current));
    current = -1;
    return kNone;
  }

  void sort(const ModelKey& key) {
    if (!select(key)) return;
    materialise('S');
    if (list_[0] != queue) {
      auto former = std::exchange(queue, list_[0]);
      if (former->key.natural()) list_.erase(std::find(list_.begin(), list_.end(), former));
    }
    current = -1;
  }

  std::int32_t position(const std::string& buffer, ErrorCode& error) {
    const std::size_t k = bound(*queue, queue->key, buffer, true);
    error = kNotFound;
    if (k == 0) return 1;
    current = queue->ids[k - 1];
    if (compare(queue->key, buffer, records[current]) != 0) return static_cast<std::int32_t>(k + 1);
    error = kNone;
    std::size_t first = k - 1;
    while (first > 0 && compare(queue->key, buffer, records[queue->ids[first - 1]]) == 0)
      --first;
    return static_cast<std::int32_t>(first + 1);
  }

  std::int32_t pointer() const {
    return current < 0 ? 0 : static_cast<std::int32_t>(where(*queue, current) + 1);
  }

 private:
  std::uint32_t size_;
  FieldOrder field_order_;
  Normalise normalise_;
  std::vector<OrderPtr> list_;
  std::optional<ModelKey> pending_;
};

}  // namespace kes::test::queue_reference
