// Statement exports reach the driver with their operation numbers and arguments; callbacks
// watch and veto; bad control blocks are refused. LOGOUT, COMMIT and ROLLBACK across files, the
// logout list, the driver registry, and the final shutdown's commit and close.
#include "files/dispatch/dispatch.h"

#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include <kestrel/driver.h>
#include <kestrel/files.h>

#include <gtest/gtest.h>

#include "files/dispatch/driver_registry.h"
#include "files/dispatch/logout_list.h"
#include "files/dispatch/transaction.h"
#include "files/errors/error_state.h"
#include "platform/core/heap.h"
#include "platform/msgbox/message_box.h"
#include "runtime/fatal/fatal.h"
#include "runtime/lifecycle/halt.h"
#include "runtime/lifecycle/lifecycle.h"
#include "tests/support/stack_helpers.h"

namespace kes::test {
namespace {

// A driver for the tests that records every call it receives and fails the operations a test
// asks it to fail. OPEN and CREATE open the file (state set, driver activated with the file's
// declared support), CLOSE closes it. Each fixture resets the calls and the failures to post.
struct DriverCall {
  std::int32_t operation;
  Drv_FCB* file;
  Drv_Args arguments;
};

// A file of the tests: its block and what its driver declares at OPEN.
struct TestFile {
  explicit TestFile(const char* file_name) {
    block.driver = recording_driver;
    block.name = file_name;
    block.name_length = -1;
    block.label = file_name;
  }
  static std::int32_t recording_driver(std::int32_t operation, Drv_FCB* file,
                                       const Drv_Args* arguments) noexcept;
  Drv_FCB block{};
  files::DriverSupport support{7, true, true, true, false, false};
};

std::vector<DriverCall> driver_calls;
std::map<std::pair<Drv_FCB*, std::int32_t>, std::int32_t> driver_failures;
bool report_calls = false;  // death tests: each call also goes to standard error
int open_state = 0;         // what an open file's state points at

std::int32_t TestFile::recording_driver(std::int32_t operation, Drv_FCB* file,
                                        const Drv_Args* arguments) noexcept {
  driver_calls.push_back({operation, file, *arguments});
  if (report_calls) std::fprintf(stderr, "%d %s\n", static_cast<int>(operation), file->name);
  const auto failure = driver_failures.find({file, operation});
  if (failure != driver_failures.end()) {
    Kes$seterror(failure->second);
    return 0;
  }
  const auto* test_file = reinterpret_cast<TestFile*>(file);
  const files::DriverSupport& s = test_file->support;
  if (operation == DRV_OPEN || operation == DRV_CREATE) {
    file->state = &open_state;
    Kes$activate_drv(file, s.status, s.supports_logout, s.supports_rollback, s.supports_commit,
                     s.lock_before_logout, s.unlock_after);
  } else if (operation == DRV_CLOSE || operation == DRV_DESTROY) {
    Kes$deactivate_drv(file);
    file->state = nullptr;
  }
  return 1000 + operation;  // what the statement returns
}

// The operations recorded, in order, as "op:name" texts.
std::vector<std::string> recorded() {
  std::vector<std::string> out;
  for (const DriverCall& call : driver_calls)
    out.push_back(std::to_string(call.operation) + ":" + call.file->name);
  return out;
}

class DriverTest : public testing::Test {
 public:
  void SetUp() override { reset(); }
  void TearDown() override { reset(); }
  static void reset() {
    files::reset_files_for_testing();
    runtime::reset_lifecycle_for_testing();
    files::clear_error();
    driver_calls.clear();
    driver_failures.clear();
    report_calls = false;
    drain_string_stack();
  }
  // Opens the files through OPEN and forgets the calls.
  template <typename... Files>
  static void open(Files&... files) {
    (Kes$FILE_OPEN(&files.block, DRV_ACCESS_READWRITE | DRV_DENY_WRITE), ...);
    driver_calls.clear();
  }
};

// The objects a statement row may name, with short names for the rows.
struct O {
  TestFile file{"DATA.DAT"};
  Drv_KCB key{};
  Drv_KCB start{};
  Kes_VCBBLK_struct view{};
  int field = 0;
  Drv_FCB* f = &file.block;
  Drv_KCB* k = &key;
  Drv_KCB* s = &start;
  Kes_VCBBLK_struct* v = &view;
  O() {
    key.file = &file.block;
    start.file = &file.block;
    view.file.driver = TestFile::recording_driver;
    view.file.name = "VIEW";
    view.file.attributes = DRV_ATTR_VIEW;
  }
};

struct StatementCase {
  const char* name;
  std::int32_t (*call)(O& o);
  std::int32_t operation;
  int key;      // 0 none, 1 the key, 2 the start key
  int key2;     // 0 none, 2 the start key
  int pointer;  // 0 none, 1 the field, 2 the file, 3 the view
  Drv_Args values;
};

Drv_Args v(std::int32_t a = 0, std::int32_t b = 0, std::int32_t c = 0, std::int32_t d = 0) {
  return {nullptr, nullptr, nullptr, {a, b, c, d}};
}

const StatementCase kStatements[] = {
    {"ADDf", [](O& o) { return Kes$FILE_ADDf(o.f); }, 1, 0, 0, 0, v()},
    {"ADDfu", [](O& o) { return Kes$FILE_ADDfu(o.f, 9); }, 51, 0, 0, 0, v(9)},
    {"APPENDf", [](O& o) { return Kes$FILE_APPENDf(o.f); }, 4, 0, 0, 0, v()},
    {"APPENDfu", [](O& o) { return Kes$FILE_APPENDfu(o.f, 3); }, 59, 0, 0, 0, v(3)},
    {"BOF", [](O& o) { return Kes$FILE_BOF(o.f); }, 2, 0, 0, 0, v()},
    {"BUFFER", [](O& o) { return Kes$FILE_BUFFER(o.f, 1, 2, 3, 4); }, 80, 0, 0, 0, v(1, 2, 3, 4)},
    {"BUILDf", [](O& o) { return Kes$FILE_BUILDf(o.f); }, 3, 0, 0, 0, v()},
    {"BUILDk", [](O& o) { return Kes$FILE_BUILDk(o.k); }, 6, 1, 0, 0, v()},
    {"BUILDks", [](O& o) { return Kes$FILE_BUILDks(o.k); }, 5, 1, 0, 0, v()},
    {"BUILDksf", [](O& o) { return Kes$FILE_BUILDksf(o.k); }, 34, 1, 0, 0, v()},
    {"BYTES", [](O& o) { return Kes$FILE_BYTES(o.f); }, 52, 0, 0, 0, v()},
    {"CEOF", [](O& o) { return Kes$FILE_CEOF(o.f); }, 14, 0, 0, 0, v()},
    {"CLEAR", [](O& o) { return Kes$FILE_CLEAR(o.f); }, 82, 0, 0, 0, v()},
    {"CLOSE", [](O& o) { return Kes$FILE_CLOSE(o.f); }, 7, 0, 0, 0, v()},
    {"COPY", [](O& o) { return Kes$FILE_COPY(o.f); }, 9, 0, 0, 0, v()},
    {"CREATE", [](O& o) { return Kes$FILE_CREATE(o.f); }, 10, 0, 0, 0, v()},
    {"DELETE", [](O& o) { return Kes$FILE_DELETE(o.f); }, 11, 0, 0, 0, v()},
    {"DUPLICATEf", [](O& o) { return Kes$FILE_DUPLICATEf(o.f); }, 12, 0, 0, 0, v()},
    {"DUPLICATEk", [](O& o) { return Kes$FILE_DUPLICATEk(o.k); }, 57, 1, 0, 0, v()},
    {"EMPTY", [](O& o) { return Kes$FILE_EMPTY(o.f); }, 13, 0, 0, 0, v()},
    {"FLUSH", [](O& o) { return Kes$FILE_FLUSH(o.f); }, 29, 0, 0, 0, v()},
    {"GETfk", [](O& o) { return Kes$FILE_GETfk(o.f, o.k); }, 15, 1, 0, 0, v()},
    {"GETfl", [](O& o) { return Kes$FILE_GETfl(o.f, 77); }, 16, 0, 0, 0, v(77)},
    {"GETflu", [](O& o) { return Kes$FILE_GETflu(o.f, 77, 8); }, 53, 0, 0, 0, v(77, 8)},
    {"GETkl", [](O& o) { return Kes$FILE_GETkl(o.k, 5); }, 17, 1, 0, 0, v(5)},
    {"HOLDf", [](O& o) { return Kes$FILE_HOLDf(o.f); }, 18, 0, 0, 0, v()},
    {"HOLDfi", [](O& o) { return Kes$FILE_HOLDfi(o.f, 4); }, 19, 0, 0, 0, v(4)},
    {"LOCKf", [](O& o) { return Kes$FILE_LOCKf(o.f); }, 20, 0, 0, 0, v()},
    {"LOCKfi", [](O& o) { return Kes$FILE_LOCKfi(o.f, 6); }, 21, 0, 0, 0, v(6)},
    {"NAME", [](O& o) { return Kes$FILE_NAME(o.f); }, 23, 0, 0, 0, v()},
    {"NEXT", [](O& o) { return Kes$FILE_NEXT(o.f); }, 24, 0, 0, 0, v()},
    {"OPEN", [](O& o) { return Kes$FILE_OPEN(o.f, 0x42); }, 25, 0, 0, 0, v(0x42)},
    {"PACK", [](O& o) { return Kes$FILE_PACK(o.f); }, 26, 0, 0, 0, v()},
    {"POINTERf", [](O& o) { return Kes$FILE_POINTERf(o.f); }, 27, 0, 0, 0, v()},
    {"POINTERk", [](O& o) { return Kes$FILE_POINTERk(o.k); }, 28, 1, 0, 0, v()},
    {"POSITIONf", [](O& o) { return Kes$FILE_POSITIONf(o.f); }, 61, 0, 0, 0, v()},
    {"POSITIONk", [](O& o) { return Kes$FILE_POSITIONk(o.k); }, 62, 1, 0, 0, v()},
    {"PREV", [](O& o) { return Kes$FILE_PREV(o.f); }, 31, 0, 0, 0, v()},
    {"PUTf", [](O& o) { return Kes$FILE_PUTf(o.f); }, 30, 0, 0, 0, v()},
    {"PUTfl", [](O& o) { return Kes$FILE_PUTfl(o.f, 12); }, 54, 0, 0, 0, v(12)},
    {"PUTflu", [](O& o) { return Kes$FILE_PUTflu(o.f, 12, 3); }, 55, 0, 0, 0, v(12, 3)},
    {"RECORDSf", [](O& o) { return Kes$FILE_RECORDSf(o.f); }, 32, 0, 0, 0, v()},
    {"RECORDSk", [](O& o) { return Kes$FILE_RECORDSk(o.k); }, 33, 1, 0, 0, v()},
    {"RELEASE", [](O& o) { return Kes$FILE_RELEASE(o.f); }, 36, 0, 0, 0, v()},
    {"REMOVE", [](O& o) { return Kes$FILE_REMOVE(o.f); }, 37, 0, 0, 0, v()},
    {"RENAME", [](O& o) { return Kes$FILE_RENAME(o.f); }, 38, 0, 0, 0, v()},
    {"RESETf", [](O& o) { return Kes$FILE_RESETf(o.f); }, 63, 0, 0, 0, v()},
    {"RESETk", [](O& o) { return Kes$FILE_RESETk(o.k); }, 64, 1, 0, 0, v()},
    {"REGETf", [](O& o) { return Kes$FILE_REGETf(o.f); }, 66, 0, 0, 0, v()},
    {"REGETk", [](O& o) { return Kes$FILE_REGETk(o.k); }, 67, 1, 0, 0, v()},
    {"SEND", [](O& o) { return Kes$FILE_SEND(o.f); }, 60, 0, 0, 0, v()},
    {"SETf", [](O& o) { return Kes$FILE_SETf(o.f); }, 41, 0, 0, 0, v()},
    {"SETfk", [](O& o) { return Kes$FILE_SETfk(o.f, o.k); }, 42, 1, 0, 0, v()},
    {"SETfl", [](O& o) { return Kes$FILE_SETfl(o.f, 8); }, 43, 0, 0, 0, v(8)},
    {"SETk", [](O& o) { return Kes$FILE_SETk(o.k); }, 44, 1, 0, 0, v()},
    {"SETkk", [](O& o) { return Kes$FILE_SETkk(o.k, o.s); }, 45, 1, 2, 0, v()},
    {"SETkl", [](O& o) { return Kes$FILE_SETkl(o.k, 8); }, 46, 1, 0, 0, v(8)},
    {"SETkkl", [](O& o) { return Kes$FILE_SETkkl(o.k, o.s, 8); }, 47, 1, 2, 0, v(8)},
    {"SHARE", [](O& o) { return Kes$FILE_SHARE(o.f, 0x22); }, 25, 0, 0, 0, v(0x22)},
    {"SKIP", [](O& o) { return Kes$FILE_SKIP(o.f, -3); }, 49, 0, 0, 0, v(-3)},
    {"STREAM", [](O& o) { return Kes$FILE_STREAM(o.f); }, 56, 0, 0, 0, v()},
    {"UNLOCK", [](O& o) { return Kes$FILE_UNLOCK(o.f); }, 50, 0, 0, 0, v()},
    {"WATCH", [](O& o) { return Kes$FILE_WATCH(o.f); }, 58, 0, 0, 0, v()},
    {"NOMEMO", [](O& o) { return Kes$FILE_NOMEMO(o.f); }, 65, 0, 0, 0, v()},
    {"NULL", [](O& o) { return Kes$FILE_NULL(o.f, &o.field); }, 68, 0, 0, 1, v()},
    {"SETNULL", [](O& o) { return Kes$FILE_SETNULL(o.f, &o.field); }, 69, 0, 0, 1, v()},
    {"SETNONULL", [](O& o) { return Kes$FILE_SETNONULL(o.f, &o.field); }, 70, 0, 0, 1, v()},
    {"GETNULLS", [](O& o) { return Kes$FILE_GETNULLS(o.f); }, 96, 0, 0, 0, v()},
    {"SETNULLS", [](O& o) { return Kes$FILE_SETNULLS(o.f); }, 97, 0, 0, 0, v()},
    {"SET_PROPERTY", [](O& o) { return Kes$FILE_SET_PROPERTY(o.f, 4, 2); }, 71, 0, 0, 0, v(4, 2)},
    {"GET_PROPERTY", [](O& o) { return Kes$FILE_GET_PROPERTY(o.f, 4, 2); }, 72, 0, 0, 0, v(4, 2)},
    {"KEY_SET_PROPERTY", [](O& o) { return Kes$KEY_SET_PROPERTY(o.k, 4, 2); }, 85, 1, 0, 0,
     v(4, 2)},
    {"KEY_GET_PROPERTY", [](O& o) { return Kes$KEY_GET_PROPERTY(o.k, 4, 2); }, 86, 1, 0, 0,
     v(4, 2)},
    {"File_Do_Property", [](O& o) { return Kes$File_Do_Property(o.f, 4, 2); }, 88, 0, 0, 0,
     v(4, 2)},
    {"Key_Do_Property", [](O& o) { return Kes$Key_Do_Property(o.k, 4, 2); }, 89, 1, 0, 0, v(4, 2)},
    {"Blob_Do_Property", [](O& o) { return Kes$Blob_Do_Property(o.f, 3, 4, 2); }, 90, 0, 0, 0,
     v(3, 4, 2)},
    {"BLOB_YIELD", [](O& o) { return Kes$BLOB_YIELD(o.f, 3); }, 75, 0, 0, 0, v(3)},
    {"BLOB_TAKE", [](O& o) { return Kes$BLOB_TAKE(o.f, 3); }, 76, 0, 0, 0, v(3)},
    {"BLOB_SIZE", [](O& o) { return Kes$BLOB_SIZE(o.f, 3); }, 77, 0, 0, 0, v(3)},
    {"BLOB_SET_PROPERTY", [](O& o) { return Kes$BLOB_SET_PROPERTY(o.f, 3, 4, 2); }, 78, 0, 0, 0,
     v(3, 4, 2)},
    {"BLOB_GET_PROPERTY", [](O& o) { return Kes$BLOB_GET_PROPERTY(o.f, 3, 4, 2); }, 79, 0, 0, 0,
     v(3, 4, 2)},
    {"VIEW_SETvl", [](O& o) { return Kes$VIEW_SETvl(o.v, 2); }, 81, 0, 0, 0, v(2)},
    {"VIEW_RESETvf", [](O& o) { return Kes$VIEW_RESETvf(o.v, o.f); }, 83, 0, 0, 2, v()},
    {"GETSTATE", [](O& o) { return KES$FILE_GETSTATE(o.f); }, 98, 0, 0, 0, v()},
    {"RESTORESTATE", [](O& o) { return KES$FILE_RESTORESTATE(o.f, 11); }, 99, 0, 0, 0, v(11)},
    {"FREESTATE", [](O& o) { return KES$FILE_FREESTATE(o.f, 11); }, 102, 0, 0, 0, v(11)},
    {"SQLCALLBACK", [](O& o) { return KES$FILE_SQLCALLBACK(o.f, o.v, 1); }, 103, 0, 0, 3, v(1)},
    {"DESTROY", [](O& o) { return KES$FILE_DESTROY(o.f); }, 104, 0, 0, 0, v(0)},
};

using StatementExports = DriverTest;

TEST_F(StatementExports, ReachTheDriverWithTheirOperationAndArguments) {
  for (const StatementCase& c : kStatements) {
    SCOPED_TRACE(c.name);
    O o;
    driver_calls.clear();
    EXPECT_EQ(c.call(o), 1000 + c.operation);
    ASSERT_EQ(driver_calls.size(), 1u);
    const DriverCall& call = driver_calls[0];
    EXPECT_EQ(call.operation, c.operation);
    EXPECT_EQ(call.file, c.operation == 81 || c.operation == 83 ? &o.view.file : &o.file.block);
    EXPECT_EQ(call.arguments.key, c.key == 1 ? &o.key : nullptr);
    EXPECT_EQ(call.arguments.key2, c.key2 == 2 ? &o.start : nullptr);
    void* pointers[] = {nullptr, &o.field, &o.file.block, &o.view};
    EXPECT_EQ(call.arguments.pointer, pointers[c.pointer]);
    for (int i = 0; i < 4; ++i)
      EXPECT_EQ(call.arguments.values[i], c.values.values[i]) << "value " << i;
    drain_string_stack();
  }
  EXPECT_EQ(std::size(kStatements), 88u);  // every statement form
}

TEST_F(StatementExports, ClearTheErrorStateAndNameTheFileOfAFailure) {
  TestFile file("CUSTOMER.DAT");
  Kes$seterror(33);
  Kes$FILE_NEXT(&file.block);
  EXPECT_EQ(Kes$ERRCODE, 0);
  driver_failures[{&file.block, DRV_NEXT}] = 35;
  Kes$FILE_NEXT(&file.block);
  EXPECT_EQ(Kes$ERRCODE, 35);
  EXPECT_EQ(files::error_file_name(), "CUSTOMER.DAT");
}

struct BadBlockCase {
  const char* name;
  std::int32_t (*call)();
};
Drv_FCB no_driver{};
Drv_KCB key_without_file{};
const BadBlockCase kBadBlocks[] = {
    {"NullFile", [] { return Kes$FILE_NEXT(nullptr); }},
    {"NullDriver", [] { return Kes$FILE_OPEN(&no_driver, 0x22); }},
    {"NullKey", [] { return Kes$FILE_SETk(nullptr); }},
    {"KeyWithoutFile", [] { return Kes$FILE_SETk(&key_without_file); }},
    {"NullView", [] { return Kes$VIEW_SETvl(nullptr, 1); }},
};

TEST_F(StatementExports, RefuseBlocksWithoutADriverWith80) {
  for (const BadBlockCase& c : kBadBlocks) {
    SCOPED_TRACE(c.name);
    files::clear_error();
    EXPECT_EQ(c.call(), 0);
    EXPECT_EQ(Kes$ERRCODE, 80);
  }
}

TEST_F(StatementExports, OpenRetriesOnceThroughTheRemoteLayerAfter90) {
  TestFile file("REMOTE.DAT");
  driver_failures[{&file.block, DRV_OPEN}] = 90;
  Kes$FILE_OPEN(&file.block, 0x22);
  EXPECT_EQ(recorded(), std::vector<std::string>{"25:REMOTE.DAT"});  // no remote layer
  driver_calls.clear();
  int remote_layer = 0;
  _FindRemoteDriver = &remote_layer;
  Kes$FILE_OPEN(&file.block, 0x22);
  _FindRemoteDriver = nullptr;
  EXPECT_EQ(recorded(),
            (std::vector<std::string>{"25:REMOTE.DAT", "71:REMOTE.DAT", "25:REMOTE.DAT"}));
  EXPECT_EQ(driver_calls[1].arguments.values[0], 0x7346);
  EXPECT_EQ(runtime::string_stack_depth(), 0);  // "AXS" not left behind
}

Drv_FCB* thread_file_instance = nullptr;
std::int32_t calling_thread = 3;

TEST_F(StatementExports, ThreadFilesReachTheCallingThreadsInstance) {
  TestFile declared("T"), instance("T1");
  declared.block.attributes = instance.block.attributes = DRV_ATTR_THREAD;
  instance.block.state = &open_state;
  thread_file_instance = &instance.block;
  files::set_thread_file_hooks({[](Drv_FCB*, bool create, bool* made) {
                                  *made = create;
                                  return thread_file_instance;
                                },
                                [] { return calling_thread; }});
  TestFile plain("P");
  Kes$ThreadedFileOpen(&plain.block);
  EXPECT_EQ(instance.block.state, &open_state);  // not a THREAD file: no instance made
  Kes$ThreadedFileOpen(&declared.block);
  EXPECT_EQ(instance.block.state, nullptr);  // a new instance starts closed
  Kes$FILE_OPEN(&declared.block, 0x22);
  EXPECT_EQ(recorded(), std::vector<std::string>{"25:T1"});
  EXPECT_EQ(Kes$STATUSfile(&declared.block), 7);
  calling_thread = 4;  // another thread has no record of its own yet
  EXPECT_EQ(Kes$STATUSfile(&declared.block), 0);
  calling_thread = 3;
}

// A callback that records its calls and answers as told.
class Watcher final : public KesFileCallback {
 public:
  Watcher(std::string name, std::vector<std::string>& log) : name_(std::move(name)), log_(log) {}
  bool before_operation(const KesFileCallbackParams* p, char* message, char* code) override {
    log_.push_back(name_ + ".before " + std::to_string(p->operation));
    std::snprintf(message, 255, "%s says no", name_.c_str());
    std::snprintf(code, 81, "%s-1", name_.c_str());
    if (unregister_itself) KES$FILE_CALLBACK(p->file, this, 0);
    return !veto_before;
  }
  bool after_operation(const KesFileCallbackParams* p, char* message, char*) override {
    log_.push_back(name_ + ".after " + std::to_string(p->operation));
    std::snprintf(message, 255, "%s after", name_.c_str());
    return !veto_after;
  }
  bool veto_before = false;
  bool veto_after = false;
  bool unregister_itself = false;

