// What the driver keeps for an open FILE (Drv_FCB.state): the table's layout and keys, the
// statements prepared for it, the current record, and the sequence that NEXT and PREVIOUS read.
//
// A sequence reads ahead: each read from the database fetches a batch of records after the last
// one read (4 at first, four times more each time up to the BUFFER size, 256 by default) and
// the following NEXTs take them from memory. Every change through this program's connection
// (ADD, PUT, DELETE, EMPTY, COMMIT, ROLLBACK on any FILE of the database) drops the batch; a
// change by another program is seen when the next batch is read, or at once by a read that
// HOLDs its record.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include <kestrel/driver.h>

#include "files/sqlite/codec.h"
#include "files/sqlite/connection.h"
#include "files/sqlite/record_layout.h"
#include "files/sqlite/schema.h"

namespace kes::sqlite {

// A prepared statement, finalized with its owner.
class Statement {
 public:
  Statement() = default;
  ~Statement() { sqlite3_finalize(statement_); }
  Statement(const Statement&) = delete;
  Statement& operator=(const Statement&) = delete;
  // Prepares `sql` once; null on failure (the connection holds the error).
  sqlite3_stmt* get(sqlite3* db, const std::string& sql);

 private:
  sqlite3_stmt* statement_ = nullptr;
};

// Records read ahead, as images.
struct ReadAhead {
  std::vector<unsigned char> images;  // count x image size
  std::vector<std::int64_t> positions;
  std::vector<BlobContents> blobs;  // per record, when the file has BLOBs
  std::size_t next = 0;             // the next record to hand out
  bool backward = false;
  bool complete = false;  // the batch reached the end of the sequence
  std::uint64_t generation = 0;
  std::uint32_t batch = 0;  // size of the last batch
};

struct Sequence {
  bool active = false;
  std::int32_t key = -1;  // index of the key, -1: record order
  ScanStart start = ScanStart::Ends;
  std::vector<unsigned char> start_image;  // key values to start from
  std::int64_t start_position = 0;
  bool read = false;  // a record was read: `last` holds it
  std::vector<unsigned char> last_image;
  std::int64_t last_position = 0;
  ReadAhead ahead;
};

struct OpenFile {
  Connection* connection = nullptr;
  std::string table;
  RecordLayout layout;
  std::vector<KeyPlan> keys;  // parallel to Drv_FCB.keys
  std::int32_t access_mode = 0;
  bool exclusive = false;

  // The current record.
  std::int64_t current = 0;          // its position, 0 for none
  std::vector<unsigned char> image;  // scratch image of the record buffers
  BlobContents blobs;                // the BLOBs' contents of the record buffer
  std::vector<unsigned char> row;    // scratch image of a record read
  BlobContents row_blobs;
  std::vector<unsigned char> watched;  // the record as read under WATCH
  BlobContents watched_blobs;
  bool held = false;    // HOLD holds the write transaction
  bool locked = false;  // LOCK holds it
  bool in_logout = false;
  bool skip_memos = false;  // NOMEMO: the next read leaves the MEMOs alone
  std::int32_t hold_seconds = -1;
  std::uint32_t buffer_limit = 256;  // most records read ahead at once (BUFFER)

  Sequence sequence;

  // Statements, prepared on first use.
  Statement insert, update, remove, by_position, count_all;
  std::vector<Statement> by_key, count_key, duplicate;  // per key
  std::map<std::uint32_t, Statement> scans;             // by (key + 1) * 8 + backward * 4 + start
};

}  // namespace kes::sqlite
