// Statement exports reach the driver with their operation numbers and arguments; callbacks
// watch and veto; bad control blocks are refused.
#include "files/dispatch/dispatch.h"

#include <string>
#include <vector>

#include "tests/files/dispatch/recording_driver.h"

namespace kes::test {
namespace {

// The objects a statement row may name.
struct Objects {
  TestFile file{"DATA.DAT"};
  Drv_KCB key{};
  Drv_KCB start{};
  Kes_VCBBLK_struct view{};
  int field = 0;
  Objects() {
    key.file = &file.block;
    start.file = &file.block;
    view.file.driver = TestFile::recording_driver;
    view.file.name = "VIEW";
    view.file.attributes = DRV_ATTR_VIEW;
  }
};

struct StatementCase {
  const char* name;
  std::int32_t (*call)(Objects& o);
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
    {"ADDf", [](Objects& o) { return Kes$FILE_ADDf(&o.file.block); }, 1, 0, 0, 0, v()},
    {"ADDfu", [](Objects& o) { return Kes$FILE_ADDfu(&o.file.block, 9); }, 51, 0, 0, 0, v(9)},
    {"APPENDf", [](Objects& o) { return Kes$FILE_APPENDf(&o.file.block); }, 4, 0, 0, 0, v()},
    {"APPENDfu", [](Objects& o) { return Kes$FILE_APPENDfu(&o.file.block, 3); }, 59, 0, 0, 0, v(3)},
    {"BOF", [](Objects& o) { return Kes$FILE_BOF(&o.file.block); }, 2, 0, 0, 0, v()},
    {"BUFFER", [](Objects& o) { return Kes$FILE_BUFFER(&o.file.block, 1, 2, 3, 4); }, 80, 0, 0, 0,
     v(1, 2, 3, 4)},
    {"BUILDf", [](Objects& o) { return Kes$FILE_BUILDf(&o.file.block); }, 3, 0, 0, 0, v()},
    {"BUILDk", [](Objects& o) { return Kes$FILE_BUILDk(&o.key); }, 6, 1, 0, 0, v()},
    {"BUILDks", [](Objects& o) { return Kes$FILE_BUILDks(&o.key); }, 5, 1, 0, 0, v()},
    {"BUILDksf", [](Objects& o) { return Kes$FILE_BUILDksf(&o.key); }, 34, 1, 0, 0, v()},
    {"BYTES", [](Objects& o) { return Kes$FILE_BYTES(&o.file.block); }, 52, 0, 0, 0, v()},
    {"CEOF", [](Objects& o) { return Kes$FILE_CEOF(&o.file.block); }, 14, 0, 0, 0, v()},
    {"CLEAR", [](Objects& o) { return Kes$FILE_CLEAR(&o.file.block); }, 82, 0, 0, 0, v()},
    {"CLOSE", [](Objects& o) { return Kes$FILE_CLOSE(&o.file.block); }, 7, 0, 0, 0, v()},
    {"COPY", [](Objects& o) { return Kes$FILE_COPY(&o.file.block); }, 9, 0, 0, 0, v()},
    {"CREATE", [](Objects& o) { return Kes$FILE_CREATE(&o.file.block); }, 10, 0, 0, 0, v()},
    {"DELETE", [](Objects& o) { return Kes$FILE_DELETE(&o.file.block); }, 11, 0, 0, 0, v()},
    {"DUPLICATEf", [](Objects& o) { return Kes$FILE_DUPLICATEf(&o.file.block); }, 12, 0, 0, 0, v()},
    {"DUPLICATEk", [](Objects& o) { return Kes$FILE_DUPLICATEk(&o.key); }, 57, 1, 0, 0, v()},
    {"EMPTY", [](Objects& o) { return Kes$FILE_EMPTY(&o.file.block); }, 13, 0, 0, 0, v()},
    {"FLUSH", [](Objects& o) { return Kes$FILE_FLUSH(&o.file.block); }, 29, 0, 0, 0, v()},
    {"GETfk", [](Objects& o) { return Kes$FILE_GETfk(&o.file.block, &o.key); }, 15, 1, 0, 0, v()},
    {"GETfl", [](Objects& o) { return Kes$FILE_GETfl(&o.file.block, 77); }, 16, 0, 0, 0, v(77)},
    {"GETflu", [](Objects& o) { return Kes$FILE_GETflu(&o.file.block, 77, 8); }, 53, 0, 0, 0,
     v(77, 8)},
    {"GETkl", [](Objects& o) { return Kes$FILE_GETkl(&o.key, 5); }, 17, 1, 0, 0, v(5)},
    {"HOLDf", [](Objects& o) { return Kes$FILE_HOLDf(&o.file.block); }, 18, 0, 0, 0, v()},
    {"HOLDfi", [](Objects& o) { return Kes$FILE_HOLDfi(&o.file.block, 4); }, 19, 0, 0, 0, v(4)},
    {"LOCKf", [](Objects& o) { return Kes$FILE_LOCKf(&o.file.block); }, 20, 0, 0, 0, v()},
    {"LOCKfi", [](Objects& o) { return Kes$FILE_LOCKfi(&o.file.block, 6); }, 21, 0, 0, 0, v(6)},
    {"NAME", [](Objects& o) { return Kes$FILE_NAME(&o.file.block); }, 23, 0, 0, 0, v()},
    {"NEXT", [](Objects& o) { return Kes$FILE_NEXT(&o.file.block); }, 24, 0, 0, 0, v()},
    {"OPEN", [](Objects& o) { return Kes$FILE_OPEN(&o.file.block, 0x42); }, 25, 0, 0, 0, v(0x42)},
    {"PACK", [](Objects& o) { return Kes$FILE_PACK(&o.file.block); }, 26, 0, 0, 0, v()},
    {"POINTERf", [](Objects& o) { return Kes$FILE_POINTERf(&o.file.block); }, 27, 0, 0, 0, v()},
    {"POINTERk", [](Objects& o) { return Kes$FILE_POINTERk(&o.key); }, 28, 1, 0, 0, v()},
    {"POSITIONf", [](Objects& o) { return Kes$FILE_POSITIONf(&o.file.block); }, 61, 0, 0, 0, v()},
    {"POSITIONk", [](Objects& o) { return Kes$FILE_POSITIONk(&o.key); }, 62, 1, 0, 0, v()},
    {"PREV", [](Objects& o) { return Kes$FILE_PREV(&o.file.block); }, 31, 0, 0, 0, v()},
    {"PUTf", [](Objects& o) { return Kes$FILE_PUTf(&o.file.block); }, 30, 0, 0, 0, v()},
    {"PUTfl", [](Objects& o) { return Kes$FILE_PUTfl(&o.file.block, 12); }, 54, 0, 0, 0, v(12)},
    {"PUTflu", [](Objects& o) { return Kes$FILE_PUTflu(&o.file.block, 12, 3); }, 55, 0, 0, 0,
     v(12, 3)},
    {"RECORDSf", [](Objects& o) { return Kes$FILE_RECORDSf(&o.file.block); }, 32, 0, 0, 0, v()},
    {"RECORDSk", [](Objects& o) { return Kes$FILE_RECORDSk(&o.key); }, 33, 1, 0, 0, v()},
    {"RELEASE", [](Objects& o) { return Kes$FILE_RELEASE(&o.file.block); }, 36, 0, 0, 0, v()},
    {"REMOVE", [](Objects& o) { return Kes$FILE_REMOVE(&o.file.block); }, 37, 0, 0, 0, v()},
    {"RENAME", [](Objects& o) { return Kes$FILE_RENAME(&o.file.block); }, 38, 0, 0, 0, v()},
    {"RESETf", [](Objects& o) { return Kes$FILE_RESETf(&o.file.block); }, 63, 0, 0, 0, v()},
    {"RESETk", [](Objects& o) { return Kes$FILE_RESETk(&o.key); }, 64, 1, 0, 0, v()},
    {"REGETf", [](Objects& o) { return Kes$FILE_REGETf(&o.file.block); }, 66, 0, 0, 0, v()},
    {"REGETk", [](Objects& o) { return Kes$FILE_REGETk(&o.key); }, 67, 1, 0, 0, v()},
    {"SEND", [](Objects& o) { return Kes$FILE_SEND(&o.file.block); }, 60, 0, 0, 0, v()},
    {"SETf", [](Objects& o) { return Kes$FILE_SETf(&o.file.block); }, 41, 0, 0, 0, v()},
    {"SETfk", [](Objects& o) { return Kes$FILE_SETfk(&o.file.block, &o.key); }, 42, 1, 0, 0, v()},
    {"SETfl", [](Objects& o) { return Kes$FILE_SETfl(&o.file.block, 8); }, 43, 0, 0, 0, v(8)},
    {"SETk", [](Objects& o) { return Kes$FILE_SETk(&o.key); }, 44, 1, 0, 0, v()},
    {"SETkk", [](Objects& o) { return Kes$FILE_SETkk(&o.key, &o.start); }, 45, 1, 2, 0, v()},
    {"SETkl", [](Objects& o) { return Kes$FILE_SETkl(&o.key, 8); }, 46, 1, 0, 0, v(8)},
    {"SETkkl", [](Objects& o) { return Kes$FILE_SETkkl(&o.key, &o.start, 8); }, 47, 1, 2, 0, v(8)},
    {"SHARE", [](Objects& o) { return Kes$FILE_SHARE(&o.file.block, 0x22); }, 25, 0, 0, 0, v(0x22)},
    {"SKIP", [](Objects& o) { return Kes$FILE_SKIP(&o.file.block, -3); }, 49, 0, 0, 0, v(-3)},
    {"STREAM", [](Objects& o) { return Kes$FILE_STREAM(&o.file.block); }, 56, 0, 0, 0, v()},
    {"UNLOCK", [](Objects& o) { return Kes$FILE_UNLOCK(&o.file.block); }, 50, 0, 0, 0, v()},
    {"WATCH", [](Objects& o) { return Kes$FILE_WATCH(&o.file.block); }, 58, 0, 0, 0, v()},
    {"NOMEMO", [](Objects& o) { return Kes$FILE_NOMEMO(&o.file.block); }, 65, 0, 0, 0, v()},
    {"NULL", [](Objects& o) { return Kes$FILE_NULL(&o.file.block, &o.field); }, 68, 0, 0, 1, v()},
    {"SETNULL", [](Objects& o) { return Kes$FILE_SETNULL(&o.file.block, &o.field); }, 69, 0, 0, 1,
     v()},
    {"SETNONULL", [](Objects& o) { return Kes$FILE_SETNONULL(&o.file.block, &o.field); }, 70, 0, 0,
     1, v()},
    {"GETNULLS", [](Objects& o) { return Kes$FILE_GETNULLS(&o.file.block); }, 96, 0, 0, 0, v()},
    {"SETNULLS", [](Objects& o) { return Kes$FILE_SETNULLS(&o.file.block); }, 97, 0, 0, 0, v()},
    {"SET_PROPERTY", [](Objects& o) { return Kes$FILE_SET_PROPERTY(&o.file.block, 4, 2); }, 71, 0,
     0, 0, v(4, 2)},
    {"GET_PROPERTY", [](Objects& o) { return Kes$FILE_GET_PROPERTY(&o.file.block, 4, 2); }, 72, 0,
     0, 0, v(4, 2)},
    {"KEY_SET_PROPERTY", [](Objects& o) { return Kes$KEY_SET_PROPERTY(&o.key, 4, 2); }, 85, 1, 0, 0,
     v(4, 2)},
    {"KEY_GET_PROPERTY", [](Objects& o) { return Kes$KEY_GET_PROPERTY(&o.key, 4, 2); }, 86, 1, 0, 0,
     v(4, 2)},
    {"File_Do_Property", [](Objects& o) { return Kes$File_Do_Property(&o.file.block, 4, 2); }, 88,
     0, 0, 0, v(4, 2)},
    {"Key_Do_Property", [](Objects& o) { return Kes$Key_Do_Property(&o.key, 4, 2); }, 89, 1, 0, 0,
     v(4, 2)},
    {"Blob_Do_Property", [](Objects& o) { return Kes$Blob_Do_Property(&o.file.block, 3, 4, 2); },
     90, 0, 0, 0, v(3, 4, 2)},
    {"BLOB_YIELD", [](Objects& o) { return Kes$BLOB_YIELD(&o.file.block, 3); }, 75, 0, 0, 0, v(3)},
    {"BLOB_TAKE", [](Objects& o) { return Kes$BLOB_TAKE(&o.file.block, 3); }, 76, 0, 0, 0, v(3)},
    {"BLOB_SIZE", [](Objects& o) { return Kes$BLOB_SIZE(&o.file.block, 3); }, 77, 0, 0, 0, v(3)},
    {"BLOB_SET_PROPERTY", [](Objects& o) { return Kes$BLOB_SET_PROPERTY(&o.file.block, 3, 4, 2); },
     78, 0, 0, 0, v(3, 4, 2)},
    {"BLOB_GET_PROPERTY", [](Objects& o) { return Kes$BLOB_GET_PROPERTY(&o.file.block, 3, 4, 2); },
     79, 0, 0, 0, v(3, 4, 2)},
    {"VIEW_SETvl", [](Objects& o) { return Kes$VIEW_SETvl(&o.view, 2); }, 81, 0, 0, 0, v(2)},
    {"VIEW_RESETvf", [](Objects& o) { return Kes$VIEW_RESETvf(&o.view, &o.file.block); }, 83, 0, 0,
     2, v()},
    {"GETSTATE", [](Objects& o) { return KES$FILE_GETSTATE(&o.file.block); }, 98, 0, 0, 0, v()},
    {"RESTORESTATE", [](Objects& o) { return KES$FILE_RESTORESTATE(&o.file.block, 11); }, 99, 0, 0,
     0, v(11)},
    {"FREESTATE", [](Objects& o) { return KES$FILE_FREESTATE(&o.file.block, 11); }, 102, 0, 0, 0,
     v(11)},
    {"SQLCALLBACK", [](Objects& o) { return KES$FILE_SQLCALLBACK(&o.file.block, &o.view, 1); }, 103,
     0, 0, 3, v(1)},
    {"DESTROY", [](Objects& o) { return KES$FILE_DESTROY(&o.file.block); }, 104, 0, 0, 0, v(0)},
};

using StatementExports = DriverTest;

TEST_F(StatementExports, ReachTheDriverWithTheirOperationAndArguments) {
  for (const StatementCase& c : kStatements) {
    SCOPED_TRACE(c.name);
    Objects o;
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

TEST_F(FileCallbacks, FirstVetoPosts90WithItsTextsAndTheDriverIsNotCalled) {
  TestFile file("CUST.DAT");
  std::vector<std::string> log;
  Watcher first("A", log), second("B", log);
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
}

TEST_F(FileCallbacks, AfterOperationVetoPosts90AndARemovedCallbackIsSafe) {
  TestFile file("B.DAT");
  std::vector<std::string> log;
  Watcher first("A", log), second("B", log);
  first.unregister_itself = true;
  second.veto_after = true;
  KES$FILE_CALLBACK(&file.block, &first, 1);
  KES$FILE_CALLBACK(&file.block, &second, 1);
  EXPECT_EQ(Kes$FILE_ADDf(&file.block), 1000 + DRV_ADD);
  EXPECT_EQ(Kes$ERRCODE, 90);
  EXPECT_EQ(files::file_error_message(), "B after");
  KES$FILE_CALLBACK(&file.block, &second, 0);  // the last one: the record goes, then no calls
  log.clear();
  Kes$FILE_ADDf(&file.block);
  EXPECT_TRUE(log.empty());
  EXPECT_EQ(Kes$ERRCODE, 0);
}

}  // namespace
}  // namespace kes::test
