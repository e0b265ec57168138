// The handle array behind every queue order: entry handles in positional order, kept in blocks
// so that an insertion or removal moves at most one block's handles and the positions of the
// blocks are found through a prefix-count tree, never by moving the whole array. Beside each
// handle the array can keep its entry's sort prefix (see comparator.h), and beside each block
// the prefix of its last handle, so that a search reads entries only where prefixes tie.
//
// State: none process-wide; each order owns one array.
#pragma once

#include <cstddef>
#include <cstdint>

namespace kes::data {

struct HandleBlock;

// A stored entry. `home` is maintained only by the array that tracks its entries (the queue
// order), so that the position of an entry in that order is found without a search. `data` is
// the stored form (see entry_store.h).
struct Entry {
  HandleBlock* home;
  std::byte* data;
};

// A handle with its entry's sort prefix (meaningful while its array is keyed), side by side so
// that the search that reads a prefix finds the handle in the same cache line.
struct KeyedHandle {
  std::uint64_t key;
  Entry* entry;
};

inline constexpr std::uint32_t kBlockCapacity = 256;
inline constexpr std::uint32_t kHandlesPerLine = 64 / sizeof(KeyedHandle);  // per cache line

struct HandleBlock {
  std::uint32_t count;
  std::uint32_t ordinal;  // index of the block in its array's directory, when renumbered
  KeyedHandle items[kBlockCapacity];
};

// Where a keyed search ended: the index, and the block and slot of the handle there (null at the
// end of the array).
struct Found {
  std::size_t index;
  const HandleBlock* block;
  std::uint32_t slot;
};

class HandleArray {
 public:
  explicit HandleArray(bool tracks) noexcept : tracks_(tracks) {}
  HandleArray(const HandleArray&) = delete;
  HandleArray& operator=(const HandleArray&) = delete;
  ~HandleArray();

  std::size_t size() const noexcept { return size_; }
  bool empty() const noexcept { return size_ == 0; }

  // The handle at `index`, [0, size()).
  Entry* at(std::size_t index) const noexcept;

  // Makes sure that the next insert() cannot fail for lack of memory; false when the memory for
  // it could not be had (the array is unchanged).
  bool reserve_one() noexcept;

  // Inserts at `index`, [0, size()], with the entry's sort prefix (ignored unless keyed);
  // reserve_one() must have answered true since the last insert.
  void insert(std::size_t index, Entry* entry, std::uint64_t key) noexcept;

  // Removes the handle at `index`, [0, size()); the entry itself is left alone.
  void erase(std::size_t index) noexcept;

  // Replaces the sort prefix kept for the handle at `index`.
  void set_key(std::size_t index, std::uint64_t key) noexcept;

  // Whether sort prefixes are kept. Only write_back() makes an array keyed; unkeyed() drops them.
  bool keyed() const noexcept { return keyed_; }
  void unkeyed() noexcept { keyed_ = false; }

  // The first index whose handle does not satisfy `before(entry)`, for a predicate that holds
  // for a prefix of the array (binary search over the blocks' last handles, then within one).
  // For a predicate that is not monotone the answer is still an index in [0, size()].
  template <typename Before>
  std::size_t partition_point(Before before) const noexcept;

  // The same over a keyed array with `before(key, block, slot)`, which sees the sort prefix of
  // the handle in slot `slot` of `block` and reads the handle (handle_in()) only when it needs
  // the entry.
  static constexpr std::uint32_t kLastSlot = UINT32_MAX;  // the block's last handle
  static Entry* handle_in(const HandleBlock* block, std::uint32_t slot) noexcept {
    return block->items[slot == kLastSlot ? block->count - 1 : slot].entry;
  }
  template <typename Before>
  Found partition_point_keyed(Before before) const noexcept;

  // The same answer by a plain halving search over positions (midpoint rounded down), probe for
  // probe: for a predicate that is not monotone (a search by a key the array is not sorted by)
  // the answer is then the one a flat array of handles would give.
  template <typename Before>
  std::size_t halving_search(Before before) const noexcept {
    std::size_t low = 0;
    std::size_t high = size_;
    while (low < high) {
      const std::size_t middle = low + (high - low) / 2;
      if (before(at(middle))) {
        low = middle + 1;
      } else {
        high = middle;
      }
    }
    return low;
  }

  // Position of a handle in a tracking array, or size() when it is not there.
  std::size_t index_of_tracked(const Entry* entry) noexcept;

  // Index of `entry` at or after `from`, scanning forward; size() when not found.
  std::size_t find_from(const Entry* entry, std::size_t from) const noexcept;

