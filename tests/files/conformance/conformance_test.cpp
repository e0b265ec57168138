// The suite every file driver must pass, run through the statement exports as compiled code
// calls them: once for each driver's factory (the SQLite driver, and drivers to come).
#include <algorithm>
#include <string>
#include <tuple>
#include <vector>

#include <kestrel/sqlite_driver.h>
#include <kestrel/string_stack.h>

#include <gtest/gtest.h>

#include "tests/files/conformance/file_declaration.h"
#include "tests/support/temp_folder.h"

namespace kes::test {

// A driver under test: its entry function and a fresh file name for a test.
struct DriverFactory {
  const char* name;
  Drv_Entry entry;
  std::string (*file_name)(const std::string& test);
};

namespace {

constexpr std::size_t kByIdKey = Customers::kById, kByNameKey = Customers::kByName,
                      kByCityKey = Customers::kByCity;

// Each test starts with five customers in a fresh file of the driver's.
class Conformance : public ::testing::TestWithParam<DriverFactory>, public Customers {
 protected:
  Conformance()
      : Customers(
            GetParam().entry,
            GetParam().file_name(::testing::UnitTest::GetInstance()->current_test_info()->name())) {
    Kes$FILE_CREATE(file());
    EXPECT_EQ(open(), 0);
    for (const auto& [id, name, city, amount] : {std::tuple{1, "bob", "Oslo", 10},
                                                 {2, "Alice", "Bergen", 30},
                                                 {3, "carol", "Oslo", 20},
                                                 {4, "Bob", "", 0},
                                                 {5, "dave", "Bergen", 30}})
      EXPECT_EQ(add(id, name, city, amount), 0);
  }
  ~Conformance() override { Kes$FILE_CLOSE(file()); }

