// Blocked handle arrays: insertion and removal move at most one block, block positions come from
// a Fenwick tree over the block counts. Entries' home links and blocks' ordinals are brought up
// to date only when a position is asked for after a bulk change.
#include "data/queues/handle_array.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <utility>

#include "platform/core/heap.h"

namespace kes::data {
namespace {

HandleBlock* new_block() noexcept {
  auto* block = static_cast<HandleBlock*>(platform::heap_allocate(sizeof(HandleBlock)));
  if (block != nullptr) {
    block->count = 0;
    block->ordinal = 0;
  }
  return block;
}

constexpr std::uint32_t kCopyFill = kBlockCapacity * 3 / 4;  // room left for later insertions
constexpr std::uint32_t kHalf = kBlockCapacity / 2;

}  // namespace

HandleArray::~HandleArray() {
  clear();
  platform::heap_free(spare_);
  platform::heap_free(blocks_);
  platform::heap_free(last_keys_);
  platform::heap_free(tree_);
  platform::heap_free(counts_);
}

std::size_t HandleArray::block_start(std::uint32_t block) const noexcept {
  std::size_t sum = 0;
  for (std::uint32_t i = block; i > 0; i &= i - 1)
    sum += tree_[i];
  return sum;
}

std::uint32_t HandleArray::block_of(std::size_t index, std::size_t& offset) const noexcept {
  std::uint32_t position = 0;
  std::size_t rest = index;
  std::uint32_t step = std::bit_floor(block_count_);
  for (; step != 0; step /= 2) {
    if (position + step <= block_count_ && tree_[position + step] <= rest) {
      position += step;
      rest -= tree_[position];
    }
  }
  offset = rest;
  return position;
}

void HandleArray::tree_add(std::uint32_t block, std::int64_t delta) noexcept {
  for (std::uint32_t i = block + 1; i <= block_count_; i += i & (~i + 1)) {
    tree_[i] = static_cast<std::uint32_t>(tree_[i] + delta);
  }
}

void HandleArray::rebuild_tree() noexcept {
  for (std::uint32_t i = 1; i <= block_count_; ++i)
    tree_[i] = counts_[i - 1];
  for (std::uint32_t i = 1; i <= block_count_; ++i) {
    const std::uint32_t parent = i + (i & (~i + 1));
    if (parent <= block_count_) tree_[parent] += tree_[i];
  }
}

bool HandleArray::grow_directory(std::uint32_t needed) noexcept {
  if (needed <= directory_capacity_) return true;
  const std::uint32_t capacity = needed < 16 ? 16 : needed + needed / 2;
  // Each array that grows stays grown; only the capacity all of them reach counts.
  void* blocks = platform::heap_reallocate(blocks_, capacity * sizeof(HandleBlock*));
  if (blocks == nullptr) return false;
  blocks_ = static_cast<HandleBlock**>(blocks);
  void* keys = platform::heap_reallocate(last_keys_, capacity * sizeof(std::uint64_t));
  if (keys == nullptr) return false;
  last_keys_ = static_cast<std::uint64_t*>(keys);
  void* tree = platform::heap_reallocate(tree_, (capacity + 1) * sizeof(std::uint32_t));
  if (tree == nullptr) return false;
  tree_ = static_cast<std::uint32_t*>(tree);
  void* counts = platform::heap_reallocate(counts_, capacity * sizeof(std::uint32_t));
  if (counts == nullptr) return false;
  counts_ = static_cast<std::uint32_t*>(counts);
  directory_capacity_ = capacity;
  return true;
}

bool HandleArray::reserve_one() noexcept {
  if (!grow_directory(block_count_ + 1)) return false;
  if (spare_ == nullptr) spare_ = new_block();
  return spare_ != nullptr;
}

void HandleArray::insert_block(std::uint32_t at, HandleBlock* block) noexcept {
  std::memmove(blocks_ + at + 1, blocks_ + at, (block_count_ - at) * sizeof(HandleBlock*));
  std::memmove(last_keys_ + at + 1, last_keys_ + at, (block_count_ - at) * sizeof(std::uint64_t));
  std::memmove(counts_ + at + 1, counts_ + at, (block_count_ - at) * sizeof(std::uint32_t));
  blocks_[at] = block;
  counts_[at] = block->count;
  ++block_count_;
  ordinals_valid_ = std::min(ordinals_valid_, at);
  rebuild_tree();
}

void HandleArray::remove_block(std::uint32_t at) noexcept {
  HandleBlock* block = blocks_[at];
  std::memmove(blocks_ + at, blocks_ + at + 1, (block_count_ - at - 1) * sizeof(HandleBlock*));
  std::memmove(last_keys_ + at, last_keys_ + at + 1,
               (block_count_ - at - 1) * sizeof(std::uint64_t));
  std::memmove(counts_ + at, counts_ + at + 1, (block_count_ - at - 1) * sizeof(std::uint32_t));
  --block_count_;
  ordinals_valid_ = std::min(ordinals_valid_, at);
  rebuild_tree();
  if (spare_ == nullptr) {
    block->count = 0;
    spare_ = block;
  } else {
    platform::heap_free(block);
  }
}

void HandleArray::rehome(HandleBlock* block) noexcept {
  for (std::uint32_t i = 0; i < block->count; ++i)
    block->items[i].entry->home = block;
}

Entry* HandleArray::at(std::size_t index) const noexcept {
  std::size_t offset = 0;
  const std::uint32_t block = block_of(index, offset);
  return blocks_[block]->items[offset].entry;
}

void HandleArray::insert(std::size_t index, Entry* entry, std::uint64_t key) noexcept {
  std::size_t offset = 0;
  std::uint32_t k = 0;
  if (block_count_ == 0 || (index >= size_ && counts_[block_count_ - 1] == kBlockCapacity)) {
    // Appending to a full last block starts a new one, so that appended arrays stay full.
    HandleBlock* fresh = std::exchange(spare_, nullptr);
    fresh->count = 0;
    k = block_count_;
    insert_block(k, fresh);
  } else if (index >= size_) {
    k = block_count_ - 1;
    offset = blocks_[k]->count;
  } else {
    k = block_of(index, offset);
    if (offset == 0 && k > 0 && counts_[k - 1] < kBlockCapacity) {
      --k;  // at a block boundary, append to the block before rather than shift this one
      offset = blocks_[k]->count;
    }
  }
  HandleBlock* block = blocks_[k];
  if (block->count == kBlockCapacity) {
    HandleBlock* upper = std::exchange(spare_, nullptr);
    std::memcpy(upper->items, block->items + kHalf, (kBlockCapacity - kHalf) * sizeof(KeyedHandle));
    upper->count = kBlockCapacity - kHalf;
    block->count = kHalf;
    counts_[k] = kHalf;
    insert_block(k + 1, upper);
    if (tracks_ && homes_valid_) rehome(upper);
    if (keyed_) {
      refresh_last_key(k);
      refresh_last_key(k + 1);
    }
    if (offset > kHalf) {
      block = upper;
      offset -= kHalf;
      ++k;
    }
  }
  const std::size_t moved = block->count - offset;
  std::memmove(block->items + offset + 1, block->items + offset, moved * sizeof(KeyedHandle));
  block->items[offset] = KeyedHandle{key, entry};
  if (keyed_ && moved == 0) last_keys_[k] = key;
  ++block->count;
  ++counts_[k];
  ++size_;
  tree_add(k, 1);
  if (tracks_ && homes_valid_) entry->home = block;
}

void HandleArray::erase(std::size_t index) noexcept {
  std::size_t offset = 0;
  const std::uint32_t k = block_of(index, offset);
  HandleBlock* block = blocks_[k];
  const std::size_t moved = block->count - offset - 1;
  std::memmove(block->items + offset, block->items + offset + 1, moved * sizeof(KeyedHandle));
  --block->count;
  --counts_[k];
  --size_;
  if (block->count == 0) {
    remove_block(k);
    return;
  }
  if (block->count < kBlockCapacity / 4 && k + 1 < block_count_ &&
      block->count + counts_[k + 1] <= kHalf) {
    HandleBlock* next = blocks_[k + 1];
    std::memcpy(block->items + block->count, next->items, next->count * sizeof(KeyedHandle));
    block->count += next->count;
    counts_[k] = block->count;
    next->count = 0;
    if (tracks_ && homes_valid_) rehome(block);
    remove_block(k + 1);  // rebuilds the tree with the new counts
    if (keyed_) refresh_last_key(k);
    return;
  }
  if (keyed_ && moved == 0) refresh_last_key(k);
  tree_add(k, -1);
}

void HandleArray::set_key(std::size_t index, std::uint64_t key) noexcept {
  std::size_t offset = 0;
  const std::uint32_t k = block_of(index, offset);
  blocks_[k]->items[offset].key = key;
  if (offset + 1 == blocks_[k]->count) last_keys_[k] = key;
}

std::size_t HandleArray::index_of_tracked(const Entry* entry) noexcept {
  if (!tracks_) return size_;
  if (!homes_valid_) {
    for (std::uint32_t k = 0; k < block_count_; ++k)
      rehome(blocks_[k]);
    homes_valid_ = true;
  }
  for (; ordinals_valid_ < block_count_; ++ordinals_valid_)
    blocks_[ordinals_valid_]->ordinal = ordinals_valid_;
  const HandleBlock* block = entry->home;
  if (block == nullptr || block->ordinal >= block_count_ || blocks_[block->ordinal] != block) {
    return size_;
  }
  for (std::uint32_t i = 0; i < block->count; ++i) {
    if (block->items[i].entry == entry) return block_start(block->ordinal) + i;
  }
  return size_;
}

std::size_t HandleArray::find_from(const Entry* entry, std::size_t from) const noexcept {
  if (from >= size_) return size_;
  std::size_t offset = 0;
  std::uint32_t k = block_of(from, offset);
  std::size_t index = from;
  for (; k < block_count_; ++k, offset = 0) {
    const HandleBlock* block = blocks_[k];
    for (std::size_t i = offset; i < block->count; ++i, ++index) {
      if (block->items[i].entry == entry) return index;
    }
  }
  return size_;
}

bool HandleArray::assign_copy(const HandleArray& other) noexcept {
  const std::size_t total = other.size_;
  const auto needed = static_cast<std::uint32_t>((total + kCopyFill - 1) / kCopyFill);
  auto** made =
      static_cast<HandleBlock**>(platform::heap_allocate((needed + 1) * sizeof(HandleBlock*)));
  if (made == nullptr) return false;
  std::uint32_t count = 0;
  for (; count < needed; ++count) {
    made[count] = new_block();
    if (made[count] == nullptr) break;
  }
  if (count < needed || !grow_directory(needed + 1)) {
    for (std::uint32_t i = 0; i < count; ++i)
      platform::heap_free(made[i]);
    platform::heap_free(made);
    return false;
  }
  clear();
  std::size_t copied = 0;
  for (std::uint32_t k = 0; k < other.block_count_; ++k) {
    const HandleBlock* source = other.blocks_[k];
    for (std::uint32_t i = 0; i < source->count; ++i, ++copied) {
      HandleBlock* target = made[copied / kCopyFill];
      target->items[target->count++] = source->items[i];
    }
  }
  for (std::uint32_t k = 0; k < needed; ++k) {
    blocks_[k] = made[k];
    counts_[k] = made[k]->count;
  }
  block_count_ = needed;
  size_ = total;
  keyed_ = false;
  homes_valid_ = false;
  ordinals_valid_ = 0;
  rebuild_tree();
  platform::heap_free(made);
  return true;
}

void HandleArray::copy_out(KeyedHandle* out) const noexcept {
  for (std::uint32_t k = 0; k < block_count_; ++k) {
    std::memcpy(out, blocks_[k]->items, blocks_[k]->count * sizeof(KeyedHandle));
    out += blocks_[k]->count;
  }
}

void HandleArray::write_back(const KeyedHandle* in, bool keyed) noexcept {
  keyed_ = keyed;
  for (std::uint32_t k = 0; k < block_count_; ++k) {
    std::memcpy(blocks_[k]->items, in, blocks_[k]->count * sizeof(KeyedHandle));
    in += blocks_[k]->count;
    if (keyed_) refresh_last_key(k);
  }
  homes_valid_ = false;
}

void HandleArray::set_tracking(bool tracks) noexcept {
  tracks_ = tracks;
  homes_valid_ = false;
}

void HandleArray::clear() noexcept {
  for (std::uint32_t k = 0; k < block_count_; ++k) {
    if (spare_ == nullptr) {
      spare_ = blocks_[k];
      spare_->count = 0;
    } else {
      platform::heap_free(blocks_[k]);
    }
  }
  block_count_ = 0;
  ordinals_valid_ = 0;
  size_ = 0;
  homes_valid_ = true;
}

void HandleArray::swap(HandleArray& other) noexcept {
  std::swap(blocks_, other.blocks_);
  std::swap(last_keys_, other.last_keys_);
  std::swap(tree_, other.tree_);
  std::swap(counts_, other.counts_);
  std::swap(block_count_, other.block_count_);
  std::swap(directory_capacity_, other.directory_capacity_);
  std::swap(spare_, other.spare_);
  std::swap(size_, other.size_);
  std::swap(keyed_, other.keyed_);
  ordinals_valid_ = 0;
  other.ordinals_valid_ = 0;
  homes_valid_ = false;
  other.homes_valid_ = false;
}

}  // namespace kes::data
