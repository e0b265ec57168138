// What the fuzz targets share: the check that stops the run on a broken invariant, the input as
// text, little-endian readers of its bytes, and the stack depths a target must leave as found.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string_view>
#include <utility>

#include "numeric/decimal/decimal_stack.h"
#include "runtime/stack/string_stack.h"

namespace kes::fuzz {

// A broken invariant aborts, so that the fuzzer keeps the input.
inline void check(bool condition) {
  if (!condition) std::abort();
}

inline std::string_view text_of(const std::uint8_t* data, std::size_t size) {
  return {reinterpret_cast<const char*>(data), size};
}

// The text before the first `separator`, and the one after it (empty without a separator).
inline std::pair<std::string_view, std::string_view> split_at(std::string_view text,
                                                              char separator) {
  const std::size_t at = text.find(separator);
  if (at == std::string_view::npos) return {text, {}};
  return {text.substr(0, at), text.substr(at + 1)};
}

// The four bytes at `bytes`, least significant first.
inline std::uint32_t read_word(const std::uint8_t* bytes) {
  return bytes[0] | std::uint32_t{bytes[1]} << 8 | std::uint32_t{bytes[2]} << 16 |
         std::uint32_t{bytes[3]} << 24;
}
inline std::int32_t read_long(const std::uint8_t* bytes) {
  const std::uint32_t word = read_word(bytes);
  std::int32_t value = 0;
  std::memcpy(&value, &word, sizeof value);
  return value;
}

// The depths of the string and decimal stacks when made; `check_kept` checks both are back.
struct StackDepths {
  int strings = runtime::string_stack_depth();
  int decimals = numeric::decimal_depth();
  void check_kept() const {
    check(runtime::string_stack_depth() == strings && numeric::decimal_depth() == decimals);
  }
};

}  // namespace kes::fuzz
