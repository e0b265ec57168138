// Operations on whole files: CREATE, OPEN, CLOSE, REMOVE, COPY, RENAME, EMPTY, BUILD, the
// transaction operations, LOCK, BUFFER, NAME and the driver's properties.
#include "files/sqlite/file_operations.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <memory>
#include <string_view>

#include <kestrel/sqlite_driver.h>
#include <kestrel/storage.h>
#include <kestrel/string_stack.h>

namespace kes::sqlite {
namespace {

constexpr std::int32_t kFileNotFound = 2;
constexpr std::int32_t kPathNotFound = 3;
constexpr std::int32_t kAccessDenied = 5;
constexpr std::int32_t kFileLocked = 32;
constexpr std::int32_t kInvalidDeclaration = 47;
constexpr std::int32_t kKeyMustBeRebuilt = 46;
constexpr std::int32_t kInvalidFilename = 45;
constexpr std::int32_t kRollbackFailed = 65;
constexpr std::int32_t kUnsupported = 80;

std::string upper(std::string_view text) {
  std::string out(text);
  for (char& c : out)
    c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return out;
}

bool one_of(const std::string& word, std::initializer_list<const char*> words) {
  return std::any_of(words.begin(), words.end(), [&](const char* w) { return word == w; });
}

bool journal_mode_word(const std::string& mode) {
  return one_of(mode, {"DELETE", "TRUNCATE", "PERSIST", "MEMORY", "WAL", "OFF"});
}
bool synchronous_word(const std::string& level) {
  return one_of(level, {"OFF", "NORMAL", "FULL", "EXTRA"});
}

// A whole number of milliseconds, [0, 2^31 - 1].
bool milliseconds(std::string_view text, std::int32_t& value) {
  while (!text.empty() && text.back() == ' ')
    text.remove_suffix(1);
  while (!text.empty() && text.front() == ' ')
    text.remove_prefix(1);
  if (text.empty() || text.size() > 10) return false;
  std::int64_t n = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return false;
    n = n * 10 + (c - '0');
  }
  if (n > std::numeric_limits<std::int32_t>::max()) return false;
  value = static_cast<std::int32_t>(n);
  return true;
}

// What a FILE's declaration gives: where its table is, its columns and keys.
struct Declaration {
  std::string path;
  std::string table;
  Settings settings;
  RecordLayout layout;
  std::vector<KeyPlan> keys;
};

// Reads the driver string's options: /TABLE=name /BUSYTIMEOUT=ms /JOURNAL=mode
// /SYNCHRONOUS=level. Unknown options and unusable values are ignored.
void read_driver_string(const char* text, Declaration& out) {
  if (text == nullptr) return;
  const char* cursor = text;
  char item[DRV_MAX_PATH];
  while (_drv_NextDrvStr(&cursor, item, sizeof item) != 0) {
    std::string_view option(item);
    if (!option.empty() && option.front() == '/') option.remove_prefix(1);
    const std::size_t equal = option.find('=');
    if (equal == std::string_view::npos) continue;
    const std::string name = upper(option.substr(0, equal));
    const std::string_view value = option.substr(equal + 1);
    if (name == "TABLE" && !value.empty()) {
      out.table = value;
    } else if (name == "BUSYTIMEOUT") {
      milliseconds(value, out.settings.busy_timeout_ms);
    } else if (name == "JOURNAL" && journal_mode_word(upper(value))) {
      out.settings.journal_mode = upper(value);
    } else if (name == "SYNCHRONOUS" && synchronous_word(upper(value))) {
      out.settings.synchronous = upper(value);
    }
  }
}

// Reads the file's declaration; 0 or the error to post.
std::int32_t declare(const Drv_FCB* file, Declaration& out) {
  out.path = file_name(file);
  if (_drv_ChkName(out.path.c_str()) != 0) return kInvalidFilename;
  out.table = file->label != nullptr && file->label[0] != 0 ? file->label : "Data";
  read_driver_string(file->driver_string, out);
  // Compiled descriptors are trusted: their length is not known, only their contents.
  std::int32_t error = read_layout(file->record_type, std::numeric_limits<std::size_t>::max(),
                                   file->record_size, file->memos, file->memo_count, out.layout);
  if (error != 0) return error;
  out.keys.resize(file->key_count);
  for (std::size_t k = 0; k < file->key_count; ++k) {
    if (file->keys == nullptr || file->keys[k] == nullptr) return kInvalidDeclaration;
    error = plan_key(*file->keys[k], k, out.table, out.layout, out.keys[k]);
    if (error != 0) return error;
  }
  return 0;
}

// The error for a database that cannot be opened: 3 when its folder does not exist.
std::int32_t open_error(const std::string& path, int result) {
  if ((result & 0xFF) != SQLITE_CANTOPEN) return error_number(result);
  char directory[DRV_MAX_PATH] = {};
  if (_drv_Split(path.c_str(), directory, nullptr, nullptr) != 0) return kInvalidFilename;
  if (directory[0] != 0 && _drv_PathIsDirectory(directory) == 0) return kPathNotFound;
  return kFileNotFound;
}

// A connection released with its owner.
struct ConnectionRef {
  Connection* connection = nullptr;
  ~ConnectionRef() {
    if (connection != nullptr) connection->release();
  }
};

// Opens the declaration's database; posts and returns false on failure.
bool connect(Drv_FCB* file, const Declaration& declaration, bool create, ConnectionRef& out) {
  int result = SQLITE_OK;
  out.connection = Connection::acquire(declaration.path, create, declaration.settings, result);
  if (out.connection != nullptr) return true;
  post(file, open_error(declaration.path, result));
  return false;
}

// The stored declaration of a table or index, or the empty text when there is none.
bool stored_sql(sqlite3* db, const char* type, const std::string& name, std::string& sql,
                int& result) {
  sqlite3_stmt* statement = nullptr;
  sql.clear();
  result = sqlite3_prepare_v2(db, "SELECT sql FROM sqlite_master WHERE type = ?1 AND name = ?2", -1,
                              &statement, nullptr);
  if (result == SQLITE_OK) {
    sqlite3_bind_text(statement, 1, type, -1, SQLITE_STATIC);
    sqlite3_bind_text(statement, 2, name.data(), static_cast<int>(name.size()), SQLITE_STATIC);
    result = sqlite3_step(statement);
    if (result == SQLITE_ROW) {
      const unsigned char* text = sqlite3_column_text(statement, 0);
      if (text != nullptr) sql = reinterpret_cast<const char*>(text);
      result = SQLITE_OK;
    } else if (result == SQLITE_DONE) {
      result = SQLITE_OK;
    }
  }
  sqlite3_finalize(statement);
  return result == SQLITE_OK;
}

// Runs statements as one unit: all of them, or none.
class Unit {
 public:
  explicit Unit(Connection& connection) : connection_(connection) {
    result_ = connection_.exec("SAVEPOINT kestrel_unit");
  }
  ~Unit() {
    if (!done_) {
      connection_.exec("ROLLBACK TO kestrel_unit");
      connection_.exec("RELEASE kestrel_unit");
    }
  }
  bool run(const std::string& sql) {
    if (result_ == SQLITE_OK) result_ = connection_.exec(sql.c_str());
    return result_ == SQLITE_OK;
  }
  int commit() {
    if (result_ == SQLITE_OK) {
      result_ = connection_.exec("RELEASE kestrel_unit");
      done_ = result_ == SQLITE_OK;
    }
    return result_;
  }
  int result() const { return result_; }

