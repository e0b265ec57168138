// Pictures (input: the picture, a line feed, the value text) format and deformat: nothing is
// written outside the destination, the result stays terminated within its 256 bytes.
#include <string>
#include <string_view>

#include <kestrel/pic_desc.h>
#include <kestrel/pictures.h>

#include "numeric/pictures/picture_engine.h"
#include "tests/fuzz/support/fuzz_check.h"

namespace {

using kes::fuzz::check;
constexpr std::size_t kGuard = 16;
constexpr char kGuardByte = '\x7f';

// A destination with guard bytes after `length` bytes.
struct Field {
  char bytes[300 + kGuard];
  std::uint32_t length;
  explicit Field(std::uint32_t n) : length(n) { std::memset(bytes, kGuardByte, sizeof bytes); }
  void check_guard() const {
    for (std::size_t i = length; i < sizeof bytes; ++i)
      check(bytes[i] == kGuardByte);
  }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size > 700) return 0;
  const auto [picture_text, value] = kes::fuzz::split_at(kes::fuzz::text_of(data, size), '\n');
  const std::string picture(picture_text);  // zero-terminated copy
  const kes::fuzz::StackDepths depths;

  PicDesc desc;
  desc.Init(picture.c_str());
  const int width = kes::numeric::picture_width(desc);
  check(width <= 255);
  check(desc.reserved == 0);
  check(Kes$getpicturewidth(picture.c_str()) == width);
  if (width == 0) check(desc.header == 0);

  // Formatting into destinations shorter, equal to and longer than the width.
  const std::uint8_t knob = value.empty() ? 0 : static_cast<std::uint8_t>(value[0]);
  const int wanted = width + knob % 7 - 3;  // up to three bytes short or long
  const auto length = static_cast<std::uint32_t>(wanted < 0 ? 0 : (wanted > 300 ? 300 : wanted));
  const std::string digits(value.substr(0, std::min<std::size_t>(value.size(), 280)));
  const int integer_digits[] = {static_cast<int>(digits.size()), knob - 128, 0, 2000000000,
                                -2000000000};
  for (int count : integer_digits) {
    Field field(length);
    desc.FormatPict(field.bytes, field.length, count, knob & 1, digits.c_str());
    field.check_guard();
    for (std::uint32_t i = static_cast<std::uint32_t>(width); i < length; ++i)
      check(field.bytes[i] == ' ');  // beyond the width only padding
  }
  {
    Field field(length);
    std::int32_t whole = 0;
    if (size > 0) std::memcpy(&whole, data, std::min<std::size_t>(size, sizeof whole));
    desc.StoreLong(field.bytes, field.length, whole);
    field.check_guard();
    double real = 0.0;
    if (size > 0) std::memcpy(&real, data, std::min<std::size_t>(size, sizeof real));
    desc.StoreReal(field.bytes, field.length, real);
    field.check_guard();
  }

  // Deformatting: a terminated result within the buffer.
  const char* result = desc.DeformatPict(value.data(), static_cast<std::uint32_t>(value.size()));
  check(std::strlen(result) < kes::numeric::kPictureResultCapacity);
  if (width == 0) check(result[0] == '\0');

  // The transfers leave both stacks as they found them.
  Kes$PushPictLong(static_cast<std::int32_t>(size) - 300, picture.c_str());
  check(kes::runtime::top_text().size() == static_cast<std::size_t>(width));
  (void)Kes$PopPictLong(picture.c_str());
  Kes$PushPictReal(picture.c_str(), static_cast<double>(knob) / 7.0);
  (void)Kes$PopPictReal(picture.c_str());
  Kes$DPushStringP(value.data(), static_cast<std::uint32_t>(value.size()), picture.c_str());
  Kes$PushPictDec(picture.c_str());
  kes::runtime::pop_discard();
  depths.check_kept();
  return 0;
}
