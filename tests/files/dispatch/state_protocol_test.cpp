// The operation state protocol: every operation's six masks, the answers of the check and the
// special transitions of the update.
#include "files/dispatch/state_protocol.h"

#include <array>
#include <cstdlib>
#include <sstream>
#include <string>

#include <kestrel/driver.h>

#include <gtest/gtest.h>

namespace kes::files {
namespace {

// Operation numbers (several sharing one row), then activity, required, forbidden, set,
// cleared and failure masks in hexadecimal. Every number not listed has all six masks 0.
constexpr const char* kRows = R"(
1 11 41 0 2 1400 0
2 0 21 0 0 0 0
3 1 C0 4 0 0 2022
4 11 41 0 0 0 0
5 1 1 4 100 0 0
6 1 C0 4 0 0 0
7 1 1 4 0 101 0
8 1 5 0 0 4 0
9 1 0 1 0 0 0
10 1 0 1 0 0 0
11 1 43 0 0 2 0
12 1 41 0 0 0 0
13 1 C1 4 0 0 0
14 0 21 0 0 0 0
15 11 101 0 2 A00 2
16 11 1 0 2 A00 2
17 11 101 0 2 A00 2
18 1 1 0 800 0 0
19 1 1 0 800 0 0
20 1 1 10 90 0 0
21 1 1 10 90 0 0
22 1 1 4 4 0 0
24 15 21 0 2 A00 2022
25 1 0 1 1 0 0
26 1 C0 4 0 22 2022
27 0 3 0 0 0 0
28 0 103 0 0 0 0
29 1 1 0 0 8 0
30 11 43 0 0 1400 0
31 15 21 0 2 A00 2022
32 0 1 0 0 0 0
33 0 101 0 0 0 0
34 1 1 4 100 0 0
36 1 1 0 0 1000 0
37 1 0 1 0 0 0
38 1 0 1 0 0 0
40 1 5 0 0 4 0
41,43,63 25 1 0 2020 0 2020
42,44,45,46,47,64 25 101 0 2020 0 2020
48 1 0 1 1 0 0
49 15 21 0 0 2 2022
50 1 11 4 0 10 0
51 11 1 0 0 1400 0
52 1 1 0 0 0 0
53 11 1 0 2 A00 2
54,55 11 41 0 0 1400 2
56 1 1 8 8 0 0
57 1 101 0 0 0 0
58 1 1 0 200 0 0
59 1 41 0 0 1400 0
60 1 0 0 0 0 0
61 1 3 0 0 0 0
62 1 103 0 0 0 0
65 0 1 0 0 0 0
66 11 1 0 2 A00 0
67 11 101 0 2 A00 0
68,69,70,75,76,78,79,80,97 1 1 0 0 0 0
71,85,88,89,90 1 0 0 0 0 0
73 0 101 0 0 0 0
77 0 3 0 0 0 0
81 5 1 0 20 0 20
82 0 1 0 0 0 0
83 5 1 0 2020 0 2020
84 1 C0 4 0 0 2022
92 1 1 100 100 0 0
93 1 1 0 0 100 0
94 1 0 1 0 0 0
95 0 1 0 0 0 0
96 1 3 0 0 0 0
)";

struct Masks {
  std::uint32_t activity, required, forbidden, set, cleared, failure;
};

std::array<Masks, 105> expected_masks() {
  std::array<Masks, 105> table{};
  std::istringstream in(kRows);
  std::string operations;
  while (in >> operations) {
    Masks m{};
    in >> std::hex >> m.activity >> m.required >> m.forbidden >> m.set >> m.cleared >> m.failure;
    std::istringstream numbers(operations);
    std::string number;
    while (std::getline(numbers, number, ','))
      table[static_cast<std::size_t>(std::stoi(number))] = m;
  }
  return table;
}

constexpr std::uint32_t kProbeBits = 0x3FFF;  // every state bit but BUILD in progress

struct Object {
  std::uint32_t state = 0, activity = 0, own = 0;
  StateWords words(bool with_own = false) { return {&state, &activity, with_own ? &own : nullptr}; }
};

std::uint32_t after_success(std::int32_t operation, std::uint32_t state, std::uint32_t* activity) {
  Object o{state, 0, 0};
  update_state(o.words(), operation, 0);
  if (activity != nullptr) *activity = o.activity;
  return o.state;
}

std::int32_t check(std::int32_t operation, std::uint32_t state, bool own_built) {
  Object o{state, 0xFFFF, own_built ? 0x100u : 0u};
  return check_state(o.words(true), operation, nullptr, 0);
}

TEST(StateProtocolTable, EveryOperationChecksAndChangesItsMasks) {
  const std::array<Masks, 105> table = expected_masks();
  for (std::int32_t op = 1; op <= 104; ++op) {
    SCOPED_TRACE("operation " + std::to_string(op));
    const Masks& m = table[static_cast<std::size_t>(op)];
    std::uint32_t activity = 0;
    EXPECT_EQ(after_success(op, 0, &activity), m.set);
    EXPECT_EQ(activity, m.activity);
    EXPECT_EQ(after_success(op, 1, nullptr) & 1u, (1u | m.set) & ~m.cleared & 1u);
    // From every bit but open: what disappears is the cleared mask.
    EXPECT_EQ(~after_success(op, kProbeBits & ~1u, nullptr) & kProbeBits & ~1u, m.cleared & ~1u);
    Object failed{kProbeBits, 0, 0};
    update_state(failed.words(), op, 5);
    const std::uint32_t kept_sequence = op == DRV_SETFILEPTR ? 0x20u : 0u;
    EXPECT_EQ(~failed.state & kProbeBits, ((m.failure & ~kept_sequence) | 0x600u));
    // Required: the bits whose absence stops the operation; forbidden: those whose presence does.
    const std::uint32_t base = (m.required & ~0x100u) | ((m.forbidden & 1u) != 0 ? 0u : 1u);
    EXPECT_EQ(check(op, base, true), 0);
    std::uint32_t required = check(op, base, false) != 0 ? 0x100u : 0u;
    std::uint32_t forbidden = 0;
    for (std::uint32_t bit = 1; bit < 0x4000; bit <<= 1) {
      if (bit != 0x100 && (base & bit) != 0 && check(op, base & ~bit, true) != 0) required |= bit;
      if ((base & bit) == 0 && check(op, base | bit, true) != 0) forbidden |= bit;
    }
    EXPECT_EQ(required, m.required);
    EXPECT_EQ(forbidden, m.forbidden);
  }
}

struct CheckCase {
  const char* name;
  std::int32_t operation;
  std::uint32_t state;
  const char* position;
  std::int32_t answer;
};
constexpr CheckCase kChecks[] = {
    {"NumberZero", 0, 1, nullptr, 80},
    {"NumberAboveTheTable", 105, 1, nullptr, 80},
    {"NotOpen", DRV_NEXT, 0, nullptr, 37},
    {"KeyNotBuilt", DRV_SETKEY, 1, nullptr, 46},
    {"NoCurrentRecord", DRV_DELETE, 0x41, nullptr, 33},
    {"NoSequence", DRV_NEXT, 0x1, nullptr, 33},
    {"ExclusiveBeforeWrite", DRV_EMPTY, 0x1, nullptr, 63},
    {"WriteAccess", DRV_EMPTY, 0x81, nullptr, 5},
    {"OtherMissingBitOfAnOpenFile", DRV_UNLOCK, 0x1, nullptr, -1},
    {"BuildOfAClosedFileGoesAhead", DRV_BUILDFILE, 0, nullptr, 0},
    {"AlreadyOpen", DRV_OPEN, 0x1, nullptr, 52},
    {"InLogout", DRV_CLOSE, 0x5, nullptr, 56},
    {"OtherForbiddenBit", DRV_LOCKFILE, 0x11, nullptr, -1},
    {"BuildInProgress", DRV_NEXT, 0x4021, nullptr, 92},
    {"CloseDuringBuild", DRV_CLOSE, 0x4001, nullptr, 0},
    {"NameDuringBuild", DRV_NAME, 0x4000, nullptr, 0},
    {"GetPropertyDuringBuild", DRV_GET_PROPERTY, 0x4001, nullptr, 0},
    {"RecordsDuringBuild", DRV_RECORDSFILE, 0x4001, nullptr, 92},
    {"BlankPosition", DRV_RESETFILE, 0x1, "   ", 35},
    {"EmptyPosition", DRV_REGETFILE, 0x1, "", 35},
    {"PositionGiven", DRV_RESETFILE, 0x1, " 1 ", 0},
    {"BlankPositionOfAClosedFile", DRV_RESETFILE, 0, "  ", 37},
    {"BlankPositionOfAKey", DRV_REGETKEY, 0x101, " ", 35},
};

TEST(StateProtocolCheck, AnswersWhatTheStateDeserves) {
  for (const CheckCase& c : kChecks) {
    SCOPED_TRACE(c.name);
    Object o{c.state, 0x15, c.state & 0x100u};  // a built key has its own word
    const std::size_t length =
        c.position == nullptr ? 0 : std::char_traits<char>::length(c.position);
    EXPECT_EQ(check_state(o.words(true), c.operation, c.position, length), c.answer);
    EXPECT_EQ(o.state, c.state);
  }
}

TEST(StateProtocolCheck, KeyOfAnotherFileIs38AndTheActivityWordStarts0) {
  Drv_FCB file{}, other{};
  Drv_KCB key{};
  key.file = &other;
  file.state_word = 0x121;
  file.activity_word = 0x15;
  Drv_Args arguments{};
  arguments.key2 = &key;
  EXPECT_EQ(_drv_check_state(&file, DRV_SETKEYKEY, &arguments, nullptr, 0), 38);
  key.file = &file;
  arguments.key = &key;
  EXPECT_EQ(_drv_check_state(&file, DRV_SETKEYKEY, &arguments, nullptr, 0), 0);
  EXPECT_EQ(file.activity_word, 0u);
  key.flags = DRV_KEY_OWN_FLAGS;  // its own word, not built
  EXPECT_EQ(_drv_check_state(&file, DRV_SETKEYKEY, &arguments, nullptr, 0), 46);
}

struct UpdateCase {
  const char* name;
  std::int32_t operation;
  std::int32_t error;
  std::uint32_t state;
  std::uint32_t after;
  bool own = false;  // the object has a word of its own (a key's)
  std::uint32_t own_after = 0;
};
constexpr UpdateCase kUpdates[] = {
    {"ReadUnderWatch", DRV_GETFILEPTR, 0, 0x201, 0x403},
    {"ReadWithoutWatch", DRV_GETFILEPTR, 0, 0x401, 0x003},
    {"ReadUnderHold", DRV_NEXT, 0, 0x821, 0x1023},
    {"ReadWithoutHold", DRV_NEXT, 0, 0x1021, 0x0023},
    {"CloseClearsTheWholeWord", DRV_CLOSE, 0, 0x7FFF, 0},
    {"CloseOfAClosedFile", DRV_CLOSE, 0, 0x2, 0x2},
    {"NumberAboveTheTableChangesNothing", 105, 0, 0x21, 0x21},
    {"FailureAboveTheTableChangesNothing", 105, 5, 0x621, 0x621},
    {"KeyBuiltIntoItsOwnWord", DRV_BUILDDYN, 0, 0x1, 0x1, true, 0x100},
    {"KeyBuiltWithoutAWordOfItsOwn", DRV_BUILDDYN, 0, 0x1, 0x101},
};

TEST(StateProtocolUpdate, SpecialTransitions) {
  for (const UpdateCase& c : kUpdates) {
    SCOPED_TRACE(c.name);
    Object o{c.state, 0, 0};
    update_state(o.words(c.own), c.operation, c.error);
    EXPECT_EQ(o.state, c.after);
    EXPECT_EQ(o.own, c.own_after);
  }
}

}  // namespace
}  // namespace kes::files
