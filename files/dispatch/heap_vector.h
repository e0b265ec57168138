// A growable array of plain values on the runtime heap, for the file layer's registries: growing
// reports failure instead of throwing.
//
// State: each array is its owner's.
#pragma once

#include <cstddef>
#include <cstring>
#include <type_traits>

#include "platform/core/heap.h"

namespace kes::files {

template <typename T>
class HeapVector {
  static_assert(std::is_trivially_copyable_v<T>);

 public:
  HeapVector() noexcept = default;
  ~HeapVector() { clear(); }
  HeapVector(const HeapVector&) = delete;
  HeapVector& operator=(const HeapVector&) = delete;

  std::size_t size() const noexcept { return size_; }
  bool empty() const noexcept { return size_ == 0; }
  T& operator[](std::size_t index) noexcept { return items_[index]; }
  const T& operator[](std::size_t index) const noexcept { return items_[index]; }

  // Inserts at `index` (at most size()); false, nothing changed, when the heap is exhausted.
  bool insert(std::size_t index, const T& item) noexcept {
    if (size_ == capacity_) {
      const std::size_t capacity = capacity_ == 0 ? 8 : capacity_ * 2;
      void* grown = platform::heap_reallocate(items_, capacity * sizeof(T));
      if (grown == nullptr) return false;
      items_ = static_cast<T*>(grown);
      capacity_ = capacity;
    }
    std::memmove(items_ + index + 1, items_ + index, (size_ - index) * sizeof(T));
    items_[index] = item;
    ++size_;
    return true;
  }
  bool push_back(const T& item) noexcept { return insert(size_, item); }

  void erase(std::size_t index) noexcept {
    std::memmove(items_ + index, items_ + index + 1, (size_ - index - 1) * sizeof(T));
    --size_;
  }

  // Empties the array and releases its block.
  void clear() noexcept {
    platform::heap_free(items_);
    items_ = nullptr;
    size_ = 0;
    capacity_ = 0;
  }

  // Hands the items over to `other` (emptied first), leaving this array empty.
  void move_to(HeapVector& other) noexcept {
    other.clear();
    other.items_ = items_;
    other.size_ = size_;
    other.capacity_ = capacity_;
    items_ = nullptr;
    size_ = 0;
    capacity_ = 0;
  }

 private:
  T* items_ = nullptr;
  std::size_t size_ = 0;
  std::size_t capacity_ = 0;
};

}  // namespace kes::files
