// The AString table: hashing, interning, node layout, growth, limits and upper twins; TIE, TIED
// and UNTIE on a table of their own, with a model-based random run.
#include "runtime/astring/astring_table.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <limits>
#include <map>
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "platform/core/heap.h"
#include "runtime/fatal/fatal.h"

namespace kes::runtime {
namespace {

const AStringNodeHead& head_of(const char* astring) {
  return *reinterpret_cast<const AStringNodeHead*>(astring - kAStringTextOffset);
}

std::uint16_t stored_length(const char* astring) {
  std::uint16_t length = 0;
  std::memcpy(&length, astring - sizeof(length), sizeof(length));
  return length;
}

struct HashCase {
  const char* name;
  std::string_view text;
  std::uint32_t hash;
};
// Short texts: h = n, then h * 5 + byte per byte. From 32 bytes: n ^ first four ^ last four.
const HashCase kHashes[] = {
    {"Empty", "", 0},
    {"OneByte", "A", 1 * 5 + 65},
    {"TwoBytes", "AB", (2 * 5 + 65) * 5 + 66},
    {"ThreeBytes", "ABC", ((3 * 5 + 65) * 5 + 66) * 5 + 67},
    {"HighByteIsUnsigned", "\xFF", 1 * 5 + 255},
    {"LongestShortText", std::string_view("aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaa", 31), 515305478u},
    {"ThirtyTwoBytes", "ABCD........................WXYZ", 32u ^ 0x44434241u ^ 0x5A595857u},
    {"EqualEndsCancel", "\x80\x80\x80\x80...............................\x80\x80\x80\x80", 39},
};

TEST(AStringHash, FollowsTheShortAndLongRules) {
  for (const HashCase& c : kHashes) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(astring_hash(c.text), c.hash);
  }
}

TEST(AStringTableIntern, TrailingSpacesAreRemovedAndEveryOtherByteCounts) {
  AStringTable table;
  const char* abc = table.intern("ABC");
  ASSERT_NE(abc, nullptr);
  EXPECT_EQ(table.intern("ABC   "), abc);
  EXPECT_EQ(table.intern(" ABC"), table.intern(" ABC  "));
  EXPECT_NE(table.intern(" ABC"), abc);  // leading spaces count
  EXPECT_EQ(table.intern("   "), nullptr);
  EXPECT_EQ(table.intern(""), nullptr);
  EXPECT_EQ(table.node_count(), 2u);
  // Case counts, and so do the bytes after a zero.
  EXPECT_NE(table.intern("abc"), table.intern("ABC"));
  const char* with_zero = table.intern(std::string_view("A\0B", 3));
  EXPECT_NE(with_zero, table.intern("A"));
  EXPECT_EQ(stored_length(with_zero), 3u);
  // "AB" and "B=" both hash to 441: (2*5+65)*5+66 and (2*5+66)*5+61.
  const char* ab = table.intern("AB");
  const char* b_eq = table.intern("B=");
  EXPECT_NE(ab, b_eq);
  EXPECT_EQ(head_of(b_eq).hash, 441u);
  EXPECT_EQ(table.intern("B="), b_eq);
  EXPECT_EQ(table.intern("AB"), ab);
}

struct LengthCase {
  const char* name;
  std::size_t length;    // bytes of 'x'
  std::size_t spaces;    // then this many spaces
  std::uint16_t stored;  // the node's length
};
const LengthCase kLengths[] = {
    {"One", 1, 0, 1},
    {"ShortLongBoundary", 32, 0, 32},
    {"MaximumFits", 65535, 0, 65535},
    {"OneOverIsCut", 65536, 0, 65535},
    {"CutThenClipped", 65530, 4470, 65530},
};

TEST(AStringTableIntern, LengthsUpToSixteenBitsAndCutBeyond) {
  AStringTable table;
  for (const LengthCase& c : kLengths) {
    SCOPED_TRACE(c.name);
    std::string text(c.length, 'x');
    text.append(c.spaces, ' ');
    const char* astring = table.intern(text);
    ASSERT_NE(astring, nullptr);
    EXPECT_EQ(stored_length(astring), c.stored);
    EXPECT_EQ(astring_length(astring), c.stored);
    EXPECT_EQ(astring[c.stored], '\0');
    EXPECT_EQ(std::string_view(astring, c.stored), std::string(c.stored, 'x'));
    EXPECT_EQ(table.intern(std::string(c.stored, 'x')), astring);
  }
}

std::string numbered(int i) { return "T" + std::to_string(i); }

TEST(AStringTableGrowth, GrowsAtFiveEighthsKeepingEveryAddress) {
  AStringTable table;
  std::vector<const char*> astrings;
  for (int i = 0; i < 639; ++i)
    astrings.push_back(table.intern(numbered(i)));
  EXPECT_EQ(table.slot_count(), 1023u);
  platform::heap_fail_nth(1);  // the larger slot array: the text is still stored
  astrings.push_back(table.intern(numbered(639)));  // 639 = 1023 * 5 >> 3 nodes reached
  platform::heap_fail_nth(0);
  EXPECT_EQ(table.slot_count(), 1023u);
  EXPECT_EQ(table.node_count(), 640u);
  for (int i = 640; i < 1279; ++i)
    astrings.push_back(table.intern(numbered(i)));
  EXPECT_EQ(table.slot_count(), 2047u);
  astrings.push_back(table.intern(numbered(1279)));  // 1279 = 2047 * 5 >> 3
  EXPECT_EQ(table.slot_count(), 4095u);
  for (int i = 0; i < 1280; ++i) {
    SCOPED_TRACE(i);
    const std::string text = numbered(i);
    ASSERT_NE(astrings[static_cast<std::size_t>(i)], nullptr);
    EXPECT_EQ(table.intern(text), astrings[static_cast<std::size_t>(i)]);
    EXPECT_EQ(std::string_view(astrings[static_cast<std::size_t>(i)]), text);
  }
  EXPECT_EQ(table.node_count(), 1280u);
}

// Numbered texts have neighbouring hashes (and many share one); they still spread over the
// table instead of filling one run of slots that every look-up would walk.
TEST(AStringTableGrowth, NumberedTextsSpreadOverTheSlots) {
  AStringTable table;
  constexpr int kTexts = 20000;
  char text[16];
  for (int i = 0; i < kTexts; ++i) {
    std::snprintf(text, sizeof text, "short-%08d", i);
    ASSERT_NE(table.intern(text), nullptr);
  }
  ASSERT_EQ(table.node_count(), static_cast<std::size_t>(kTexts));
  std::size_t longest = 0;
  std::size_t run = 0;
  for (std::size_t k = 0; k < 2 * table.slot_count(); ++k) {  // twice round: runs may wrap
    run = table.slot_used(k % table.slot_count()) ? run + 1 : 0;
    longest = std::max(longest, run);
  }
  EXPECT_LT(longest, static_cast<std::size_t>(kTexts / 10));
  for (int i = 0; i < kTexts; i += 997) {
    std::snprintf(text, sizeof text, "short-%08d", i);
    const char* astring = table.intern(text);
    EXPECT_STREQ(astring, text);
  }
}

TEST(AStringTableMemory, FailedAllocationsGiveNullAndLoseNothing) {
  AStringTable table;
  platform::heap_fail_nth(1);  // the first slot array
  EXPECT_EQ(table.intern("FIRST"), nullptr);
  const char* first = table.intern("FIRST");
  ASSERT_NE(first, nullptr);
  const std::string large(20000, 'L');  // a node with a block of its own
  platform::heap_fail_nth(1);
  EXPECT_EQ(table.intern(large), nullptr);
  EXPECT_EQ(table.node_count(), 1u);
  const char* stored = table.intern(large);
  ASSERT_NE(stored, nullptr);
  EXPECT_EQ(std::string_view(stored, large.size()), large);
  EXPECT_EQ(table.intern("FIRST"), first);
}

std::vector<const char*> g_hooked;
AStringTable* g_hook_table = nullptr;
void interning_hook(const char* astring) {
  g_hooked.push_back(astring);
  g_hook_table->intern("FROM HOOK");
}

TEST(AStringTableHook, CalledOnceForEachNewTextAndNotForTextsItInterns) {
  AStringTable table;
  g_hooked.clear();
  g_hook_table = &table;
  table.set_init_hook(interning_hook);
  const char* kes = table.intern("KES");
  table.intern("KES  ");
  table.intern("   ");
  const char* trel = table.intern("TREL");
  EXPECT_EQ(g_hooked, (std::vector<const char*>{kes, trel}));
  EXPECT_EQ(table.node_count(), 3u);  // with the text interned inside the hook
  EXPECT_EQ(std::string_view(table.intern("FROM HOOK")), "FROM HOOK");
  table.set_init_hook(nullptr);
  table.intern("UNHOOKED");
  EXPECT_EQ(g_hooked.size(), 2u);
}

TEST(AStringTableUpper, TwinOfLowerCaseTextAndFailedCopy) {
  AStringTable table;
  const char* lower = table.intern("abc");
  const char* upper = table.upper(lower);
  EXPECT_EQ(upper, table.intern("ABC"));
  EXPECT_EQ(table.upper(upper), upper);
  EXPECT_EQ(table.upper(lower), upper);
  EXPECT_EQ(table.upper(nullptr), nullptr);
  const char* text = table.intern("KESTREL 2");  // upper case already: its own twin
  EXPECT_EQ(table.upper(text), text);
  EXPECT_EQ(table.upper(table.intern("Kestrel 2")), text);
  const char* long_text = table.intern(std::string(300, 'q'));
  platform::heap_fail_nth(1);  // the working copy
  EXPECT_EQ(table.upper(long_text), nullptr);
  ASSERT_NE(table.upper(long_text), nullptr);
  EXPECT_EQ(std::string_view(table.upper(long_text), 300), std::string(300, 'Q'));
}

TEST(AStringTableUpper, EveryByteByTheDefaultCaseTable) {
  AStringTable table;
  for (int c = 0; c < 256; ++c) {
    if (c == ' ') continue;
    SCOPED_TRACE(c);
    const char byte = static_cast<char>(c);
    const char expected = static_cast<char>(c >= 'a' && c <= 'z' ? c - 32 : c);
    const char* upper = table.upper(table.intern(std::string_view(&byte, 1)));
    ASSERT_NE(upper, nullptr);
    EXPECT_EQ(stored_length(upper), 1u);
    EXPECT_EQ(upper[0], expected);
  }
}

TEST(AStringTie, FailedGrowthStoresNothing) {
  AStringTable table;
  const char* a = table.intern("A");
  table.tie(a, 1, 10);
  platform::heap_fail_nth(1);
  EXPECT_EQ(table.tie(a, 2, 20), 0);
  EXPECT_EQ(table.tied(a, 2), 0);
  EXPECT_EQ(table.tied(a, 1), 10);
  EXPECT_EQ(table.tie(a, 2, 20), 2);
}

TEST(AStringTie, LastAutomaticKeyIsTheMostNegative) {
  AStringTable table;
  table.set_automatic_key_counter(std::numeric_limits<std::int32_t>::min() + 1);
  EXPECT_EQ(table.tie(nullptr, 0, 1), std::numeric_limits<std::int32_t>::min());
}

TEST(AStringTieDeathTest, RunningOutOfAutomaticKeysIsFatal) {
  AStringTable table;
  table.set_automatic_key_counter(std::numeric_limits<std::int32_t>::min());
  EXPECT_EXIT(table.tie(nullptr, 0, 1), testing::ExitedWithCode(kFatalExitCode),
              "run out of automatic keys");
}

// The all flag reaches the texts in every slot of the table, the first and the last included.
TEST(AStringUntie, AllFlagReachesEveryText) {
  AStringTable table;
  std::vector<const char*> texts;
  for (int i = 0; i < 600; ++i) {
    texts.push_back(table.intern("T" + std::to_string(i)));
    table.tie(texts.back(), 5, i + 1);
  }
  table.untie_everywhere(5);
  int still_tied = 0;
  for (const char* text : texts)
    still_tied += table.tied(text, 5) != 0 ? 1 : 0;
  EXPECT_EQ(still_tied, 0);
}

// Automatic keys count down from -101, one counter for all; key -1 is never stored and unties all;
// the null AString has a list of its own, which the all flag does not visit.
TEST(AStringTieModel, RandomMixMatchesAMap) {
  AStringTable table;
  const std::vector<const char*> targets = {nullptr, table.intern("ONE"), table.intern("TWO"),
                                            table.intern("THREE")};
  std::vector<std::map<std::int32_t, std::int32_t>> model(targets.size());
  std::int32_t next_automatic = -101;
  std::mt19937 random(20261206);
  const auto untie_model = [](std::map<std::int32_t, std::int32_t>& ties, std::int32_t key) {
    key == -1 ? ties.clear() : static_cast<void>(ties.erase(key));
  };
  for (int step = 0; step < 20000; ++step) {
    const std::size_t t = random() % targets.size();
    const auto key = static_cast<std::int32_t>(random() % 12) - 6;  // [-6, 5]: 0 and -1 too
    const auto value = static_cast<std::int32_t>(random() % 1000) - 500;
    switch (random() % 8) {
      case 0:
      case 1:
      case 2: {
        std::int32_t expected = key == 0 ? next_automatic-- : key;
        if (expected != -1) model[t][expected] = value;
        ASSERT_EQ(table.tie(targets[t], key, value), expected) << step;
        break;
      }
      case 3:
      case 4:
      case 5: {
        const auto found = model[t].find(key);
        ASSERT_EQ(table.tied(targets[t], key), found == model[t].end() ? 0 : found->second) << step;
        break;
      }
      case 6:
        table.untie(targets[t], key);
        untie_model(model[t], key);
        break;
      default:
        if (random() % 4 != 0) break;  // rarer: the all flag
        table.untie_everywhere(key);
        for (std::size_t i = 1; i < targets.size(); ++i)
          untie_model(model[i], key);
        break;
    }
  }
  for (std::size_t t = 0; t < targets.size(); ++t) {
    for (const auto& [key, value] : model[t])
      EXPECT_EQ(table.tied(targets[t], key), value);
  }
}

}  // namespace
}  // namespace kes::runtime
