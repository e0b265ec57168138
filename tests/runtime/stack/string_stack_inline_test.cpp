// Short texts held in the entry itself, read back into every field width, and the scan for
// trailing spaces at every length and every place of the last byte that is not a space.
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

#include <kestrel/string_stack.h>

#include <gtest/gtest.h>

#include "runtime/stack/string_stack.h"
#include "tests/support/allocation_counter.h"
#include "tests/support/stack_helpers.h"

namespace kes::runtime {
namespace {

class StringStackInlineTest : public testing::Test {
 protected:
  void SetUp() override { test::drain_string_stack(); }
  void TearDown() override { test::drain_string_stack(); }
};

using StringStackPopInlineText = StringStackInlineTest;

TEST_F(StringStackPopInlineText, EveryLengthIntoEveryFieldWidth) {
  // Sizes below 20 and above 64 cross the ends of the whole-area store; a guard of '#' after the
  // field shows any byte written past it.
  constexpr std::size_t kGuard = 8;
  for (std::uint32_t length = 0; length <= kInlineCapacity; ++length) {
    for (std::uint32_t size = 0; size <= 70; ++size) {
      SCOPED_TRACE(std::to_string(length) + " bytes into " + std::to_string(size));
      std::string source = test::distinct_letters(length, 'A');
      Kes$PushString(source.data(), length);
      Kes$StackHeap();
      ASSERT_EQ(entry_from_top(1).pointer, entry_from_top(1).inline_area);
      source.assign(length, '!');  // the entry holds its own copy
      std::string field(size + kGuard, '#');
      Kes$PopString(field.data(), size);
      std::string expected = test::distinct_letters(length, 'A').substr(0, size);
      expected.append(size - expected.size(), ' ');
      expected.append(kGuard, '#');
      EXPECT_EQ(field, expected);
      EXPECT_EQ(string_stack_depth(), 0);
    }
  }
}

TEST_F(StringStackPopInlineText, BytesLeftInTheAreaByAnEarlierTextAreNotStored) {
  // A long text first fills the area; a shorter one then takes the same entry.
  const std::string first = test::distinct_letters(20, 'A');
  Kes$PushString(first.data(), 20);
  Kes$StackHeap();
  Kes$STACKpop();
  Kes$PushString("owl", 3);
  Kes$StackHeap();
  char field[24];
  Kes$PopString(field, sizeof(field));
  EXPECT_EQ(std::string_view(field, sizeof(field)), "owl                     ");
}

// ---- Trailing spaces.

struct ClipCase {
  const char* name;
  char other;  // the byte that is not a space
};
constexpr ClipCase kClipBytes[] = {
    {"Letter", 'x'}, {"ZeroByte", '\0'}, {"HighByte", '\xA0'}, {"Tab", '\t'}, {"SpacePlusOne", '!'},
};

TEST_F(StringStackInlineTest, FastClipFindsTheLastByteThatIsNotASpace) {
  // Every length to 40 (the word scan, the whole-field scan of 8 to 32 bytes and the byte scan
  // below 8) and every place of the last other byte; spaces also lie before it, so only the last
  // one counts. CLIP on the stack ends in the same scan.
  for (const ClipCase& c : kClipBytes) {
    for (std::uint32_t length = 0; length <= 40; ++length) {
      for (std::uint32_t kept = 0; kept <= length; ++kept) {
        SCOPED_TRACE(std::string(c.name) + " " + std::to_string(length) + " keeps " +
                     std::to_string(kept));
        std::string text(length, ' ');
        for (std::uint32_t index = 0; index < kept; index += 3)
          text[index] = c.other;
        if (kept != 0) text[kept - 1] = c.other;
        ASSERT_EQ(Kes$FastClip(length, text.data()), kept);
      }
    }
  }
}

TEST_F(StringStackInlineTest, FastClipOfAllSpacesIsEmpty) {
  const std::string spaces(40, ' ');
  for (std::uint32_t length = 0; length <= 40; ++length) {
    EXPECT_EQ(Kes$FastClip(length, spaces.data()), 0u) << length;
  }
  EXPECT_EQ(Kes$FastClip(12, nullptr), 0u);
}

}  // namespace
}  // namespace kes::runtime
