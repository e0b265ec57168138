// BSTR strings on the platform heap, with the code page 1252 mapping.
#include "runtime/ole/bstr.h"

#include <cstring>

#include "platform/core/heap.h"

namespace kes::runtime {
namespace {
constexpr std::size_t kPrefixBytes = sizeof(std::uint32_t);

// Code page 1252 bytes 80h to 9Fh; the five bytes the code page leaves unassigned map to the
// control characters of the same value, so every byte survives a round trip.
constexpr KesOleChar kHighControls[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,  // 80h
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,  // 88h
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,  // 90h
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,  // 98h
};

unsigned char* block_of(KesBStr bstr) noexcept {
  return reinterpret_cast<unsigned char*>(bstr) - kPrefixBytes;
}

bool is_high_surrogate(KesOleChar unit) noexcept { return unit >= 0xD800 && unit <= 0xDBFF; }
bool is_low_surrogate(KesOleChar unit) noexcept { return unit >= 0xDC00 && unit <= 0xDFFF; }

// Calls `emit(byte)` once per ANSI byte of the units.
template <typename Emit>
void for_each_ansi(const KesOleChar* units, std::uint32_t count, Emit emit) noexcept {
  for (std::uint32_t index = 0; index < count; ++index) {
    if (is_high_surrogate(units[index]) && index + 1 < count &&
        is_low_surrogate(units[index + 1])) {
      ++index;  // a pair stands for one character outside the code page
      emit('?');
    } else {
      emit(ansi_from_unit(units[index]));
    }
  }
}
}  // namespace

KesBStr bstr_allocate(const KesOleChar* units, std::uint32_t count) noexcept {
  if (count > kBStrMaxUnits || (units == nullptr && count != 0)) return nullptr;
  const std::size_t text_bytes = std::size_t{count} * sizeof(KesOleChar);
  auto* block = static_cast<unsigned char*>(
      platform::heap_allocate(kPrefixBytes + text_bytes + sizeof(KesOleChar)));
  if (block == nullptr) return nullptr;
  const auto byte_length = static_cast<std::uint32_t>(text_bytes);
  std::memcpy(block, &byte_length, kPrefixBytes);
  if (count != 0) std::memcpy(block + kPrefixBytes, units, text_bytes);
  std::memset(block + kPrefixBytes + text_bytes, 0, sizeof(KesOleChar));
  return reinterpret_cast<KesBStr>(block + kPrefixBytes);
}

void bstr_free(KesBStr bstr) noexcept {
  if (bstr != nullptr) platform::heap_free(block_of(bstr));
}

std::uint32_t bstr_units(KesBStr bstr) noexcept {
  if (bstr == nullptr) return 0;
  std::uint32_t byte_length = 0;
  std::memcpy(&byte_length, block_of(bstr), kPrefixBytes);
  return byte_length / static_cast<std::uint32_t>(sizeof(KesOleChar));
}

KesBStr bstr_copy(KesBStr bstr) noexcept {
  if (bstr == nullptr) return nullptr;
  return bstr_allocate(bstr, bstr_units(bstr));
}

char ansi_from_unit(KesOleChar unit) noexcept {
  if (unit < 0x80 || (unit >= 0xA0 && unit <= 0xFF)) return static_cast<char>(unit);
  for (std::size_t index = 0; index < std::size(kHighControls); ++index) {
    if (kHighControls[index] == unit) return static_cast<char>(0x80 + index);
  }
  return '?';
}

KesOleChar unit_from_ansi(char byte) noexcept {
  const auto value = static_cast<unsigned char>(byte);
  if (value >= 0x80 && value <= 0x9F) return kHighControls[value - 0x80];
  return value;
}

std::uint32_t bstr_ansi_length(KesBStr bstr) noexcept {
  std::uint32_t length = 0;
  for_each_ansi(bstr, bstr_units(bstr), [&length](char) { ++length; });
  return length;
}

AnsiText bstr_to_ansi(KesBStr bstr, bool* failed) noexcept {
  if (failed != nullptr) *failed = false;
  const std::uint32_t length = bstr_ansi_length(bstr);
  if (length == 0) return {nullptr, 0};
  auto* text = static_cast<char*>(platform::heap_allocate(length));
  if (text == nullptr) {
    if (failed != nullptr) *failed = true;
    return {nullptr, 0};
  }
  std::uint32_t written = 0;
  for_each_ansi(bstr, bstr_units(bstr), [&](char byte) { text[written++] = byte; });
  return {text, length};
}

KesBStr bstr_from_ansi(std::string_view text) noexcept {
  if (text.size() > kBStrMaxUnits) return nullptr;
  const auto count = static_cast<std::uint32_t>(text.size());
  if (count == 0) return bstr_allocate(nullptr, 0);
  auto* block = static_cast<unsigned char*>(
      platform::heap_allocate(kPrefixBytes + (std::size_t{count} + 1) * sizeof(KesOleChar)));
  if (block == nullptr) return nullptr;
  const std::uint32_t byte_length = count * static_cast<std::uint32_t>(sizeof(KesOleChar));
  std::memcpy(block, &byte_length, kPrefixBytes);
  auto* units = reinterpret_cast<KesOleChar*>(block + kPrefixBytes);
  for (std::uint32_t index = 0; index < count; ++index)
    units[index] = unit_from_ansi(text[index]);
  units[count] = 0;
  return units;
}

}  // namespace kes::runtime
