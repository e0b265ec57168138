// HashTable: hashing, probing, growth, key modes, reference counts and the element factory.
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include <kestrel/hash_table.h>

#include <gtest/gtest.h>

#include "platform/core/heap.h"
#include "tests/support/host_speed.h"

namespace {

TEST(HashTableHash, TimesFivePlusByteCaseFoldingMasksDFh) {
  HashTable table;
  HashElement* element = table.add("AB");
  ASSERT_NE(element, nullptr);
  EXPECT_EQ(element->hash, 391u);  // (0 * 5 + 65) * 5 + 66
  EXPECT_EQ(table.find("AB"), element);
  EXPECT_STREQ(reinterpret_cast<const char*>(element->key), "AB");
  EXPECT_NE(static_cast<const void*>(element->key), static_cast<const void*>("AB"));
  HashTable folded;
  for (int i = 0; i < 10; ++i)  // elements added before the change are hashed again
    folded.add(("key" + std::to_string(i)).c_str());
  ASSERT_TRUE(folded.set_ignore_case(true));
  for (int i = 0; i < 10; ++i)
    EXPECT_NE(folded.find(("KEY" + std::to_string(i)).c_str()), nullptr) << i;
  HashElement* lower = folded.add("ab");
  EXPECT_EQ(lower->hash, 391u);
  EXPECT_EQ(folded.add("AB"), lower);
  EXPECT_EQ(lower->references, 2);
  EXPECT_EQ(folded.find("aB"), lower);
  EXPECT_EQ(folded.find("a@"), nullptr);  // '@' and '`' differ by 20h but are not letters
}

// Index of the slot holding `element` in a table of 15 slots; 15 when none does.
std::uint32_t slot_of(const HashTable& table, const HashElement* element) {
  std::uint32_t index = 0;
  while (index < table.slot_count() && table.slot(index) != element)
    ++index;
  return index;
}

// A key whose home is `home` in a table of 15 slots, found by adding keys to an empty table.
std::string key_at_home(std::uint32_t home) {
  for (int i = 0;; ++i) {
    HashTable table;
    const std::string key = "k" + std::to_string(i);
    if (slot_of(table, table.add(key.c_str())) == home) return key;
  }
}

// Removing the element of the last slot must not move one that sits in its own home slot 0 just
// past the wrap: it would leave that home empty and the element unreachable.
TEST(HashTableProbe, RemovalAcrossTheWrapKeepsElementsAtHome) {
  const std::string last = key_at_home(14);
  const std::string first = key_at_home(0);
  HashTable table;
  table.add(last.c_str());
  HashElement* at_home = table.add(first.c_str());
  ASSERT_EQ(table.slot(0), at_home);
  EXPECT_TRUE(table.remove(last.c_str()));
  EXPECT_EQ(table.find(first.c_str()), at_home);
}

// Numbered keys have neighbouring hashes (and many share one); they still spread over the
// table instead of filling one run of slots that every look-up would walk.
TEST(HashTableProbe, NumberedKeysSpreadOverTheSlots) {
  HashTable table;
  constexpr std::uint32_t kKeys = 20000;
  char key[16];
  for (std::uint32_t i = 0; i < kKeys; ++i) {
    std::snprintf(key, sizeof key, "short-%08u", i);
    ASSERT_NE(table.add(key), nullptr);
  }
  std::uint32_t longest = 0;
  std::uint32_t run = 0;
  for (std::uint32_t k = 0; k < 2 * table.slot_count(); ++k) {  // twice round: runs may wrap
    run = table.slot(k % table.slot_count()) != nullptr ? run + 1 : 0;
    longest = std::max(longest, run);
  }
  EXPECT_LT(longest, kKeys / 10);
  for (std::uint32_t i = 0; i < kKeys; i += 997) {
    std::snprintf(key, sizeof key, "short-%08u", i);
    const HashElement* found = table.find(key);
    ASSERT_NE(found, nullptr);
    EXPECT_STREQ(reinterpret_cast<const char*>(found->key), key);
  }
}

TEST(HashTableGrowth, SlotCountsAtEachThreshold) {
  HashTable table;
  EXPECT_EQ(table.slot_count(), 15u);
  // Growth happens before an add that finds the count at 3 * slots >> 2.
  const std::pair<std::uint32_t, std::uint32_t> steps[] = {
      {11, 15},   {12, 31},    {23, 31},    {24, 63},    {47, 63},     {48, 127},   {96, 255},
      {192, 511}, {384, 1023}, {767, 1023}, {768, 2047}, {1535, 2047}, {1536, 3071}};
  std::uint32_t added = 0;
  for (const auto& [count, slots] : steps) {
    while (added < count)
      table.add(std::to_string(added++).c_str());
    EXPECT_EQ(table.slot_count(), slots) << "after " << count;
  }
  EXPECT_EQ(table.element_count(), 1536u);
  for (std::uint32_t index = 0; index < added; ++index) {
    ASSERT_NE(table.find(std::to_string(index).c_str()), nullptr) << index;
  }
}

TEST(HashTableReferences, AddAgainSaturates) {
  HashTable table;
  HashElement* element = table.add("key");
  element->references = 0x7FFFFFFF;
  EXPECT_EQ(table.add("key"), element);
  EXPECT_EQ(element->references, 0x7FFFFFFF);
}

TEST(HashTableKeyModes, FixedLengthPrefixedAndBinaryPrefixKeys) {
  HashTable fixed(4);  // binary keys of four bytes may hold zero bytes
  const unsigned char first[] = {0, 1, 0, 2};
  const unsigned char second[] = {0, 1, 0, 3};
  HashElement* element = fixed.add(first);
  EXPECT_EQ(element->hash, 0u * 125 + 1 * 25 + 0 * 5 + 2);
  EXPECT_NE(fixed.add(second), element);
  EXPECT_EQ(fixed.find(first), element);
  HashTable prefixed(HashTable::kLengthPrefixed);  // the length byte, then that many bytes
  element = prefixed.add("\002ABjunk");
  EXPECT_EQ(element->hash, 391u);
  EXPECT_EQ(prefixed.find("\002ABother"), element);
  EXPECT_EQ(prefixed.find("\003ABC"), nullptr);
  EXPECT_EQ(std::memcmp(element->key, "\002AB", 3), 0);
  HashTable named(-2);  // two binary bytes, then a terminated string
  const char key[] = "\x01\x00name";
  element = named.add(key);
  EXPECT_EQ(element->hash, ((((1u * 5 + 0) * 5 + 'n') * 5 + 'a') * 5 + 'm') * 5 + 'e');
  EXPECT_EQ(named.find("\x01\x00name"), element);
  EXPECT_EQ(named.find("\x02\x00name"), nullptr);
  EXPECT_EQ(named.find("\x01\x00names"), nullptr);
}

int atoms_alive = 0;

class Atom : public HashElement {
 public:
  Atom() noexcept { ++atoms_alive; }
  ~Atom() override { --atoms_alive; }
  int payload = 42;
};

class AtomTable : public HashTable {
 protected:
  HashElement* make_element() noexcept override { return construct<Atom>(); }
};

TEST(HashTableFactory, OwnerChoosesTheElementClass) {
  {
    AtomTable table;
    auto* atom = dynamic_cast<Atom*>(table.add("x"));
    ASSERT_NE(atom, nullptr);
    EXPECT_EQ(atom->payload, 42);
    table.add("y");
    EXPECT_EQ(atoms_alive, 2);
    EXPECT_TRUE(table.remove("x"));
    EXPECT_EQ(atoms_alive, 1);
  }
  EXPECT_EQ(atoms_alive, 0);  // the table's destructor ran the element's
}

TEST(HashTableMemory, FailuresAddNothingAndKeepEveryElement) {
  HashTable table;
  kes::platform::heap_fail_nth(1);
  EXPECT_EQ(table.add("x"), nullptr);
  kes::platform::heap_fail_nth(0);
  EXPECT_EQ(table.element_count(), 0u);
  EXPECT_EQ(table.find("x"), nullptr);
  EXPECT_EQ(table.add(nullptr), nullptr);
  for (int index = 0; index < 11; ++index)
    table.add(std::to_string(index).c_str());
  kes::platform::heap_fail_nth(1);  // the rebuilt slot array
  EXPECT_FALSE(table.set_ignore_case(true));
  kes::platform::heap_fail_nth(1);  // the grown slot array: a free slot is used all the same
  HashElement* element = table.add("more");
  kes::platform::heap_fail_nth(0);
  ASSERT_NE(element, nullptr);
  EXPECT_EQ(table.slot_count(), 15u);
  EXPECT_EQ(table.find("more"), element);
  for (int index = 0; index < 11; ++index)
    EXPECT_NE(table.find(std::to_string(index).c_str()), nullptr) << index;
}

// Differential test against a linear-scan map with the same case rule.
TEST(HashTableDifferential, MatchesALinearScanMap) {
  for (const bool ignore_case : {false, true}) {
    SCOPED_TRACE(ignore_case);
    std::mt19937 random(20261206);
    HashTable table;
    table.set_ignore_case(ignore_case);
    std::vector<std::pair<std::string, int>> model;
    auto fold = [&](std::string key) {
      if (ignore_case) {
        for (char& c : key) {
          if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 32);
        }
      }
      return key;
    };
    auto model_find = [&](const std::string& key) {
      for (auto it = model.begin(); it != model.end(); ++it) {
        if (fold(it->first) == fold(key)) return it;
      }
      return model.end();
    };
    for (int step = 0; step < kes::test::samples(20000); ++step) {
      std::string key;
      const int length = static_cast<int>(random() % 4) + 1;
      for (int index = 0; index < length; ++index)
        key += "aAbB@`z"[random() % 7];
      const unsigned operation = random() % 4;
      auto found = model_find(key);
      if (operation < 2) {
        HashElement* element = table.add(key.c_str());
        ASSERT_NE(element, nullptr);
        if (found == model.end()) {
          model.push_back({key, 1});
          EXPECT_EQ(element->references, 1);
        } else {
          EXPECT_EQ(element->references, ++found->second);
        }
      } else if (operation == 2) {
        EXPECT_EQ(table.remove(key.c_str()), found != model.end());
        if (found != model.end()) model.erase(found);
      } else {
        HashElement* element = table.find(key.c_str());
        ASSERT_EQ(element != nullptr, found != model.end()) << key;
        if (element != nullptr) {
          EXPECT_EQ(element->references, found->second);
        }
      }
      ASSERT_EQ(table.element_count(), model.size());
    }
  }
}

}  // namespace
