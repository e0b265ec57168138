// Every type code through the factory, the hash of known bytes, ToMem and FromMem round trips
// and streams that end early or hold another type.
#include <cstring>
#include <string>

#include <kestrel/ole.h>
#include <kestrel/types.h>
#include <kestrel/ufo.h>
#include <kestrel/values.h>

#include <gtest/gtest.h>

#include "runtime/fatal/fatal.h"
#include "runtime/values/ufo_factory.h"
#include "tests/support/stack_helpers.h"

namespace {

struct CodeRow {
  uint32_t code;
  uint32_t size_argument;
  uint32_t size;
  uint8_t base_type;
  int32_t string_like;
};

// The codes with a class; every other code has none. Sizes of reference classes are a pointer.
constexpr uint32_t kPointer = sizeof(void*);
const CodeRow kCodes[] = {
    {1, 0, 1, 6, 0},
    {2, 0, 2, 6, 0},
    {3, 0, 2, 6, 0},
    {4, 0, 4, 6, 0},
    {5, 0, 4, 6, 0},
    {6, 0, 4, 6, 0},
    {7, 0, 4, 10, 0},
    {8, 0, 4, 9, 0},
    {9, 0, 8, 9, 0},
    {10, 0x205, 5, 10, 0},
    {11, 0x205, 5, 10, 0},
    {13, 0, 4, 9, 0},
    {14, 0, 8, 9, 0},
    {15, 0, kPointer, 18, 0},
    {18, 7, 7, 18, 1},
    {19, 7, 7, 18, 1},
    {20, 7, 7, 18, 1},
    {31, 7, kPointer, 18, 0},
    {42, 0, sizeof(KesBStr), 18, 1},
    {43, 0, kPointer, 18, 1},
    {45, 0, 16, 18, 0},
};

TEST(UfoFactory, EveryTypeCode) {
  unsigned char storage[32] = {};
  for (uint32_t code = 0; code < 256; ++code) {
    SCOPED_TRACE(code);
    const CodeRow* row = nullptr;
    for (const CodeRow& candidate : kCodes) {
      if (candidate.code == code) row = &candidate;
    }
    EXPECT_EQ(kes::runtime::has_ufo_class(code), row != nullptr);
    if (row == nullptr) continue;
    Ufo* ufo = Kes$Mem2Ufo(storage, code, row->size_argument, 0);
    ASSERT_NE(ufo, nullptr);
    EXPECT_EQ(ufo->Type(), code);
    EXPECT_EQ(ufo->Size(), row->size);
    EXPECT_EQ(ufo->BaseType(), row->base_type);
    EXPECT_EQ(Kes$IsUfoString(ufo), row->string_like);
    EXPECT_EQ(Kes$AddressUfo(ufo), static_cast<void*>(storage));
    Kes$FreeUfo(ufo);
  }
}

TEST(UfoFactoryDeathTest, CodesWithoutAClassAreInternalErrors) {
  unsigned char storage[8] = {};
  for (uint32_t code : {0u, 12u, 17u, 22u, 24u, 29u, 255u}) {
    SCOPED_TRACE(code);
    EXPECT_EXIT(Kes$Mem2Ufo(storage, code, 4, 0),
                ::testing::ExitedWithCode(kes::runtime::kFatalExitCode), "String Stack Error");
  }
}

TEST(UfoHash, KnownBytes) {
  const struct {
    const char* name;
    std::string bytes;
    uint32_t hash;
  } rows[] = {
      {"Empty", "", 0x5AA5A55Au},
      {"OneByte", std::string("\x01", 1), 0xD52D2ADAu},
      {"NoCarryIntoHigherBits", std::string("\xFF\x00", 2), 0xA969565Eu},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    std::string storage = row.bytes;
    Ufo* ufo = Kes$Mem2Ufo(storage.data(), KesTypeString, static_cast<uint32_t>(storage.size()), 0);
    EXPECT_EQ(ufo->Hash(), row.hash);
    Kes$FreeUfo(ufo);
  }
  Ufo* empty = new StrValueUfo("", 0);
  EXPECT_EQ(empty->Hash(), 0x5AA5A55Au);
  Kes$FreeUfo(empty);
}

// A descriptor over `bytes`, written to a stream and read back by a clone without storage.
struct RoundTrip {
  const char* name;
  uint32_t code;
  uint32_t size;
  std::string bytes;
};

TEST(UfoMem, RoundTripsEveryClass) {
  const RoundTrip rows[] = {
      {"Byte", 1, 0, "\xFE"},
      {"Short", 2, 0, std::string("\x00\x80", 2)},
      {"Date", 4, 0, "\x1F\x0C\xEA\x07"},
      {"Long", 6, 0, "\x01\x02\x03\x04"},
      {"Ulong", 7, 0, "\xFF\xFF\xFF\xFF"},
      {"Sreal", 8, 0, std::string("\x00\x00\x80\xBF", 4)},
      {"Real", 9, 0, std::string("\x00\x00\x00\x00\x00\x00\xF0\x3F", 8)},
      {"Decimal", 10, 0x203, "\xF0\x12\x34"},
      {"Pdecimal", 11, 0x203, "\x01\x23\x4D"},
      {"Bfloat8", 14, 0, "\x01\x02\x03\x04\x05\x06\x07\x08"},
      {"String", 18, 5, "AB CD"},
      {"Cstring", 19, 5, std::string("AB\0\0\0", 5)},
      {"Pstring", 20, 5, std::string("\x02\x41\x42\0\0", 5)},
  };
  for (const RoundTrip& row : rows) {
    SCOPED_TRACE(row.name);
    std::string source = row.bytes;
    Ufo* ufo = Kes$Mem2Ufo(source.data(), row.code, row.size, 0);
    vmem stream;
    ufo->ToMem(stream);
    ASSERT_EQ(stream.length(), 1 + source.size());
    EXPECT_EQ(stream.data()[0], row.code);
    Ufo* empty = ufo->AClone(0);
    static_cast<VarUfo*>(empty)->SetAddress(nullptr);
    EXPECT_TRUE(empty->FromMem(stream));
    ASSERT_NE(empty->Address(), nullptr);
    EXPECT_EQ(std::string(empty->Address(), empty->Size()), row.bytes);
    Kes$FreeUfo(empty);
    Kes$FreeUfo(ufo);
  }
}

TEST(UfoMem, ValuesAndTextsRoundTrip) {
  Ufo* values[] = {Kes$Long2Ufo(-7), Kes$Real2Ufo(0.25), new StrValueUfo("Wren", 4)};
  Kes$PushString("12.5", 4);
  Kes$Stack2DStack();
  Ufo* decimal = Kes$DStack2Ufo();
  vmem stream;
  for (Ufo* value : values)
    value->ToMem(stream);
  decimal->ToMem(stream);
  for (Ufo* value : values) {
    Ufo* read = Kes$Long2Ufo(0);
    ASSERT_TRUE(read->FromMem(stream));
    EXPECT_EQ(read->Type(), value->Type());
    EXPECT_EQ(Kes$Ufodistinct(read, value), 0);
    Kes$FreeUfo(read);
    Kes$FreeUfo(value);
  }
  Ufo* read = Kes$Long2Ufo(0);
  ASSERT_TRUE(read->FromMem(stream));
  EXPECT_EQ(read->Type(), KesTypeDecimal);
  EXPECT_EQ(read->Null(), 0);
  read->Push();
  EXPECT_EQ(kes::test::pop_top_text(), "12.5");
  EXPECT_EQ(stream.remaining(), 0u);
  Kes$FreeUfo(read);
  Kes$FreeUfo(decimal);
}

TEST(UfoMem, StreamsEndingEarlyLeaveTheValue) {
  int32_t whole = 1234;
  Ufo* number = Kes$Mem2Ufo(&whole, KesTypeLong, 0, 0);
  char text[4] = {'a', 'b', 'c', 'd'};
  Ufo* string = Kes$Mem2Ufo(text, KesTypeString, 4, 0);
  Ufo* value = new StrValueUfo("kept", 4);
  const struct {
    const char* name;
    Ufo* ufo;
    std::string stream;
  } rows[] = {
      {"Empty", number, ""},
      {"CodeOnly", number, "\x06"},
      {"ThreeOfFourBytes", number, std::string("\x06\x01\x02\x03", 4)},
      {"StringShort", string, "\x12wx"},
      {"ValueLengthBeyondEnd", value, std::string("\x12\x09\0\0\0\x61\x62\x63", 8)},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    vmem stream(row.stream.data(), static_cast<uint32_t>(row.stream.size()));
    EXPECT_FALSE(row.ufo->FromMem(stream));
    EXPECT_TRUE(stream.ended());
  }
  EXPECT_EQ(whole, 1234);
  EXPECT_EQ(std::string(text, 4), "abcd");
  value->Push();
  EXPECT_EQ(kes::test::pop_top_text(), "kept");
  for (Ufo* ufo : {number, string, value})
    Kes$FreeUfo(ufo);
}

TEST(UfoMemDeathTest, AnotherTypeCodeIsATypingError) {
  int32_t whole = 0;
  Ufo* number = Kes$Mem2Ufo(&whole, KesTypeLong, 0, 0);
  vmem stream("\x09\0\0\0\0\0\0\0\0", 9);
  EXPECT_EXIT(number->FromMem(stream), ::testing::ExitedWithCode(kes::runtime::kFatalExitCode),
              ": 11 : Parameter typing error");
  Kes$FreeUfo(number);
}

}  // namespace
