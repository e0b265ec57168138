// Statement exports reach the driver with their operation numbers and arguments; callbacks
// watch and veto; bad control blocks are refused.
#include "files/dispatch/dispatch.h"

#include <string>
#include <vector>

#include "tests/files/dispatch/recording_driver.h"

namespace kes::test {
namespace {

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

}  // namespace
}  // namespace kes::test
