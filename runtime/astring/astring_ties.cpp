// TIE, TIED and UNTIE: the (key, value) lists attached to AStrings and to the null AString.
#include <limits>

#include "platform/core/heap.h"
#include "runtime/astring/astring_table.h"
#include "runtime/fatal/fatal.h"

namespace kes::runtime {
namespace {

// Number of pairs before the end marker.
std::size_t pair_count(const TiePair* list) noexcept {
  std::size_t count = 0;
  if (list == nullptr) return 0;
  while (list[count].key != kTieListEnd)
    ++count;
  return count;
}

// Removes `key` from one list; -1 frees the list.
void untie_from(TiePair*& list, std::int32_t key) noexcept {
  if (list == nullptr) return;
  if (key == kTieListEnd) {
    platform::heap_free(list);
    list = nullptr;
    return;
  }
  std::size_t i = 0;
  while (list[i].key != kTieListEnd && list[i].key != key)
    ++i;
  if (list[i].key == kTieListEnd) return;
  // Moves the later pairs, the end marker included, down by one.
  for (; list[i].key != kTieListEnd; ++i)
    list[i] = list[i + 1];
}

}  // namespace

TiePair*& AStringTable::ties_of(const char* astring) noexcept {
  if (astring == nullptr) return null_ties_;
  return reinterpret_cast<AStringNodeHead*>(const_cast<char*>(astring) - kAStringTextOffset)->ties;
}

TiePair* AStringTable::ties_of(const char* astring) const noexcept {
  if (astring == nullptr) return null_ties_;
  return reinterpret_cast<const AStringNodeHead*>(astring - kAStringTextOffset)->ties;
}

std::int32_t AStringTable::tie(const char* astring, std::int32_t key, std::int32_t value) noexcept {
  if (key == 0) {
    if (automatic_key_ == std::numeric_limits<std::int32_t>::min()) {
      fatal(RuntimeError::Overflow, "TIE has run out of automatic keys");
    }
    key = --automatic_key_;
  }
  // -1 marks the end of a list; a pair with that key would hide every pair after it.
  if (key == kTieListEnd) return key;

  TiePair*& list = ties_of(astring);
  const std::size_t count = pair_count(list);
  for (std::size_t i = 0; i < count; ++i) {
    if (list[i].key == key) {
      list[i].value = value;
      return key;
    }
  }
  auto* grown =
      static_cast<TiePair*>(platform::heap_reallocate(list, (count + 2) * sizeof(TiePair)));
  if (grown == nullptr) return 0;
  grown[count] = TiePair{key, value};
  grown[count + 1] = TiePair{kTieListEnd, 0};
  list = grown;
  return key;
}

std::int32_t AStringTable::tied(const char* astring, std::int32_t key) const noexcept {
  const TiePair* list = ties_of(astring);
  if (list == nullptr) return 0;
  for (; list->key != kTieListEnd; ++list) {
    if (list->key == key) return list->value;
  }
  return 0;
}

void AStringTable::untie(const char* astring, std::int32_t key) noexcept {
  untie_from(ties_of(astring), key);
}

void AStringTable::untie_everywhere(std::int32_t key) noexcept {
  for (std::size_t i = 0; i < slot_count_; ++i) {
    if (slots_[i] != nullptr) untie_from(slots_[i]->ties, key);
  }
}

}  // namespace kes::runtime
