// The internal queue object behind a queue descriptor: its entries, the queue order that
// positions count in, up to 16 orders kept sorted by the keys used most recently, the pending
// key, the change counter and the buffer views.
//
// Current entry: one per queue. ADD makes the new entry current, a successful GET or a POSITION
// that finds a place makes the entry it reaches current, GET by position 0, a GET by key without
// a match, DELETE, a keyed SORT and emptying the queue leave none. POINTER, PUT and DELETE work
// on it, located in the queue order.
//
// The object is the exported qgroup: list displays read it through the operations declared with
// that class, which use a display view of their own, so that a PUT between a display's load and
// its write-back cannot hand the display another record.
//
// State: none process-wide; each queue owns its object. A THREAD queue is one descriptor per
// thread (thread-local data of the thread layer), so each thread's copy starts with a null object
// and creates its own; the thread layer frees it with free_queue() when the thread's slot is
// released.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>
#include <unordered_map>

#include <kestrel/queues.h>
#include <kestrel/types.h>

#include "data/queues/comparator.h"
#include "data/queues/entry_store.h"
#include "data/queues/handle_array.h"
#include "data/queues/record_layout.h"
#include "files/errors/error_state.h"

namespace kes::data {

using files::ErrorCode;

inline constexpr std::uint32_t kMaxOrders = 16;

// One order: handles sorted by a comparator (or, for a natural queue order, in the order the
// statements left them). The handle array keeps the comparator's sort prefixes when it has them.
struct Order {
  explicit Order(bool tracks) noexcept : handles(tracks) {}
  HandleArray handles;
  Comparator comparator;
  std::uint32_t uses = 0;  // keyed lookups and insertions, for the switch to a hash index
  bool hash_refused = false;
  bool marked = false;  // during PUT: the entry must move in this order
  // Number of entries per key hash; present while the comparator is HashedFields.
  std::unordered_map<std::uint32_t, std::uint32_t>* hash = nullptr;
};

// A key as a statement passes it, before it is checked against the record.
struct KeySource {
  enum class Kind : std::uint8_t { Numbers, Text, Procedure } kind;
  const std::int32_t* numbers = nullptr;  // ended by 0; null reads as empty
  std::string_view text;
  KesQueueCompareProc procedure = nullptr;
};

class Queue : public qgroup {
 public:
  // Creates the object for a descriptor (record buffer, type descriptor, record size); the
  // change counter is seeded from CLOCK(). Null with `error` set when it cannot be made.
  static Queue* create(const KesQueueDescriptor& descriptor, ErrorCode& error) noexcept;
  static void destroy(Queue* queue) noexcept;

  Queue(const Queue&) = delete;
  Queue& operator=(const Queue&) = delete;

  // Reads a key against the record: 75 for a field number beyond the field count or an unknown
  // field name; at most 16 fields are read. 8 when the field names cannot be read for lack of
  // memory.
  ErrorCode build_key(const KeySource& source, KeyPlan& key) noexcept;

  ErrorCode add() noexcept;
  ErrorCode add_at(std::int32_t position) noexcept;
  ErrorCode add_keyed(const KeyPlan& key) noexcept;
  ErrorCode get_at(std::int32_t position) noexcept;
  ErrorCode get_keyed(const KeyPlan& key) noexcept;
  ErrorCode put() noexcept;
  ErrorCode put_keyed(const KeyPlan& key) noexcept;
  ErrorCode erase_current() noexcept;
  ErrorCode sort(const KeyPlan& key) noexcept;
  // Position of the buffer's key in the queue order, with 30 when no entry equals it.
  std::int32_t position(ErrorCode& error) noexcept;
  std::int32_t pointer() const noexcept;
  std::int32_t records() const noexcept;
  std::uint32_t changes() const noexcept { return changes_; }
  // Destroys every entry, order and the pending key; a new empty natural queue order.
  void empty() noexcept;

  // Read access for displays (the qgroup operations); the record buffer, the current entry and
  // the counter stay. Loads the entry at `position` into the display view: 1 (nothing loaded)
  // out of range.
  int load_display(std::int32_t position) noexcept;
  std::byte* display_bytes() noexcept { return display_; }
  // Writes the display view back into the entry it was loaded from, as a PUT stores it but
  // moving it in no order; 30 when that entry is gone, 8 when memory runs out.
  ErrorCode store_display() noexcept;
  // The queue's own descriptor of a field of the record buffer or of the display view; null
  // beyond the fields or when memory runs out.
  Ufo* field_descriptor_of(bool display, std::uint32_t field) noexcept;

