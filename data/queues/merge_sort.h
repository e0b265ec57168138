// The merge sort of queue orders. Equal keys keep their order within ranges of up to 9 entries
// (binary insertion: each entry goes after the last one that is not above it) and at the first
// merge point of two halves; when a merge switches between the halves again, an entry of the
// right half equal to the current left one goes first. Stored files and reports depend on this
// order, so it is kept exactly.
//
// State: none.
#pragma once

#include <cstddef>

namespace kes::data {

// `compare(a, b)` orders item a (taken as the value) against item b: negative, 0, positive.
// `scratch` has room for `count` items. An inconsistent comparison still ends, with every item
// present exactly once.
// With `antisymmetric` (compare(a, b) always the negation of compare(b, a), as for sort
// prefixes and field lists) the merge asks one question per item taken instead of two kinds,
// and gives the same order.
template <bool antisymmetric = false, typename Item, typename Compare>
void merge_sort(Item* items, std::size_t count, Item* scratch, Compare& compare) noexcept;

namespace sort_detail {

template <typename Item, typename Compare>
void insertion_sort(Item* items, std::size_t low, std::size_t high, Compare& compare) noexcept {
  for (std::size_t next = low + 1; next <= high; ++next) {
    Item entry = items[next];
    // after the last entry in low..next-1 that is not above it
    std::size_t first = low;
    std::size_t last = next;
    while (first < last) {
      const std::size_t middle = first + (last - first) / 2;
      if (compare(items[middle], entry) > 0) {
        last = middle;
      } else {
        first = middle + 1;
      }
    }
    for (std::size_t i = next; i > first; --i)
      items[i] = items[i - 1];
    items[first] = entry;
  }
}

// The merge's alternation, for any comparison: right entries while the current left entry is
// above or equal to them, then left entries while the current right entry is above or equal to
// them, and so on until one half is used up.
template <typename Item, typename Compare>
void merge_steps(Item* items, std::size_t& left, std::size_t middle, std::size_t& right,
                 std::size_t high, Item* scratch, std::size_t& out, Compare& compare) noexcept {
  for (;;) {
    // right entries while the current left entry is above or equal to them
    while (right <= high && compare(items[left], items[right]) >= 0) {
      scratch[out++] = items[right++];
    }
    if (right > high) break;
    // an entry above the left one came: the left entries it is above or equal to
    scratch[out++] = items[left++];
    while (left <= middle && compare(items[right], items[left]) >= 0) {
      scratch[out++] = items[left++];
    }
    if (left > middle) break;
  }
}

template <bool antisymmetric, typename Item, typename Compare>
void merge(Item* items, std::size_t low, std::size_t middle, std::size_t high, Item* scratch,
           Compare& compare) noexcept {
  const Item right_first = items[middle + 1];
  // the first entry of the left half above the right half's first entry
  std::size_t first = low;
  std::size_t last = middle + 1;
  while (first < last) {
    const std::size_t probe = first + (last - first) / 2;
    if (compare(items[probe], right_first) > 0) {
      last = probe;
    } else {
      first = probe + 1;
    }
  }
  if (first > middle) return;  // already in order
  std::size_t left = first;
  std::size_t right = middle + 1;
  std::size_t out = 0;
  scratch[out++] = items[right++];
  if constexpr (antisymmetric) {
    // While taking right entries, a right entry equal to the left one is taken; while taking
    // left entries, a left one equal to the right one is.
    // The choice is computed, not branched on: it is as unpredictable as the data.
    int least_order = 0;  // the order of left against right from which right is taken
    while (right <= high && left <= middle) {
      const int order = compare(items[left], items[right]);
      const std::size_t take_right = order >= least_order ? 1 : 0;
      const std::size_t mask = std::size_t{0} - take_right;
      scratch[out++] = items[left ^ ((left ^ right) & mask)];
      right += take_right;
      left += 1 - take_right;
      least_order = static_cast<int>(1 - take_right);
    }
  } else {
    merge_steps(items, left, middle, right, high, scratch, out, compare);
  }
  while (left <= middle)
    scratch[out++] = items[left++];
  for (std::size_t i = 0; i < out; ++i)
    items[first + i] = scratch[i];
}

template <bool antisymmetric, typename Item, typename Compare>
void sort_range(Item* items, std::size_t low, std::size_t high, Item* scratch,
                Compare& compare) noexcept {
  if (low >= high) return;
  if (high - low < 9) {
    insertion_sort(items, low, high, compare);
    return;
  }
  const std::size_t middle = low + (high - low) / 2;
  sort_range<antisymmetric>(items, low, middle, scratch, compare);
  sort_range<antisymmetric>(items, middle + 1, high, scratch, compare);
  merge<antisymmetric>(items, low, middle, high, scratch, compare);
}

}  // namespace sort_detail

template <bool antisymmetric, typename Item, typename Compare>
void merge_sort(Item* items, std::size_t count, Item* scratch, Compare& compare) noexcept {
  if (count > 1) sort_detail::sort_range<antisymmetric>(items, 0, count - 1, scratch, compare);
}

}  // namespace kes::data
