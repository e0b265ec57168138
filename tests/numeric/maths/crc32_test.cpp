// CRC-32, differentially against zlib.
#include "numeric/maths/crc32.h"

#include <cstdint>
#include <random>
#include <span>
#include <vector>
#include <zlib.h>

#include <kestrel/maths.h>

#include <gtest/gtest.h>

namespace kes::numeric {
namespace {

std::uint32_t zlib_crc(std::uint32_t crc, const std::uint8_t* bytes, std::size_t length) {
  return static_cast<std::uint32_t>(crc32(crc, bytes, static_cast<uInt>(length)));
}

std::vector<std::uint8_t> random_bytes(std::size_t length, std::uint32_t seed) {
  std::mt19937 engine(seed);
  std::vector<std::uint8_t> bytes(length);
  for (std::uint8_t& byte : bytes) {
    byte = static_cast<std::uint8_t>(engine() >> 24);
  }
  return bytes;
}

TEST(Crc32, AppliesNoInversion) {
  EXPECT_EQ(Kes$crc32("", 0, 0x12345678u), 0x12345678u);
  EXPECT_EQ(Kes$crc32(nullptr, 0, 0xFFFFFFFFu), 0xFFFFFFFFu);
  EXPECT_EQ(Kes$crc32(nullptr, 100, 0xFFFFFFFFu), 0xFFFFFFFFu);
  // A zero register stays zero over zero bytes: the table's entry 0 is 0.
  const std::uint8_t zeros[100] = {};
  EXPECT_EQ(Kes$crc32(zeros, sizeof zeros, 0), 0u);
}

// Every length up to 4096, each at another of 32 alignments, through the export, the dispatching
// update and the portable one.
TEST(Crc32, MatchesZlibForEveryLengthAndAlignment) {
  const std::vector<std::uint8_t> bytes = random_bytes(4096 + 32, 1234);
  for (std::size_t length = 0; length <= 4096; ++length) {
    SCOPED_TRACE(length);
    const std::uint8_t* start = bytes.data() + length % 32;
    const std::uint32_t expected = zlib_crc(0, start, length);
    ASSERT_EQ(~Kes$crc32(start, static_cast<std::uint32_t>(length), 0xFFFFFFFFu), expected);
    ASSERT_EQ(~crc32_update(0xFFFFFFFFu, std::span(start, length)), expected);
    ASSERT_EQ(~crc32_update_portable(0xFFFFFFFFu, std::span(start, length)), expected);
  }
}

// zlib's crc32(crc, ...) continues from a finished (complemented) value; ours continues from the
// register, so the caller complements on the way in and out.
TEST(Crc32, ContinuesAcrossPieces) {
  const std::vector<std::uint8_t> bytes = random_bytes(1 << 20, 7);
  std::mt19937 engine(3);
  std::uint32_t ours = 0xFFFFFFFFu;
  std::size_t offset = 0;
  while (offset < bytes.size()) {
    const std::size_t piece = std::min<std::size_t>(engine() % 9000, bytes.size() - offset);
    ours = Kes$crc32(bytes.data() + offset, static_cast<std::uint32_t>(piece), ours);
    offset += piece;
  }
  EXPECT_EQ(~ours, zlib_crc(0, bytes.data(), bytes.size()));
}

}  // namespace
}  // namespace kes::numeric
