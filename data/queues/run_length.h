// The run-length code of stored queue records. Blocks start with a header whose top bit gives
// the kind (0x80 literal bytes follow, 0x00 one byte follows, repeated), then the count: up to 63
// in the header itself; up to 8,191 as kind | 0x40 | (count >> 8) and the low byte; up to 65,535
// as kind | 0x7F and 16 bits; above that kind | 0x70 and 32 bits, both little-endian.
//
// State: none.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

namespace kes::data {

// Encodes `record` into `code`, which has room for record.size() bytes. Literal bytes are
// collected until a run of 4 or more equal bytes (3 or more when the run ends the record).
// Returns the code's length, or 0 when the code would reach the record's own size (the record is
// then kept as it is).
std::size_t run_length_encode(std::span<const std::byte> record, std::byte* code) noexcept;

// Expands `code` into exactly record.size() bytes. False when the code is malformed, runs short
// of the record or would overrun it (the record's contents are then unspecified).
bool run_length_decode(std::span<const std::byte> code, std::span<std::byte> record) noexcept;

}  // namespace kes::data
