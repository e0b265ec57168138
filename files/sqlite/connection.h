// The driver's connections: one SQLite connection per database file for the whole program,
// shared by every FILE that names that database, with the transaction it holds for LOGOUT,
// LOCK and HOLD.
//
// State: the table of open connections is process-wide by design (FILEs of all threads that
// name one database share its connection, its locks and its transaction); the runtime lock
// serialises its users.
#pragma once

#include <cstdint>
#include <sqlite3.h>
#include <string>

namespace kes::sqlite {

// Settings of a connection, from the driver string and the driver's properties.
struct Settings {
  std::int32_t busy_timeout_ms = 5000;
  std::string journal_mode = "WAL";
  std::string synchronous = "NORMAL";
};

class Connection {
 public:
  // The connection to `path`, opened when none is (creating the database file when `create` is
  // set), with one more user. Null with the SQLite result code in `result` on failure.
  static Connection* acquire(const std::string& path, bool create, const Settings& settings,
                             int& result);
  // One user fewer; the last closes the connection.
  void release();

  sqlite3* db() const { return db_; }
  const std::string& path() const { return path_; }
  // Changes whenever a record may have changed through this connection (a write, COMMIT,
  // ROLLBACK): read-ahead taken under another value is stale.
  std::uint64_t generation() const { return generation_; }
  void changed() { ++generation_; }

  // The settings. Each returns the SQLite result code.
  int set_busy_timeout(std::int32_t milliseconds);
  std::int32_t busy_timeout() const { return settings_.busy_timeout_ms; }
  int set_journal_mode(const std::string& mode);  // `mode` checked by the caller
  std::string journal_mode();
  int set_synchronous(const std::string& level);
  std::string synchronous();

  // Runs a statement without results.
  int exec(const char* sql);

  // The write transaction behind LOCK and HOLD (users counted) and LOGOUT (files counted). The
  // first user begins it, waiting at most `timeout_ms` for other programs' locks (negative: the
  // busy timeout); the last one to leave commits it, unless a LOGOUT is active.
  int enter_write(std::int32_t timeout_ms);
  int leave_write();
  int enter_logout(std::int32_t timeout_ms);
  // Ends the LOGOUT for one file: the last one commits (or rolls back) the transaction; when
  // LOCK or HOLD users remain, a new transaction begins for them.
  int leave_logout(bool commit);
  bool in_logout() const { return logout_files_ > 0; }

  // Exclusive access for OPENs that deny other programs: the database stays locked until the
  // last of them closes.
  int enter_exclusive();
  void leave_exclusive();

 private:
  Connection(std::string path, sqlite3* db, const Settings& settings);
  ~Connection();
  int begin(std::int32_t timeout_ms);
  int finish(bool commit);

  std::string path_;
  sqlite3* db_;
  Settings settings_;
  std::uint64_t generation_ = 0;
  int users_ = 0;
  int write_users_ = 0;
  int logout_files_ = 0;
  int exclusive_users_ = 0;
};

}  // namespace kes::sqlite