 private:
  Connection& connection_;
  int result_;
  bool done_ = false;
};

// Creates the table and its indexes in `schema` ("" for the database itself), replacing one
// that exists.
int create_table(Connection& connection, const Declaration& d, const std::string& schema) {
  Unit unit(connection);
  const std::string qualified = schema.empty() ? quote(d.table) : schema + "." + quote(d.table);
  unit.run("DROP TABLE IF EXISTS " + qualified);
  std::string sql = create_table_sql(d.table, d.layout);
  unit.run(sql.insert(std::strlen("CREATE TABLE "), schema.empty() ? "" : schema + "."));
  for (const KeyPlan& key : d.keys) {
    sql = create_index_sql(d.table, d.layout, key);
    const std::size_t at = sql.find(key.index);
    unit.run(sql.insert(at, schema.empty() ? "" : schema + "."));
  }
  connection.changed();
  return unit.commit();
}

// Checks the stored table against the declaration and re-creates indexes that differ from
// their keys (with write access); posts and returns false on failure.
bool check_table(Drv_FCB* file, Connection& connection, const Declaration& d, bool can_create,
                 bool can_write) {
  std::string sql;
  int result = SQLITE_OK;
  if (!stored_sql(connection.db(), "table", d.table, sql, result)) {
    post_sqlite(file, connection.db(), result);
    return false;
  }
  if (sql.empty()) {
    if (!can_create) {
      post(file, kFileNotFound);
      return false;
    }
    result = create_table(connection, d, "");
    if (result != SQLITE_OK) post_sqlite(file, connection.db(), result);
    return result == SQLITE_OK;
  }
  if (sql != create_table_sql(d.table, d.layout)) {
    post(file, kInvalidDeclaration);
    return false;
  }
  for (const KeyPlan& key : d.keys) {
    if (!stored_sql(connection.db(), "index", key.name, sql, result)) {
      post_sqlite(file, connection.db(), result);
      return false;
    }
    const std::string wanted = create_index_sql(d.table, d.layout, key);
    if (sql == wanted) continue;
    if (!can_write) {
      post(file, kKeyMustBeRebuilt);
      return false;
    }
    Unit unit(connection);
    unit.run("DROP INDEX IF EXISTS " + key.index);
    unit.run(wanted);
    if (unit.commit() != SQLITE_OK) {
      post_sqlite(file, connection.db(), unit.result());
      return false;
    }
  }
  return true;
}

void do_create(Drv_FCB* file) {
  Declaration d;
  const std::int32_t error = declare(file, d);
  if (error != 0) return post(file, error);
  ConnectionRef ref;
  if (!connect(file, d, true, ref)) return;
  const int result = create_table(*ref.connection, d, "");
  if (result != SQLITE_OK) post_sqlite(file, ref.connection->db(), result);
}

void do_open(Drv_FCB* file, std::int32_t mode) {
  Declaration d;
  std::int32_t error = declare(file, d);
  if (error != 0) return post(file, error);
  const std::int32_t access = mode & 0x0F;
  const std::int32_t sharing = mode & 0xF0;
  const bool write = access == DRV_ACCESS_WRITE || access == DRV_ACCESS_READWRITE;
  const bool exclusive =
      sharing == DRV_DENY_ALL || sharing == DRV_DENY_WRITE || sharing == DRV_DENY_READ;
  const bool create = (file->attributes & DRV_ATTR_CREATE) != 0;
  ConnectionRef ref;
  if (!connect(file, d, create, ref)) return;
  Connection& connection = *ref.connection;
  if (exclusive) {
    // Refused while another program has the database open.
    const int result = connection.enter_exclusive();
    if (result != SQLITE_OK) return post_sqlite(file, nullptr, result);
  }
  if (!check_table(file, connection, d, create, write)) {
    if (exclusive) connection.leave_exclusive();
    return;
  }
  auto state = std::make_unique<OpenFile>();
  state->connection = ref.connection;
  ref.connection = nullptr;
  state->table = std::move(d.table);
  state->layout = std::move(d.layout);
  state->keys = std::move(d.keys);
  state->access_mode = mode;
  state->exclusive = exclusive;
  state->image.assign(state->layout.image_size, 0);
  state->row.assign(state->layout.image_size, 0);
  state->blobs.resize(state->layout.blob_count);
  const std::size_t keys = state->keys.size();
  state->by_key = std::vector<Statement>(keys);
  state->count_key = std::vector<Statement>(keys);
  state->duplicate = std::vector<Statement>(keys);
  file->state = state.release();
  if (write) file->state_word |= DRV_STATE_WRITE;
  if (exclusive) file->state_word |= DRV_STATE_EXCLUSIVE;
  for (std::size_t k = 0; k < file->key_count; ++k) {
    if ((file->keys[k]->flags & DRV_KEY_OWN_FLAGS) != 0)
      file->keys[k]->key_flags |= DRV_STATE_KEY_BUILT;
  }
  Kes$activate_drv(file, mode, 1, 1, 1, 0, 0);
}

// Closes the file: its hold, lock and exclusive access end, its statements go.
void close_file(Drv_FCB* file) {
  auto* state = static_cast<OpenFile*>(file->state);
  if (state == nullptr) return;
  Connection* connection = state->connection;
  if (state->held) connection->leave_write();
  if (state->locked) connection->leave_write();
  if (state->in_logout) connection->leave_logout(false);
  if (state->exclusive) connection->leave_exclusive();
  delete state;
  connection->release();
  file->state = nullptr;
  Kes$deactivate_drv(file);
}

void do_remove(Drv_FCB* file) {
  Declaration d;
  const std::int32_t error = declare(file, d);
  if (error != 0) return post(file, error);
  ConnectionRef ref;
  if (!connect(file, d, false, ref)) return;
  std::string sql;
  int result = SQLITE_OK;
  if (!stored_sql(ref.connection->db(), "table", d.table, sql, result))
    return post_sqlite(file, ref.connection->db(), result);
  if (sql.empty()) return post(file, kFileNotFound);
  const std::string drop = "DROP TABLE " + quote(d.table);
  result = ref.connection->exec(drop.c_str());
  ref.connection->changed();
  if (result != SQLITE_OK) post_sqlite(file, ref.connection->db(), result);
}

// COPY and RENAME: the table (with its indexes) into the database named by the text on the
// string stack; RENAME then drops it from its own database.
void do_copy(Drv_FCB* file, bool rename) {
  KesTextPair popped{};
  Kes$PopTemp(&popped);
  std::string destination(popped.pointer == nullptr ? "" : popped.pointer, popped.length);
  Kes$freestr(&popped);
  while (!destination.empty() && destination.back() == ' ')
    destination.pop_back();
  destination = native_name(std::move(destination));
  Declaration d;
  const std::int32_t error = declare(file, d);
  if (error != 0) return post(file, error);
  const char last = destination.empty() ? 0 : destination.back();
  if (last == '\\' || last == '/' || last == ':' ||
      (!destination.empty() && _drv_PathIsDirectory(destination.c_str()) != 0)) {
    char base[DRV_MAX_PATH] = {};
    char extension[DRV_MAX_PATH] = {};
    _drv_Split(d.path.c_str(), nullptr, base, extension);
    if (last != '\\' && last != '/' && last != ':') destination += '/';
    destination += std::string(base) + extension;
  }
  if (_drv_ChkName(destination.c_str()) != 0) return post(file, kInvalidFilename);
  if (destination == d.path) return post(file, kAccessDenied);  // onto itself
  ConnectionRef ref;
  if (!connect(file, d, false, ref)) return;
  Connection& connection = *ref.connection;
  std::string sql;
  int result = SQLITE_OK;
  if (!stored_sql(connection.db(), "table", d.table, sql, result))
    return post_sqlite(file, connection.db(), result);
  if (sql.empty()) return post(file, kFileNotFound);
  // The destination database is made (when it does not exist) by a connection of its own.
  Declaration target = d;
  target.path = destination;
  ConnectionRef made;
  if (!connect(file, target, true, made)) return;
  sqlite3_stmt* attach = nullptr;
  result = sqlite3_prepare_v2(connection.db(), "ATTACH DATABASE ?1 AS kestrel_copy", -1, &attach,
                              nullptr);
  if (result == SQLITE_OK) {
    sqlite3_bind_text(attach, 1, destination.c_str(), -1, SQLITE_STATIC);
    result = sqlite3_step(attach) == SQLITE_DONE ? SQLITE_OK : sqlite3_errcode(connection.db());
  }
  sqlite3_finalize(attach);
  if (result != SQLITE_OK) return post_sqlite(file, connection.db(), result);
  result = create_table(connection, d, "kestrel_copy");
  if (result == SQLITE_OK) {
    Unit unit(connection);
    unit.run("INSERT INTO kestrel_copy." + quote(d.table) + " SELECT * FROM main." +
             quote(d.table));
    if (rename) unit.run("DROP TABLE main." + quote(d.table));
    result = unit.commit();
  }
  if (result != SQLITE_OK) post_sqlite(file, connection.db(), result);
  connection.exec("DETACH DATABASE kestrel_copy");
  connection.changed();
}

void do_empty(Drv_FCB* file, OpenFile& state) {
  const std::string sql = "DELETE FROM " + quote(state.table);
  const int result = state.connection->exec(sql.c_str());
  state.connection->changed();
  state.current = 0;
  if (result != SQLITE_OK) post_sqlite(file, state.connection->db(), result);
}

// BUILD: every index of the file, or one key's, built again in the order in force.
void do_build(Drv_FCB* file, OpenFile& state, const Drv_KCB* key) {
  file->state_word |= DRV_STATE_BUILDING;
  Unit unit(*state.connection);
  for (std::size_t k = 0; k < state.keys.size(); ++k) {
    if (key == nullptr || file->keys[k] == key) unit.run("REINDEX " + state.keys[k].index);
  }
  const int result = unit.commit();
  file->state_word &= ~static_cast<std::uint32_t>(DRV_STATE_BUILDING);
  state.connection->changed();
  if (result != SQLITE_OK) post_sqlite(file, state.connection->db(), result);
}

void do_lock(Drv_FCB* file, OpenFile& state, std::int32_t seconds) {
  if (state.locked) return;
  const int result = state.connection->enter_write(seconds < 0 ? -1 : seconds * 1000);
  if (result != SQLITE_OK) return post_sqlite(file, state.connection->db(), result, kFileLocked);
  state.locked = true;
}

void do_unlock(Drv_FCB* file, OpenFile& state) {
  if (!state.locked) return;
  state.locked = false;
  const int result = state.connection->leave_write();
  if (result != SQLITE_OK) post_sqlite(file, state.connection->db(), result);
}

void do_logout(Drv_FCB* file, OpenFile& state, std::int32_t seconds) {
  if (state.in_logout) return;
  const int result = state.connection->enter_logout(seconds > 0 ? seconds * 1000 : -1);
  if (result != SQLITE_OK) return post_sqlite(file, state.connection->db(), result);
  state.in_logout = true;
}

void do_end_logout(Drv_FCB* file, OpenFile& state, bool commit) {
  if (!state.in_logout) return;
  state.in_logout = false;
  const int result = state.connection->leave_logout(commit);
  if (result != SQLITE_OK)
    post_sqlite(file, state.connection->db(), result, commit ? 0 : kRollbackFailed);
}

// A text popped from the string stack, without trailing blanks.
std::string pop_text() {
  KesTextPair popped{};
  Kes$PopTemp(&popped);
  std::string text(popped.pointer == nullptr ? "" : popped.pointer, popped.length);
  Kes$freestr(&popped);
  while (!text.empty() && text.back() == ' ')
    text.pop_back();
  return text;
}

// Pushes a copy of the text that the stack entry owns.
void push_text(const std::string& text) {
  Kes$PushString(text.data(), static_cast<std::uint32_t>(text.size()));
  Kes$StackHeap();
}

std::string integrity(Connection& connection) {
  std::string out;
  sqlite3_stmt* statement = nullptr;
  if (sqlite3_prepare_v2(connection.db(), "PRAGMA integrity_check", -1, &statement, nullptr) ==
      SQLITE_OK) {
    while (sqlite3_step(statement) == SQLITE_ROW) {
      const unsigned char* line = sqlite3_column_text(statement, 0);
      if (!out.empty()) out += '\n';
      if (line != nullptr) out += reinterpret_cast<const char*>(line);
    }
  }
  sqlite3_finalize(statement);
  return out;
}

void set_property(Drv_FCB* file, std::int32_t property) {
  const std::string value = upper(pop_text());
  OpenFile* state = open_state(file);
  if (state == nullptr) return;
  Connection& connection = *state->connection;
  int result = SQLITE_OK;
  std::int32_t number = 0;
  switch (property) {
    case K55SQLITE_PROP_BUSY_TIMEOUT:
      if (!milliseconds(value, number)) return post(file, kUnsupported);
      result = connection.set_busy_timeout(number);
      break;
    case K55SQLITE_PROP_JOURNAL_MODE:
      if (!journal_mode_word(value)) return post(file, kUnsupported);
      result = connection.set_journal_mode(value);
      break;
    case K55SQLITE_PROP_SYNCHRONOUS:
      if (!synchronous_word(value)) return post(file, kUnsupported);
      result = connection.set_synchronous(value);
      break;
    default: return post(file, kUnsupported);
  }
  if (result != SQLITE_OK) post_sqlite(file, connection.db(), result);
}

void get_property(Drv_FCB* file, std::int32_t property) {
  OpenFile* state = file->state == nullptr ? nullptr : static_cast<OpenFile*>(file->state);
  if (state == nullptr) {
    push_text("");
    return post(file, 37);
  }
  Connection& connection = *state->connection;
  switch (property) {
    case K55SQLITE_PROP_BUSY_TIMEOUT: return push_text(std::to_string(connection.busy_timeout()));
    case K55SQLITE_PROP_JOURNAL_MODE: return push_text(connection.journal_mode());
    case K55SQLITE_PROP_SYNCHRONOUS: return push_text(connection.synchronous());
    case K55SQLITE_PROP_INTEGRITY: return push_text(integrity(connection));
    default: push_text(""); return post(file, kUnsupported);
  }
}

}  // namespace