  const RecordLayout& layout() const noexcept { return layout_; }
  std::byte* buffer() const noexcept { return buffer_; }
  std::uint32_t record_size() const noexcept { return record_size_; }
  StorageMode storage_mode() const noexcept { return store_.mode(); }
  // Inspection for tests and benchmarks.
  std::uint32_t order_count() const noexcept { return order_count_; }
  const Order& order(std::uint32_t slot) const noexcept { return *orders_[slot]; }
  const Order& queue_order() const noexcept { return *queue_order_; }
  bool has_pending_key() const noexcept { return pending_.has_value(); }
  const EntryStore& store() const noexcept { return store_; }

 private:
  enum class Statement : std::uint8_t { Add, Get, Put, Sort };

  Queue(const KesQueueDescriptor& descriptor, RecordLayout layout) noexcept;
  ~Queue();

  bool select_key(const KeyPlan& key) noexcept;  // false for an empty key
  ErrorCode materialise(Statement statement) noexcept;
  ErrorCode sort_order(Order& order, const Comparator& comparator) noexcept;
  ErrorCode add_entry(int mode, std::int32_t position) noexcept;
  ErrorCode put_entry(bool keyed) noexcept;

  Order* new_order(bool tracks) noexcept;
  void destroy_order(Order* order) noexcept;
  void move_to_head(Order* order) noexcept;
  void remove_from_list(Order* order) noexcept;
  void make_natural(Order& order) noexcept;
  void destroy_entries() noexcept;  // every entry and the slabs they live in
  std::uint64_t key_for(const Order& order, const std::byte* record) const noexcept {
    return order.handles.keyed() ? order.comparator.prefix(record) : 0;
  }
  // Brings the sort prefixes and hash counts kept for `entry` up to date with `record`, the
  // entry's new contents; called while the entry still holds the old ones.
  void rewrite_keys(Entry* entry, const std::byte* record) noexcept;
  void count_use(Order& order) noexcept;
  void hash_add(Order& order, const std::byte* record) noexcept;
  void hash_remove(Order& order, const std::byte* record) noexcept;
  void drop_hash(Order& order) noexcept;

  const std::byte* entry_bytes(const Entry* entry) noexcept {
    return store_.bytes(*entry, entry_scratch_);
  }
  std::size_t upper_bound(const Order& order, const Comparator& comparator,
                          const std::byte* value) noexcept;
  std::size_t lower_bound(const Order& order, const Comparator& comparator,
                          const std::byte* value) noexcept;
  // The lower bound of `value` in a keyed order by its own comparator.
  Found keyed_lower_bound(const Order& order, const std::byte* value) noexcept;
  // Index of the entry in the order; size() when it is not there.
  std::size_t locate(Order& order, const Entry* entry) noexcept;
  std::size_t current_index() noexcept;  // in the queue order; size() for none

  std::byte* buffer_;
  const void* type_;
  std::uint32_t record_size_;
  RecordLayout layout_;
  EntryStore store_;
  std::uint32_t changes_ = 0;
  Order* orders_[kMaxOrders] = {};
  std::uint32_t order_count_ = 0;
  Order* queue_order_ = nullptr;
  std::optional<KeyPlan> pending_;
  Entry* current_ = nullptr;
  Entry* display_entry_ = nullptr;
  std::byte* work_ = nullptr;           // the work view: the value being searched or placed
  std::byte* previous_ = nullptr;       // the previous-value view
  std::byte* display_ = nullptr;        // the display view
  std::byte* entry_scratch_ = nullptr;  // entries expanded for comparison
  std::byte* locate_scratch_ = nullptr;
  class_descriptor* names_ = nullptr;  // the record's field names, read on first use
  // Descriptors handed to displays: fields 0 to the field count, of the buffer and of the view.
  Ufo** buffer_fields_ = nullptr;
  Ufo** display_fields_ = nullptr;
};

// The object of a descriptor, created on first use. Null with `error` set: 7 for a null
// descriptor; the creation's error otherwise (the descriptor is then freed).
Queue* prepare_queue(KesQueueDescriptor* descriptor, ErrorCode& error) noexcept;
// Destroys the object and its entries; the descriptor's object word becomes null.
void free_queue(KesQueueDescriptor& descriptor) noexcept;

}  // namespace kes::data
