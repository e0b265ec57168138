// Where a variable's descriptor keeps its fields, as compiled code reads them: the table of
// operations, then the storage address, the flags byte (1: owns the storage) and the 32-bit size,
// on every target (one word each for the table and the address, four bytes for the flags).
#include <cstdint>
#include <cstring>

#include <kestrel/ufo.h>
#include <kestrel/values.h>

#include <gtest/gtest.h>

namespace {

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

}  // namespace
