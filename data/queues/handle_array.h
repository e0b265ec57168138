// The handle array behind every queue order: entry handles in positional order, kept in blocks
// so that an insertion or removal moves at most one block's handles and the positions of the
// blocks are found through a prefix-count tree, never by moving the whole array.
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

inline constexpr std::uint32_t kBlockCapacity = 512;

struct HandleBlock {
  std::uint32_t count;
  std::uint32_t ordinal;  // index of the block in its array's directory
  Entry* items[kBlockCapacity];
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

  // Inserts at `index`, [0, size()]; reserve_one() must have answered true since the last insert.
  void insert(std::size_t index, Entry* entry) noexcept;

  // Removes the handle at `index`, [0, size()); the entry itself is left alone.
  void erase(std::size_t index) noexcept;

  // The first index whose handle does not satisfy `before`, for a predicate that holds for a
  // prefix of the array (binary search over the blocks, then within one). For a predicate that
  // is not monotone the answer is still an index in [0, size()].
  template <typename Before>
  std::size_t partition_point(Before before) const noexcept;

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
  std::size_t index_of_tracked(const Entry* entry) const noexcept;

  // Index of `entry` at or after `from`, scanning forward; size() when not found.
  std::size_t find_from(const Entry* entry, std::size_t from) const noexcept;

  // Replaces the contents by a copy of `other`'s handles; false (unchanged) when out of memory.
  bool assign_copy(const HandleArray& other) noexcept;

  // Copies every handle out, in order, into `out` (size() of them); write_back stores as many
  // handles back into the same places (the block structure is kept, so it cannot fail).
  void copy_out(Entry** out) const noexcept;
  void write_back(Entry* const* in) noexcept;

  // Starts or stops maintaining the entries' `home` links.
  void set_tracking(bool tracks) noexcept;
  bool tracks() const noexcept { return tracks_; }

  // Removes every handle and releases the blocks.
  void clear() noexcept;

  // Exchanges the handles (and blocks) of two arrays; each keeps its own tracking setting.
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

  HandleBlock** blocks_ = nullptr;
  std::uint32_t* tree_ = nullptr;  // Fenwick tree of block counts, 1-based
  std::uint32_t block_count_ = 0;
  std::uint32_t directory_capacity_ = 0;
  HandleBlock* spare_ = nullptr;
  std::size_t size_ = 0;
  bool tracks_;
};

template <typename Before>
std::size_t HandleArray::partition_point(Before before) const noexcept {
  std::uint32_t low = 0;
  std::uint32_t high = block_count_;
  while (low < high) {
    const std::uint32_t middle = low + (high - low) / 2;
    const HandleBlock* block = blocks_[middle];
    if (before(block->items[block->count - 1])) {
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
    if (before(block->items[middle])) {
      first = middle + 1;
    } else {
      last = middle;
    }
  }
  return block_start(low) + first;
}

}  // namespace kes::data
