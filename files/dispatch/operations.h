// The driver operations: their trace names and the state masks each one checks and changes.
//
// State: constant tables.
#pragma once

#include <cstdint>
#include <string_view>

namespace kes::files {

inline constexpr std::int32_t kLastOperation = 104;

// The six masks of an operation, in the order the state protocol applies them.
struct StateMasks {
  std::uint32_t activity;   // ORed into the activity word on success
  std::uint32_t required;   // bits that must be in the state word
  std::uint32_t forbidden;  // bits that must not be
  std::uint32_t set;        // set on success
  std::uint32_t cleared;    // cleared on success
  std::uint32_t failure;    // cleared on failure
};

// The masks of operation 1 to 104; null for any other number.
const StateMasks* state_masks(std::int32_t operation) noexcept;

// The trace name of an operation: "ADD", "(0)", "Internal87", ...; empty outside 0 to 104.
std::string_view operation_name(std::int32_t operation) noexcept;

}  // namespace kes::files
