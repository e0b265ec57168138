// Fuzzes the REAL conversions, BFLOAT storage, CRC-32 and RANDOM with arbitrary bit patterns:
// every result stays within the bounds its header states and round trips hold.
#include <algorithm>
#include <cmath>
#include <utility>

#include <kestrel/maths.h>
#include <kestrel/storage.h>
#include <kestrel/string_stack.h>

#include "numeric/maths/random.h"
#include "tests/fuzz/support/fuzz_check.h"

namespace {

using kes::fuzz::check;

void check_conversions(double x, double y) {
  check(Kes$realdistinct(x, y) == Kes$realdistinct(y, x));
  check(Kes$realdistinct(x, x) == (std::isnan(x) ? 1 : 0));
  const std::int32_t whole = Kes$lroundd(x);
  if (std::isfinite(x) && x > -2147483649.0 && x < 2147483648.0) {
    const double truncated = std::trunc(x);
    const double step = x < 0 ? -1.0 : 1.0;
    check(whole == truncated || whole == truncated + step);
  } else {
    check(whole == INT32_MIN);
  }
  (void)Kes$uroundd(x);
  (void)Kes$lroundf(static_cast<float>(y));
  (void)Kes$uroundf(static_cast<float>(y));
  (void)Kes$ROUND(x, y);
  (void)Kes$divide(x, y);
  (void)Kes$modulus(x, y);
  (void)Kes$BSHIFT(static_cast<std::int32_t>(whole), Kes$lroundd(y));

  KesTextPair text{nullptr, 0};
  Kes$realtostr(&text, x);
  check(text.pointer != nullptr && text.length >= 1 && text.length <= 24);
  Kes$freestr(&text);
}

void check_bfloat(const std::uint8_t (&head)[16]) {
  std::uint8_t eight[8];
  std::memcpy(eight, head, 8);
  const double loaded = Kes$bloadfloat(eight);
  std::uint8_t again[8];
  Kes$bstorefloat(again, loaded);
  if (loaded != 0.0) {
    eight[0] &= 0xF8;  // the three bits below the REAL's fraction are not kept
    check(std::memcmp(eight, again, 8) == 0);
  }
  std::uint8_t four[4];
  std::memcpy(four, head, 4);
  const double loaded4 = Kes$bloadfloat4(four);
  std::uint8_t again4[4];
  Kes$bstorefloat4(again4, loaded4);
  if (loaded4 != 0.0) check(std::memcmp(four, again4, 4) == 0);
}

void check_crc(const std::uint8_t* data, std::size_t size) {
  const auto length = static_cast<std::uint32_t>(size);
  const std::uint32_t whole = Kes$crc32(data, length, 0xFFFFFFFFu);
  const std::uint32_t split = size == 0 ? 0 : data[0] % length;
  const std::uint32_t first = Kes$crc32(data, split, 0xFFFFFFFFu);
  check(Kes$crc32(data + split, length - split, first) == whole);
}

void check_random(double x, double y) {
  kes::numeric::seed_random(static_cast<std::uint32_t>(Kes$uroundd(x)));
  std::int32_t low = Kes$lroundd(x);
  std::int32_t high = Kes$lroundd(y);
  if (low > high) std::swap(low, high);
  for (int draw = 0; draw < 8; ++draw) {
    const std::int32_t value = Kes$RANDOM(low, high);
    check(value >= low && value <= high);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size > 1 << 16) return 0;
  std::uint8_t head[16] = {};  // the first 16 bytes, zeros past the input's end
  if (size > 0) std::memcpy(head, data, std::min<std::size_t>(size, sizeof head));
  double x;
  double y;
  std::memcpy(&x, head, 8);
  std::memcpy(&y, head + 8, 8);
  check_conversions(x, y);
  check_bfloat(head);
  check_crc(data, size);
  check_random(x, y);
  return 0;
}
