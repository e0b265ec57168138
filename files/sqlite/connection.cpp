// Opening, sharing and closing connections, and the transaction they hold.
#include "files/sqlite/connection.h"

#include <map>

#include "files/sqlite/collations.h"

namespace kes::sqlite {
namespace {

// Process-wide by design: the open connections by database name.
std::map<std::string, Connection*>& connections() {
  static std::map<std::string, Connection*> table;
  return table;
}

}  // namespace

Connection::Connection(std::string path, sqlite3* db, const Settings& settings)
    : path_(std::move(path)), db_(db), settings_(settings) {}

Connection::~Connection() { sqlite3_close_v2(db_); }

Connection* Connection::acquire(const std::string& path, bool create, const Settings& settings,
                                int& result) {
  auto& table = connections();
  const auto found = table.find(path);
  if (found != table.end()) {
    ++found->second->users_;
    result = SQLITE_OK;
    return found->second;
  }
  sqlite3* db = nullptr;
  const int flags = SQLITE_OPEN_READWRITE | (create ? SQLITE_OPEN_CREATE : 0);
  result = sqlite3_open_v2(path.c_str(), &db, flags, nullptr);
  if (result != SQLITE_OK) {
    sqlite3_close_v2(db);
    return nullptr;
  }
  sqlite3_extended_result_codes(db, 1);
  auto* connection = new Connection(path, db, settings);
  result = register_collations(db);
  if (result == SQLITE_OK) result = connection->set_busy_timeout(settings.busy_timeout_ms);
  // Reading the schema tells a database from any other file before the journal mode is set.
  if (result == SQLITE_OK) result = connection->exec("SELECT count(*) FROM sqlite_master");
  if (result == SQLITE_OK) {
    // A database that others hold in another journal mode (or one in memory) keeps its own.
    const int journal = connection->set_journal_mode(settings.journal_mode);
    if (journal != SQLITE_BUSY) result = journal;
  }
  if (result == SQLITE_OK) result = connection->set_synchronous(settings.synchronous);
  if (result != SQLITE_OK) {
    delete connection;
    return nullptr;
  }
  connection->users_ = 1;
  table.emplace(path, connection);
  return connection;
}

void Connection::release() {
  if (--users_ > 0) return;
  if (!sqlite3_get_autocommit(db_)) exec("ROLLBACK");
  connections().erase(path_);
  delete this;
}

int Connection::exec(const char* sql) { return sqlite3_exec(db_, sql, nullptr, nullptr, nullptr); }

int Connection::set_busy_timeout(std::int32_t milliseconds) {
  settings_.busy_timeout_ms = milliseconds < 0 ? 0 : milliseconds;
  return sqlite3_busy_timeout(db_, settings_.busy_timeout_ms);
}

int Connection::set_journal_mode(const std::string& mode) {
  // PRAGMA takes no parameters; `mode` is one of the fixed words the caller checked.
  const std::string sql = "PRAGMA journal_mode=" + mode;
  int result = exec(sql.c_str());
  // SQLite keeps the mode it has, without an error, when others have the database open.
  if (result == SQLITE_OK && journal_mode() != mode) result = SQLITE_BUSY;
  if (result == SQLITE_OK) settings_.journal_mode = mode;
  return result;
}

std::string Connection::journal_mode() {
  std::string out;
  sqlite3_stmt* statement = nullptr;
  if (sqlite3_prepare_v2(db_, "PRAGMA journal_mode", -1, &statement, nullptr) == SQLITE_OK &&
      sqlite3_step(statement) == SQLITE_ROW) {
    const unsigned char* text = sqlite3_column_text(statement, 0);
    if (text != nullptr) out = reinterpret_cast<const char*>(text);
  }
  sqlite3_finalize(statement);
  for (char& c : out)
    c = static_cast<char>(c >= 'a' && c <= 'z' ? c - 32 : c);
  return out;
}

int Connection::set_synchronous(const std::string& level) {
  const std::string sql = "PRAGMA synchronous=" + level;
  int result = exec(sql.c_str());
  if (result == SQLITE_OK) settings_.synchronous = level;
  return result;
}

std::string Connection::synchronous() {
  static const char* const kLevels[] = {"OFF", "NORMAL", "FULL", "EXTRA"};
  sqlite3_stmt* statement = nullptr;
  int level = -1;
  if (sqlite3_prepare_v2(db_, "PRAGMA synchronous", -1, &statement, nullptr) == SQLITE_OK &&
      sqlite3_step(statement) == SQLITE_ROW)
    level = sqlite3_column_int(statement, 0);
  sqlite3_finalize(statement);
  return level >= 0 && level <= 3 ? kLevels[level] : "";
}

int Connection::begin(std::int32_t timeout_ms) {
  if (!sqlite3_get_autocommit(db_)) return SQLITE_OK;  // already in the transaction
  if (timeout_ms >= 0) sqlite3_busy_timeout(db_, timeout_ms);
  const int result = exec("BEGIN IMMEDIATE");
  if (timeout_ms >= 0) sqlite3_busy_timeout(db_, settings_.busy_timeout_ms);
  return result;
}

int Connection::finish(bool commit) {
  changed();
  if (sqlite3_get_autocommit(db_)) return SQLITE_OK;
  const int result = exec(commit ? "COMMIT" : "ROLLBACK");
  if (result != SQLITE_OK && commit && !sqlite3_get_autocommit(db_)) exec("ROLLBACK");
  return result;
}

int Connection::enter_write(std::int32_t timeout_ms) {
  if (write_users_ == 0 && logout_files_ == 0) {
    const int result = begin(timeout_ms);
    if (result != SQLITE_OK) return result;
  }
  ++write_users_;
  return SQLITE_OK;
}

int Connection::leave_write() {
  if (write_users_ == 0) return SQLITE_OK;
  if (--write_users_ > 0 || logout_files_ > 0) return SQLITE_OK;
  return finish(true);
}

int Connection::enter_logout(std::int32_t timeout_ms) {
  if (logout_files_ == 0 && write_users_ == 0) {
    const int result = begin(timeout_ms);
    if (result != SQLITE_OK) return result;
  }
  ++logout_files_;
  return SQLITE_OK;
}

int Connection::leave_logout(bool commit) {
  if (logout_files_ == 0) return SQLITE_OK;
  if (--logout_files_ > 0) return SQLITE_OK;
  const int result = finish(commit);
  if (write_users_ > 0) begin(-1);
  return result;
}

int Connection::enter_exclusive() {
  if (exclusive_users_ == 0) {
    int result = exec("PRAGMA locking_mode=EXCLUSIVE");
    // The lock is taken by the first write and kept from then on.
    if (result == SQLITE_OK && sqlite3_get_autocommit(db_)) {
      result = exec("BEGIN EXCLUSIVE");
      if (result == SQLITE_OK) result = exec("COMMIT");
    }
    if (result != SQLITE_OK) {
      exec("PRAGMA locking_mode=NORMAL");
      return result;
    }
  }
  ++exclusive_users_;
  return SQLITE_OK;
}

void Connection::leave_exclusive() {
  if (exclusive_users_ == 0 || --exclusive_users_ > 0) return;
  exec("PRAGMA locking_mode=NORMAL");
  // The lock goes with the next read.
  exec("SELECT count(*) FROM sqlite_master");
}

}  // namespace kes::sqlite
