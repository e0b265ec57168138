// What the SQLite driver's tests and their child processes share: a database file of a test's
// own (removed with its journals when the test starts), and customers with an ID (unique key), a
// Name (key with duplicates) and an Amount.
#pragma once

#include <string>

#include <kestrel/files.h>
#include <kestrel/sqlite_driver.h>
#include <kestrel/storage.h>
#include <kestrel/string_stack.h>

#include "tests/files/conformance/file_declaration.h"

namespace kes::test {

inline std::string fresh_database(const std::string& folder, const std::string& stem) {
  const std::string name = folder + "kes_sqlite_" + stem + ".db";
  for (const char* suffix : {"", "-wal", "-shm", "-journal"}) {
    const std::string each = name + suffix;
    Kes$PushString(each.data(), static_cast<std::uint32_t>(each.size()));
    Kes$RemoveFile();
  }
  Kes$clearerror();
  return name;
}

// The text on top of the string stack, popped.
inline std::string popped_text() {
  KesTextPair text{};
  Kes$PopTemp(&text);
  std::string out(text.pointer == nullptr ? "" : text.pointer, text.length);
  Kes$freestr(&text);
  return out;
}

class Customers : public FileDeclaration {
 public:
  explicit Customers(std::string name, const char* label = "Customer")
      : FileDeclaration(
            SQLite$Driver, std::move(name), label,
            {{DRV_TYPE_LONG, 0, "ID"}, {DRV_TYPE_STRING, 30, "Name"}, {DRV_TYPE_LONG, 0, "Amount"}},
            {{"ById", {1}}, {"ByName", {2}, DRV_KEY_DUP}}) {}
  std::int32_t open(std::int32_t mode = DRV_ACCESS_READWRITE | DRV_DENY_NONE) {
    Kes$FILE_OPEN(file(), mode);
    return Kes$ERRCODE;
  }
  std::int32_t add(std::int32_t id, std::string_view name, std::int32_t amount) {
    set_long(1, id);
    set_string(2, name, 30);
    set_long(3, amount);
    Kes$FILE_ADDf(file());
    return Kes$ERRCODE;
  }
  // GET by ID: 0 or the error.
  std::int32_t get(std::int32_t id) {
    set_long(1, id);
    Kes$FILE_GETfk(file(), key(0));
    return Kes$ERRCODE;
  }
  std::int32_t amount() { return get_long(3); }
  std::string name() { return get_string(2, 30); }
};

}  // namespace kes::test
