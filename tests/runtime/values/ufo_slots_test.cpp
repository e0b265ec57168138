// A descriptor as compiled code reads it: every operation called by its slot number through the
// object's table of virtual operations, the pure-virtual report of a slot a class leaves out, and
// where the fields sit after the table (the storage address, the flags byte, 1: owns the
// storage, and the 32-bit size; one word each for the table and the address, four bytes for
// the flags, on every target); every type code through the factory, the hash of known bytes,
// ToMem and FromMem round trips and streams that end early or hold another type.
#include <cstdint>
#include <cstring>
#include <functional>
#include <string>

#include <kestrel/decimal.h>
#include <kestrel/ole.h>
#include <kestrel/string_stack.h>
#include <kestrel/types.h>
#include <kestrel/ufo.h>
#include <kestrel/values.h>

#include <gtest/gtest.h>

#include "runtime/fatal/fatal.h"
#include "runtime/values/ufo_factory.h"
#include "tests/support/stack_helpers.h"

namespace {

// Member functions take `this` as their first argument; 32-bit Windows passes it in ECX.
#if defined(__i386__) && defined(_WIN32)
#define KES_TEST_THISCALL __attribute__((thiscall))
#else
#define KES_TEST_THISCALL
#endif

template <typename Result, typename... Arguments>
Result call_slot(const Ufo* ufo, int slot, Arguments... arguments) {
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wattributes"  // thiscall on a plain pointer: a table slot's
  using Entry = Result(KES_TEST_THISCALL*)(const Ufo*, Arguments...);
#pragma GCC diagnostic pop
  void* const* table = *reinterpret_cast<void* const* const*>(ufo);
  return reinterpret_cast<Entry>(table[slot])(ufo, arguments...);
}

// Fresh variables and descriptors for each row.
struct Slots {
  int32_t whole = 0;
  double real = 0;
  char text[6] = {'A', 'b', 'c', ' ', ' ', ' '};
  int32_t elements[3] = {7, 8, 9};
  Ufo* number = Kes$Mem2Ufo(&whole, KesTypeLong, 0, 0);
  Ufo* floating = Kes$Mem2Ufo(&real, KesTypeReal, 0, 0);
  Ufo* string = Kes$Mem2Ufo(text, KesTypeString, sizeof(text), 0);
  Ufo* array = Kes$ArrayOfUfo(Kes$Mem2Ufo(elements, KesTypeLong, 0, 0), 3);
  Slots() = default;
  Slots(const Slots&) = delete;
  Slots& operator=(const Slots&) = delete;
  ~Slots() {
    for (Ufo* ufo : {number, floating, string, array})
      Kes$FreeUfo(ufo);
    kes::test::drain_string_stack();
  }
};

struct SlotCase {
  int slot;
  const char* operation;
  std::function<void(Slots&)> check;
};

TEST(UfoSlots, EachSlotIsItsOperation) {
  const KesUfoLong seven = 7;
  const SlotCase cases[] = {
      {0, "Assign(long)",
       [](Slots& s) {
         call_slot<void>(s.number, 0, KesUfoLong{42});
         EXPECT_EQ(s.whole, 42);
       }},
      {1, "Assign(double)",
       [](Slots& s) {
         call_slot<void>(s.floating, 1, 2.5);
         EXPECT_EQ(s.real, 2.5);
       }},
      {2, "Assign(const Ufo&)",
       [](Slots& s) {
         s.whole = 12;
         call_slot<void, const Ufo&>(s.string, 2, *s.number);
         EXPECT_EQ(std::string(s.text, 6), "12    ");
       }},
      {3, "Distincts(const Ufo&)",
       [](Slots& s) {
         s.whole = 5;
         s.real = 9;
         EXPECT_LT((call_slot<int, const Ufo&>(s.number, 3, *s.floating)), 0);
       }},
      {4, "Distincts(long)",
       [seven](Slots& s) {
         s.whole = 9;
         EXPECT_GT(call_slot<int>(s.number, 4, seven), 0);
         s.whole = 7;
         EXPECT_EQ(call_slot<int>(s.number, 4, seven), 0);
       }},
      {5, "Type", [](Slots& s) { EXPECT_EQ(call_slot<unsigned char>(s.floating, 5), 9); }},
      {6, "ToMem",
       [](Slots& s) {
         vmem stream;
         s.whole = 0x01020304;
         call_slot<void, vmem&>(s.number, 6, stream);
         ASSERT_EQ(stream.length(), 5u);
         EXPECT_EQ(std::memcmp(stream.data(), "\x06\x04\x03\x02\x01", 5), 0);
       }},
      {7, "FromMem",
       [](Slots& s) {
         vmem stream("\x06\x2A\0\0\0", 5);
         EXPECT_TRUE((call_slot<bool, vmem&>(s.number, 7, stream)));
         EXPECT_EQ(s.whole, 42);
       }},
      {8, "OldFromMem",
       [](Slots& s) {
         vmem stream("\x2B\0\0\0", 4);
         EXPECT_TRUE((call_slot<bool, vmem&>(s.number, 8, stream)));
         EXPECT_EQ(s.whole, 43);
       }},
      {9, "Pop",
       [](Slots& s) {
         Kes$PushString("-17", 3);
         call_slot<void>(s.number, 9);
         EXPECT_EQ(s.whole, -17);
       }},
      {10, "Push",
       [](Slots& s) {
         s.whole = 305;
         call_slot<void>(s.number, 10);
         EXPECT_EQ(kes::test::pop_top_text(), "305");
       }},
      {11, "DPop",
       [](Slots& s) {
         Kes$DPushLong(77);
         call_slot<void>(s.number, 11);
         EXPECT_EQ(s.whole, 77);
       }},
      {12, "DPush",
       [](Slots& s) {
         s.whole = 78;
         call_slot<void>(s.number, 12);
         EXPECT_EQ(Kes$DPopLong(), 78);
       }},
      {13, "Real",
       [](Slots& s) {
         s.whole = -3;
         EXPECT_EQ(call_slot<double>(s.number, 13), -3.0);
       }},
      {14, "Long",
       [](Slots& s) {
         s.real = 6.0;
         EXPECT_EQ(call_slot<KesUfoLong>(s.floating, 14), 6);
       }},
      {15, "Free",
       [](Slots& s) {
         call_slot<void>(s.floating, 15);
         EXPECT_EQ(s.floating->Address(), nullptr);
       }},
      {16, "Clear",
       [](Slots& s) {
         call_slot<void>(s.number, 16, char{1});
         EXPECT_EQ(s.whole, 2147483647);
       }},
      {17, "Address", [](Slots& s) { EXPECT_EQ(call_slot<char*>(s.string, 17), s.text); }},
      {18, "AClone",
       [](Slots& s) {
         Ufo* copy = call_slot<Ufo*>(s.string, 18, char{1});
         ASSERT_NE(copy, nullptr);
         EXPECT_NE(copy->Address(), s.text);
         EXPECT_EQ(copy->Type(), KesTypeString);
         Kes$FreeUfo(copy);
       }},
      {19, "Select(element)",
       [](Slots& s) {
         Ufo* third = call_slot<Ufo*>(s.array, 19, 3u);
         EXPECT_EQ(third->Long(), 9);
         Kes$FreeUfo(third);
       }},
      {20, "Select(start, end)",
       [](Slots& s) {
         Ufo* slice = call_slot<Ufo*>(s.string, 20, 2u, 3u);
         slice->Push();
         EXPECT_EQ(kes::test::pop_top_text(), "bc");
         Kes$FreeUfo(slice);
       }},
      {21, "Designate", [](Slots& s) { EXPECT_EQ(call_slot<Ufo*>(s.string, 21, 1u), nullptr); }},
      {22, "Max", [](Slots& s) { EXPECT_EQ(call_slot<unsigned>(s.array, 22), 3u); }},
      {23, "Size", [](Slots& s) { EXPECT_EQ(call_slot<unsigned>(s.string, 23), 6u); }},
      {24, "BaseType", [](Slots& s) { EXPECT_EQ(call_slot<unsigned char>(s.array, 24), 6); }},
      {25, "DistinctU",
       [](Slots& s) {
         Ufo* upper = new StrValueUfo("ABC", 3);
         EXPECT_EQ((call_slot<int, const Ufo&>(s.string, 25, *upper)), 0);
         EXPECT_NE(s.string->Distincts(*upper), 0);
         Kes$FreeUfo(upper);
       }},
      {26, "Cleared", [](Slots& s) { EXPECT_EQ(call_slot<int>(s.number, 26), 1); }},
      {27, "Null", [](Slots& s) { EXPECT_EQ(call_slot<int>(s.string, 27), 0); }},
      {28, "OEMANSITRANS",
       [](Slots& s) {
         call_slot<void>(s.string, 28);  // ASCII letters are the same in both sets
         EXPECT_EQ(std::string(s.text, 3), "Abc");
       }},
      {29, "ANSIOEMTRANS",
       [](Slots& s) {
         call_slot<void>(s.string, 29);
         EXPECT_EQ(std::string(s.text, 3), "Abc");
       }},
      {31, "Add",
       [](Slots& s) {
         s.whole = 40;
         Ufo* two = Kes$Long2Ufo(2);
         call_slot<void, const Ufo&>(s.number, 31, *two);
         EXPECT_EQ(s.whole, 42);
         Kes$FreeUfo(two);
       }},
      {32, "Divide",
       [](Slots& s) {
         s.real = 9;
         Ufo* two = Kes$Long2Ufo(2);
         call_slot<void, const Ufo&>(s.floating, 32, *two);
         EXPECT_EQ(s.real, 4.5);
         Kes$FreeUfo(two);
       }},
      {33, "Hash",
       [](Slots& s) { EXPECT_EQ(call_slot<unsigned>(s.string, 33), s.string->Hash()); }},
      {34, "SetAddress",
       [](Slots& s) {
         int32_t other = 99;
         call_slot<void>(s.number, 34, reinterpret_cast<char*>(&other));
         EXPECT_EQ(s.number->Long(), 99);
         call_slot<void>(s.number, 34, reinterpret_cast<char*>(&s.whole));
       }},
      {35, "MatchesField",
       [](Slots& s) {
         class_descriptor d;
         d.StartGroup("G");
         d.AddSimple(KesTypeLong, "L", nullptr);
         d.AddSimple(KesTypeReal, "R", nullptr);
         d.EndDeclaration();
         EXPECT_EQ((call_slot<int, const class_descriptor&>(s.number, 35, d, 1u)), 1);
         EXPECT_EQ((call_slot<int, const class_descriptor&>(s.number, 35, d, 2u)), 0);
       }},
      {36, "Equals",
       [](Slots& s) {
         s.whole = 3;
         s.real = 3;
         EXPECT_EQ((call_slot<int, const Ufo&>(s.number, 36, *s.floating)), 0);
       }},
      {37, "CopyOut",
       [](Slots& s) {
         char copy[6] = {};
         EXPECT_EQ(call_slot<unsigned>(s.string, 37, static_cast<void*>(copy)), 6u);
         EXPECT_EQ(std::memcmp(copy, s.text, 6), 0);
       }},
  };
  for (const SlotCase& c : cases) {
    SCOPED_TRACE(c.operation);
    Slots state;
    c.check(state);
    EXPECT_EQ(kes::runtime::string_stack_depth(), 0);
  }
}

TEST(UfoLayout, AddressFlagsAndSizeFollowTheTableOfOperations) {
  char text[] = "abcdef";
  for (const std::uint32_t clone : {0u, 1u}) {
    SCOPED_TRACE(clone);
    Ufo* ufo = Kes$Mem2Ufo(text, 18, 6, clone);  // STRING
    ASSERT_NE(ufo, nullptr);
    const auto* raw = reinterpret_cast<const unsigned char*>(ufo);
    char* address = nullptr;
    std::memcpy(&address, raw + sizeof(void*), sizeof address);
    std::uint32_t size = 0;
    std::memcpy(&size, raw + 2 * sizeof(void*) + 4, sizeof size);
    EXPECT_EQ(address, clone ? ufo->Address() : text);
    EXPECT_NE(address, clone ? text : nullptr);
    EXPECT_EQ(raw[2 * sizeof(void*)], clone);
    EXPECT_EQ(size, 6u);
    Kes$FreeUfo(ufo);
  }
}

// A class that implements none of the slots a class must give.
class Bare final : public Ufo {};

TEST(UfoSlotsDeathTest, MissingSlotAndBindOfAnythingButAGroup) {
  Bare bare;
  EXPECT_EXIT(call_slot<unsigned>(&bare, 23),
              ::testing::ExitedWithCode(kes::runtime::kFatalExitCode),
              "Pure virtual function called");
  EXPECT_EXIT(call_slot<void>(&bare, 0, KesUfoLong{1}),
              ::testing::ExitedWithCode(kes::runtime::kFatalExitCode),
              "Pure virtual function called");
  Slots state;
  EXPECT_EXIT(call_slot<void>(state.number, 30),
              ::testing::ExitedWithCode(kes::runtime::kFatalExitCode),
              "Memory Corrupted : Parameter typing error");  // error 7
}

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
