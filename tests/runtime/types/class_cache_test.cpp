// The class-descriptor cache when memory runs out: nothing half-read is kept.
#include "runtime/types/class_cache.h"

#include <kestrel/types.h>

#include <gtest/gtest.h>

#include "platform/core/heap.h"

namespace {

// Rec GROUP; A LONG; B STRING(3) at offset 4; END (7 bytes).
constexpr unsigned char kRecord[] = {
    KesTypeGroup, 0, 7, 0, 0, 0, 2, 0, 0, 0, 0, 0, 0, 0, KesTypeLong, 0, KesTypeString, 0x08, 3, 4,
};

TEST(ClassCache, AWalkShortOfMemoryIsNotKeptAsDamage) {
  int failures = 0;
  for (std::size_t n = 1;; ++n) {
    SCOPED_TRACE(n);
    kes::runtime::forget_class_descriptor(kRecord);
    kes::platform::heap_fail_nth(n);
    const class_descriptor* made = kes::runtime::cached_class_descriptor(kRecord, sizeof kRecord);
    kes::platform::heap_fail_nth(0);
    if (made != nullptr) break;
    ++failures;
  }
  EXPECT_GT(failures, 0);
  // Read whole once memory is there, from the cache or anew.
  const class_descriptor* read = kes::runtime::cached_class_descriptor(kRecord, sizeof kRecord);
  ASSERT_NE(read, nullptr);
  EXPECT_FALSE(read->damaged());
  EXPECT_EQ(read->NFields(), 2u);
  EXPECT_EQ(read->field_info(2)->offset, 4u);
  kes::runtime::forget_class_descriptor(kRecord);
}

}  // namespace
