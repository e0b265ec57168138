// Blocked handle arrays: insertion and removal move at most one block, block positions come from
// a Fenwick tree over the block counts.
#include "data/queues/handle_array.h"

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

}  // namespace

HandleArray::~HandleArray() {
  clear();
  platform::heap_free(spare_);
  platform::heap_free(blocks_);
  platform::heap_free(tree_);
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
  std::uint32_t step = 1;
  while (step * 2 <= block_count_)
    step *= 2;
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
    tree_[i] = blocks_[i - 1]->count;
  for (std::uint32_t i = 1; i <= block_count_; ++i) {
    const std::uint32_t parent = i + (i & (~i + 1));
    if (parent <= block_count_) tree_[parent] += tree_[i];
  }
}

bool HandleArray::grow_directory(std::uint32_t needed) noexcept {
  if (needed <= directory_capacity_) return true;
  const std::uint32_t capacity = needed < 16 ? 16 : needed + needed / 2;
  void* blocks = platform::heap_reallocate(blocks_, capacity * sizeof(HandleBlock*));
  if (blocks == nullptr) return false;
  blocks_ = static_cast<HandleBlock**>(blocks);
  void* tree = platform::heap_reallocate(tree_, (capacity + 1) * sizeof(std::uint32_t));
  if (tree == nullptr) return false;  // the larger directory stays; its capacity does not count
  tree_ = static_cast<std::uint32_t*>(tree);
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
  blocks_[at] = block;
  ++block_count_;
  for (std::uint32_t i = at; i < block_count_; ++i)
    blocks_[i]->ordinal = i;
  rebuild_tree();
}

void HandleArray::remove_block(std::uint32_t at) noexcept {
  HandleBlock* block = blocks_[at];
  std::memmove(blocks_ + at, blocks_ + at + 1, (block_count_ - at - 1) * sizeof(HandleBlock*));
  --block_count_;
  for (std::uint32_t i = at; i < block_count_; ++i)
    blocks_[i]->ordinal = i;
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
    block->items[i]->home = block;
}

Entry* HandleArray::at(std::size_t index) const noexcept {
  std::size_t offset = 0;
  const std::uint32_t block = block_of(index, offset);
  return blocks_[block]->items[offset];
}

void HandleArray::insert(std::size_t index, Entry* entry) noexcept {
  if (block_count_ == 0) {
    HandleBlock* first = spare_;
    spare_ = nullptr;
    first->count = 0;
    insert_block(0, first);
  }
  std::size_t offset = 0;
  std::uint32_t k = 0;
  if (index >= size_) {
    k = block_count_ - 1;
    offset = blocks_[k]->count;
  } else {
    k = block_of(index, offset);
  }
  if (offset == 0 && k > 0 && blocks_[k - 1]->count < kBlockCapacity) {
    --k;  // at a block boundary, append to the block before rather than shift this one
    offset = blocks_[k]->count;
  }
  HandleBlock* block = blocks_[k];
  if (block->count == kBlockCapacity) {
    HandleBlock* upper = spare_;
    spare_ = nullptr;
    constexpr std::uint32_t kHalf = kBlockCapacity / 2;
    std::memcpy(upper->items, block->items + kHalf, (kBlockCapacity - kHalf) * sizeof(Entry*));
    upper->count = kBlockCapacity - kHalf;
    block->count = kHalf;
    insert_block(k + 1, upper);
    if (tracks_) rehome(upper);
    if (offset > kHalf) {
      block = upper;
      offset -= kHalf;
      ++k;
    }
  }
  std::memmove(block->items + offset + 1, block->items + offset,
               (block->count - offset) * sizeof(Entry*));
  block->items[offset] = entry;
  ++block->count;
  ++size_;
  tree_add(k, 1);
  if (tracks_) entry->home = block;
}

void HandleArray::erase(std::size_t index) noexcept {
  std::size_t offset = 0;
  const std::uint32_t k = block_of(index, offset);
  HandleBlock* block = blocks_[k];
  std::memmove(block->items + offset, block->items + offset + 1,
               (block->count - offset - 1) * sizeof(Entry*));
  --block->count;
  --size_;
  if (block->count == 0) {
    remove_block(k);
    return;
  }
  if (block->count < kBlockCapacity / 4 && k + 1 < block_count_ &&
      block->count + blocks_[k + 1]->count <= kBlockCapacity / 2) {
    HandleBlock* next = blocks_[k + 1];
    std::memcpy(block->items + block->count, next->items, next->count * sizeof(Entry*));
    block->count += next->count;
    next->count = 0;
    if (tracks_) rehome(block);
    remove_block(k + 1);  // rebuilds the tree with the new counts
    return;
  }
  tree_add(k, -1);
}

std::size_t HandleArray::index_of_tracked(const Entry* entry) const noexcept {
  const HandleBlock* block = entry->home;
  if (!tracks_ || block == nullptr || block->ordinal >= block_count_ ||
      blocks_[block->ordinal] != block) {
    return size_;
  }
  for (std::uint32_t i = 0; i < block->count; ++i) {
    if (block->items[i] == entry) return block_start(block->ordinal) + i;
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
      if (block->items[i] == entry) return index;
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
    made[k]->ordinal = k;
    if (tracks_) rehome(made[k]);
  }
  block_count_ = needed;
  size_ = total;
  rebuild_tree();
  platform::heap_free(made);
  return true;
}

void HandleArray::copy_out(Entry** out) const noexcept {
  for (std::uint32_t k = 0; k < block_count_; ++k) {
    std::memcpy(out, blocks_[k]->items, blocks_[k]->count * sizeof(Entry*));
    out += blocks_[k]->count;
  }
}

void HandleArray::write_back(Entry* const* in) noexcept {
  for (std::uint32_t k = 0; k < block_count_; ++k) {
    std::memcpy(blocks_[k]->items, in, blocks_[k]->count * sizeof(Entry*));
    in += blocks_[k]->count;
    if (tracks_) rehome(blocks_[k]);
  }
}

void HandleArray::set_tracking(bool tracks) noexcept {
  tracks_ = tracks;
  if (!tracks_) return;
  for (std::uint32_t k = 0; k < block_count_; ++k)
    rehome(blocks_[k]);
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
  size_ = 0;
}

void HandleArray::swap(HandleArray& other) noexcept {
  std::swap(blocks_, other.blocks_);
  std::swap(tree_, other.tree_);
  std::swap(block_count_, other.block_count_);
  std::swap(directory_capacity_, other.directory_capacity_);
  std::swap(spare_, other.spare_);
  std::swap(size_, other.size_);
  set_tracking(tracks_);
  other.set_tracking(other.tracks_);
}

}  // namespace kes::data
