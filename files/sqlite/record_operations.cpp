// Operations on records and sequences: ADD, APPEND, PUT, DELETE, GET, SET, NEXT, PREVIOUS,
// SKIP, BOF, EOF, RECORDS, POINTER, DUPLICATE, HOLD, RELEASE, WATCH and the BLOB operations.
#include <algorithm>
#include <cstring>
#include <limits>

#include <kestrel/storage.h>
#include <kestrel/string_stack.h>

#include "files/sqlite/file_operations.h"

namespace kes::sqlite {
namespace {

constexpr std::int32_t kRecordNotAvailable = 33;
constexpr std::int32_t kRecordNotFound = 35;
constexpr std::int32_t kInvalidKeyFile = 38;
constexpr std::int32_t kEntryNotFound = 30;
constexpr std::int32_t kChangedByAnother = 89;
constexpr std::uint32_t kFirstBatch = 4;

std::int32_t to_result(std::int64_t value) {
  return static_cast<std::int32_t>(
      std::clamp<std::int64_t>(value, 0, std::numeric_limits<std::int32_t>::max()));
}

std::int32_t key_index(const Drv_FCB* file, const Drv_KCB* key) {
  for (std::size_t k = 0; k < file->key_count; ++k) {
    if (file->keys[k] == key) return static_cast<std::int32_t>(k);
  }
  return -1;
}

// The program's record buffer and MEMO buffers as one image.
void take_buffers(const Drv_FCB* file, OpenFile& s) {
  std::memcpy(s.image.data(), file->record, file->record_size);
  std::uint32_t at = file->record_size;
  for (std::size_t m = 0; m < file->memo_count; ++m) {
    const Drv_MCB& memo = file->memos[m];
    if ((memo.flags & DRV_MEMO_BLOB) != 0) continue;
    if (memo.buffer != nullptr) std::memcpy(s.image.data() + at, memo.buffer, memo.size);
    at += memo.size;
  }
}

// A record read into the program's buffers (its MEMOs and BLOBs too, unless NOMEMO asked).
void give_buffers(Drv_FCB* file, OpenFile& s, const unsigned char* image,
                  const BlobContents& blobs) {
  std::memcpy(file->record, image, file->record_size);
  if (s.skip_memos) {
    s.skip_memos = false;
    return;
  }
  std::uint32_t at = file->record_size;
  for (std::size_t m = 0; m < file->memo_count; ++m) {
    const Drv_MCB& memo = file->memos[m];
    if ((memo.flags & DRV_MEMO_BLOB) != 0) continue;
    if (memo.buffer != nullptr) std::memcpy(memo.buffer, image + at, memo.size);
    at += memo.size;
  }
  s.blobs = blobs;
}

// A result row's columns (after the position) into an image.
void load_row(sqlite3_stmt* statement, const RecordLayout& layout, unsigned char* image,
              BlobContents& blobs) {
  std::memset(image, 0, layout.image_size);
  blobs.assign(layout.blob_count, std::string());
  for (std::size_t i = 0; i < layout.columns.size(); ++i) {
    if (layout.columns[i].restores)
      load_column(statement, static_cast<int>(i + 1), layout.columns[i], image, blobs);
  }
}

int bind_key(sqlite3_stmt* statement, const OpenFile& s, const KeyPlan& plan,
             const unsigned char* image, const BlobContents& blobs) {
  int result = SQLITE_OK;
  for (std::size_t i = 0; i < plan.terms.size() && result == SQLITE_OK; ++i) {
    result = bind_column(statement, static_cast<int>(i + 1), s.layout.columns[plan.terms[i].column],
                         image, blobs);
  }
  return result;
}

// Steps a statement to its end; the SQLite result (SQLITE_DONE on success).
int finish(sqlite3_stmt* statement) {
  int result = sqlite3_step(statement);
  while (result == SQLITE_ROW)
    result = sqlite3_step(statement);
  sqlite3_reset(statement);
  return result;
}

// Reads the record at `position` into s.row; SQLITE_ROW when found.
int read_position(OpenFile& s, std::int64_t position) {
  sqlite3_stmt* statement = s.by_position.get(
      s.connection->db(), "SELECT " + select_list(s.layout) + " FROM " + quote(s.table) +
                              " WHERE " + kPositionColumn + " = ?1");
  if (statement == nullptr) return sqlite3_errcode(s.connection->db());
  sqlite3_bind_int64(statement, 1, position);
  int result = sqlite3_step(statement);
  if (result == SQLITE_ROW) load_row(statement, s.layout, s.row.data(), s.row_blobs);
  sqlite3_reset(statement);
  return result;
}

void release_hold(Drv_FCB* file, OpenFile& s) {
  if (!s.held) return;
  s.held = false;
  const int result = s.connection->leave_write();
  if (result != SQLITE_OK) post_sqlite(file, s.connection->db(), result);
}

// Before a read: a pending HOLD takes the write transaction, so that the record read cannot
// change until it is released; a record held without a HOLD pending is released. `took` tells
// whether this read took the transaction. False (posted) when it cannot be had in time.
bool prepare_read(Drv_FCB* file, OpenFile& s, bool& fresh, bool& took) {
  fresh = (file->state_word & DRV_STATE_HOLD_PENDING) != 0;
  took = false;
  if (!fresh) {
    release_hold(file, s);
    return true;
  }
  if (s.held) return true;
  const std::int32_t timeout = s.hold_seconds < 0 ? -1 : s.hold_seconds * 1000;
  const int result = s.connection->enter_write(timeout);
  if (result != SQLITE_OK) {
    post_sqlite(file, s.connection->db(), result, 0, Busy::Held);
    return false;
  }
  s.held = took = true;
  return true;
}

// A record read: it becomes the current record and the buffers' contents; under WATCH a copy
// is kept for PUT and DELETE to compare.
void read_done(Drv_FCB* file, OpenFile& s, std::int64_t position, const unsigned char* image,
               const BlobContents& blobs) {
  give_buffers(file, s, image, blobs);
  s.current = position;
  if ((file->state_word & DRV_STATE_WATCH_PENDING) != 0) {
    s.watched.assign(image, image + s.layout.image_size);
    s.watched_blobs = blobs;
  }
}

// Under WATCH: whether the stored record still is the one read. Posts 89 when another program
// changed or deleted it.
bool unchanged(Drv_FCB* file, OpenFile& s) {
  if ((file->state_word & DRV_STATE_WATCHED) == 0) return true;
  const int result = read_position(s, s.current);
  if (result == SQLITE_ROW && s.row == s.watched && s.row_blobs == s.watched_blobs) return true;
  if (result != SQLITE_ROW && result != SQLITE_DONE) {
    post_sqlite(file, s.connection->db(), result);
  } else {
    post(file, kChangedByAnother);
  }
  return false;
}

// ---- Sequences

sqlite3_stmt* scan_statement(OpenFile& s, bool backward, ScanStart start) {
  const std::int32_t key = s.sequence.key;
  const std::uint32_t slot = static_cast<std::uint32_t>(key + 1) * 8 + (backward ? 4u : 0u) +
                             static_cast<std::uint32_t>(start);
  const KeyPlan* plan = key < 0 ? nullptr : &s.keys[static_cast<std::size_t>(key)];
  return s.scans[slot].get(s.connection->db(), scan_sql(s.table, s.layout, plan, backward, start));
}

// Reads the next batch of the sequence in one direction, after the last record read (or from
// the sequence's start). The SQLite result: SQLITE_DONE on success.
int fill(OpenFile& s, bool backward, std::uint32_t limit) {
  Sequence& q = s.sequence;
  ReadAhead& a = q.ahead;
  a.images.clear();
  a.positions.clear();
  a.blobs.clear();
  a.next = 0;
  a.backward = backward;
  a.generation = s.connection->generation();
  const ScanStart start = q.read ? ScanStart::After : q.start;
  sqlite3_stmt* statement = scan_statement(s, backward, start);
  if (statement == nullptr) return sqlite3_errcode(s.connection->db());
  const std::size_t terms = q.key < 0 ? 0 : s.keys[static_cast<std::size_t>(q.key)].terms.size();
  if (start != ScanStart::Ends) {
    const unsigned char* image = q.read ? q.last_image.data() : q.start_image.data();
    if (q.key >= 0) bind_key(statement, s, s.keys[static_cast<std::size_t>(q.key)], image, s.blobs);
    sqlite3_bind_int64(statement, static_cast<int>(terms + 1),
                       q.read ? q.last_position : q.start_position);
  }
  sqlite3_bind_int(statement, static_cast<int>(terms + 2), static_cast<int>(limit));
  const std::size_t size = s.layout.image_size;
  int result = sqlite3_step(statement);
  for (; result == SQLITE_ROW; result = sqlite3_step(statement)) {
    a.positions.push_back(sqlite3_column_int64(statement, 0));
    a.images.resize(a.positions.size() * size);
    a.blobs.emplace_back();
    load_row(statement, s.layout, a.images.data() + (a.positions.size() - 1) * size,
             a.blobs.back());
  }
  sqlite3_reset(statement);
  a.complete = a.positions.size() < limit;
  return result;
}

// The next record of the sequence in a direction: its index in the read-ahead, or -1 at the
// end. `fresh` reads from the database whatever was read ahead. Posts on failure (-2).
std::int64_t fetch(Drv_FCB* file, OpenFile& s, bool backward, bool consume, bool fresh) {
  ReadAhead& a = s.sequence.ahead;
  const bool usable = !fresh && a.generation == s.connection->generation() &&
                      a.backward == backward && a.next < a.positions.size();
  if (!usable) {
    const bool growing = a.backward == backward && a.batch != 0;
    a.batch = fresh     ? 1
              : growing ? std::min(a.batch * 4, s.buffer_limit)
                        : std::min(kFirstBatch, s.buffer_limit);
    const int result = fill(s, backward, a.batch);
    if (result != SQLITE_DONE) {
      a.positions.clear();
      post_sqlite(file, s.connection->db(), result);
      return -2;
    }
    if (a.positions.empty()) return -1;
  }
  const std::size_t index = a.next;
  if (consume) {
    ++a.next;
    Sequence& q = s.sequence;
    const std::size_t size = s.layout.image_size;
    q.last_image.assign(a.images.begin() + static_cast<std::ptrdiff_t>(index * size),
                        a.images.begin() + static_cast<std::ptrdiff_t>((index + 1) * size));
    q.last_position = a.positions[index];
    q.read = true;
  }
  return static_cast<std::int64_t>(index);
}

void start_sequence(OpenFile& s, std::int32_t key, ScanStart start, const unsigned char* image,
                    std::int64_t position) {
  s.sequence = Sequence{};
  s.sequence.active = true;
  s.sequence.key = key;
  s.sequence.start = start;
  if (image != nullptr) s.sequence.start_image.assign(image, image + s.layout.image_size);
  s.sequence.start_position = position;
}

void do_read_next(Drv_FCB* file, OpenFile& s, bool backward) {
  bool fresh = false;
  bool took = false;
  if (!prepare_read(file, s, fresh, took)) return;
  const std::int64_t index = fetch(file, s, backward, true, fresh);
  if (index < 0) {
    if (took) release_hold(file, s);
    if (index == -1) post(file, kRecordNotAvailable);
    return;
  }
  const ReadAhead& a = s.sequence.ahead;
  const auto i = static_cast<std::size_t>(index);
  read_done(file, s, a.positions[i], a.images.data() + i * s.layout.image_size, a.blobs[i]);
}

void do_skip(Drv_FCB* file, OpenFile& s, std::int32_t count) {
  const bool backward = count < 0;
  const std::int64_t steps = backward ? -std::int64_t{count} : count;
  for (std::int64_t i = 0; i < steps; ++i) {
    if (fetch(file, s, backward, true, false) < 0) return;
  }
}

// The first record in `key` order at or after the buffer's key values: its position, 0 when
// there is none, -1 on failure (posted).
std::int64_t first_from_values(Drv_FCB* file, OpenFile& s, std::int32_t key) {
  s.sequence.key = key;
  sqlite3_stmt* statement = scan_statement(s, false, ScanStart::Values);
  if (statement == nullptr) {
    post_sqlite(file, s.connection->db(), sqlite3_errcode(s.connection->db()));
    return -1;
  }
  const KeyPlan& plan = s.keys[static_cast<std::size_t>(key)];
  bind_key(statement, s, plan, s.image.data(), s.blobs);
  sqlite3_bind_int(statement, static_cast<int>(plan.terms.size() + 2), 1);
  const int result = sqlite3_step(statement);
  const std::int64_t position = result == SQLITE_ROW ? sqlite3_column_int64(statement, 0) : 0;
  sqlite3_reset(statement);
  if (result != SQLITE_ROW && result != SQLITE_DONE) {
    post_sqlite(file, s.connection->db(), result);
    return -1;
  }
  return position;
}

void do_set(Drv_FCB* file, OpenFile& s, std::int32_t operation, const Drv_Args& arguments) {
  const std::int32_t key = key_index(file, arguments.key);
  const std::int64_t position = arguments.values[0];
  take_buffers(file, s);
  switch (operation) {
    case DRV_SETFILE: return start_sequence(s, -1, ScanStart::Ends, nullptr, 0);
    case DRV_SETFILEPTR: return start_sequence(s, -1, ScanStart::ValuesPosition, nullptr, position);
    case DRV_SETKEY: return start_sequence(s, key, ScanStart::Ends, nullptr, 0);
    case DRV_SETKEYKEY: return start_sequence(s, key, ScanStart::Values, s.image.data(), 0);
    case DRV_SETKEYKEYPTR:
      return start_sequence(s, key, ScanStart::ValuesPosition, s.image.data(), position);
    case DRV_SETFILEKEY: {
      // Record order from the first record whose key is at or after the buffer's values.
      const std::int64_t found = first_from_values(file, s, key);
      if (found < 0) return;
      return start_sequence(s, -1, ScanStart::ValuesPosition, nullptr,
                            found == 0 ? std::numeric_limits<std::int64_t>::max() : found);
    }
    case DRV_SETKEYPTR: {
      const int result = read_position(s, position);
      if (result == SQLITE_ROW)
        return start_sequence(s, key, ScanStart::ValuesPosition, s.row.data(), position);
      if (result == SQLITE_DONE) return post(file, kRecordNotFound);
      return post_sqlite(file, s.connection->db(), result);
    }
    default: return;
  }
}

// ---- Single records

void do_get_key(Drv_FCB* file, OpenFile& s, std::int32_t key) {
  bool fresh = false;
  bool took = false;
  if (!prepare_read(file, s, fresh, took)) return;
  const KeyPlan& plan = s.keys[static_cast<std::size_t>(key)];
  sqlite3_stmt* statement = s.by_key[static_cast<std::size_t>(key)].get(
      s.connection->db(), get_by_key_sql(s.table, s.layout, plan));
  int result = statement == nullptr ? sqlite3_errcode(s.connection->db()) : SQLITE_OK;
  std::int64_t position = 0;
  if (statement != nullptr) {
    take_buffers(file, s);
    bind_key(statement, s, plan, s.image.data(), s.blobs);
    result = sqlite3_step(statement);
    if (result == SQLITE_ROW) {
      position = sqlite3_column_int64(statement, 0);
      load_row(statement, s.layout, s.row.data(), s.row_blobs);
    }
    sqlite3_reset(statement);
  }
  if (result == SQLITE_ROW) return read_done(file, s, position, s.row.data(), s.row_blobs);
  if (took) release_hold(file, s);
  if (result == SQLITE_DONE) return post(file, kRecordNotFound);
  post_sqlite(file, s.connection->db(), result);
}

void do_get_position(Drv_FCB* file, OpenFile& s, std::int64_t position) {
  bool fresh = false;
  bool took = false;
  if (!prepare_read(file, s, fresh, took)) return;
  const int result = read_position(s, position);
  if (result == SQLITE_ROW) return read_done(file, s, position, s.row.data(), s.row_blobs);
  if (took) release_hold(file, s);
  if (result == SQLITE_DONE) return post(file, kRecordNotFound);
  post_sqlite(file, s.connection->db(), result);
}

void do_add(Drv_FCB* file, OpenFile& s, bool current) {
  sqlite3_stmt* statement = s.insert.get(s.connection->db(), insert_sql(s.table, s.layout));
  if (statement == nullptr)
    return post_sqlite(file, s.connection->db(), sqlite3_errcode(s.connection->db()));
  take_buffers(file, s);
  for (std::size_t i = 0; i < s.layout.columns.size(); ++i)
    bind_column(statement, static_cast<int>(i + 1), s.layout.columns[i], s.image.data(), s.blobs);
  const int result = finish(statement);
  s.connection->changed();
  if (result != SQLITE_DONE) return post_sqlite(file, s.connection->db(), result);
  if (current) s.current = sqlite3_last_insert_rowid(s.connection->db());
  release_hold(file, s);
}

void do_put(Drv_FCB* file, OpenFile& s) {
  if (!unchanged(file, s)) return;
  sqlite3_stmt* statement = s.update.get(s.connection->db(), update_sql(s.table, s.layout));
  if (statement == nullptr)
    return post_sqlite(file, s.connection->db(), sqlite3_errcode(s.connection->db()));
  take_buffers(file, s);
  const std::size_t count = s.layout.columns.size();
  for (std::size_t i = 0; i < count; ++i)
    bind_column(statement, static_cast<int>(i + 1), s.layout.columns[i], s.image.data(), s.blobs);
  sqlite3_bind_int64(statement, static_cast<int>(count + 1), s.current);
  const int result = finish(statement);
  s.connection->changed();
  if (result != SQLITE_DONE) return post_sqlite(file, s.connection->db(), result);
  if (sqlite3_changes(s.connection->db()) == 0) return post(file, kRecordNotFound);
  // The sequence goes on from where the record now stands.
  Sequence& q = s.sequence;
  if (q.read && q.last_position == s.current) q.last_image = s.image;
  release_hold(file, s);
}

void do_delete(Drv_FCB* file, OpenFile& s) {
  if (!unchanged(file, s)) return;
  sqlite3_stmt* statement = s.remove.get(
      s.connection->db(), "DELETE FROM " + quote(s.table) + " WHERE " + kPositionColumn + " = ?1");
  if (statement == nullptr)
    return post_sqlite(file, s.connection->db(), sqlite3_errcode(s.connection->db()));
  sqlite3_bind_int64(statement, 1, s.current);
  const int result = finish(statement);
  s.connection->changed();
  if (result != SQLITE_DONE) return post_sqlite(file, s.connection->db(), result);
  if (sqlite3_changes(s.connection->db()) == 0) return post(file, kRecordNotFound);
  s.current = 0;
  release_hold(file, s);
}

std::int32_t do_records(Drv_FCB* file, OpenFile& s, std::int32_t key) {
  Statement& holder = key < 0 ? s.count_all : s.count_key[static_cast<std::size_t>(key)];
  sqlite3_stmt* statement =
      holder.get(s.connection->db(),
                 count_sql(s.table, key < 0 ? nullptr : &s.keys[static_cast<std::size_t>(key)]));
  if (statement == nullptr) {
    post_sqlite(file, s.connection->db(), sqlite3_errcode(s.connection->db()));
    return 0;
  }
  const int result = sqlite3_step(statement);
  const std::int64_t count = result == SQLITE_ROW ? sqlite3_column_int64(statement, 0) : 0;
  sqlite3_reset(statement);
  if (result != SQLITE_ROW) post_sqlite(file, s.connection->db(), result);
  return to_result(count);
}

// Whether another record has the buffer's values in `key`.
bool duplicates(Drv_FCB* file, OpenFile& s, std::size_t key) {
  const KeyPlan& plan = s.keys[key];
  sqlite3_stmt* statement =
      s.duplicate[key].get(s.connection->db(), duplicate_sql(s.table, s.layout, plan));
  if (statement == nullptr) {
    post_sqlite(file, s.connection->db(), sqlite3_errcode(s.connection->db()));
    return false;
  }
  bind_key(statement, s, plan, s.image.data(), s.blobs);
  sqlite3_bind_int64(statement, static_cast<int>(plan.terms.size() + 1), s.current);
  const int result = sqlite3_step(statement);
  sqlite3_reset(statement);
  if (result != SQLITE_ROW && result != SQLITE_DONE) post_sqlite(file, s.connection->db(), result);
  return result == SQLITE_ROW;
}

std::int32_t do_duplicate(Drv_FCB* file, OpenFile& s, std::int32_t key) {
  take_buffers(file, s);
  if (key >= 0) return duplicates(file, s, static_cast<std::size_t>(key)) ? 1 : 0;
  for (std::size_t k = 0; k < s.keys.size(); ++k) {
    if (s.keys[k].unique && duplicates(file, s, k)) return 1;
  }
  return 0;
}

// A BLOB by its number from 1; null (posted) for a number without one.
std::string* blob(Drv_FCB* file, OpenFile& s, std::int32_t number) {
  if (number < 1 || static_cast<std::size_t>(number) > s.blobs.size()) {
    post(file, kEntryNotFound);
    return nullptr;
  }
  return &s.blobs[static_cast<std::size_t>(number - 1)];
}

}  // namespace

bool run_record_operation(std::int32_t operation, Drv_FCB* file, const Drv_Args& arguments,
                          std::int32_t& result) {
  switch (operation) {
    case DRV_ADD:
    case DRV_APPEND:
    case DRV_PUT:
    case DRV_DELETE:
    case DRV_GETFILEKEY:
    case DRV_GETFILEPTR:
    case DRV_GETKEYPTR:
    case DRV_SETFILE:
    case DRV_SETFILEKEY:
    case DRV_SETFILEPTR:
    case DRV_SETKEY:
    case DRV_SETKEYKEY:
    case DRV_SETKEYPTR:
    case DRV_SETKEYKEYPTR:
    case DRV_NEXT:
    case DRV_PREVIOUS:
    case DRV_SKIP:
    case DRV_BOF:
    case DRV_EOF:
    case DRV_RECORDSFILE:
    case DRV_RECORDSKEY:
    case DRV_POINTERFILE:
    case DRV_POINTERKEY:
    case DRV_DUPLICATE:
    case DRV_DUPLICATEKEY:
    case DRV_HOLDFILE:
    case DRV_HOLDFILESEC:
    case DRV_RELEASE:
    case DRV_WATCH:
    case DRV_NOMEMO:
    case DRV_BLOB_SIZE:
    case DRV_BLOB_YIELD:
    case DRV_BLOB_TAKE: break;
    default: return false;
  }
  if (operation == DRV_BLOB_TAKE && file->state == nullptr) Kes$STACKpop();
  if (operation == DRV_BLOB_YIELD && file->state == nullptr) Kes$PushString("", 0);
  OpenFile* state = open_state(file);
  if (state == nullptr) return true;
  OpenFile& s = *state;
  const std::int32_t key = key_index(file, arguments.key);
  if (arguments.key != nullptr && key < 0) {
    post(file, kInvalidKeyFile);
    return true;
  }
  const std::int32_t value = arguments.values[0];
  switch (operation) {
    case DRV_ADD: do_add(file, s, true); break;
    case DRV_APPEND: do_add(file, s, false); break;
    case DRV_PUT: do_put(file, s); break;
    case DRV_DELETE: do_delete(file, s); break;
    case DRV_GETFILEKEY: do_get_key(file, s, key); break;
    case DRV_GETFILEPTR:
    case DRV_GETKEYPTR: do_get_position(file, s, value); break;
    case DRV_NEXT: do_read_next(file, s, false); break;
    case DRV_PREVIOUS: do_read_next(file, s, true); break;
    case DRV_SKIP: do_skip(file, s, value); break;
    case DRV_BOF:
    case DRV_EOF: {
      const std::int64_t index = fetch(file, s, operation == DRV_BOF, false, false);
      result = index == -1 ? 1 : 0;
      break;
    }
    case DRV_RECORDSFILE: result = do_records(file, s, -1); break;
    case DRV_RECORDSKEY: result = do_records(file, s, key); break;
    case DRV_POINTERFILE:
    case DRV_POINTERKEY: result = to_result(s.current); break;
    case DRV_DUPLICATE: result = do_duplicate(file, s, -1); break;
    case DRV_DUPLICATEKEY: result = do_duplicate(file, s, key); break;
    case DRV_HOLDFILE: s.hold_seconds = -1; break;
    case DRV_HOLDFILESEC: s.hold_seconds = std::max(value, 0); break;
    case DRV_RELEASE: release_hold(file, s); break;
    case DRV_WATCH: break;  // the state word keeps the WATCH
    case DRV_NOMEMO: s.skip_memos = true; break;
    case DRV_BLOB_SIZE:
      if (const std::string* content = blob(file, s, value))
        result = to_result(static_cast<std::int64_t>(content->size()));
      break;
    case DRV_BLOB_YIELD:
      if (const std::string* content = blob(file, s, value)) {
        Kes$PushString(content->data(), static_cast<std::uint32_t>(content->size()));
        Kes$StackHeap();  // a copy of its own: the BLOB may change before it is popped
      } else {
        Kes$PushString("", 0);
      }
      break;
    case DRV_BLOB_TAKE: {
      KesTextPair popped{};
      Kes$PopTemp(&popped);
      if (std::string* content = blob(file, s, value))
        content->assign(popped.pointer == nullptr ? "" : popped.pointer, popped.length);
      Kes$freestr(&popped);
      break;
    }
    default: do_set(file, s, operation, arguments); break;
  }
  return true;
}

sqlite3_stmt* Statement::get(sqlite3* db, const std::string& sql) {
  if (statement_ == nullptr)
    sqlite3_prepare_v3(db, sql.c_str(), static_cast<int>(sql.size()), SQLITE_PREPARE_PERSISTENT,
                       &statement_, nullptr);
  return statement_;
}

}  // namespace kes::sqlite
