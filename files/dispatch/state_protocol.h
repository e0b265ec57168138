// The operation state protocol: what a file's (or view's) state word must and must not hold
// before an operation, and how the operation changes it.
//
// State: none of its own; the words belong to the control blocks.
#pragma once

#include <cstdint>
#include <string_view>

namespace kes::files {

// The words an object carries: its state and activity words, and the own flag word of the key
// (or view) that holds bit 100h, null when there is none.
struct StateWords {
  std::uint32_t* state;
  std::uint32_t* activity;
  std::uint32_t* own_flags;
};

// Before an operation: 0 when it may go ahead, else the error number to post (-1 when the state
// has no better one). `position` is the RESET or REGET position text, null when there is none.
std::int32_t check_state(const StateWords& words, std::int32_t operation, const char* position,
                         std::size_t position_length) noexcept;

// After the operation, with the error it posted (0 for success).
void update_state(const StateWords& words, std::int32_t operation, std::int32_t error) noexcept;

}  // namespace kes::files
