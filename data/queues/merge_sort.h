// The merge sort of queue orders. Equal keys keep their order within ranges of up to 9 entries
// (binary insertion: each entry goes after the last one that is not above it) and at the first
// merge point of two halves; when a merge switches between the halves again, an entry of the
// right half equal to the current left one goes first. Stored files and reports depend on this
// order, so it is kept exactly.
//
// State: none.
#pragma once

#include <cstddef>

#include "data/queues/handle_array.h"

namespace kes::data {

// `compare(a, b)` orders entry a (taken as the value) against entry b: negative, 0, positive.
// `scratch` has room for `count` handles. An inconsistent comparison still ends, with every
// handle present exactly once.
template <typename Compare>
void merge_sort(Entry** items, std::size_t count, Entry** scratch, Compare& compare) noexcept;

namespace sort_detail {

template <typename Compare>
void insertion_sort(Entry** items, std::size_t low, std::size_t high, Compare& compare) noexcept {
  for (std::size_t next = low + 1; next <= high; ++next) {
    Entry* entry = items[next];
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

template <typename Compare>
void merge(Entry** items, std::size_t low, std::size_t middle, std::size_t high, Entry** scratch,
           Compare& compare) noexcept {
  Entry* right_first = items[middle + 1];
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
  while (left <= middle)
    scratch[out++] = items[left++];
  for (std::size_t i = 0; i < out; ++i)
    items[first + i] = scratch[i];
}

template <typename Compare>
void sort_range(Entry** items, std::size_t low, std::size_t high, Entry** scratch,
                Compare& compare) noexcept {
  if (low >= high) return;
  if (high - low < 9) {
    insertion_sort(items, low, high, compare);
    return;
  }
  const std::size_t middle = low + (high - low) / 2;
  sort_range(items, low, middle, scratch, compare);
  sort_range(items, middle + 1, high, scratch, compare);
  merge(items, low, middle, high, scratch, compare);
}

}  // namespace sort_detail

template <typename Compare>
void merge_sort(Entry** items, std::size_t count, Entry** scratch, Compare& compare) noexcept {
  if (count > 1) sort_detail::sort_range(items, 0, count - 1, scratch, compare);
}

}  // namespace kes::data