std::string file_name(const Drv_FCB* file) {
  std::string name;
  if (file->name != nullptr) {
    name = file->name_length < 0
               ? std::string(file->name)
               : std::string(file->name, static_cast<std::size_t>(file->name_length));
  }
  while (!name.empty() && name.back() == ' ')
    name.pop_back();
  return native_name(std::move(name));
}

std::string native_name(std::string name) {
#ifndef _WIN32
  // File names keep their Windows form: a backslash separates folders on every host.
  std::replace(name.begin(), name.end(), '\\', '/');
#endif
  return name;
}

OpenFile* open_state(Drv_FCB* file) {
  if (file->state == nullptr) post(file, 37);  // File Not Open
  return static_cast<OpenFile*>(file->state);
}

std::int32_t error_number(int result, Busy busy) {
  switch (result & 0xFF) {
    case SQLITE_OK: return 0;
    case SQLITE_BUSY:
    case SQLITE_LOCKED: return busy == Busy::Held ? 43 : kFileLocked;
    case SQLITE_CONSTRAINT: return 40;  // Creates Duplicate Key
    case SQLITE_CANTOPEN: return kFileNotFound;
    case SQLITE_READONLY:
    case SQLITE_PERM:
    case SQLITE_AUTH: return kAccessDenied;
    case SQLITE_NOTADB:
    case SQLITE_CORRUPT: return 36;  // Invalid Data File
    case SQLITE_NOMEM: return 8;
    default: return 90;  // File System Error
  }
}

