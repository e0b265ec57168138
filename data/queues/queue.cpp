// Queue statements over the order list: key selection, materialising keys, ADD, GET, PUT,
// DELETE, SORT and POSITION.
#include "data/queues/queue.h"

#include <cstring>
#include <new>
#include <utility>

#include <kestrel/ufo.h>

#include "data/queues/merge_sort.h"
#include "numeric/dates/date_calendar.h"
#include "platform/core/heap.h"
#include "runtime/types/class_cache.h"
#include "runtime/values/field_queries.h"

namespace kes::data {
namespace {

constexpr std::uint32_t kChangeSeedFactor = 0x189635Bu;  // 25,781,083
constexpr std::uint32_t kHashAfterUses = 64;
constexpr std::size_t kHashFromEntries = 32;
constexpr std::size_t kMaxKeyText = 255;  // key texts are popped into 256 bytes

enum AddMode : int { kAppend, kAtPosition, kKeyed };

std::byte* allocate_bytes(std::size_t length) noexcept {
  return static_cast<std::byte*>(platform::heap_allocate(length));
}

// Holds heap blocks for the length of a statement.
struct HeapBlock {
  void* block = nullptr;
  ~HeapBlock() { platform::heap_free(block); }
};

}  // namespace

Queue::Queue(const KesQueueDescriptor& descriptor, RecordLayout layout) noexcept
    : buffer_(static_cast<std::byte*>(descriptor.buffer)),
      type_(descriptor.type),
      record_size_(descriptor.record_size),
      layout_(std::move(layout)),
      store_(descriptor.record_size, layout_.tails) {
  changes_ = static_cast<std::uint32_t>(numeric::clock_time_value()) * kChangeSeedFactor;
}

Queue::~Queue() {
  if (queue_order_ != nullptr) destroy_entries();
  for (std::uint32_t slot = 0; slot < order_count_; ++slot)
    destroy_order(orders_[slot]);
  platform::heap_free(work_);
  platform::heap_free(previous_);
  platform::heap_free(entry_scratch_);
  platform::heap_free(locate_scratch_);
  platform::heap_free(display_);
  delete names_;
  const std::uint32_t slots = layout_.field_count() + 1;
  for (Ufo** fields : {buffer_fields_, display_fields_}) {
    for (std::uint32_t field = 0; fields != nullptr && field < slots; ++field)
      Ufo::destroy(fields[field]);
    platform::heap_free(fields);
  }
}

Queue* Queue::create(const KesQueueDescriptor& descriptor, ErrorCode& error) noexcept {
  error = ErrorCode::None;
  if (descriptor.buffer == nullptr && descriptor.record_size != 0) {
    error = ErrorCode::MemoryCorrupted;
    return nullptr;
  }
  RecordLayout layout;
  if (descriptor.type != nullptr) {
    switch (read_record_layout(static_cast<const unsigned char*>(descriptor.type), layout)) {
      case LayoutResult::Read: break;
      case LayoutResult::Damaged: error = ErrorCode::InvalidFieldType; return nullptr;
      case LayoutResult::NoMemory: error = ErrorCode::NoMemory; return nullptr;
    }
  }
  void* place = platform::heap_allocate(sizeof(Queue));
  if (place == nullptr) {
    error = ErrorCode::NoMemory;
    return nullptr;
  }
  auto* queue = new (place) Queue(descriptor, std::move(layout));
  const std::size_t size = descriptor.record_size;
  queue->work_ = allocate_bytes(size);
  queue->previous_ = allocate_bytes(size);
  queue->entry_scratch_ = allocate_bytes(size);
  queue->locate_scratch_ = allocate_bytes(size);
  queue->display_ = allocate_bytes(size);
  queue->queue_order_ = queue->new_order(true);
  if (queue->queue_order_ != nullptr) {  // listed at once, so that destroy() frees it
    queue->orders_[0] = queue->queue_order_;
    queue->order_count_ = 1;
  }
  if (queue->work_ == nullptr || queue->previous_ == nullptr || queue->entry_scratch_ == nullptr ||
      queue->locate_scratch_ == nullptr || queue->display_ == nullptr ||
      queue->queue_order_ == nullptr) {
    destroy(queue);
    error = ErrorCode::NoMemory;
    return nullptr;
  }
  return queue;
}

void Queue::destroy(Queue* queue) noexcept {
  if (queue == nullptr) return;
  queue->~Queue();
  platform::heap_free(queue);
}

// ---- Orders and the order list.

Order* Queue::new_order(bool tracks) noexcept {
  void* place = platform::heap_allocate(sizeof(Order));
  if (place == nullptr) return nullptr;
  auto* order = new (place) Order(tracks);
  make_natural(*order);
  return order;
}

void Queue::destroy_order(Order* order) noexcept {
  if (order == nullptr) return;
  drop_hash(*order);
  order->~Order();
  platform::heap_free(order);
}

void Queue::move_to_head(Order* order) noexcept {
  std::uint32_t slot = 0;
  while (slot < order_count_ && orders_[slot] != order)
    ++slot;
  if (slot == order_count_) return;
  for (; slot > 0; --slot)
    orders_[slot] = orders_[slot - 1];
  orders_[0] = order;
}

void Queue::remove_from_list(Order* order) noexcept {
  std::uint32_t slot = 0;
  while (slot < order_count_ && orders_[slot] != order)
    ++slot;
  if (slot == order_count_) return;
  for (; slot + 1 < order_count_; ++slot)
    orders_[slot] = orders_[slot + 1];
  orders_[--order_count_] = nullptr;
}

void Queue::make_natural(Order& order) noexcept {
  drop_hash(order);
  order.comparator.build(KeyPlan{}, layout_, record_size_, type_);  // cannot fail
  order.handles.unkeyed();
  order.uses = 0;
  order.hash_refused = false;
}

// ---- Hash indexes: a count of entries per key hash answers "no such key" without a search.

void Queue::drop_hash(Order& order) noexcept {
  delete order.hash;
  order.hash = nullptr;
  order.comparator.set_hashed(false);
}

void Queue::hash_add(Order& order, const std::byte* record) noexcept {
  if (order.hash == nullptr) return;
  try {
    ++(*order.hash)[order.comparator.hash(record)];
  } catch (...) {
    drop_hash(order);  // no memory for the index: the plain comparator gives the same answers
    order.hash_refused = true;
  }
}

void Queue::hash_remove(Order& order, const std::byte* record) noexcept {
  if (order.hash == nullptr) return;
  const auto found = order.hash->find(order.comparator.hash(record));
  if (found == order.hash->end()) return;
  if (--found->second == 0) order.hash->erase(found);
}

void Queue::count_use(Order& order) noexcept {
  const ComparatorKind kind = order.comparator.kind();
  // An exact sort prefix finds keys as fast as a hash would.
  if (kind != ComparatorKind::Fields || order.hash_refused || order.comparator.prefix_exact()) {
    return;
  }
  if (++order.uses <= kHashAfterUses || order.handles.size() <= kHashFromEntries) return;
  const Comparator& comparator = order.comparator;
  const bool narrow = comparator.field_count() == 1 && comparator.width() <= 4;
  if (!narrow && comparator.width() <= 16) return;
  try {
    order.hash = new std::unordered_map<std::uint32_t, std::uint32_t>();
    order.hash->reserve(order.handles.size());
    for (std::size_t i = 0; i < order.handles.size(); ++i) {
      ++(*order.hash)[comparator.hash(entry_bytes(order.handles.at(i)))];
    }
  } catch (...) {
    drop_hash(order);
    order.hash_refused = true;
    return;
  }
  // Few distinct hashes make the index useless: stay with the plain comparator.
  if (order.hash->size() * 8 < order.handles.size()) {
    drop_hash(order);
    order.hash_refused = true;
    return;
  }
  order.comparator.set_hashed(true);
}

// ---- Searches.

std::size_t Queue::upper_bound(const Order& order, const Comparator& comparator,
                               const std::byte* value) noexcept {
  // Only the order's own comparator is known to be monotone over it.
  if (&comparator != &order.comparator) {
    return order.handles.halving_search(
        [&](const Entry* entry) { return comparator.compare(value, entry_bytes(entry)) >= 0; });
  }
  if (order.handles.keyed()) {
    const std::uint64_t key = comparator.prefix(value);
    const bool exact = comparator.prefix_exact();
    return order.handles
        .partition_point_keyed([&](std::uint64_t other, const HandleBlock* block,
                                   std::uint32_t slot) {
          if (key != other) return key > other;
          return exact ||
                 comparator.compare(value, entry_bytes(HandleArray::handle_in(block, slot))) >= 0;
        })
        .index;
  }
  return order.handles.partition_point(
      [&](const Entry* entry) { return comparator.compare(value, entry_bytes(entry)) >= 0; });
}

std::size_t Queue::lower_bound(const Order& order, const Comparator& comparator,
                               const std::byte* value) noexcept {
  if (&comparator == &order.comparator && order.handles.keyed()) {
    return keyed_lower_bound(order, value).index;
  }
  return order.handles.partition_point(
      [&](const Entry* entry) { return comparator.compare(value, entry_bytes(entry)) > 0; });
}

Found Queue::keyed_lower_bound(const Order& order, const std::byte* value) noexcept {
  const Comparator& comparator = order.comparator;
  const std::uint64_t key = comparator.prefix(value);
  const bool exact = comparator.prefix_exact();
  return order.handles.partition_point_keyed(
      [&](std::uint64_t other, const HandleBlock* block, std::uint32_t slot) {
        if (key != other) return key > other;
        return !exact &&
               comparator.compare(value, entry_bytes(HandleArray::handle_in(block, slot))) > 0;
      });
}

std::size_t Queue::locate(Order& order, const Entry* entry) noexcept {
  HandleArray& handles = order.handles;
  if (handles.tracks()) return handles.index_of_tracked(entry);
  std::size_t from = 0;
  if (!order.comparator.natural()) {
    const std::byte* value = store_.bytes(*entry, locate_scratch_);
    from = lower_bound(order, order.comparator, value);
  }
  const std::size_t found = handles.find_from(entry, from);
  // An inconsistent procedure may have left the entry before its key place.
  return found < handles.size() || from == 0 ? found : handles.find_from(entry, 0);
}

std::size_t Queue::current_index() noexcept {
  if (current_ == nullptr) return queue_order_->handles.size();
  return locate(*queue_order_, current_);
}

// ---- Keys.

ErrorCode Queue::build_key(const KeySource& source, KeyPlan& key) noexcept {
  key = KeyPlan{};
  const std::uint32_t fields = layout_.field_count();
  if (source.kind == KeySource::Kind::Procedure) {
    key.kind = ComparatorKind::Procedure;
    key.procedure = source.procedure;
    return ErrorCode::None;
  }
  if (source.kind == KeySource::Kind::Numbers) {
    for (const std::int32_t* number = source.numbers;
         number != nullptr && *number != 0 && key.count < kMaxKeyFields; ++number) {
      const std::int64_t magnitude = *number < 0 ? -std::int64_t{*number} : *number;
      if (magnitude > fields) return ErrorCode::InvalidFieldType;
      key.numbers[key.count++] = *number;
    }
  } else {
    std::string_view rest = source.text;
    auto separator = [](char c) {
      return c == ',' || c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f' || c == '\v';
    };
    while (key.count < kMaxKeyFields) {
      while (!rest.empty() && separator(rest.front()))
        rest.remove_prefix(1);
      if (rest.empty()) break;
      std::size_t length = 0;
      while (length < rest.size() && !separator(rest[length]))
        ++length;
      std::string_view token = rest.substr(0, length);
      rest.remove_prefix(length);
      bool descending = false;
      if (token.front() == '-' || token.front() == '+') {
        descending = token.front() == '-';
        token.remove_prefix(1);
      }
      if (names_ == nullptr && type_ != nullptr) {
        const auto* type = static_cast<const unsigned char*>(type_);
        const class_descriptor* walked = runtime::cached_class_descriptor(type);
        if (walked == nullptr) return ErrorCode::NoMemory;
        names_ = new class_descriptor(type, walked->stream_length(), true);
        if (names_ != nullptr && names_->damaged()) {
          delete std::exchange(names_, nullptr);  // the same stream walked well without names
        }
        if (names_ == nullptr) return ErrorCode::NoMemory;
      }
      char name[kMaxKeyText + 1];
      const std::size_t kept = std::min(token.size(), kMaxKeyText);
      std::memcpy(name, token.data(), kept);
      name[kept] = '\0';
      // FieldNum reports an unknown name through its error operation; the queue answers 75.
      const std::uint32_t number = names_ == nullptr ? 0 : names_->FieldNum(name);
      if (number == 0 || number > fields) return ErrorCode::InvalidFieldType;
      key.numbers[key.count++] =
          descending ? -static_cast<std::int32_t>(number) : static_cast<std::int32_t>(number);
    }
  }
  if (key.count != 0) key.kind = ComparatorKind::Fields;
  return ErrorCode::None;
}

bool Queue::select_key(const KeyPlan& key) noexcept {
  if (key.kind == ComparatorKind::Natural) {
    move_to_head(queue_order_);
    return false;
  }
  if (pending_.has_value() && pending_->same_key(key)) return true;
  for (std::uint32_t slot = 0; slot < order_count_; ++slot) {
    if (orders_[slot]->comparator.key().same_key(key)) {
      move_to_head(orders_[slot]);
      pending_.reset();  // a key built for an earlier statement that never ran
      return true;
    }
  }
  pending_ = key;
  return true;
}

ErrorCode Queue::sort_order(Order& order, const Comparator& comparator) noexcept {
  const std::size_t count = order.handles.size();
  HeapBlock items{platform::heap_allocate(count * sizeof(KeyedHandle))};
  HeapBlock scratch{platform::heap_allocate(count * sizeof(KeyedHandle))};
  if (count != 0 && (items.block == nullptr || scratch.block == nullptr)) {
    return ErrorCode::NoMemory;
  }
  auto* flat = static_cast<KeyedHandle*>(items.block);
  order.handles.copy_out(flat);
  const bool keyed = comparator.prefixed();
  if (keyed) {
    for (std::size_t i = 0; i < count; ++i)
      flat[i].key = comparator.prefix(entry_bytes(flat[i].entry));
    // Prefixes decide wherever they differ; the records are read only where they tie.
    const bool exact = comparator.prefix_exact();
    auto compare = [&](const KeyedHandle& value, const KeyedHandle& entry) {
      const int by_key = (value.key > entry.key) - (value.key < entry.key);
      if (by_key != 0 || exact) return by_key;
      return comparator.compare(store_.bytes(*value.entry, work_), entry_bytes(entry.entry));
    };
    merge_sort<true>(flat, count, static_cast<KeyedHandle*>(scratch.block), compare);
  } else {
    auto compare = [&](const KeyedHandle& value, const KeyedHandle& entry) {
      return comparator.compare(store_.bytes(*value.entry, work_), entry_bytes(entry.entry));
    };
    merge_sort(flat, count, static_cast<KeyedHandle*>(scratch.block), compare);
  }
  order.handles.write_back(flat, keyed);
  return ErrorCode::None;
}

ErrorCode Queue::materialise(Statement statement) noexcept {
  if (!pending_.has_value()) return ErrorCode::None;
  Comparator comparator;
  if (!comparator.build(*pending_, layout_, record_size_, type_)) return ErrorCode::NoMemory;
  Order* target = nullptr;
  bool fresh = false;
  if ((statement == Statement::Sort && queue_order_->comparator.natural()) ||
      (statement == Statement::Add && queue_order_->handles.empty())) {
    target = queue_order_;
  } else {
    if (order_count_ == kMaxOrders) {
      target = orders_[kMaxOrders - 1] == queue_order_ ? orders_[kMaxOrders - 2]
                                                       : orders_[kMaxOrders - 1];
    } else {
      target = new_order(false);
      if (target == nullptr) return ErrorCode::NoMemory;
      fresh = true;
    }
    // Copy and sort into a scratch order first, so that running out of memory changes nothing.
    Order* copy = fresh ? target : new_order(false);
    if (copy == nullptr) return ErrorCode::NoMemory;
    ErrorCode error =
        copy->handles.assign_copy(queue_order_->handles) ? ErrorCode::None : ErrorCode::NoMemory;
    if (error == ErrorCode::None) error = sort_order(*copy, comparator);
    if (error != ErrorCode::None) {
      destroy_order(copy);
      return error;
    }
    if (!fresh) {
      // The least recently used order takes over the copy's handles.
      target->handles.swap(copy->handles);
      destroy_order(copy);
    }
  }
  if (target == queue_order_) {
    const ErrorCode error = sort_order(*target, comparator);
    if (error != ErrorCode::None) return error;
  }
  drop_hash(*target);
  target->comparator = std::move(comparator);
  target->uses = 0;
  target->hash_refused = false;
  if (fresh) {
    for (std::uint32_t slot = order_count_; slot > 0; --slot)
      orders_[slot] = orders_[slot - 1];
    orders_[0] = target;
    ++order_count_;
  } else {
    move_to_head(target);
  }
  pending_.reset();
  return ErrorCode::None;
}

// ---- Statements.

ErrorCode Queue::add_entry(int mode, std::int32_t position) noexcept {
  for (std::uint32_t slot = 0; slot < order_count_; ++slot) {
    if (!orders_[slot]->handles.reserve_one()) return ErrorCode::NoMemory;
  }
  Entry* entry = store_.make(buffer_);  // normalises the buffer's string tails first
  if (entry == nullptr) return ErrorCode::NoMemory;
  const std::byte* value = buffer_;
  Order& queue = *queue_order_;
  for (std::uint32_t slot = 0; slot < order_count_; ++slot) {
    Order& order = *orders_[slot];
    if (&order == &queue) continue;
    order.handles.insert(upper_bound(order, order.comparator, value), entry, key_for(order, value));
    hash_add(order, value);
    count_use(order);
  }
  const std::size_t count = queue.handles.size();
  std::size_t index = count;
  if (mode == kKeyed) {
    Order& head = *orders_[0];
    index = upper_bound(queue, head.comparator, value);
    if (&head != &queue && !queue.comparator.natural()) make_natural(queue);
  } else {
    if (mode == kAtPosition && position >= 1 && static_cast<std::size_t>(position) <= count) {
      index = static_cast<std::size_t>(position) - 1;
    }
    if (!queue.comparator.natural() && index != upper_bound(queue, queue.comparator, value)) {
      make_natural(queue);
    }
  }
  queue.handles.insert(index, entry, key_for(queue, value));
  hash_add(queue, value);
  if (mode == kKeyed && &queue == orders_[0]) count_use(queue);
  current_ = entry;
  ++changes_;
  return ErrorCode::None;
}

ErrorCode Queue::add() noexcept { return add_entry(kAppend, 0); }

ErrorCode Queue::add_at(std::int32_t position) noexcept { return add_entry(kAtPosition, position); }

ErrorCode Queue::add_keyed(const KeyPlan& key) noexcept {
  if (!select_key(key)) return add_entry(kAppend, 0);
  const ErrorCode error = materialise(Statement::Add);
  return error != ErrorCode::None ? error : add_entry(kKeyed, 0);
}

ErrorCode Queue::get_at(std::int32_t position) noexcept {
  const HandleArray& handles = queue_order_->handles;
  if (position == 0) {
    current_ = nullptr;
    return ErrorCode::EntryNotFound;
  }
  if (position < 0 || static_cast<std::size_t>(position) > handles.size()) {
    return ErrorCode::EntryNotFound;
  }
  current_ = handles.at(static_cast<std::size_t>(position) - 1);
  store_.load(*current_, buffer_);
  return ErrorCode::None;
}

ErrorCode Queue::get_keyed(const KeyPlan& key) noexcept {
  if (!select_key(key)) return ErrorCode::EntryNotFound;
  const ErrorCode error = materialise(Statement::Get);
  if (error != ErrorCode::None) return error;
  Order& head = *orders_[0];
  if (head.handles.empty()) return ErrorCode::EntryNotFound;
  if (record_size_ != 0) std::memcpy(work_, buffer_, record_size_);
  count_use(head);
  Entry* found = nullptr;
  const Comparator& comparator = head.comparator;
  if (head.hash != nullptr && head.hash->count(comparator.hash(work_)) == 0) {
    // no entry has the key's hash
  } else if (head.handles.keyed()) {
    const Found place = keyed_lower_bound(head, work_);
    if (place.block != nullptr) {
      found = place.block->items[place.slot].entry;
      const bool equal = comparator.prefix_exact()
                             ? place.block->items[place.slot].key == comparator.prefix(work_)
                             : comparator.compare(work_, entry_bytes(found)) == 0;
      if (!equal) found = nullptr;
    }
  } else {
    const std::size_t index = lower_bound(head, comparator, work_);
    if (index < head.handles.size()) {
      found = head.handles.at(index);
      if (comparator.compare(work_, entry_bytes(found)) != 0) found = nullptr;
    }
  }
  current_ = found;
  if (found == nullptr) return ErrorCode::EntryNotFound;
  store_.load(*current_, buffer_);
  return ErrorCode::None;
}

ErrorCode Queue::put_entry(bool keyed) noexcept {
  Order& queue = *queue_order_;
  const std::size_t index = current_index();
  if (index >= queue.handles.size()) return ErrorCode::EntryNotFound;
  for (std::uint32_t slot = 0; slot < order_count_; ++slot) {
    if (!orders_[slot]->handles.reserve_one()) return ErrorCode::NoMemory;
  }
  std::byte* stored = store_.encode(buffer_);  // normalises the buffer's string tails first
  if (stored == nullptr) return ErrorCode::NoMemory;
  ++changes_;
  store_.load(*current_, previous_);
  for (std::uint32_t slot = 0; slot < order_count_; ++slot) {
    Order& order = *orders_[slot];
    order.marked = &order == &queue ? keyed : order.comparator.compare(buffer_, previous_) != 0;
    if (!order.marked) continue;
    order.handles.erase(&order == &queue ? index : locate(order, current_));
    hash_remove(order, previous_);
  }
  if (!keyed && queue.comparator.compare(buffer_, previous_) != 0) make_natural(queue);
  store_.replace(*current_, stored);
  Order& head = *orders_[0];
  for (std::uint32_t slot = 0; slot < order_count_; ++slot) {
    Order& order = *orders_[slot];
    if (!order.marked) continue;
    order.marked = false;
    if (&order == &queue) {
      const std::size_t place = upper_bound(order, head.comparator, buffer_);
      if (&head != &queue && !queue.comparator.natural()) make_natural(queue);
      order.handles.insert(place, current_, key_for(order, buffer_));
    } else {
      order.handles.insert(upper_bound(order, order.comparator, buffer_), current_,
                           key_for(order, buffer_));
    }
    hash_add(order, buffer_);
  }
  return ErrorCode::None;
}

ErrorCode Queue::put() noexcept { return put_entry(false); }

ErrorCode Queue::put_keyed(const KeyPlan& key) noexcept {
  if (!select_key(key)) return put_entry(false);
  const ErrorCode error = materialise(Statement::Put);
  return error != ErrorCode::None ? error : put_entry(true);
}

ErrorCode Queue::erase_current() noexcept {
  Order& queue = *queue_order_;
  const std::size_t index = current_index();
  if (index >= queue.handles.size()) return ErrorCode::EntryNotFound;
  const std::byte* record = store_.bytes(*current_, previous_);
  for (std::uint32_t slot = 0; slot < order_count_; ++slot) {
    Order& order = *orders_[slot];
    if (&order == &queue) continue;
    const std::size_t at = locate(order, current_);
    if (at < order.handles.size()) order.handles.erase(at);
    hash_remove(order, record);
  }
  queue.handles.erase(index);
  hash_remove(queue, record);
  if (display_entry_ == current_) display_entry_ = nullptr;
  store_.destroy(std::exchange(current_, nullptr));
  ++changes_;
  return ErrorCode::None;
}

ErrorCode Queue::sort(const KeyPlan& key) noexcept {
  if (!select_key(key)) return ErrorCode::None;
  const ErrorCode error = materialise(Statement::Sort);
  if (error != ErrorCode::None) return error;
  Order* head = orders_[0];
  Order* former = queue_order_;
  if (head != former) {
    former->handles.set_tracking(false);
    head->handles.set_tracking(true);
    queue_order_ = head;
    if (former->comparator.natural()) {
      remove_from_list(former);
      destroy_order(former);
    }
  }
  current_ = nullptr;
  ++changes_;
  return ErrorCode::None;
}

std::int32_t Queue::position(ErrorCode& error) noexcept {
  error = ErrorCode::None;
  const Order& queue = *queue_order_;
  const Comparator& comparator = queue.comparator;
  if (record_size_ != 0) std::memcpy(work_, buffer_, record_size_);
  const std::size_t below_or_equal = upper_bound(queue, comparator, work_);
  if (below_or_equal == 0) {
    error = ErrorCode::EntryNotFound;
    return 1;
  }
  current_ = queue.handles.at(below_or_equal - 1);
  if (comparator.compare(work_, entry_bytes(current_)) != 0) {
    error = ErrorCode::EntryNotFound;
    return static_cast<std::int32_t>(below_or_equal + 1);
  }
  std::size_t first = below_or_equal - 1;
  if (comparator.natural()) {
    // Natural orders are not sorted: the run of equal records that ends here.
    while (first > 0 && comparator.compare(work_, entry_bytes(queue.handles.at(first - 1))) == 0) {
      --first;
    }
  } else {
    first = lower_bound(queue, comparator, work_);
  }
  return static_cast<std::int32_t>(first + 1);
}

std::int32_t Queue::pointer() const noexcept {
  if (current_ == nullptr) return 0;
  const std::size_t index = const_cast<Queue*>(this)->current_index();
  return index < queue_order_->handles.size() ? static_cast<std::int32_t>(index + 1) : 0;
}

std::int32_t Queue::records() const noexcept {
  return static_cast<std::int32_t>(queue_order_->handles.size());
}

void Queue::destroy_entries() noexcept {
  // Plain entries own nothing beyond their slab.
  if (store_.mode() != StorageMode::Plain) {
    for (std::size_t i = 0; i < queue_order_->handles.size(); ++i)
      store_.destroy(queue_order_->handles.at(i));
  }
  store_.release_slabs();
}

void Queue::empty() noexcept {
  Order& queue = *queue_order_;
  destroy_entries();
  for (std::uint32_t slot = 0; slot < order_count_; ++slot) {
    if (orders_[slot] != &queue) destroy_order(std::exchange(orders_[slot], nullptr));
  }
  queue.handles.clear();
  make_natural(queue);
  orders_[0] = &queue;
  order_count_ = 1;
  pending_.reset();
  current_ = nullptr;
  display_entry_ = nullptr;
  ++changes_;
}

int Queue::load_display(std::int32_t position) noexcept {
  const HandleArray& handles = queue_order_->handles;
  if (position < 1 || static_cast<std::size_t>(position) > handles.size()) return 1;
  display_entry_ = handles.at(static_cast<std::size_t>(position) - 1);
  store_.load(*display_entry_, display_);
  return 0;
}

ErrorCode Queue::store_display() noexcept {
  if (display_entry_ == nullptr) return ErrorCode::EntryNotFound;
  std::byte* stored = store_.encode(display_);  // normalises the view's string tails first
  if (stored == nullptr) return ErrorCode::NoMemory;
  rewrite_keys(display_entry_, display_);
  store_.replace(*display_entry_, stored);
  return ErrorCode::None;
}

void Queue::rewrite_keys(Entry* entry, const std::byte* record) noexcept {
  const std::byte* old = store_.bytes(*entry, previous_);
  for (std::uint32_t slot = 0; slot < order_count_; ++slot) {
    Order& order = *orders_[slot];
    hash_remove(order, old);
    hash_add(order, record);
    if (!order.handles.keyed()) continue;
    const std::size_t index = locate(order, entry);  // by the contents still stored
    if (index < order.handles.size()) order.handles.set_key(index, order.comparator.prefix(record));
  }
}

Ufo* Queue::field_descriptor_of(bool display, std::uint32_t field) noexcept {
  if (field > layout_.field_count() || type_ == nullptr) return nullptr;
  Ufo**& fields = display ? display_fields_ : buffer_fields_;
  if (fields == nullptr) {
    const std::size_t bytes = (std::size_t{layout_.field_count()} + 1) * sizeof(Ufo*);
    fields = static_cast<Ufo**>(platform::heap_allocate(bytes));
    if (fields == nullptr) return nullptr;
    std::memset(fields, 0, bytes);
  }
  if (fields[field] == nullptr) {
    class_descriptor* descriptor =
        runtime::cached_class_descriptor(static_cast<const unsigned char*>(type_));
    fields[field] =
        runtime::field_value(descriptor, display ? display_ : buffer_, record_size_, field);
  }
  return fields[field];
}

// ---- The descriptor.

Queue* prepare_queue(KesQueueDescriptor* descriptor, ErrorCode& error) noexcept {
  error = ErrorCode::None;
  if (descriptor == nullptr) {
    error = ErrorCode::MemoryCorrupted;
    return nullptr;
  }
  if (descriptor->group != nullptr) return static_cast<Queue*>(descriptor->group);
  Queue* queue = Queue::create(*descriptor, error);
  descriptor->group = queue;
  return queue;
}

void free_queue(KesQueueDescriptor& descriptor) noexcept {
  Queue::destroy(static_cast<Queue*>(descriptor.group));
  descriptor.group = nullptr;
}

}  // namespace kes::data
