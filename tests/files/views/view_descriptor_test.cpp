// View descriptors: building, reading back, printing, the 19-level limit and misuse.
#include <cstdint>
#include <string>
#include <vector>

#include <kestrel/views.h>

#include <gtest/gtest.h>

#include "files/errors/error_state.h"
#include "runtime/stack/string_stack.h"
#include "tests/support/stack_helpers.h"

namespace {

// Records what a descriptor reports; room for `capacity` bytes.
class Recorder final : public view_handler {
 public:
  explicit Recorder(std::size_t capacity = 4096) : buffer(capacity), descriptor(this) {
    descriptor.setup(buffer.data());
  }
  bool reserve(std::uint32_t length) override {
    return descriptor.built_length() + length <= buffer.size();
  }
  void error(std::int32_t code) override { errors.push_back(code); }
  void put(char c) override { printed += c; }
  std::vector<std::uint8_t> bytes() const {
    return {buffer.begin(), buffer.begin() + descriptor.built_length()};
  }

  std::vector<std::uint8_t> buffer;
  view_descriptor descriptor;
  std::vector<std::int32_t> errors;
  std::string printed;
};

struct BuildCase {
  const char* name;
  void (*steps)(view_descriptor&);
  std::vector<std::uint8_t> bytes;
  const char* printed;
};

const BuildCase kBuilds[] = {
    {"PrimaryAlone",
     [](view_descriptor& v) { v.file(), v.unset_join(); },
     {0x00, 0x00, 0xFF, 0xFF, 0x00},
     "VIEW(FILE)\r\nEND\r\n"},
    {"JoinByTwoKeyComponents",
     [](view_descriptor& v) {
       v.file(), v.join(2), v.join_component(2), v.join_component(5);
       v.unset_join(), v.unset_join();
     },
     {0x00, 0x00, 0xFF, 0xFF, 0x01, 0x02, 0x02, 0x00, 0x05, 0x00, 0x00, 0xFF, 0xFF, 0x00},
     "VIEW(FILE)\r\n  JOIN(KEY,FIELD(2),FIELD(5))\r\n  END\r\nEND\r\n"},
    {"NestedConditionInnerProjection",
     [](view_descriptor& v) {
       v.file(), v.project_field(3), v.project_memo(1);
       v.join(0), v.join_condition("A=B"), v.set_flags(1);
       v.join(1), v.join_component(260), v.unset_join();
       v.unset_join(), v.file(), v.unset_join(), v.unset_join();
     },
     {0x00, 0x00, 0x02, 0x00, 0x03, 0x00, 0xFF, 0xFF, 0x01, 0x00,  // primary, 2 entries
      0x02,                                                        // two joins
      0xFF, 'A',  '=',  'B',  0x00, 0x01, 0xFF, 0xFF, 0x01,        // condition, INNER
      0x01, 0x04, 0x01, 0x00, 0xFF, 0xFF, 0x00,                    // key (260), all fields
      0x00, 0x00, 0xFF, 0xFF, 0x00},                               // empty key join
     "VIEW(FILE)\r\n  PROJECT(FIELD(3),MEMO(1))\r\n  JOIN(A=B),INNER\r\n    JOIN(KEY,FIELD(260))"
     "\r\n    END\r\n  END\r\n  JOIN(KEY)\r\n  END\r\nEND\r\n"},
};

TEST(ViewDescriptorBuild, WritesTheBytesAndPrintsThem) {
  for (const BuildCase& c : kBuilds) {
    SCOPED_TRACE(c.name);
    Recorder r;
    c.steps(r.descriptor);
    r.descriptor.print();
    EXPECT_EQ(r.bytes(), c.bytes);
    EXPECT_EQ(r.printed, c.printed);
    EXPECT_TRUE(r.errors.empty());
  }
}

TEST(ViewDescriptorRead, WalksLevelsOfABuiltDescriptor) {
  Recorder r;
  kBuilds[2].steps(r.descriptor);
  view_descriptor& v = r.descriptor;
  EXPECT_EQ(v.components(), 0);
  EXPECT_EQ(v.fields(), 2);
  EXPECT_EQ(v.field(1), 3);
  EXPECT_EQ(v.memo(1), kViewMemoEntry);
  EXPECT_EQ(v.field(2), kViewMemoEntry);
  EXPECT_EQ(v.memo(2), 1);
  EXPECT_EQ(v.joins(), 2);
  v.set_join(1);
  EXPECT_STREQ(v.condition(), "A=B");
  EXPECT_EQ(v.get_flags(), 1);
  EXPECT_EQ(v.fields(), kViewAllFields);
  v.set_join(1);
  EXPECT_EQ(v.components(), 1);
  EXPECT_EQ(v.component(1), 260);
  EXPECT_EQ(v.condition(), nullptr);
  v.unset_join(), v.unset_join(), v.set_join(2);
  EXPECT_EQ(v.components(), 0);
  EXPECT_EQ(v.joins(), 0);
  EXPECT_TRUE(r.errors.empty());
}

struct MisuseCase {
  const char* name;
  void (*steps)(view_descriptor&);
  std::int32_t error;
};
const MisuseCase kMisuses[] = {
    {"ComponentBeyondTheCount",
     [](view_descriptor& v) { v.file(), v.join(1), v.join_component(1), v.join_component(2); },
     kViewTooManyComponents},
    {"ConditionTwice",
     [](view_descriptor& v) { v.file(), v.join(0), v.join_condition("X"), v.join_condition("Y"); },
     kViewTooManyComponents},
    {"FlagsAfterTheProjection",
     [](view_descriptor& v) { v.file(), v.project_field(1), v.set_flags(1); }, kViewOutOfOrder},
    {"ComponentAfterTheFlags",
     [](view_descriptor& v) { v.file(), v.join(1), v.set_flags(0), v.join_component(1); },
     kViewOutOfOrder},
    {"FieldAfterProjectAll",
     [](view_descriptor& v) { v.file(), v.project_all(), v.project_field(1); }, kViewOutOfOrder},
    {"SetJoinWhileBuilding", [](view_descriptor& v) { v.file(), v.set_join(1); }, kViewOutOfOrder},
    {"FieldIndexZero",
     [](view_descriptor& v) { v.file(), v.project_field(4), v.unset_join(), v.field(0); },
     kViewBadIndex},
    {"FieldIndexBeyond",
     [](view_descriptor& v) { v.file(), v.project_field(4), v.unset_join(), v.memo(2); },
     kViewBadIndex},
    {"ComponentIndexBeyond", [](view_descriptor& v) { v.file(), v.unset_join(), v.component(1); },
     kViewBadIndex},
    {"JoinBeyondTheCount", [](view_descriptor& v) { v.file(), v.unset_join(), v.set_join(1); },
     kViewBadIndex},
};

TEST(ViewDescriptorMisuse, ReportsItsCode) {
  for (const MisuseCase& c : kMisuses) {
    SCOPED_TRACE(c.name);
    Recorder r;
    c.steps(r.descriptor);
    EXPECT_EQ(r.errors, std::vector<std::int32_t>{c.error});
  }
}

TEST(ViewDescriptorDepth, NineteenLevelsBelowThePrimaryAndNoMore) {
  Recorder r;
  r.descriptor.file();
  for (int level = 1; level <= kViewMaxDepth; ++level)
    r.descriptor.join(0);
  EXPECT_TRUE(r.errors.empty());
  r.descriptor.join(0);
  EXPECT_EQ(r.errors, std::vector<std::int32_t>{kViewTooDeep});
  for (int level = 0; level <= kViewMaxDepth; ++level)
    r.descriptor.unset_join();
  r.errors.clear();
  for (int level = 1; level <= kViewMaxDepth; ++level)
    r.descriptor.set_join(1);
  EXPECT_EQ(r.descriptor.joins(), 0);  // the deepest level
  r.descriptor.print();
  EXPECT_TRUE(r.errors.empty());
  EXPECT_EQ(std::count(r.printed.begin(), r.printed.end(), '\n'), 2 + 2 * kViewMaxDepth);
}

TEST(ViewDescriptorLimits, LongProjectionsDeepStringsAndCutComponents) {
  Recorder r;
  r.descriptor.file();
  for (std::uint16_t f = 1; f <= 300; ++f)
    r.descriptor.project_field(f);
  r.descriptor.unset_join();
  EXPECT_EQ(r.descriptor.fields(), 300);
  EXPECT_EQ(r.descriptor.field(300), 300);
  std::vector<std::uint8_t> deep;
  for (int level = 0; level <= kViewMaxDepth + 1; ++level)
    deep.insert(deep.end(), {0x00, 0x00, 0xFF, 0xFF,
                             level <= kViewMaxDepth ? std::uint8_t{1} : std::uint8_t{0}});
  r.descriptor.setup(deep.data(), static_cast<std::uint32_t>(deep.size()));
  r.descriptor.print();
  EXPECT_EQ(r.errors, std::vector<std::int32_t>{kViewTooDeep});
  const std::uint8_t cut[] = {0x02, 0x07};  // two components announced, half of one there
  r.errors.clear();
  r.descriptor.setup(cut, sizeof cut);
  EXPECT_EQ(r.descriptor.component(1), 0);
  const std::uint8_t early[] = {0x00, 0x00, 0x03, 0x00, 0x01, 0x00};  // three entries, one there
  r.descriptor.setup(early, sizeof early);
  EXPECT_EQ(r.descriptor.joins(), 0);
  EXPECT_EQ(r.errors, (std::vector<std::int32_t>{kViewMalformed, kViewMalformed}));
}

// A ViewDesc builds in its own buffer up to its capacity and prints onto the string stack; one
// over a compiled descriptor only reads it. Misuse is error 75.
TEST(ViewDesc, OwnBufferStopsAtItsCapacityAndACompiledOneIsOnlyRead) {
  ViewDesc v;
  v.file(), v.join(1), v.join_component(7), v.unset_join(), v.unset_join();
  v.print();
  EXPECT_EQ(kes::test::pop_top_text(), "VIEW(FILE)\r\n  JOIN(KEY,FIELD(7))\r\n  END\r\nEND\r\n");
  EXPECT_EQ(kes::runtime::string_stack_depth(), 0);
  ViewDesc full;
  kes::files::clear_error();
  full.file();
  for (int f = 1; f <= 40000; ++f)
    full.project_field(static_cast<std::uint16_t>(f));
  EXPECT_EQ(kes::files::current_error(), kes::files::ErrorCode::InvalidFieldType);
  EXPECT_LE(full.built_length(), ViewDesc::kCapacity);
  EXPECT_GT(full.built_length(), ViewDesc::kCapacity - 2);
  const std::uint8_t compiled[] = {0x00, 0x00, 0xFF, 0xFF, 0x00};
  ViewDesc read(compiled, sizeof compiled);
  kes::files::clear_error();
  read.file();
  EXPECT_EQ(kes::files::current_error(), kes::files::ErrorCode::InvalidFieldType);
  EXPECT_EQ(compiled[0], 0x00);
  EXPECT_EQ(read.fields(), kViewAllFields);
}

}  // namespace
