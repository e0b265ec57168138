// Queue statements over the order list: key selection, materialising keys, ADD, GET, PUT,
// DELETE, SORT and POSITION.
#include "data/queues/queue.h"

#include <cstring>
#include <new>
#include <utility>

#include "data/queues/merge_sort.h"
#include "numeric/dates/date_calendar.h"
#include "platform/core/heap.h"

namespace kes::data {
namespace {

constexpr std::uint32_t kChangeSeedFactor = 0x189635Bu;  // 25,781,083
constexpr std::uint32_t kHashAfterUses = 64;
constexpr std::size_t kHashFromEntries = 32;

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
  if (queue_order_ != nullptr) {
    for (std::size_t i = 0; i < queue_order_->handles.size(); ++i) {
      store_.destroy(queue_order_->handles.at(i));
    }
  }
  for (std::uint32_t slot = 0; slot < order_count_; ++slot)
    destroy_order(orders_[slot]);
  platform::heap_free(work_);
  platform::heap_free(previous_);
  platform::heap_free(entry_scratch_);
  platform::heap_free(locate_scratch_);
}

Queue* Queue::create(const KesQueueDescriptor& descriptor, ErrorCode& error) noexcept {
  error = ErrorCode::None;
  if (descriptor.buffer == nullptr && descriptor.record_size != 0) {
    error = ErrorCode::MemoryCorrupted;
    return nullptr;
  }
  RecordLayout layout;
  if (descriptor.type != nullptr && layout_reader() != nullptr &&
      !layout_reader()(descriptor.type, descriptor.record_size, layout)) {
    error = ErrorCode::InvalidFieldType;
    return nullptr;
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
  queue->queue_order_ = queue->new_order(true);
  if (queue->work_ == nullptr || queue->previous_ == nullptr || queue->entry_scratch_ == nullptr ||
      queue->locate_scratch_ == nullptr || queue->queue_order_ == nullptr) {
    destroy(queue);
    error = ErrorCode::NoMemory;
    return nullptr;
  }
  queue->orders_[0] = queue->queue_order_;
  queue->order_count_ = 1;
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
  order.comparator = Comparator(KeySpec{}, layout_, record_size_, type_);
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
  if (kind != ComparatorKind::Fields || order.hash_refused) return;
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
  auto before = [&](const Entry* entry) {
    return comparator.compare(value, entry_bytes(entry)) >= 0;
  };
  // Only the order's own comparator is known to be monotone over it.
  return &comparator == &order.comparator ? order.handles.partition_point(before)
                                          : order.handles.halving_search(before);
}

std::size_t Queue::lower_bound(const Order& order, const Comparator& comparator,
                               const std::byte* value) noexcept {
  return order.handles.partition_point(
      [&](const Entry* entry) { return comparator.compare(value, entry_bytes(entry)) > 0; });
}

std::size_t Queue::locate(const Order& order, const Entry* entry) noexcept {
  const HandleArray& handles = order.handles;
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

ErrorCode Queue::build_key(const KeySource& source, KeySpec& key) const noexcept {
  key = KeySpec{};
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
      const std::uint32_t number = layout_.field_number(token);
      if (number == 0) return ErrorCode::InvalidFieldType;
      key.numbers[key.count++] =
          descending ? -static_cast<std::int32_t>(number) : static_cast<std::int32_t>(number);
    }
  }
  if (key.count != 0) key.kind = ComparatorKind::Fields;
  return ErrorCode::None;
}

bool Queue::select_key(const KeySpec& key) noexcept {
  if (key.kind == ComparatorKind::Natural) {
    key_active_ = false;
    move_to_head(queue_order_);
    return false;
  }
  key_active_ = true;
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
  if (count < 2) return ErrorCode::None;
  HeapBlock items{platform::heap_allocate(count * sizeof(Entry*))};
  HeapBlock scratch{platform::heap_allocate(count * sizeof(Entry*))};
  if (items.block == nullptr || scratch.block == nullptr) return ErrorCode::NoMemory;
  auto** flat = static_cast<Entry**>(items.block);
  order.handles.copy_out(flat);
  auto compare = [&](const Entry* value, const Entry* entry) {
    return comparator.compare(store_.bytes(*value, work_), entry_bytes(entry));
  };
  merge_sort(flat, count, static_cast<Entry**>(scratch.block), compare);
  order.handles.write_back(flat);
  return ErrorCode::None;
}

ErrorCode Queue::materialise(Statement statement) noexcept {
  if (!pending_.has_value()) return ErrorCode::None;
  const Comparator comparator(*pending_, layout_, record_size_, type_);
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
  target->comparator = comparator;
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
    order.handles.insert(upper_bound(order, order.comparator, value), entry);
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
  queue.handles.insert(index, entry);
  hash_add(queue, value);
  if (mode == kKeyed && &queue == orders_[0]) count_use(queue);
  current_ = entry;
  ++changes_;
  return ErrorCode::None;
}

ErrorCode Queue::add() noexcept {
  key_active_ = false;
  return add_entry(kAppend, 0);
}

ErrorCode Queue::add_at(std::int32_t position) noexcept {
  key_active_ = false;
  return add_entry(kAtPosition, position);
}

ErrorCode Queue::add_keyed(const KeySpec& key) noexcept {
  if (!select_key(key)) return add_entry(kAppend, 0);
  const ErrorCode error = materialise(Statement::Add);
  return error != ErrorCode::None ? error : add_entry(kKeyed, 0);
}

ErrorCode Queue::get_at(std::int32_t position) noexcept {
  key_active_ = false;
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

ErrorCode Queue::get_keyed(const KeySpec& key) noexcept {
  if (!select_key(key)) return ErrorCode::EntryNotFound;
  const ErrorCode error = materialise(Statement::Get);
  if (error != ErrorCode::None) return error;
  Order& head = *orders_[0];
  if (head.handles.empty()) return ErrorCode::EntryNotFound;
  if (record_size_ != 0) std::memcpy(work_, buffer_, record_size_);
  count_use(head);
  std::size_t index = head.handles.size();
  if (head.hash == nullptr || head.hash->count(head.comparator.hash(work_)) != 0) {
    index = lower_bound(head, head.comparator, work_);
  }
  if (index == head.handles.size() ||
      head.comparator.compare(work_, entry_bytes(head.handles.at(index))) != 0) {
    current_ = nullptr;
    return ErrorCode::EntryNotFound;
  }
  current_ = head.handles.at(index);
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
      order.handles.insert(upper_bound(order, head.comparator, buffer_), current_);
      if (&head != &queue && !queue.comparator.natural()) make_natural(queue);
    } else {
      order.handles.insert(upper_bound(order, order.comparator, buffer_), current_);
    }
    hash_add(order, buffer_);
  }
  return ErrorCode::None;
}

