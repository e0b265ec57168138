// Stores through descriptors: the assignment matrix (every source class with a value at its
// edge, assigned to every destination class) and CLEAR's fill table byte for byte, for every
// type and the three codes.
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>

#include <kestrel/types.h>
#include <kestrel/ufo.h>
#include <kestrel/values.h>

#include <gtest/gtest.h>

#include "runtime/stack/string_stack.h"
#include "tests/support/stack_helpers.h"

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

// The destinations, each a variable of its own: LONG, SHORT, BYTE, ULONG, REAL, SREAL,
// DECIMAL(5,2), PDECIMAL(5,2), STRING(6), CSTRING(6), PSTRING(6).
enum Column { kL, kS, kB, kU, kR, kF, kD, kP, kT, kC, kQ, kColumns };

struct Destinations {
  int32_t l = 0;
  int16_t s = 0;
  uint8_t b = 0;
  uint32_t u = 0;
  double r = 0;
  float f = 0;
  unsigned char d[3] = {};
  unsigned char p[3] = {};
  char t[6] = {};
  char c[6] = {};
  char q[6] = {};

  Ufo* make(Column column) {
    switch (column) {
      case kL: return Kes$Mem2Ufo(&l, KesTypeLong, 0, 0);
      case kS: return Kes$Mem2Ufo(&s, KesTypeShort, 0, 0);
      case kB: return Kes$Mem2Ufo(&b, KesTypeByte, 0, 0);
      case kU: return Kes$Mem2Ufo(&u, KesTypeUlong, 0, 0);
      case kR: return Kes$Mem2Ufo(&r, KesTypeReal, 0, 0);
      case kF: return Kes$Mem2Ufo(&f, KesTypeSreal, 0, 0);
      case kD: return Kes$Mem2Ufo(d, KesTypeDecimal, 3 | 2 << 8, 0);
      case kP: return Kes$Mem2Ufo(p, KesTypePdecimal, 3 | 2 << 8, 0);
      case kT: return Kes$Mem2Ufo(t, KesTypeString, 6, 0);
      case kC: return Kes$Mem2Ufo(c, KesTypeCstring, 6, 0);
      default: return Kes$Mem2Ufo(q, KesTypePstring, 6, 0);
    }
  }

  // The stored value as the matrix writes it.
  std::string render(Column column) const {
    switch (column) {
      case kL: return std::to_string(l);
      case kS: return std::to_string(s);
      case kB: return std::to_string(b);
      case kU: return std::to_string(u);
      case kD: return hex(d, 3);
      case kP: return hex(p, 3);
      case kT: return std::string(t, 6);
      case kC: return std::string(c, strnlen(c, 6));
      case kQ: return std::string(q + 1, static_cast<unsigned char>(q[0]));
      default: return "";
    }
  }
};

struct Source {
  unsigned char bytes[16] = {};
  std::function<Ufo*(unsigned char*)> make;
};

struct AssignRow {
  const char* name;
  std::function<Ufo*(unsigned char*)> make;  // the source over the row's own bytes
  const char* cells[kColumns];
};

template <typename Value>
std::function<Ufo*(unsigned char*)> variable(Value value, uint32_t type, uint32_t size = 0) {
  return [=](unsigned char* bytes) {
    std::memcpy(bytes, &value, sizeof(value));
    return Kes$Mem2Ufo(bytes, type, size, 0);
  };
}

std::function<Ufo*(unsigned char*)> raw(std::string bytes, uint32_t type, uint32_t size) {
  return [=](unsigned char* storage) {
    std::memcpy(storage, bytes.data(), bytes.size());
    return Kes$Mem2Ufo(storage, type, size, 0);
  };
}