void post_sqlite(Drv_FCB* file, sqlite3* db, int result, std::int32_t number, Busy busy) {
  const std::string code = std::to_string(result);
  const char* message = db == nullptr ? sqlite3_errstr(result) : sqlite3_errmsg(db);
  drv_post_error(file, number != 0 ? number : error_number(result, busy), code.c_str(), message);
}

void post(Drv_FCB* file, std::int32_t number) { drv_post_error(file, number, nullptr, nullptr); }

void destroy_file(Drv_FCB* file) { close_file(file); }

bool run_file_operation(std::int32_t operation, Drv_FCB* file, const Drv_Args& arguments,
                        std::int32_t& result) {
  const std::int32_t* values = arguments.values;
  switch (operation) {
    case DRV_CREATE: do_create(file); return true;
    case DRV_OPEN:
    case DRV_SHARE: do_open(file, values[0]); return true;
    case DRV_CLOSE: close_file(file); return true;
    case DRV_REMOVE: do_remove(file); return true;
    case DRV_COPY:
    case DRV_RENAME: do_copy(file, operation == DRV_RENAME); return true;
    case DRV_NAME: push_text(file_name(file)); return true;
    case DRV_SET_PROPERTY: set_property(file, values[0]); return true;
    case DRV_GET_PROPERTY: get_property(file, values[0]); return true;
    default: break;
  }
  if (operation == DRV_SEND || operation == DRV_BUILDDYN || operation == DRV_BUILDDYNFILTER)
    return false;
  OpenFile* state = static_cast<OpenFile*>(file->state);
  if (state == nullptr) return run_record_operation(operation, file, arguments, result);
  switch (operation) {
    case DRV_EMPTY: do_empty(file, *state); return true;
    case DRV_BUILDFILE: do_build(file, *state, nullptr); return true;
    case DRV_BUILDKEY: do_build(file, *state, arguments.key); return true;
    case DRV_LOCKFILE: do_lock(file, *state, -1); return true;
    case DRV_LOCKFILESEC: do_lock(file, *state, values[0]); return true;
    case DRV_UNLOCK: do_unlock(file, *state); return true;
    case DRV_LOGOUT: do_logout(file, *state, values[0]); return true;
    case DRV_COMMIT: do_end_logout(file, *state, true); return true;
    case DRV_ROLLBACK: do_end_logout(file, *state, false); return true;
    case DRV_BUFFER:
      state->buffer_limit = static_cast<std::uint32_t>(std::clamp(values[0], 1, 4096));
      return true;
    default: return run_record_operation(operation, file, arguments, result);
  }
}

}  // namespace kes::sqlite
