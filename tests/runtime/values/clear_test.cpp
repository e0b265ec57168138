// CLEAR's fill table byte for byte, for every type and the three codes.
#include <cstdio>
#include <cstring>
#include <string>

#include <kestrel/types.h>
#include <kestrel/ufo.h>
#include <kestrel/values.h>

#include <gtest/gtest.h>

namespace {

std::string hex(const unsigned char* bytes, size_t length) {
  std::string text;
  char pair[3];
  for (size_t index = 0; index < length; ++index) {
    std::snprintf(pair, sizeof(pair), "%02x", bytes[index]);
    text += pair;
  }
  return text;
}

struct FillRow {
  const char* name;
  uint32_t type;
  uint32_t size;  // bytes; the places byte is 0
  const char* low;
  const char* zero;
  const char* high;
};

// Storage starts as 77h bytes, so bytes a rule leaves alone show.
constexpr FillRow kFills[] = {
    {"String", 18, 4, "00000000", "20202020", "ffffffff"},
    {"Cstring", 19, 4, "00777777", "00777777", "ffffff00"},
    {"Pstring", 20, 4, "03000000", "00777777", "03ffffff"},
    {"Byte", 1, 1, "00", "00", "ff"},
    {"Short", 2, 2, "0080", "0000", "ff7f"},
    {"Ushort", 3, 2, "0000", "0000", "ffff"},
    {"Long", 6, 4, "00000080", "00000000", "ffffff7f"},
    {"Ulong", 7, 4, "00000000", "00000000", "ffffffff"},
    {"Date", 4, 4, "00000000", "00000000", "ffffffff"},
    {"Time", 5, 4, "00000000", "00000000", "633b3b17"},
    {"Sreal", 8, 4, "ffff7fff", "00000000", "ffff7f7f"},
    {"Real", 9, 8, "e3ffffffffffefff", "0000000000000000", "e3ffffffffffef7f"},
    {"Bfloat4", 13, 4, "ffffffff", "00000000", "ffff7fff"},
    {"Bfloat8", 14, 8, "ffffffffffffffff", "0000000000000000", "ffffffffffff7fff"},
    {"Decimal", 10, 3, "899999", "000000", "099999"},
    {"Pdecimal", 11, 3, "99999d", "00000f", "99999f"},
};

TEST(ClearFillTable, EveryTypeAndCode) {
  for (const FillRow& row : kFills) {
    const struct {
      int8_t fill;
      const char* bytes;
    } codes[] = {{-1, row.low}, {0, row.zero}, {1, row.high}};
    for (const auto& code : codes) {
      SCOPED_TRACE(std::string(row.name) + " " + std::to_string(code.fill));
      unsigned char storage[9];
      std::memset(storage, 0x77, sizeof(storage));
      Ufo* ufo = Kes$Mem2Ufo(storage, row.type, row.size, 0);
      ufo->Clear(static_cast<char>(code.fill));
      EXPECT_EQ(hex(storage, row.size + 1), std::string(code.bytes) + "77");  // none past it
      Kes$FreeUfo(ufo);
    }
  }
}

}  // namespace