  // Replaces the contents by a copy of `other`'s handles (unkeyed); false (unchanged) when out of
  // memory.
  bool assign_copy(const HandleArray& other) noexcept;

  // Copies every handle out, in order, into `out` (size() of them, keys as kept); write_back
  // stores as many handles back into the same places (the block structure is kept, so it cannot
  // fail), with their keys when `keyed`.
  void copy_out(KeyedHandle* out) const noexcept;
  void write_back(const KeyedHandle* in, bool keyed) noexcept;

  // Starts or stops maintaining the entries' `home` links.
  void set_tracking(bool tracks) noexcept;
  bool tracks() const noexcept { return tracks_; }

  // Removes every handle and releases the blocks.
  void clear() noexcept;

  // Exchanges the handles, blocks and keys of two arrays; each keeps its own tracking setting.
  void swap(HandleArray& other) noexcept;

 private:
  std::size_t block_start(std::uint32_t block) const noexcept;  // prefix count
  std::uint32_t block_of(std::size_t index, std::size_t& offset) const noexcept;
  void tree_add(std::uint32_t block, std::int64_t delta) noexcept;
  void rebuild_tree() noexcept;
  bool grow_directory(std::uint32_t needed) noexcept;
  void insert_block(std::uint32_t at, HandleBlock* block) noexcept;
  void remove_block(std::uint32_t at) noexcept;
  void rehome(HandleBlock* block) noexcept;
  void refresh_last_key(std::uint32_t block) noexcept {
    last_keys_[block] = blocks_[block]->items[blocks_[block]->count - 1].key;
  }

  HandleBlock** blocks_ = nullptr;
  std::uint64_t* last_keys_ = nullptr;  // prefix of each block's last handle, while keyed
  std::uint32_t* tree_ = nullptr;       // Fenwick tree of block counts, 1-based
  std::uint32_t* counts_ = nullptr;     // each block's count, for rebuilding the tree
  std::uint32_t block_count_ = 0;
  std::uint32_t directory_capacity_ = 0;
  std::uint32_t ordinals_valid_ = 0;  // blocks below this index know their ordinal
  HandleBlock* spare_ = nullptr;
  std::size_t size_ = 0;
  bool tracks_;
  bool homes_valid_ = true;  // every entry's home is right (while tracking)
  bool keyed_ = false;
};

template <typename Before>
std::size_t HandleArray::partition_point(Before before) const noexcept {
  std::uint32_t low = 0;
  std::uint32_t high = block_count_;
  while (low < high) {
    const std::uint32_t middle = low + (high - low) / 2;
    const HandleBlock* block = blocks_[middle];
    if (before(block->items[block->count - 1].entry)) {
      low = middle + 1;
    } else {
      high = middle;
    }
  }
  if (low == block_count_) return size_;
  const HandleBlock* block = blocks_[low];
  std::uint32_t first = 0;
  std::uint32_t last = block->count - 1;  // the block's last handle is known not to be before
  while (first < last) {
    const std::uint32_t middle = first + (last - first) / 2;
    if (before(block->items[middle].entry)) {
      first = middle + 1;
    } else {
      last = middle;
    }
  }
  return block_start(low) + first;
}

template <typename Before>
Found HandleArray::partition_point_keyed(Before before) const noexcept {
  std::uint32_t low = 0;
  std::uint32_t high = block_count_;
  while (low < high) {
    const std::uint32_t middle = low + (high - low) / 2;
    if (before(last_keys_[middle], blocks_[middle], kLastSlot)) {
      low = middle + 1;
    } else {
      high = middle;
    }
  }
  if (low == block_count_) return Found{size_, nullptr, 0};
  const HandleBlock* block = blocks_[low];
  // The search below reads its first three probes from lines fetched together, then the rest
  // of its range, fetched together too, rather than line after line.
  const std::uint32_t count = counts_[low];
  for (std::uint32_t eighth = 1; eighth < 8; ++eighth)
    __builtin_prefetch(block->items + eighth * count / 8);
  std::uint32_t first = 0;
  std::uint32_t last = count - 1;
  for (std::uint32_t probes = 0; first < last; ++probes) {
    if (probes == 3) {
      for (std::uint32_t slot = first; slot <= last; slot += kHandlesPerLine)
        __builtin_prefetch(block->items + slot);
    }
    const std::uint32_t middle = first + (last - first) / 2;
    if (before(block->items[middle].key, block, middle)) {
      first = middle + 1;
    } else {
      last = middle;
    }
  }
  return Found{block_start(low) + first, block, first};
}

}  // namespace kes::data
