// The SQLite driver beyond the conformance suite: columns and their types, decimal keys, texts
// that look like SQL, errors with SQLite's code and message, declarations a table cannot hold,
// whole-file operations, and what other connections to the database see and do.
#include <algorithm>
#include <cstring>
#include <sqlite3.h>
#include <string>

#include <kestrel/decimal.h>
#include <kestrel/string_builtins.h>

#include <gtest/gtest.h>

#include "tests/files/sqlite/customers.h"

namespace kes::test {
namespace {

std::string fresh_database(const std::string& stem) {
  return kes::test::fresh_database(::testing::TempDir(), stem);
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
  const std::string name = fresh_database("injection");
  Customers customers(name);
  Kes$FILE_CREATE(customers.file());
  customers.open();
  const char* texts[] = {
      "O'Brien", "x'); DROP TABLE \"Customer\"; --", "a\"b", "; DELETE", "' OR '1'='1", "--"};
  for (std::int32_t id = 1; id <= 6; ++id)
    ASSERT_EQ(customers.add(id, texts[id - 1], 0), 0);
  for (const char* text : texts) {
    customers.set_string(2, text, 30);
    Kes$FILE_GETfk(customers.file(), customers.key(1));
    EXPECT_EQ(customers.name(), Kes$ERRCODE == 0 ? text : "(not found)");
  }
  EXPECT_EQ(Kes$FILE_RECORDSf(customers.file()), 6);
  customers.set_long(1, 2);  // DUPLICATE: another record has ID 2, none but the current one 6
  EXPECT_EQ(Kes$FILE_DUPLICATEf(customers.file()), 1);
  customers.set_long(1, 6);
  EXPECT_EQ(Kes$FILE_DUPLICATEk(customers.key(0)), 0);
  Kes$FILE_CLOSE(customers.file());
  EXPECT_EQ(Other(name).text("SELECT Name FROM Customer WHERE ID = 2"), texts[1]);
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
    {"DuplicateKey", [](Customers& c, Other&) { c.add(1, "again", 0); }, 40, "2067",
     "UNIQUE constraint failed"},
    {"AddWhileAnotherWrites",
     [](Customers& c, Other& o) { o.exec("BEGIN IMMEDIATE"), c.add(2, "x", 0), o.exec("COMMIT"); },
     32, "5", "database is locked"},
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
  const std::string name = fresh_database("errors");
  Customers customers(name);
  customers.fcb.driver_string = "/BUSYTIMEOUT=100 /JOURNAL=wal";
  Kes$FILE_CREATE(customers.file());
  customers.open();
  ASSERT_EQ(customers.add(1, "first", 0), 0);
  Other other(name);
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
    {"AnyField", [](FileDeclaration& f) { f.descriptor()[14] = 15; }, 79},
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
  const std::string name = fresh_database("declarations");
  Customers customers(name);
  Kes$FILE_CREATE(customers.file());
  for (const DeclarationCase& c : kDeclarations) {
    SCOPED_TRACE(c.name);
    FileDeclaration file(SQLite$Driver, name, "Items",
                         {{DRV_TYPE_LONG, 0, "ID"}, {DRV_TYPE_STRING, 4, "Code"}}, {{"ById", {1}}});
    c.change(file);
    Kes$FILE_OPEN(file.file(), 0x42);
    EXPECT_EQ(Kes$ERRCODE, c.error);
  }
}

TEST(SQLiteDriverFiles, CopiesRenamesRemovesAndEmptiesTables) {
  const std::string name = fresh_database("files");
  const std::string copy = fresh_database("files_copy");
  Customers customers(name);
  Customers copied(copy);
  Kes$FILE_CREATE(customers.file());
  customers.open();
  customers.add(1, "one", 1), customers.add(2, "two", 2);
  Kes$FILE_NAME(customers.file());
  EXPECT_EQ(popped_text(), name);
  std::string windows_form = copy;  // the destination named the Windows way
  std::replace(windows_form.begin(), windows_form.end(), '/', '\\');
  Kes$FILE_CLOSE(customers.file());
  for (const auto operation : {Kes$FILE_COPY, Kes$FILE_REMOVE, Kes$FILE_RENAME}) {
    if (operation != Kes$FILE_REMOVE)
      Kes$PushString(windows_form.data(), static_cast<std::uint32_t>(windows_form.size()));
    operation(operation == Kes$FILE_REMOVE ? copied.file() : customers.file());
    ASSERT_EQ(Kes$ERRCODE, 0);
    EXPECT_EQ(copied.open(), operation == Kes$FILE_REMOVE ? 2 : 0);
    EXPECT_EQ(Kes$FILE_RECORDSf(copied.file()), operation == Kes$FILE_REMOVE ? 0 : 2);
    EXPECT_EQ(copied.add(2, "dup", 0), operation == Kes$FILE_REMOVE ? 37 : 40);  // keys too
    Kes$FILE_CLOSE(copied.file());
  }
  EXPECT_EQ(customers.open(), 2);      // renamed away
  copied.key(0)->flags = DRV_KEY_DUP;  // declared again: OPEN builds the index anew
  EXPECT_EQ(copied.open(DRV_ACCESS_READWRITE | DRV_DENY_ALL), 0);
  EXPECT_EQ(copied.add(2, "twice", 0), 0);
  Kes$FILE_EMPTY(copied.file());
  EXPECT_EQ(Kes$FILE_RECORDSf(copied.file()), 0);
  Kes$FILE_CLOSE(copied.file());
}

TEST(SQLiteDriverConnections, ShowsAnotherProgramsChangesAndKeepsExclusiveFilesToItself) {
  const std::string name = fresh_database("others");
  Customers customers(name);
  Kes$FILE_CREATE(customers.file());
  customers.open();
  for (std::int32_t id = 1; id <= 3; ++id)
    customers.add(id, "old", id);
  {
    Other other(name);
    Kes$FILE_BUFFER(customers.file(), 1, 0, 0, 0);  // no reading ahead
    Kes$FILE_SETk(customers.key(0));
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
}

}  // namespace
}  // namespace kes::test
