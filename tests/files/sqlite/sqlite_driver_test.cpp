// The SQLite driver beyond the conformance suite: columns and their types, decimal keys, texts
// that look like SQL, errors with SQLite's code and message, declarations a table cannot hold,
// whole-file operations, what other connections see and do, and real other processes: one
// killed inside a transaction, two writing the same file at once.
#include <algorithm>
#include <cstring>
#include <sqlite3.h>
#include <string>

#include <kestrel/decimal.h>
#include <kestrel/sqlite_driver.h>
#include <kestrel/storage.h>
#include <kestrel/string_builtins.h>
#include <kestrel/string_stack.h>

#include <gtest/gtest.h>

#include "tests/files/conformance/file_declaration.h"
#include "tests/support/temp_folder.h"

#ifndef _WIN32
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

namespace kes::test {
namespace {

// A database file of the test's own, in a folder of this process's own.
std::string fresh_database(const std::string& stem) {
  static const TempFolder folder("sqlite_driver");
  return folder.file(stem + ".db");
}

// The text on top of the string stack, popped.
std::string popped_text() {
  KesTextPair text{};
  Kes$PopTemp(&text);
  std::string out(text.pointer == nullptr ? "" : text.pointer, text.length);
  Kes$freestr(&text);
  return out;
}

// Another program's connection to a database.
struct Other {
  explicit Other(const std::string& name) { sqlite3_open(name.c_str(), &db); }
  ~Other() { sqlite3_close(db); }
  int exec(const char* sql) { return sqlite3_exec(db, sql, nullptr, nullptr, nullptr); }
  std::string text(const char* sql) {  // the first column of the first row
    sqlite3_stmt* statement = nullptr;
    std::string out = "(error)";
    sqlite3_prepare_v2(db, sql, -1, &statement, nullptr);
    if (sqlite3_step(statement) == SQLITE_ROW)
      out = reinterpret_cast<const char*>(sqlite3_column_text(statement, 0));
    sqlite3_finalize(statement);
    return out;
  }
  sqlite3* db = nullptr;
};

// The customers without their key on City and Amount, so that plain SQLite may change an
// Amount. With `fresh`, `name` is a stem: a database of the test's own is made and opened.
struct SQLiteCustomers : Customers {
  explicit SQLiteCustomers(const std::string& name, bool fresh = false)
      : Customers(SQLite$Driver, fresh ? fresh_database(name) : name, false) {
    if (fresh) Kes$FILE_CREATE(file()), open();
  }
};

void store_decimal(const char* text, unsigned char* field, std::uint8_t size, std::uint8_t places) {
  Kes$DPushCString(text);
  Kes$DPopDec(field, size, places);
}

TEST(SQLiteDriverColumns, StoresEachTypeInItsColumnAndReadsItBackExactly) {
  const std::string name = fresh_database("types");
  char notes[17] = "a memo          ";
  FileDeclaration types(SQLite$Driver, name, "Types",
                        {{DRV_TYPE_BYTE, 0, "B"},
                         {DRV_TYPE_SHORT, 0, "S"},
                         {DRV_TYPE_USHORT, 0, "US"},
                         {DRV_TYPE_DATE, 0, "D"},
                         {DRV_TYPE_ULONG, 0, "UL"},
                         {DRV_TYPE_SREAL, 0, "SR"},
                         {DRV_TYPE_REAL, 0, "R"},
                         {DRV_TYPE_BFLOAT4, 0, "BF4"},
                         {DRV_TYPE_BFLOAT8, 0, "BF8"},
                         {DRV_TYPE_DECIMAL, 4, "DEC", 2},
                         {DRV_TYPE_PDECIMAL, 3, "PDEC", 1},
                         {DRV_TYPE_STRING, 8, "STR"},
                         {DRV_TYPE_CSTRING, 8, "CSTR"},
                         {DRV_TYPE_PSTRING, 8, "PSTR"},
                         {DRV_TYPE_LONG, 0, "ARR", 0, 3},
                         {DRV_TYPE_CSTRING, 4, "OVER", 0, 0, 15}},
                        {}, {{"Notes", nullptr, notes, 16, 0, {}, nullptr}});
  const auto put = [&](std::size_t field, auto value) {
    std::memcpy(types.field(field), &value, sizeof value);
  };
  put(1, std::uint8_t{200}), put(2, std::int16_t{-3}), put(3, std::uint16_t{65000});
  put(4, std::int32_t{80000}), put(5, std::uint32_t{4000000000u}), put(6, 2.5f), put(7, -1e300);
  Kes$bstorefloat4(types.field(8), 1.5);
  Kes$bstorefloat(types.field(9), -0.25);
  store_decimal("-12.5", types.field(10), 4, 2);
  Kes$DPushCString("9.9");
  Kes$DPopPdec(types.field(11), 3, 1);
  std::memcpy(types.field(12), "ab      c d\0\0\0\0\0\2xy\0\0\0\0\0", 24);
  // Elements with a zero byte inside: the CSTRING over them would lose what follows it.
  for (std::int32_t i = 0, element = 0x01000100; i < 3; ++i, ++element)
    std::memcpy(types.field(15) + 4 * i, &element, 4);
  const std::vector<std::uint8_t> written = types.record();
  Kes$FILE_CREATE(types.file());
  Kes$FILE_OPEN(types.file(), 0x42);
  Kes$FILE_ADDf(types.file());
  ASSERT_EQ(Kes$ERRCODE, 0);
  std::fill(types.record().begin(), types.record().end(), 0);
  std::memset(notes, 0, 16);
  Kes$FILE_GETfl(types.file(), 1);
  EXPECT_EQ(types.record(), written);
  EXPECT_EQ(std::string(notes, 16), "a memo          ");
  Kes$FILE_CLOSE(types.file());
  Other other(name);
  EXPECT_EQ(other.text("SELECT typeof(B) || typeof(S) || typeof(US) || typeof(D) || typeof(UL) "
                       "|| typeof(SR) || typeof(R) || typeof(BF4) || typeof(BF8) || typeof(DEC) "
                       "|| typeof(PDEC) || typeof(STR) || typeof(CSTR) || typeof(PSTR) || "
                       "typeof(ARR) || typeof(OVER) || typeof(Notes) FROM Types"),
            "integerintegerintegerintegerintegerrealrealrealrealtexttexttexttexttextblobtextblob");
  EXPECT_EQ(other.text("SELECT UL || '|' || R || '|' || BF4 || '|' || (DEC + 0) || '|' || "
                       "(PDEC + 0) || '|' || STR || '|' || CSTR || '|' || PSTR || '|' || "
                       "CAST(Notes AS TEXT) FROM Types"),
            "4000000000|-1.0e+300|1.5|-12.5|9.9|ab|c d|xy|a memo");
}

TEST(SQLiteDriverKeys, OrdersDecimalKeysByValue) {
  FileDeclaration prices(SQLite$Driver, fresh_database("decimals"), "Prices",
                         {{DRV_TYPE_DECIMAL, 5, "Price", 2}}, {{"ByPrice", {1}}});
  Kes$FILE_CREATE(prices.file());
  Kes$FILE_OPEN(prices.file(), 0x42);
  for (const char* price : {"100", "-2", "3.25", "-10.5", "0", "0.5", "-0.75"}) {
    store_decimal(price, prices.field(1), 5, 2);
    Kes$FILE_ADDf(prices.file());
  }
  Kes$FILE_SETk(prices.key(0));
  std::vector<double> order;
  for (Kes$FILE_NEXT(prices.file()); Kes$ERRCODE == 0; Kes$FILE_NEXT(prices.file()))
    order.push_back(Kes$loaddec(prices.field(1), 5, 2));
  EXPECT_EQ(order, (std::vector<double>{-10.5, -2, -0.75, 0, 0.5, 3.25, 100}));
  store_decimal("-2.00", prices.field(1), 5, 2);
  Kes$FILE_ADDf(prices.file());
  EXPECT_EQ(Kes$ERRCODE, 40);  // -2.00 is -2
  Kes$FILE_CLOSE(prices.file());
}

TEST(SQLiteDriverData, StoresAndFindsTextsThatLookLikeSqlAsData) {
  SQLiteCustomers customers("injection", true);
  const char* texts[] = {"O'Brien", "x');DROP TABLE x;--", "a\"b", "; DELETE", "' OR '1'='1", "--"};
  for (std::int32_t id = 1; id <= 6; ++id)
    ASSERT_EQ(customers.add(id, texts[id - 1]), 0);
  for (std::int32_t id = 1; id <= 6; ++id) {
    customers.fill(0, texts[id - 1], "", 0);
    EXPECT_EQ(customers.get_by(Customers::kByName), id);
    EXPECT_EQ(customers.name(), texts[id - 1]);
  }
  EXPECT_EQ(Kes$FILE_RECORDSf(customers.file()), 6);
  customers.set_long(Customers::kId, 2);  // DUPLICATE: another record has ID 2, none but it 6
  EXPECT_EQ(Kes$FILE_DUPLICATEf(customers.file()), 1);
  customers.set_long(Customers::kId, 6);
  EXPECT_EQ(Kes$FILE_DUPLICATEk(customers.key(Customers::kById)), 0);
  Kes$FILE_CLOSE(customers.file());
  EXPECT_EQ(Other(customers.fcb.name).text("SELECT Name FROM Customer WHERE ID = 2"), texts[1]);
}

void set_property(Customers& c, std::int32_t property, const char* value) {
  Kes$PushString(value, static_cast<std::uint32_t>(std::strlen(value)));
  Kes$FILE_SET_PROPERTY(c.file(), property, 0);
}

struct ErrorCase {
  const char* name;
  void (*cause)(Customers& customers, Other& other);
  std::int32_t error;
  const char* code;     // FILEERRORCODE(), SQLite's result code
  const char* message;  // the start of FILEERROR(), SQLite's message
};
const ErrorCase kErrors[] = {
    {"DuplicateKey", [](Customers& c, Other&) { c.add(1, "again"); }, 40, "2067",
     "UNIQUE constraint failed"},
    {"AddWhileAnotherWrites",
     [](Customers& c, Other& o) { o.exec("BEGIN IMMEDIATE"), c.add(2, "x"), o.exec("COMMIT"); }, 32,
     "5", "database is locked"},
    {"WatchedRecordUnchanged",
     [](Customers& c, Other&) { Kes$FILE_WATCH(c.file()), c.get(1), Kes$FILE_PUTf(c.file()); }, 0,
     "", ""},
    {"WatchedRecordChanged",
     [](Customers& c, Other& o) {
       Kes$FILE_WATCH(c.file()), c.get(1), o.exec("UPDATE Customer SET Amount = 7 WHERE ID = 1");
       Kes$FILE_PUTf(c.file());
     },
     89, "", ""},
    {"HoldWhileAnotherWrites",
     [](Customers& c, Other& o) {
       o.exec("BEGIN IMMEDIATE"), Kes$FILE_HOLDf(c.file()), c.get(1), o.exec("COMMIT");
     },
     43, "5", "database is locked"},
    {"UnknownProperty", [](Customers& c, Other&) { set_property(c, 0x7A00, "1"); }, 80, "", ""},
    {"BusyTimeoutBeyondLong",
     [](Customers& c, Other&) { set_property(c, K55SQLITE_PROP_BUSY_TIMEOUT, "2147483648"); }, 80,
     "", ""},
    {"JournalModeNotAWord",
     [](Customers& c, Other&) { set_property(c, K55SQLITE_PROP_JOURNAL_MODE, "wal; drop"); }, 80,
     "", ""},
    // Leaving WAL needs the database to itself.
    {"JournalModeInUse",
     [](Customers& c, Other&) { set_property(c, K55SQLITE_PROP_JOURNAL_MODE, "delete"); }, 32, "5",
     "database is locked"},
    {"ExclusiveWhileInUse",
     [](Customers& c, Other&) { Kes$FILE_CLOSE(c.file()), c.open(DRV_ACCESS_READ | DRV_DENY_ALL); },
     32, "5", "database is locked"},
};

TEST(SQLiteDriverErrors, PostsTheLibraryNumberWithSQLitesCodeAndMessage) {
  SQLiteCustomers customers(fresh_database("errors"));
  customers.fcb.driver_string = "/BUSYTIMEOUT=100 /JOURNAL=wal";
  Kes$FILE_CREATE(customers.file());
  customers.open();
  ASSERT_EQ(customers.add(1, "first"), 0);
  Other other(customers.fcb.name);
  other.text("SELECT 1 FROM Customer");  // the database is in use
  for (const ErrorCase& c : kErrors) {
    SCOPED_TRACE(c.name);
    c.cause(customers, other);
    EXPECT_EQ(Kes$ERRCODE, c.error);
    Kes$FILEERRORCODE();
    EXPECT_EQ(popped_text(), c.code);
    Kes$FILEERRORMSG();
    EXPECT_EQ(popped_text().substr(0, std::strlen(c.message)), c.message);
  }
  Kes$FILE_GET_PROPERTY(customers.file(), K55SQLITE_PROP_JOURNAL_MODE, 0);
  EXPECT_EQ(popped_text(), "");  // the exclusive OPEN failed: nothing is open
  EXPECT_EQ(Kes$ERRCODE, 37);
}

struct DeclarationCase {
  const char* name;
  void (*change)(FileDeclaration& file);
  std::int32_t error;
};
const DeclarationCase kDeclarations[] = {
    {"NotAGroup", [](FileDeclaration& f) { f.descriptor()[0] = DRV_TYPE_LONG; }, 75},
    {"AnyField", [](FileDeclaration& f) { f.descriptor()[14] = 15; }, 79},  // field 1's type
    {"FieldBeyondRecord", [](FileDeclaration& f) { f.fcb.record_size = 6; }, 47},
    {"KeyWithoutComponents", [](FileDeclaration& f) { f.key(0)->components = nullptr; }, 47},
    {"KeyOnNoField",
     [](FileDeclaration& f) { const_cast<Drv_KeyComponent*>(f.key(0)->components)->field = 9; },
     47},
    {"FolderMissing", [](FileDeclaration& f) { f.fcb.name = "/nonexistent-kes/x.db"; }, 3},
    {"BadName", [](FileDeclaration& f) { f.fcb.name = "a|b.db"; }, 45},
    {"OtherDeclarationOfTheTable", [](FileDeclaration& f) { f.fcb.label = "Customer"; }, 47},
};

TEST(SQLiteDriverDeclarations, RefusesRecordsATableCannotHold) {
  SQLiteCustomers customers("declarations", true);
  for (const DeclarationCase& c : kDeclarations) {
    SCOPED_TRACE(c.name);
    FileDeclaration file(SQLite$Driver, customers.fcb.name, "Items",
                         {{DRV_TYPE_LONG, 0, "ID"}, {DRV_TYPE_STRING, 4, "Code"}}, {{"ById", {1}}});
    c.change(file);
    Kes$FILE_OPEN(file.file(), 0x42);
    EXPECT_EQ(Kes$ERRCODE, c.error);
  }
  Kes$FILE_CLOSE(customers.file());
}

TEST(SQLiteDriverFiles, CopiesRenamesRemovesAndEmptiesTables) {
  SQLiteCustomers customers("files", true);
  SQLiteCustomers copied(fresh_database("files_copy"));
  customers.add(1, "one"), customers.add(2, "two");
  Kes$FILE_NAME(customers.file());
  EXPECT_EQ(popped_text(), customers.fcb.name);
  std::string windows_form = copied.fcb.name;  // the destination named the Windows way
  std::replace(windows_form.begin(), windows_form.end(), '/', '\\');
  Kes$FILE_CLOSE(customers.file());
  for (const auto operation : {Kes$FILE_COPY, Kes$FILE_REMOVE, Kes$FILE_RENAME}) {
    const bool removed = operation == Kes$FILE_REMOVE;
    if (!removed)
      Kes$PushString(windows_form.data(), static_cast<std::uint32_t>(windows_form.size()));
    operation(removed ? copied.file() : customers.file());
    ASSERT_EQ(Kes$ERRCODE, 0);
    EXPECT_EQ(copied.open(), removed ? 2 : 0);
    EXPECT_EQ(Kes$FILE_RECORDSf(copied.file()), removed ? 0 : 2);
    EXPECT_EQ(copied.add(2, "dup"), removed ? 37 : 40);  // the keys came along
    Kes$FILE_CLOSE(copied.file());
  }
  EXPECT_EQ(customers.open(), 2);      // renamed away
  copied.key(0)->flags = DRV_KEY_DUP;  // declared again: OPEN builds the index anew
  EXPECT_EQ(copied.open(DRV_ACCESS_READWRITE | DRV_DENY_ALL), 0);
  EXPECT_EQ(copied.add(2, "twice"), 0);
  Kes$FILE_EMPTY(copied.file());
  EXPECT_EQ(Kes$FILE_RECORDSf(copied.file()), 0);
  Kes$FILE_CLOSE(copied.file());
}

TEST(SQLiteDriverConnections, ShowsAnotherProgramsChangesAndKeepsExclusiveFilesToItself) {
  SQLiteCustomers customers("others", true);
  const std::string name = customers.fcb.name;
  for (std::int32_t id = 1; id <= 3; ++id)
    customers.add(id, "old", "", id);
  {
    Other other(name);
    Kes$FILE_BUFFER(customers.file(), 1, 0, 0, 0);  // no reading ahead
    Kes$FILE_SETk(customers.key(Customers::kById));
    Kes$FILE_NEXT(customers.file());
    ASSERT_EQ(other.exec("UPDATE Customer SET Amount = 20 WHERE ID = 2"), SQLITE_OK);
    Kes$FILE_NEXT(customers.file());
    EXPECT_EQ(customers.amount(), 20);
    // Indexed texts compare by the driver's collations, which plain SQLite lacks.
    EXPECT_EQ(other.exec("UPDATE Customer SET Name = 'new'"), SQLITE_ERROR);
    Kes$FILE_GET_PROPERTY(customers.file(), K55SQLITE_PROP_SYNCHRONOUS, 0);
    EXPECT_EQ(popped_text(), "NORMAL");
    Kes$FILE_CLOSE(customers.file());
  }
  ASSERT_EQ(customers.open(DRV_ACCESS_READWRITE | DRV_DENY_ALL), 0);
  EXPECT_EQ(Kes$STATUSfile(customers.file()), DRV_ACCESS_READWRITE | DRV_DENY_ALL);
  EXPECT_EQ(Other(name).text("SELECT count(*) FROM Customer"), "(error)");
  Kes$FILE_CLOSE(customers.file());
  EXPECT_EQ(Other(name).text("SELECT count(*) FROM Customer"), "3");
  Other reader(name);  // in another journal mode, and reading: OPEN leaves the mode as it is
  reader.exec("PRAGMA journal_mode=DELETE"), reader.exec("BEGIN");
  reader.text("SELECT count(*) FROM Customer");
  customers.fcb.driver_string = "/BUSYTIMEOUT=50";
  ASSERT_EQ(customers.open(), 0);
  Kes$FILE_GET_PROPERTY(customers.file(), K55SQLITE_PROP_JOURNAL_MODE, 0);
  EXPECT_EQ(popped_text(), "DELETE");
  set_property(customers, K55SQLITE_PROP_BUSY_TIMEOUT, " 250 ");
  Kes$FILE_GET_PROPERTY(customers.file(), K55SQLITE_PROP_BUSY_TIMEOUT, 0);
  EXPECT_EQ(popped_text(), "250");
  Kes$FILE_CLOSE(customers.file());
}

#ifndef _WIN32
// Runs `work` in a child process (no file of this process may be open: a connection must not
// cross into it); its exit code is what `work` returns.
template <typename Work>
pid_t start_child(Work work) {
  const pid_t pid = fork();
  if (pid == 0) _exit(work());
  return pid;
}

// The exit code, or 128 plus the signal that ended it.
int wait_for(pid_t child) {
  int status = 0;
  waitpid(child, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

std::string integrity(Customers& customers) {
  Kes$FILE_GET_PROPERTY(customers.file(), K55SQLITE_PROP_INTEGRITY, 0);
  return popped_text();
}

TEST(SQLiteDriverReliability, KillBetweenLogoutAndCommitKeepsWhatWasCommittedOnly) {
  const std::string name = fresh_database("killed");
  int ready[2];
  ASSERT_EQ(pipe(ready), 0);
  // Adds customers 1 to 50, then 51 to 100 inside a LOGOUT, says so and waits to be killed.
  const pid_t child = start_child([&] {
    SQLiteCustomers customers(name);
    customers.fcb.attributes = DRV_ATTR_CREATE;
    if (customers.open() != 0) return 1;
    for (std::int32_t id = 1; id <= 100; ++id) {
      if (id == 51) Kes$LOGOUT(1, customers.file(), nullptr);
      if (customers.add(id, "customer") != 0) return 2;
    }
    const bool told = write(ready[1], "r", 1) == 1;
    pause();
    return told ? 0 : 3;
  });
  close(ready[1]);
  char said = 0;
  ASSERT_EQ(read(ready[0], &said, 1), 1) << "the child ended with " << wait_for(child);
  close(ready[0]);
  kill(child, SIGKILL);
  EXPECT_EQ(wait_for(child), 128 + SIGKILL);
  SQLiteCustomers customers(name);
  ASSERT_EQ(customers.open(), 0);
  EXPECT_EQ(Kes$FILE_RECORDSf(customers.file()), 50);
  EXPECT_EQ(customers.get(50), 50);
  EXPECT_EQ(customers.get(51), -35);
  EXPECT_EQ(integrity(customers), "ok");
  EXPECT_EQ(customers.add(51, "again"), 0);  // the file takes writes again
  Kes$FILE_CLOSE(customers.file());
}

TEST(SQLiteDriverReliability, TwoWritersAtOnceLoseNoUpdate) {
  std::string name;
  {
    SQLiteCustomers customers("writers", true);
    name = customers.fcb.name;
    ASSERT_EQ(customers.add(0, "counter"), 0);
    Kes$FILE_CLOSE(customers.file());
  }
  constexpr int kOperations = 10000;
  // Alternates ADD of a new customer with HOLD, GET, PUT of customer 0's amount plus one; the
  // exit code counts the errors met.
  const auto writer = [&](std::int32_t base) {
    return [&name, base] {
      SQLiteCustomers customers(name);
      int errors = customers.open() != 0;
      for (std::int32_t i = 0; i < kOperations && errors == 0; ++i) {
        if (i % 2 == 0) {
          errors += customers.add(base + i, "added") != 0;
          continue;
        }
        Kes$FILE_HOLDf(customers.file());
        errors += customers.get(0) != 0;
        customers.set_long(Customers::kAmount, customers.amount() + 1);
        Kes$FILE_PUTf(customers.file());
        errors += Kes$ERRCODE != 0;
      }
      Kes$FILE_CLOSE(customers.file());
      return errors;
    };
  };
  const pid_t first = start_child(writer(1000000));
  const pid_t second = start_child(writer(2000000));
  EXPECT_EQ(wait_for(first), 0);  // no error in either: no lock waited out its timeout
  EXPECT_EQ(wait_for(second), 0);
  SQLiteCustomers customers(name);
  ASSERT_EQ(customers.open(), 0);
  ASSERT_EQ(customers.get(0), 0);
  EXPECT_EQ(customers.amount(), kOperations);  // every HOLD, GET, PUT of both counted
  EXPECT_EQ(Kes$FILE_RECORDSf(customers.file()), 1 + kOperations);
  EXPECT_EQ(integrity(customers), "ok");
  Kes$FILE_CLOSE(customers.file());
}
#endif

}  // namespace
}  // namespace kes::test