  // The IDs that NEXT (or PREVIOUS) reads until it posts 33.
  std::vector<std::int32_t> read_all(bool backward) {
    std::vector<std::int32_t> ids;
    for (int guard = 0; guard < 100; ++guard) {
      backward ? Kes$FILE_PREV(file()) : Kes$FILE_NEXT(file());
      if (Kes$ERRCODE != 0) break;
      ids.push_back(id());
    }
    EXPECT_EQ(Kes$ERRCODE, 33);
    return ids;
  }
};

using Ids = std::vector<std::int32_t>;

struct GetCase {
  const char* name;
  std::size_t key;
  std::int32_t id;
  const char* name_value;
  const char* city;
  std::int32_t amount;
  std::int32_t found;  // the ID, or minus the error
};
const GetCase kGets[] = {
    {"FirstId", kByIdKey, 1, "", "", 0, 1},
    {"LastId", kByIdKey, 5, "", "", 0, 5},
    {"MissingId", kByIdKey, 6, "", "", 0, -35},
    {"NameOtherCase", kByNameKey, 0, "CAROL", "", 0, 3},
    {"FirstOfDuplicates", kByNameKey, 0, "BOB", "", 0, 1},
    {"TwoComponents", kByCityKey, 0, "", "Bergen", 30, 2},
    {"LeftOutOfOptKey", kByCityKey, 0, "", "", 0, -35},
};

TEST_P(Conformance, FindsEachRecordByEveryKeyAndCountsEachKey) {
  for (const GetCase& c : kGets) {
    SCOPED_TRACE(c.name);
    fill(c.id, c.name_value, c.city, c.amount);
    EXPECT_EQ(get_by(c.key), c.found);
  }
  Kes$FILE_GETfl(file(), 3);
  EXPECT_EQ(id(), 3);
  EXPECT_EQ(Kes$FILE_POINTERf(file()), 3);
  Kes$FILE_GETfl(file(), 99);
  EXPECT_EQ(Kes$ERRCODE, 35);
  EXPECT_EQ(Kes$FILE_RECORDSf(file()), 5);
  EXPECT_EQ(Kes$FILE_RECORDSk(key(kByCityKey)), 4);
}

struct ScanCase {
  const char* name;
  int set;  // 0 SET(file), 1 SET(key), 2 SET(key, key), 3 SET(file, pointer), 4 SET(key,key,ptr)
  std::size_t key;
  std::int32_t id;
  const char* name_value;
  const char* city;
  std::int32_t amount;
  std::int32_t pointer;
  bool backward;
  Ids ids;
};
const ScanCase kScans[] = {
    {"RecordOrder", 0, 0, 0, "", "", 0, 0, false, {1, 2, 3, 4, 5}},
    {"RecordOrderBackward", 0, 0, 0, "", "", 0, 0, true, {5, 4, 3, 2, 1}},
    {"RecordOrderFromPointer", 3, 0, 0, "", "", 0, 3, false, {3, 4, 5}},
    {"RecordOrderBackFromPointer", 3, 0, 0, "", "", 0, 3, true, {3, 2, 1}},
    {"IdFromThree", 2, kByIdKey, 3, "", "", 0, 0, false, {3, 4, 5}},
    {"IdBackFromThree", 2, kByIdKey, 3, "", "", 0, 0, true, {3, 2, 1}},
    {"IdBeyondLast", 2, kByIdKey, 9, "", "", 0, 0, false, {}},
    {"IdBackBeforeFirst", 2, kByIdKey, 0, "", "", 0, 0, true, {}},
    {"NameIgnoresCaseDuplicatesByPosition", 1, kByNameKey, 0, "", "", 0, 0, false, {2, 1, 4, 3, 5}},
    {"NameFromBOB", 2, kByNameKey, 0, "BOB", "", 0, 0, false, {1, 4, 3, 5}},
    {"NameBackFromB", 2, kByNameKey, 0, "b", "", 0, 0, true, {2}},
    {"CityAmountDescending", 1, kByCityKey, 0, "", "", 0, 0, false, {2, 5, 3, 1}},
    {"CityBackward", 1, kByCityKey, 0, "", "", 0, 0, true, {1, 3, 5, 2}},
    {"CityFromOslo15", 2, kByCityKey, 0, "", "Oslo", 15, 0, false, {1}},
    {"CityFromDuplicateAndPointer", 4, kByCityKey, 0, "", "Bergen", 30, 5, false, {5, 3, 1}},
    {"CityBackFromDuplicateAndPointer", 4, kByCityKey, 0, "", "Bergen", 30, 5, true, {5, 2}},
};

TEST_P(Conformance, ScansInOrderFromAnyStartInBothDirections) {
  for (const ScanCase& c : kScans) {
    SCOPED_TRACE(c.name);
    fill(c.id, c.name_value, c.city, c.amount);
    switch (c.set) {
      case 0: Kes$FILE_SETf(file()); break;
      case 1: Kes$FILE_SETk(key(c.key)); break;
      case 2: Kes$FILE_SETkk(key(c.key), key(c.key)); break;
      case 3: Kes$FILE_SETfl(file(), c.pointer); break;
      default: Kes$FILE_SETkkl(key(c.key), key(c.key), c.pointer); break;
    }
    ASSERT_EQ(Kes$ERRCODE, 0);
    EXPECT_EQ(read_all(c.backward), c.ids);
  }
}

TEST_P(Conformance, TurnsSkipsAndTellsEnds) {
  Kes$FILE_SETk(key(kByIdKey));
  EXPECT_EQ(Kes$FILE_BOF(file()), 0);  // BOF and EOF before reading: records lie ahead
  EXPECT_EQ(Kes$FILE_CEOF(file()), 0);
  Kes$FILE_NEXT(file());
  EXPECT_EQ(id(), 1);
  EXPECT_EQ(Kes$FILE_BOF(file()), 1);
  Kes$FILE_SKIP(file(), 2);
  Kes$FILE_NEXT(file());
  EXPECT_EQ(id(), 4);
  Kes$FILE_PREV(file());
  EXPECT_EQ(id(), 3);
  Kes$FILE_SKIP(file(), -1);
  Kes$FILE_NEXT(file());
  EXPECT_EQ(id(), 3);
  Kes$FILE_SKIP(file(), 1);
  Kes$FILE_NEXT(file());
  EXPECT_EQ(id(), 5);
  EXPECT_EQ(Kes$FILE_CEOF(file()), 1);
  Kes$FILE_SKIP(file(), 10);  // past the end: nothing left to read
  Kes$FILE_NEXT(file());
  EXPECT_EQ(Kes$ERRCODE, 33);
}

TEST_P(Conformance, RefusesDuplicatesOfUniqueKeysOnly) {
  EXPECT_EQ(add(3, "erin", "Rome", 1), 40);
  EXPECT_EQ(add(6, "ALICE", "Bergen", 30), 0);  // duplicates of the DUP keys
  EXPECT_EQ(Kes$FILE_RECORDSf(file()), 6);
  get(5);
  set_long(kId, 2);
  Kes$FILE_PUTf(file());
  EXPECT_EQ(Kes$ERRCODE, 40);
  EXPECT_EQ(get(5), 5);  // unchanged
}

TEST_P(Conformance, PutThatChangesAKeyMovesTheRecordAndTheScanWithIt) {
  Kes$FILE_SETk(key(kByNameKey));
  Kes$FILE_NEXT(file());
  Kes$FILE_NEXT(file());
  ASSERT_EQ(id(), 1);  // bob
  set_string(kName, "Aaron", 20);
  Kes$FILE_PUTf(file());
  ASSERT_EQ(Kes$ERRCODE, 0);
  EXPECT_EQ(read_all(false), (Ids{2, 4, 3, 5}));  // on from Aaron's new place
  fill(0, "aaron", "", 0);
  EXPECT_EQ(get_by(kByNameKey), 1);
  fill(0, "bob", "", 0);
  EXPECT_EQ(get_by(kByNameKey), 4);
}

TEST_P(Conformance, DeleteDuringAScanGoesOnFromTheDeletedRecord) {
  Kes$FILE_SETk(key(kByIdKey));
  Ids seen;
  for (Kes$FILE_NEXT(file()); Kes$ERRCODE == 0; Kes$FILE_NEXT(file())) {
    seen.push_back(id());
    if (id() % 2 == 0) Kes$FILE_DELETE(file());
    ASSERT_EQ(Kes$ERRCODE, 0);
  }
  EXPECT_EQ(seen, (Ids{1, 2, 3, 4, 5}));
  Kes$FILE_SETk(key(kByIdKey));
  EXPECT_EQ(read_all(true), (Ids{5, 3, 1}));
}

TEST_P(Conformance, RollbackLosesWhatCommitKeeps) {
  Kes$LOGOUT(1, file(), nullptr);
  ASSERT_EQ(Kes$ERRCODE, 0);
  add(10, "x", "y", 1);
  get(1);
  Kes$FILE_DELETE(file());
  Kes$ROLLBACK();
  EXPECT_EQ(Kes$ERRCODE, 0);
  EXPECT_EQ(Kes$FILE_RECORDSf(file()), 5);
  Kes$LOGOUT(1, file(), nullptr);
  add(11, "x", "y", 1);
  Kes$COMMIT();
  EXPECT_EQ(Kes$ERRCODE, 0);
  Kes$FILE_CLOSE(file());
  Kes$FILE_OPEN(file(), DRV_ACCESS_READWRITE | DRV_DENY_NONE);
  EXPECT_EQ(get(1), 1);
  EXPECT_EQ(get(11), 11);
  EXPECT_EQ(get(10), -35);
}

using Misuse = void (*)(Drv_FCB* file, Drv_KCB* key);
struct MisuseCase {
  const char* name;
  bool closed;  // the file is closed first
  Misuse misuse;
  std::int32_t error;
};
const MisuseCase kMisuses[] = {
    {"NextWithoutSet", false, [](Drv_FCB* f, Drv_KCB*) { Kes$FILE_NEXT(f); }, 33},
    {"PutWithoutRecord", false, [](Drv_FCB* f, Drv_KCB*) { Kes$FILE_PUTf(f); }, 33},
    {"DeleteWithoutRecord", false, [](Drv_FCB* f, Drv_KCB*) { Kes$FILE_DELETE(f); }, 33},
    {"OpenTwice", false, [](Drv_FCB* f, Drv_KCB*) { Kes$FILE_OPEN(f, 0x42); }, 52},
    {"EmptyShared", false, [](Drv_FCB* f, Drv_KCB*) { Kes$FILE_EMPTY(f); }, 63},
    {"CommitWithoutLogout", false, [](Drv_FCB*, Drv_KCB*) { Kes$COMMIT(); }, 91},
    {"LogoutTwice", false,
     [](Drv_FCB* f, Drv_KCB*) { Kes$LOGOUT(1, f, nullptr), Kes$LOGOUT(1, f, nullptr); }, 56},
    {"Unsupported", false, [](Drv_FCB* f, Drv_KCB*) { Kes$FILE_STREAM(f); }, 80},
    {"AddClosed", true, [](Drv_FCB* f, Drv_KCB*) { Kes$FILE_ADDf(f); }, 37},
    {"AddReadOnly", true, [](Drv_FCB* f, Drv_KCB*) { Kes$FILE_OPEN(f, 0x40), Kes$FILE_ADDf(f); },
     5},
    {"OpenMissing", true, [](Drv_FCB* f, Drv_KCB*) { Kes$FILE_REMOVE(f), Kes$FILE_OPEN(f, 0x42); },
     2},
    {"KeyOfAnotherFile", false, [](Drv_FCB* f, Drv_KCB* k) { Kes$FILE_GETfk(f, k); }, 38},
};

TEST_P(Conformance, PostsTheErrorOfEachMisuse) {
  Drv_FCB other{};
  for (const MisuseCase& c : kMisuses) {
    SCOPED_TRACE(c.name);
    if (c.closed) Kes$FILE_CLOSE(file());
    key(kByIdKey)->file = c.error == 38 ? &other : file();
    c.misuse(file(), key(kByIdKey));
    EXPECT_EQ(Kes$ERRCODE, c.error);
    key(kByIdKey)->file = file();
    Kes$ROLLBACK();
    Kes$FILE_CLOSE(file());
    Kes$FILE_OPEN(file(), 0x42);
    if (Kes$ERRCODE == 2) Kes$FILE_CREATE(file()), Kes$FILE_OPEN(file(), 0x42);
    ASSERT_EQ(Kes$ERRCODE, 0);
  }
}

std::string driver_name(const ::testing::TestParamInfo<DriverFactory>& driver) {
  return driver.param.name;
}

// A database file of its own for each test, in a folder of this process's own.
std::string sqlite_name(const std::string& test) {
  static const TempFolder folder("conformance");
  std::string name = test;
  std::replace(name.begin(), name.end(), '/', '_');
  return folder.file(name + ".db");
}

INSTANTIATE_TEST_SUITE_P(SQLite, Conformance,
                         ::testing::Values(DriverFactory{"SQLite", SQLite$Driver, sqlite_name}),
                         driver_name);

}  // namespace
}  // namespace kes::test
