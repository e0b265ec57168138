// FromMem of the descriptor class the first byte picks: a read never passes the stream's end, a
// short stream changes nothing, and a fixed-size value writes back the bytes it read.
#include <kestrel/types.h>
#include <kestrel/ufo.h>
#include <kestrel/values.h>

#include "runtime/stack/string_stack.h"
#include "runtime/values/ufo_factory.h"
#include "tests/fuzz/support/fuzz_check.h"

namespace {

using kes::fuzz::check;

// The classes, and the size argument each is made with (DECIMAL(9,2) in 5 bytes).
struct Made {
  uint32_t code;
  uint32_t size;
};
constexpr Made kClasses[] = {{1, 0},  {2, 0},  {3, 0},      {4, 0},      {5, 0},  {6, 0},  {7, 0},
                             {8, 0},  {9, 0},  {10, 0x205}, {11, 0x205}, {13, 0}, {14, 0}, {18, 9},
                             {19, 9}, {20, 9}, {42, 0},     {43, 0},     {45, 0}};

bool fixed_bytes(uint32_t code) { return code <= 20; }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0 || size > 4096) return 0;
  const kes::fuzz::StackDepths depths;
  const std::size_t choice = data[0] % (std::size(kClasses) + 1);
  Ufo* ufo = choice < std::size(kClasses) ? kes::runtime::make_ufo(nullptr, kClasses[choice].code,
                                                                   kClasses[choice].size & 0xFF,
                                                                   kClasses[choice].size >> 8, true)
                                          : Kes$Long2Ufo(0);
  if (ufo == nullptr) return 0;
  vmem stream(data + 1, static_cast<uint32_t>(size - 1));
  while (stream.remaining() > 0) {
    uint8_t code = 0;
    stream.peek_byte(code);
    // Another type code ends the program by design; the stream stops there instead.
    const bool value = choice == std::size(kClasses);
    if (value ? (code != 6 && code != 9 && code != 10 && code != 18) : code != ufo->Type()) break;
    const uint32_t start = stream.position();
    const unsigned hash_before = ufo->Hash();
    if (!ufo->FromMem(stream)) {
      check(stream.ended());
      if (!value) check(ufo->Hash() == hash_before);
      break;
    }
    check(stream.position() > start);
    if (!value && fixed_bytes(ufo->Type())) {
      vmem written;
      ufo->ToMem(written);
      check(written.length() == stream.position() - start);
      check(std::memcmp(written.data(), stream.data() + start, written.length()) == 0);
    }
  }
  depths.check_kept();
  Kes$FreeUfo(ufo);
  return 0;
}
