// Stored records: the run-length code by hand, round trips of every record size around the
// thresholds, the string-tail normalisation and the storage modes.
#include "data/queues/entry_store.h"

#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "data/queues/run_length.h"

namespace kes::data {
namespace {

std::vector<std::byte> bytes_of(const std::vector<int>& values) {
  std::vector<std::byte> out;
  for (int v : values)
    out.push_back(static_cast<std::byte>(v));
  return out;
}

struct CodeCase {
  const char* name;
  std::vector<std::byte> record;
  std::vector<int> code;  // empty: stays uncoded
};

std::vector<std::byte> repeated(std::size_t count, int value) {
  return std::vector<std::byte>(count, static_cast<std::byte>(value));
}

std::vector<std::byte> joined(std::vector<std::byte> a, const std::vector<std::byte>& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

TEST(RunLengthCode, EncodesBlocksByHand) {
  const CodeCase cases[] = {
      {"RunOf63LastShortCount", repeated(63, 0), {0x3F, 0}},
      {"RunOf64TwoByteHeader", repeated(64, ' '), {0x40, 0x40, ' '}},
      {"RunOf8191", repeated(8191, 1), {0x5F, 0xFF, 1}},
      {"RunOf8192SixteenBits", repeated(8192, 1), {0x7F, 0x00, 0x20, 1}},
      {"RunOf65536ThirtyTwoBits", repeated(65536, 2), {0x70, 0x00, 0x00, 0x01, 0x00, 2}},
      {"LiteralThenRun",
       joined(bytes_of({'a', 'b', 'c'}), repeated(30, 'z')),
       {0x83, 'a', 'b', 'c', 0x1E, 'z'}},
      {"ThreeEqualInsideStayLiteral",
       joined(joined(bytes_of({'q', 'q', 'q', 'r'}), repeated(20, 0)), bytes_of({'s'})),
       {0x84, 'q', 'q', 'q', 'r', 0x14, 0, 0x81, 's'}},
      {"ThreeEqualAtTheEndAreARun",
       joined(joined(repeated(10, 7), bytes_of({'a', 'b'})), repeated(3, 'e')),
       {0x0A, 7, 0x82, 'a', 'b', 0x03, 'e'}},
      {"NoRunsWouldReachTheSize", bytes_of({1, 2, 3, 4, 5, 6}), {}},
  };
  for (const CodeCase& c : cases) {
    SCOPED_TRACE(c.name);
    std::vector<std::byte> code(c.record.size());
    const std::size_t length = run_length_encode(c.record, code.data());
    code.resize(length);
    EXPECT_EQ(code, bytes_of(c.code));
    std::vector<std::byte> back(c.record.size());
    EXPECT_EQ(run_length_decode(code, back), length != 0);
    if (length != 0) {
      EXPECT_EQ(back, c.record);
    }
  }
}

// Records of every size up to 4,096 bytes, from runs, text and noise, come back unchanged
// through the store; below 128 bytes they are plain copies.
TEST(EntryStore, RoundTripsEveryRecordSize) {
  std::mt19937 random(3);
  const std::vector<StringTail> tails = {{10, 20, TailKind::CString}, {40, 16, TailKind::PString}};
  for (std::uint32_t size = 0; size <= 4096; size += size < 300 ? 1 : 37) {
    for (int with_tails = 0; with_tails < 2; ++with_tails) {
      EntryStore store(size, with_tails ? tails : std::vector<StringTail>{});
      ASSERT_EQ(store.mode(), size < 128        ? StorageMode::Plain
                              : with_tails != 0 ? StorageMode::CompressedTails
                                                : StorageMode::Compressed);
      std::vector<std::byte> record(size);
      for (std::uint32_t i = 0; i < size; ++i) {
        const unsigned kind = (i / 50 + size) % 3;
        record[i] = static_cast<std::byte>(kind == 0 ? 0x20 : kind == 1 ? 'A' + i % 26 : random());
      }
      if (with_tails != 0 && size >= 60) {
        record[10 + 3] = std::byte{0};  // CSTRING of 3 characters with garbage after it
        record[40] = std::byte{5};      // PSTRING of 5
      }
      Entry* entry = store.make(record.data());
      ASSERT_NE(entry, nullptr);
      std::vector<std::byte> back(size, std::byte{0x55});
      store.load(*entry, back.data());
      EXPECT_EQ(back, record) << "size " << size;  // `record` was normalised in place
      if (size >= 128) {
        EXPECT_LE(store.stored_length(*entry), size + 4u);
      }
      store.destroy(entry);
    }
  }
}

TEST(EntryStore, CompressesLongBlankRunsFrom128Bytes) {
  for (std::uint32_t size : {127u, 128u}) {
    EntryStore store(size, {});
    std::vector<std::byte> record(size, std::byte{' '});
    record[0] = std::byte{'K'};
    Entry* entry = store.make(record.data());
    // 127 bytes: the record itself; 128: length word, literal 'K', one run block
    EXPECT_EQ(store.stored_length(*entry), size == 127 ? 127u : 4u + 2 + 3);
    store.destroy(entry);
  }
}

struct TailCase {
  const char* name;
  TailKind kind;
  std::string field;
  std::string normalised;
};

TEST(StringTails, NormaliseUnusedBytes) {
  const TailCase cases[] = {
      {"CStringZeroAfterTerminator", TailKind::CString, {"AB\0xyz", 6}, {"AB\0\0\0\0", 6}},
      {"CStringWithoutTerminatorStays", TailKind::CString, "ABCDEF", "ABCDEF"},
      {"CStringEmpty", TailKind::CString, {"\0abc", 4}, {"\0\0\0\0", 4}},
      {"PStringRepeatsLastCharacter", TailKind::PString, "\x02XYabc", "\x02XYYYY"},
      {"PStringEmptyRepeatsLengthByte", TailKind::PString, {"\0abcd", 5}, {"\0\0\0\0\0", 5}},
      {"PStringFull", TailKind::PString, "\x04WXYZ", "\x04WXYZ"},
      {"PStringLengthBeyondField", TailKind::PString, "\x09WXYZ", "\x09WXYZ"},
  };
  for (const TailCase& c : cases) {
    SCOPED_TRACE(c.name);
    std::string record = "[" + c.field + "]";
    const StringTail tail{1, static_cast<std::uint32_t>(c.field.size()), c.kind};
    normalise_string_tails({reinterpret_cast<std::byte*>(record.data()), record.size()},
                           {&tail, 1});
    EXPECT_EQ(record, "[" + c.normalised + "]");
  }
}

}  // namespace
}  // namespace kes::data
