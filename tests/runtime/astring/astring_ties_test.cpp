// Tests of TIE, TIED and UNTIE on a table of their own, with a model-based random run.
#include <cstdint>
#include <limits>
#include <map>
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "platform/core/heap.h"
#include "runtime/astring/astring_table.h"
#include "runtime/fatal/fatal.h"

namespace kes::runtime {
namespace {

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