TEST(UfoAssign, EverySourceToEveryDestination) {
  const std::string nines = "\x09" + std::string(15, '\x99');  // DECIMAL(31): 31 nines
  const AssignRow rows[] = {
      // name, source, {LONG, SHORT, BYTE, ULONG, REAL, SREAL, DECIMAL, PDECIMAL, STRING,
      //                CSTRING, PSTRING}
      {"LongMax",
       variable<int32_t>(2147483647, KesTypeLong),
       {"2147483647", "-1", "255", "2147483647", "2147483647", "2147483647", "064700", "64700f",
        "214748", "21474", "21474"}},
      {"LongMinusOne",
       variable<int32_t>(-1, KesTypeLong),
       {"-1", "-1", "255", "1", "-1", "-1", "f00100", "00100d", "-1    ", "-1", "-1"}},
      {"RealNegativeZero",
       variable<double>(-0.0, KesTypeReal),
       {"0", "0", "0", "0", "-0", "-0", nullptr, nullptr, nullptr, nullptr, nullptr}},
      {"RealFraction",
       variable<double>(12.345, KesTypeReal),
       {"12", "12", "12", "12", "12.345", "12.345", "001235", "01235f", "12.345", "12.34",
        "12.34"}},
      {"Decimal31Nines",
       raw(nines, KesTypeDecimal, 16),
       {"2147483647", "-1", "255", "2147483647", "1e31", "1e31", "099900", "99900f", "999999",
        "99999", "99999"}},
      {"DecimalNegative",
       raw("\xF0\x12\x34", KesTypeDecimal, 3 | 2 << 8),
       {"-12", "-12", "244", "12", "-12.34", "-12.34", "f01234", "01234d", "-12.34", "-12.3",
        "-12.3"}},
      {"StringPadded",
       raw("  12.50 ", KesTypeString, 8),
       {"12", "12", "12", "12", "12.5", "12.5", "001250", "01250f", "  12.5", "  12.", "  12."}},
      {"StringBlank",
       raw("    ", KesTypeString, 4),
       {"0", "0", "0", "0", "0", "0", "000000", "00000f", "      ", "    ", "    "}},
      {"UlongMax",
       variable<uint32_t>(4294967295u, KesTypeUlong),
       {"-1", "-1", "255", "4294967295", "4294967295", "4294967295", "029500", "29500f", "429496",
        "42949", "42949"}},
      {"ShortMin",
       variable<int16_t>(-32768, KesTypeShort),
       {"-32768", "-32768", "0", "32768", "-32768", "-32768", "f76800", "76800d", "-32768", "-3276",
        "-3276"}},
      {"CstringNegativeHalf",
       raw(std::string("-0.5\0", 5), KesTypeCstring, 6),
       {"0", "0", "0", "0", "-0.5", "-0.5", "f00050", "00050d", "-0.5  ", "-0.5", "-0.5"}},
      {"ByteMax",
       variable<uint8_t>(255, KesTypeByte),
       {"255", "255", "255", "255", "255", "255", "025500", "25500f", "255   ", "255", "255"}},
      {"PstringNotANumber",
       raw("\x02x7", KesTypePstring, 4),
       {"0", "0", "0", "0", "0", "0", "000000", "00000f", "x7    ", "x7", "x7"}},
      {"ValueRealHalf",
       [](unsigned char*) { return Kes$Real2Ufo(2.5); },
       {"2", "2", "2", "2", "2.5", "2.5", "000250", "00250f", "2.5   ", "2.5", "2.5"}},
  };
  for (const AssignRow& row : rows) {
    for (int column = 0; column < kColumns; ++column) {
      const char* expected = row.cells[column];
      if (expected == nullptr) continue;
      SCOPED_TRACE(std::string(row.name) + " column " + std::to_string(column));
      unsigned char storage[16] = {};
      Ufo* source = row.make(storage);
      Destinations to;
      Ufo* destination = to.make(static_cast<Column>(column));
      Kes$AssignUfo(destination, source);
      if (column == kR) {
        EXPECT_EQ(to.r, std::strtod(expected, nullptr));
        EXPECT_EQ(std::signbit(to.r), expected[0] == '-');
      } else if (column == kF) {
        EXPECT_EQ(to.f, static_cast<float>(std::strtod(expected, nullptr)));
      } else {
        EXPECT_EQ(to.render(static_cast<Column>(column)), expected);
      }
      EXPECT_EQ(kes::runtime::string_stack_depth(), 0);
      Kes$FreeUfo(destination);
      Kes$FreeUfo(source);
    }
  }
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