 private:
  std::string name_;
  std::vector<std::string>& log_;
};

using FileCallbacks = DriverTest;

TEST_F(FileCallbacks, SeeEveryOperationBeforeAndAfterInRegistrationOrder) {
  TestFile other("OTHER.DAT"), file("A.DAT");
  std::vector<std::string> log;
  Watcher elsewhere("X", log), first("A", log), second("B", log);
  KES$FILE_CALLBACK(&other.block, &elsewhere, 1);
  KES$FILE_CALLBACK(&file.block, &first, 1);
  KES$FILE_CALLBACK(&file.block, &second, 1);
  EXPECT_EQ(Kes$ERRCODE, 0);
  EXPECT_EQ(Kes$FILE_NEXT(&file.block), 1000 + DRV_NEXT);
  Kes$File_Do_Property(&file.block, 1, 0);
  KES$FILE_SQLCALLBACK(&file.block, nullptr, 0);  // not watched
  EXPECT_EQ(log,
            (std::vector<std::string>{"A.before 24", "B.before 24", "A.after 24", "B.after 24",
                                      "A.before 88", "B.before 88", "A.after 88", "B.after 88"}));
  EXPECT_EQ(recorded(), (std::vector<std::string>{"24:A.DAT", "88:A.DAT", "103:A.DAT"}));
  KES$FILE_CALLBACK(&file.block, &second, 0);
  log.clear();
  Kes$FILE_NEXT(&file.block);
  EXPECT_EQ(log, (std::vector<std::string>{"A.before 24", "A.after 24"}));
  KES$FILE_CALLBACK(&file.block, &first, 0);
  log.clear();
  Kes$FILE_NEXT(&file.block);
  EXPECT_TRUE(log.empty());
}

// A veto before: the first one's texts with 90, the driver not called; a veto after: 90 with
// its text. A callback may remove itself while it runs.
TEST_F(FileCallbacks, VetoesPost90WithTheirTexts) {
  TestFile file("CUST.DAT"), other("B.DAT");
  std::vector<std::string> log;
  Watcher first("A", log), second("B", log), third("C", log), fourth("D", log);
  first.veto_before = second.veto_before = true;
  KES$FILE_CALLBACK(&file.block, &first, 1);
  KES$FILE_CALLBACK(&file.block, &second, 1);
  EXPECT_EQ(Kes$FILE_OPEN(&file.block, 0x22), 0);
  EXPECT_TRUE(driver_calls.empty());
  EXPECT_EQ(log.size(), 4u);  // both before, both after
  EXPECT_EQ(Kes$ERRCODE, 90);
  EXPECT_EQ(files::file_error_message(), "A says no");
  EXPECT_EQ(files::file_error_code(), "A-1");
  EXPECT_EQ(files::error_file_name(), "CUST.DAT");
  third.unregister_itself = true;
  fourth.veto_after = true;
  KES$FILE_CALLBACK(&other.block, &third, 1);
  KES$FILE_CALLBACK(&other.block, &fourth, 1);
  EXPECT_EQ(Kes$FILE_ADDf(&other.block), 1000 + DRV_ADD);
  EXPECT_EQ(Kes$ERRCODE, 90);
  EXPECT_EQ(files::file_error_message(), "D after");
  KES$FILE_CALLBACK(&other.block, &fourth, 0);  // the last one: the record goes, then no calls
  log.clear();
  Kes$FILE_ADDf(&other.block);
  EXPECT_TRUE(log.empty());
  EXPECT_EQ(Kes$ERRCODE, 0);
}

using Calls = std::vector<std::string>;
using Transactions = DriverTest;
using TransactionsDeathTest = DriverTest;

TEST_F(Transactions, LogoutLocksAndLogsOutInOrderAndCommitEndsNewestFirst) {
  TestFile a("A"), b("B");
  b.support.lock_before_logout = true;
  b.support.unlock_after = true;
  open(a, b);
  Kes$LOGOUT(5, &a.block, &b.block, nullptr);
  EXPECT_EQ(Kes$ERRCODE, 0);
  EXPECT_EQ(recorded(), (Calls{"22:A", "21:B", "22:B"}));
  EXPECT_EQ(driver_calls[1].arguments.values[0], 5);  // the timeout
  EXPECT_EQ(Kes$getLogoutNumber(&a.block), 1);
  EXPECT_EQ(Kes$getLogoutNumber(&b.block), 2);
  driver_calls.clear();
  Kes$COMMIT();
  EXPECT_EQ(recorded(), (Calls{"8:B", "50:B", "8:A"}));
  EXPECT_EQ(Kes$getLogoutNumber(&a.block), 0);
  Kes$COMMIT();
  EXPECT_EQ(Kes$ERRCODE, 91);
}

struct LogoutFailureCase {
  const char* name;
  bool second_open, second_recorded, second_logs_out, second_locks;
  std::int32_t lock_error, logout_error;  // posted by the second file's lock and LOGOUT; the
                                          // first unlocks after a LOGOUT error
  bool first_rolls_back;
  Calls calls;  // after the first file's LOGOUT
  std::int32_t error;
};
const LogoutFailureCase kLogoutFailures[] = {
    {"ClosedFile", false, true, true, false, 0, 0, true, {"40:A"}, 37},
    {"NoRegistryRecord", true, false, true, false, 0, 0, true, {"40:A"}, 48},
    {"NoLogoutSupport", true, true, false, true, 0, 0, true, {"21:B", "50:B", "40:A"}, 48},
    {"LockRefused", true, true, true, true, 32, 0, true, {"21:B", "40:A"}, 48},
    {"FirstWithoutRollback", false, true, true, false, 0, 0, false, {}, 37},
    {"SecondLogoutFails", true, true, true, false, 0, 90, true, {"22:B", "40:A", "50:A"}, 48},
    {"UnsupportedLockStillLogsOut", true, true, true, true, 80, 0, true, {"21:B", "22:B"}, 0},
};

TEST_F(Transactions, SecondFileFailureRollsBackAndPostsItsErrorAnUnsupportedLockDoesNot) {
  for (const LogoutFailureCase& c : kLogoutFailures) {
    SCOPED_TRACE(c.name);
    reset();
    TestFile a("A"), b("B");
    a.support.supports_rollback = c.first_rolls_back;
    a.support.unlock_after = c.logout_error != 0;
    b.support.supports_logout = c.second_logs_out;
    b.support.lock_before_logout = c.second_locks;
    open(a, b);
    if (!c.second_recorded) Kes$deactivate_drv(&b.block);
    if (!c.second_open) Kes$FILE_CLOSE(&b.block);
    if (c.lock_error != 0) driver_failures[{&b.block, DRV_LOCKFILESEC}] = c.lock_error;
    if (c.logout_error != 0) driver_failures[{&b.block, DRV_LOGOUT}] = c.logout_error;
    driver_calls.clear();
    Kes$LOGOUT(1, &a.block, &b.block, nullptr);
    Calls expected{"22:A"};
    expected.insert(expected.end(), c.calls.begin(), c.calls.end());
    EXPECT_EQ(recorded(), expected);
    EXPECT_EQ(Kes$ERRCODE, c.error);
    EXPECT_EQ(files::transaction_active(), c.error == 0);
    if (c.logout_error != 0) {
      EXPECT_EQ(files::error_file_name(), "B");
    }
  }
}

TEST_F(Transactions, SecondLogoutPosts56AndTheFirstStaysActive) {
  TestFile a("A");
  open(a);
  Kes$LOGOUT(1, &a.block, nullptr);
  driver_calls.clear();
  Kes$LOGOUT(1, &a.block, nullptr);
  EXPECT_EQ(Kes$ERRCODE, 56);
  EXPECT_TRUE(driver_calls.empty());
  Kes$ROLLBACK();
  EXPECT_EQ(recorded(), Calls{"40:A"});
  Kes$ROLLBACK();
  EXPECT_EQ(Kes$ERRCODE, 91);
}

TEST_F(Transactions, LogoutWithoutFilesTakesTheListInNumberOrderAndEmptiesIt) {
  TestFile a("A"), b("B"), c("C"), d("D");
  open(a, b, c, d);
  EXPECT_EQ(Kes$addLogoutFile(&d.block, 40000), 0);  // numbers are unsigned 16-bit: last
  EXPECT_EQ(Kes$addLogoutFile(&a.block, 7), 0);
  EXPECT_EQ(Kes$deleteLogoutFile(&a.block), 0);
  EXPECT_EQ(Kes$deleteLogoutFile(&a.block), 48);
  EXPECT_EQ(Kes$getLogoutNumber(nullptr), 0);
  EXPECT_EQ(Kes$addLogoutFile(&b.block, 5), 0);
  EXPECT_EQ(Kes$addLogoutFile(&c.block, 9), 0);
  EXPECT_EQ(Kes$addLogoutFile(&a.block, 5), 0);  // after B: equal numbers keep their order
  EXPECT_EQ(Kes$addLogoutFile(&c.block, 2), 0);  // replaces its earlier number
  EXPECT_EQ(Kes$getLogoutNumber(&c.block), 2);
  Kes$LOGOUT(3, nullptr);
  EXPECT_EQ(recorded(), (Calls{"22:C", "22:B", "22:A", "22:D"}));
  EXPECT_EQ(Kes$getLogoutNumber(&b.block), 5);
  EXPECT_EQ(Kes$getLogoutNumber(&d.block), 40000);
  Kes$COMMIT();
  EXPECT_EQ(Kes$getLogoutNumber(&b.block), 0);  // the list was emptied
  driver_calls.clear();
  Kes$LOGOUT(3, nullptr);
  EXPECT_EQ(Kes$ERRCODE, 48);  // no file at all
  EXPECT_TRUE(driver_calls.empty());
}

TEST_F(Transactions, ARegistrationThatFindsNoMemoryReturns48AndRegistersNothing) {
  TestFile a("A");
  int failures = 0;
  // Each allocation a first registration makes fails in turn (a cache that does without its
  // block lets the registration succeed); every outcome is all or nothing.
  for (std::size_t n = 1; n <= 32; ++n) {
    SCOPED_TRACE(n);
    files::clear_logout_files();
    platform::heap_fail_nth(n);
    const std::int32_t result = Kes$addLogoutFile(&a.block, 3);
    platform::heap_fail_nth(0);
    if (result == 0) {
      EXPECT_EQ(Kes$getLogoutNumber(&a.block), 3);
      continue;
    }
    ++failures;
    EXPECT_EQ(result, 48);
    EXPECT_EQ(Kes$getLogoutNumber(&a.block), 0);
  }
  EXPECT_GT(failures, 0);
}

TEST_F(Transactions, RegistryKeepsTheFirstRecordAndANonzeroStatus) {
  TestFile a("A");
  EXPECT_EQ(Kes$STATUSfile(&a.block), 0);
  Kes$activate_drv(&a.block, 4, 1, 1, 1, 0, 0);
  Kes$activate_drv(&a.block, 0, 0, 0, 0, 0, 0);
  EXPECT_EQ(Kes$STATUSfile(&a.block), 4);
  Kes$activate_drv(&a.block, 6, 0, 0, 0, 0, 0);
  EXPECT_EQ(Kes$STATUSfile(&a.block), 6);
  a.block.state = &open_state;
  Kes$LOGOUT(0, &a.block, nullptr);
  EXPECT_EQ(Kes$ERRCODE, 0);  // the first activation's LOGOUT support stands
  Kes$deactivate_drv(&a.block);
  EXPECT_EQ(Kes$STATUSfile(&a.block), 0);
}

// The shutdown paths: the driver reports each call on standard error.
void arrange_shutdown(TestFile& a, TestFile& b) {
  DriverTest::open(a, b);
  Kes$LOGOUT(0, &a.block, nullptr);
  report_calls = true;
}

struct ShutdownCase {
  const char* name;
  void (*end)();
  int exit_code;
};
const ShutdownCase kShutdowns[] = {
    {"Halt",
     [] {
       runtime::push_text("");
       runtime::halt_program(3, true);
     },
     3},
    {"FatalError",
     [] {
       runtime::set_library_active_for_testing(true);
       runtime::fatal(runtime::RuntimeError::Index);
     },
     runtime::kFatalExitCode},
    {"StopWithAbort",
     [] {
       const platform::MessageBoxAnswer abort[] = {platform::MessageBoxAnswer::Abort};
       platform::set_message_box_answers(abort);
       runtime::push_text("Stop");
       runtime::stop_program(0);
     },
     0},
};

TEST_F(TransactionsDeathTest, ProgramEndsCommitAndDestroyNewestFirst) {
  for (const ShutdownCase& c : kShutdowns) {
    SCOPED_TRACE(c.name);
    TestFile a("A"), b("B");
    EXPECT_EXIT(
        {
          arrange_shutdown(a, b);
          c.end();
        },
        testing::ExitedWithCode(c.exit_code), "8 A\n104 B\n104 A\n");
  }
}

TEST_F(Transactions, CloseDownAtTheProgramsEndCommitsAndDestroysOnce) {
  TestFile a("A"), b("B");
  arrange_shutdown(a, b);
  report_calls = false;
  driver_calls.clear();
  runtime::close_down();
  runtime::run_final_shutdown();
  EXPECT_EQ(recorded(), (Calls{"8:A", "104:B", "104:A"}));
  EXPECT_FALSE(files::transaction_active());
  EXPECT_EQ(Kes$STATUSfile(&a.block), 0);
}

}  // namespace
}  // namespace kes::test
