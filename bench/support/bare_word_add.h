// The least an addition over the digit row can do, compiled apart so that it is never inlined:
// words first to last of two rows added eight digits at a time with the carry bias, and nothing
// else (no alignment, no signs, no range). The decimal benchmarks time it beside the engine's
// addition as the floor of any word-by-word addition over this layout.
//
// State: none.
#pragma once

#include <cstdint>

extern "C" void kes_bench_bare_word_add(std::uint8_t* left, const std::uint8_t* right, int first,
                                        int last) noexcept;