ErrorCode Queue::put() noexcept {
  key_active_ = false;
  return put_entry(false);
}

ErrorCode Queue::put_keyed(const KeySpec& key) noexcept {
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
  if (view_entry_ == current_) view_entry_ = nullptr;
  store_.destroy(std::exchange(current_, nullptr));
  ++changes_;
  return ErrorCode::None;
}

ErrorCode Queue::sort(const KeySpec& key) noexcept {
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

void Queue::empty() noexcept {
  Order& queue = *queue_order_;
  for (std::size_t i = 0; i < queue.handles.size(); ++i)
    store_.destroy(queue.handles.at(i));
  for (std::uint32_t slot = 0; slot < order_count_; ++slot) {
    if (orders_[slot] != &queue) destroy_order(std::exchange(orders_[slot], nullptr));
  }
  queue.handles.clear();
  make_natural(queue);
  orders_[0] = &queue;
  order_count_ = 1;
  pending_.reset();
  key_active_ = false;
  current_ = nullptr;
  view_entry_ = nullptr;
  ++changes_;
}

int Queue::load_view(std::int32_t position) noexcept {
  const HandleArray& handles = queue_order_->handles;
  if (position < 1 || static_cast<std::size_t>(position) > handles.size()) return 1;
  view_entry_ = handles.at(static_cast<std::size_t>(position) - 1);
  store_.load(*view_entry_, previous_);
  return 0;
}

ErrorCode Queue::store_view() noexcept {
  if (view_entry_ == nullptr) return ErrorCode::EntryNotFound;
  std::byte* stored = store_.encode(previous_);
  if (stored == nullptr) return ErrorCode::NoMemory;
  store_.replace(*view_entry_, stored);
  return ErrorCode::None;
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
