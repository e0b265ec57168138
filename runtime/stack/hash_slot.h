// Choosing a slot from the hash a table stores. The name tables keep the hash their keys define
// (times five plus each byte), which gives neighbouring values for neighbouring keys such as
// numbered names; taken modulo the slot count as it is, such keys fill one long run of slots and
// linear probing walks it for every add and look-up. The slot comes from the hash mixed first,
// so that every bit of the hash moves the slot, and such keys spread over the whole table.
//
// State: none.
#pragma once

#include <cstdint>

namespace kes::runtime {

// An xor-shift-multiply finaliser: a bijection of 32-bit values in which each input bit flips
// about half of the output bits.
constexpr std::uint32_t mix_hash(std::uint32_t hash) noexcept {
  hash ^= hash >> 16;
  hash *= 0x85EBCA6Bu;
  hash ^= hash >> 13;
  hash *= 0xC2B2AE35u;
  hash ^= hash >> 16;
  return hash;
}

// The home slot of a hash in a table of `slot_count` slots (at least 1).
template <typename Count>
constexpr Count home_slot(std::uint32_t hash, Count slot_count) noexcept {
  return static_cast<Count>(mix_hash(hash) % slot_count);
}

}  // namespace kes::runtime
