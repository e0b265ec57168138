// CRC-32 of the IEEE 802.3 polynomial in its reflected form (EDB88320h), as zip and gzip files
// use it. Pure functions; the lookup tables are constants and the processor check is made once.
#pragma once

#include <cstdint>
#include <span>

namespace kes::numeric {

// Continues the CRC register `crc` over `bytes`: for each byte,
// crc = table[(crc ^ byte) & 255] ^ (crc >> 8). No initial or final inversion is applied; callers
// start from FFFFFFFFh and complement the result to get the usual check value. Uses carry-less
// multiplication where the processor has it, table slicing otherwise; both give the same bits.
std::uint32_t crc32_update(std::uint32_t crc, std::span<const std::uint8_t> bytes) noexcept;

// The table-slicing path alone, eight bytes a step.
std::uint32_t crc32_update_portable(std::uint32_t crc,
                                    std::span<const std::uint8_t> bytes) noexcept;

}  // namespace kes::numeric
