// The file layer's exports: statements, callbacks, transactions, the driver registry, the
// drivers' helpers and the file utilities.
#include <algorithm>
#include <cstdarg>
#include <cstring>

#include <kestrel/driver.h>
#include <kestrel/files.h>

#include "files/dispatch/callbacks.h"
#include "files/dispatch/dispatch.h"
#include "files/dispatch/driver_registry.h"
#include "files/dispatch/file_names.h"
#include "files/dispatch/file_utilities.h"
#include "files/dispatch/heap_vector.h"
#include "files/dispatch/logout_list.h"
#include "files/dispatch/state_protocol.h"
#include "files/dispatch/trace.h"
#include "files/dispatch/transaction.h"
#include "files/error_state.h"
#include "numeric/collation_compare.h"
#include "platform/heap.h"
#include "runtime/string_stack.h"

namespace files = kes::files;

extern "C" {
KES_EXPORT void* _CallRemoteFile = nullptr;
KES_EXPORT void* _FindRemoteDriver = nullptr;
KES_EXPORT void* _FindRemoteFile = nullptr;
KES_EXPORT void* _DestroyRemoteFile = nullptr;
}

namespace {

Drv_Args values(std::int32_t first, std::int32_t second = 0, std::int32_t third = 0,
                std::int32_t fourth = 0) noexcept {
  Drv_Args arguments{};
  arguments.values[0] = first;
  arguments.values[1] = second;
  arguments.values[2] = third;
  arguments.values[3] = fourth;
  return arguments;
}

Drv_Args with_key(Drv_KCB* key, std::int32_t first = 0) noexcept {
  Drv_Args arguments = values(first);
  arguments.key = key;
  return arguments;
}

Drv_Args with_pointer(void* pointer) noexcept {
  Drv_Args arguments{};
  arguments.pointer = pointer;
  return arguments;
}

std::int32_t on_file(Drv_FCB* file, std::int32_t operation,
                     const Drv_Args& arguments = {}) noexcept {
  return files::run_statement(file, operation, arguments);
}

std::int32_t on_key(Drv_KCB* key, std::int32_t operation, const Drv_Args& arguments = {}) noexcept {
  return files::run_key_statement(key, operation, arguments);
}

Drv_FCB* head_of(Kes_VCBBLK_struct* view) noexcept {
  return view == nullptr ? nullptr : &view->file;
}

// A text popped from the string stack, released with it.
class PoppedText {
 public:
  PoppedText() noexcept : text_(kes::runtime::pop_to_heap()) {}
  ~PoppedText() { kes::platform::heap_free(text_.pointer); }
  PoppedText(const PoppedText&) = delete;
  PoppedText& operator=(const PoppedText&) = delete;
  std::string_view view() const noexcept {
    return text_.pointer == nullptr ? std::string_view()
                                    : std::string_view(text_.pointer, text_.length);
  }

 private:
  kes::runtime::HeapText text_;
};

std::string_view terminated(const char* text) noexcept {
  return text == nullptr ? std::string_view() : std::string_view(text);
}

std::int32_t number_of(files::ErrorCode code) noexcept { return static_cast<std::int32_t>(code); }

files::StateWords words_of(Drv_FCB* file, const Drv_Args* arguments) noexcept {
  Drv_KCB* key = arguments != nullptr ? arguments->key : nullptr;
  std::uint32_t* own =
      key != nullptr && (key->flags & DRV_KEY_OWN_FLAGS) != 0 ? &key->key_flags : nullptr;
  return {&file->state_word, &file->activity_word, own};
}

bool foreign_key(const Drv_FCB* file, const Drv_KCB* key) noexcept {
  return key != nullptr && key->file != file;
}

}  // namespace

// ---- Records.
KES_API int32_t Kes$FILE_ADDf(Drv_FCB* file) noexcept { return on_file(file, DRV_ADD); }
KES_API int32_t Kes$FILE_ADDfu(Drv_FCB* file, uint32_t length) noexcept {
  return on_file(file, DRV_ADDFILELEN, values(static_cast<std::int32_t>(length)));
}
KES_API int32_t Kes$FILE_APPENDf(Drv_FCB* file) noexcept { return on_file(file, DRV_APPEND); }
KES_API int32_t Kes$FILE_APPENDfu(Drv_FCB* file, uint32_t length) noexcept {
  return on_file(file, DRV_APPENDLEN, values(static_cast<std::int32_t>(length)));
}
KES_API int32_t Kes$FILE_DELETE(Drv_FCB* file) noexcept { return on_file(file, DRV_DELETE); }
KES_API int32_t Kes$FILE_PUTf(Drv_FCB* file) noexcept { return on_file(file, DRV_PUT); }
KES_API int32_t Kes$FILE_PUTfl(Drv_FCB* file, int32_t pointer) noexcept {
  return on_file(file, DRV_PUTFILEPTR, values(pointer));
}
KES_API int32_t Kes$FILE_PUTflu(Drv_FCB* file, int32_t pointer, uint32_t length) noexcept {
  return on_file(file, DRV_PUTFILEPTRLEN, values(pointer, static_cast<std::int32_t>(length)));
}
KES_API int32_t Kes$FILE_GETfk(Drv_FCB* file, Drv_KCB* key) noexcept {
  return on_file(file, DRV_GETFILEKEY, with_key(key));
}
KES_API int32_t Kes$FILE_GETfl(Drv_FCB* file, int32_t pointer) noexcept {
  return on_file(file, DRV_GETFILEPTR, values(pointer));
}
KES_API int32_t Kes$FILE_GETflu(Drv_FCB* file, int32_t pointer, uint32_t length) noexcept {
  return on_file(file, DRV_GETFILEPTRLEN, values(pointer, static_cast<std::int32_t>(length)));
}
KES_API int32_t Kes$FILE_GETkl(Drv_KCB* key, int32_t pointer) noexcept {
  return on_key(key, DRV_GETKEYPTR, values(pointer));
}
KES_API int32_t Kes$FILE_NEXT(Drv_FCB* file) noexcept { return on_file(file, DRV_NEXT); }
KES_API int32_t Kes$FILE_PREV(Drv_FCB* file) noexcept { return on_file(file, DRV_PREVIOUS); }
KES_API int32_t Kes$FILE_SKIP(Drv_FCB* file, int32_t count) noexcept {
  return on_file(file, DRV_SKIP, values(count));
}
KES_API int32_t Kes$FILE_REGETf(Drv_FCB* file) noexcept { return on_file(file, DRV_REGETFILE); }
KES_API int32_t Kes$FILE_REGETk(Drv_KCB* key) noexcept { return on_key(key, DRV_REGETKEY); }
KES_API int32_t Kes$FILE_RESETf(Drv_FCB* file) noexcept { return on_file(file, DRV_RESETFILE); }
KES_API int32_t Kes$FILE_RESETk(Drv_KCB* key) noexcept { return on_key(key, DRV_RESETKEY); }
KES_API int32_t Kes$FILE_WATCH(Drv_FCB* file) noexcept { return on_file(file, DRV_WATCH); }
KES_API int32_t Kes$FILE_HOLDf(Drv_FCB* file) noexcept { return on_file(file, DRV_HOLDFILE); }
KES_API int32_t Kes$FILE_HOLDfi(Drv_FCB* file, int32_t seconds) noexcept {
  return on_file(file, DRV_HOLDFILESEC, values(seconds));
}
KES_API int32_t Kes$FILE_RELEASE(Drv_FCB* file) noexcept { return on_file(file, DRV_RELEASE); }
KES_API int32_t Kes$FILE_DUPLICATEf(Drv_FCB* file) noexcept { return on_file(file, DRV_DUPLICATE); }
KES_API int32_t Kes$FILE_DUPLICATEk(Drv_KCB* key) noexcept { return on_key(key, DRV_DUPLICATEKEY); }
KES_API int32_t Kes$FILE_NULL(Drv_FCB* file, void* field) noexcept {
  return on_file(file, DRV_NULL, with_pointer(field));
}
KES_API int32_t Kes$FILE_SETNULL(Drv_FCB* file, void* field) noexcept {
  return on_file(file, DRV_SETNULL, with_pointer(field));
}
KES_API int32_t Kes$FILE_SETNONULL(Drv_FCB* file, void* field) noexcept {
  return on_file(file, DRV_SETNONULL, with_pointer(field));
}
KES_API int32_t Kes$FILE_GETNULLS(Drv_FCB* file) noexcept { return on_file(file, DRV_GETNULLS); }
KES_API int32_t Kes$FILE_SETNULLS(Drv_FCB* file) noexcept { return on_file(file, DRV_SETNULLS); }
KES_API int32_t Kes$FILE_CLEAR(Drv_FCB* file) noexcept { return on_file(file, DRV_CLEAR); }
KES_API int32_t Kes$FILE_NOMEMO(Drv_FCB* file) noexcept { return on_file(file, DRV_NOMEMO); }

// ---- Sequences and positions.
KES_API int32_t Kes$FILE_SETf(Drv_FCB* file) noexcept { return on_file(file, DRV_SETFILE); }
KES_API int32_t Kes$FILE_SETfk(Drv_FCB* file, Drv_KCB* key) noexcept {
  return on_file(file, DRV_SETFILEKEY, with_key(key));
}
KES_API int32_t Kes$FILE_SETfl(Drv_FCB* file, int32_t pointer) noexcept {
  return on_file(file, DRV_SETFILEPTR, values(pointer));
}
KES_API int32_t Kes$FILE_SETk(Drv_KCB* key) noexcept { return on_key(key, DRV_SETKEY); }
KES_API int32_t Kes$FILE_SETkk(Drv_KCB* key, Drv_KCB* start) noexcept {
  Drv_Args arguments{};
  arguments.key2 = start;
  return on_key(key, DRV_SETKEYKEY, arguments);
}
KES_API int32_t Kes$FILE_SETkl(Drv_KCB* key, int32_t pointer) noexcept {
  return on_key(key, DRV_SETKEYPTR, values(pointer));
}
KES_API int32_t Kes$FILE_SETkkl(Drv_KCB* key, Drv_KCB* start, int32_t pointer) noexcept {
  Drv_Args arguments = values(pointer);
  arguments.key2 = start;
  return on_key(key, DRV_SETKEYKEYPTR, arguments);
}
KES_API int32_t Kes$FILE_BOF(Drv_FCB* file) noexcept { return on_file(file, DRV_BOF); }
KES_API int32_t Kes$FILE_CEOF(Drv_FCB* file) noexcept { return on_file(file, DRV_EOF); }
KES_API int32_t Kes$FILE_POINTERf(Drv_FCB* file) noexcept { return on_file(file, DRV_POINTERFILE); }
KES_API int32_t Kes$FILE_POINTERk(Drv_KCB* key) noexcept { return on_key(key, DRV_POINTERKEY); }
KES_API int32_t Kes$FILE_POSITIONf(Drv_FCB* file) noexcept {
  return on_file(file, DRV_POSITIONFILE);
}
KES_API int32_t Kes$FILE_POSITIONk(Drv_KCB* key) noexcept { return on_key(key, DRV_POSITIONKEY); }
KES_API int32_t Kes$FILE_RECORDSf(Drv_FCB* file) noexcept { return on_file(file, DRV_RECORDSFILE); }
KES_API int32_t Kes$FILE_RECORDSk(Drv_KCB* key) noexcept { return on_key(key, DRV_RECORDSKEY); }
KES_API int32_t Kes$FILE_BYTES(Drv_FCB* file) noexcept { return on_file(file, DRV_BYTES); }

// ---- The file as a whole.
KES_API int32_t Kes$FILE_OPEN(Drv_FCB* file, int32_t access_mode) noexcept {
  return files::run_open(file, DRV_OPEN, values(access_mode));
}
KES_API int32_t Kes$FILE_SHARE(Drv_FCB* file, int32_t access_mode) noexcept {
  return files::run_open(file, DRV_OPEN, values(access_mode));
}
KES_API int32_t Kes$FILE_CREATE(Drv_FCB* file) noexcept {
  return files::run_open(file, DRV_CREATE, {});
}
KES_API int32_t Kes$FILE_CLOSE(Drv_FCB* file) noexcept { return on_file(file, DRV_CLOSE); }
KES_API int32_t Kes$FILE_BUILDf(Drv_FCB* file) noexcept { return on_file(file, DRV_BUILDFILE); }
KES_API int32_t Kes$FILE_BUILDk(Drv_KCB* key) noexcept { return on_key(key, DRV_BUILDKEY); }
KES_API int32_t Kes$FILE_BUILDks(Drv_KCB* index) noexcept { return on_key(index, DRV_BUILDDYN); }
KES_API int32_t Kes$FILE_BUILDksf(Drv_KCB* index) noexcept {
  return on_key(index, DRV_BUILDDYNFILTER);
}
KES_API int32_t Kes$FILE_COPY(Drv_FCB* file) noexcept { return on_file(file, DRV_COPY); }
KES_API int32_t Kes$FILE_RENAME(Drv_FCB* file) noexcept { return on_file(file, DRV_RENAME); }
KES_API int32_t Kes$FILE_REMOVE(Drv_FCB* file) noexcept { return on_file(file, DRV_REMOVE); }
KES_API int32_t Kes$FILE_EMPTY(Drv_FCB* file) noexcept { return on_file(file, DRV_EMPTY); }
KES_API int32_t Kes$FILE_PACK(Drv_FCB* file) noexcept { return on_file(file, DRV_PACK); }
KES_API int32_t Kes$FILE_FLUSH(Drv_FCB* file) noexcept { return on_file(file, DRV_FLUSH); }
KES_API int32_t Kes$FILE_STREAM(Drv_FCB* file) noexcept { return on_file(file, DRV_STREAM); }
KES_API int32_t Kes$FILE_LOCKf(Drv_FCB* file) noexcept { return on_file(file, DRV_LOCKFILE); }
KES_API int32_t Kes$FILE_LOCKfi(Drv_FCB* file, int32_t seconds) noexcept {
  return on_file(file, DRV_LOCKFILESEC, values(seconds));
}
KES_API int32_t Kes$FILE_UNLOCK(Drv_FCB* file) noexcept { return on_file(file, DRV_UNLOCK); }
KES_API int32_t Kes$FILE_BUFFER(Drv_FCB* file, int32_t page_size, int32_t behind, int32_t ahead,
                                int32_t timeout) noexcept {
  return on_file(file, DRV_BUFFER, values(page_size, behind, ahead, timeout));
}
KES_API int32_t Kes$FILE_SEND(Drv_FCB* file) noexcept { return on_file(file, DRV_SEND); }
KES_API int32_t Kes$FILE_NAME(Drv_FCB* file) noexcept { return on_file(file, DRV_NAME); }

// ---- Properties.
KES_API int32_t Kes$FILE_SET_PROPERTY(Drv_FCB* file, int32_t property, int32_t index) noexcept {
  return on_file(file, DRV_SET_PROPERTY, values(property, index));
}
KES_API int32_t Kes$FILE_GET_PROPERTY(Drv_FCB* file, int32_t property, int32_t index) noexcept {
  return on_file(file, DRV_GET_PROPERTY, values(property, index));
}
KES_API int32_t Kes$File_Do_Property(Drv_FCB* file, int32_t property, int32_t index) noexcept {
  return on_file(file, DRV_DO_PROPERTY, values(property, index));
}
KES_API int32_t Kes$KEY_SET_PROPERTY(Drv_KCB* key, int32_t property, int32_t index) noexcept {
  return on_key(key, DRV_SETPROPERTYKEY, values(property, index));
}
KES_API int32_t Kes$KEY_GET_PROPERTY(Drv_KCB* key, int32_t property, int32_t index) noexcept {
  return on_key(key, DRV_GETPROPERTYKEY, values(property, index));
}
KES_API int32_t Kes$Key_Do_Property(Drv_KCB* key, int32_t property, int32_t index) noexcept {
  return on_key(key, DRV_DOPROPERTYKEY, values(property, index));
}
KES_API int32_t Kes$BLOB_SET_PROPERTY(Drv_FCB* file, int16_t blob, int32_t property,
                                      int32_t index) noexcept {
  return on_file(file, DRV_BLOB_SET_PROP, values(blob, property, index));
}
KES_API int32_t Kes$BLOB_GET_PROPERTY(Drv_FCB* file, int16_t blob, int32_t property,
                                      int32_t index) noexcept {
  return on_file(file, DRV_BLOB_GET_PROP, values(blob, property, index));
}
KES_API int32_t Kes$Blob_Do_Property(Drv_FCB* file, int16_t blob, int32_t property,
                                     int32_t index) noexcept {
  return on_file(file, DRV_DOPROPERTYBLOB, values(blob, property, index));
}

// ---- BLOBs and views.
KES_API int32_t Kes$BLOB_YIELD(Drv_FCB* file, int16_t blob) noexcept {
  return on_file(file, DRV_BLOB_YIELD, values(blob));
}
KES_API int32_t Kes$BLOB_TAKE(Drv_FCB* file, int16_t blob) noexcept {
  return on_file(file, DRV_BLOB_TAKE, values(blob));
}
KES_API int32_t Kes$BLOB_SIZE(Drv_FCB* file, int16_t blob) noexcept {
  return on_file(file, DRV_BLOB_SIZE, values(blob));
}
KES_API int32_t Kes$VIEW_SETvl(Kes_VCBBLK_struct* view, int32_t order_count) noexcept {
  return on_file(head_of(view), DRV_SETVIEW, values(order_count));
}
KES_API int32_t Kes$VIEW_RESETvf(Kes_VCBBLK_struct* view, Drv_FCB* file) noexcept {
  return on_file(head_of(view), DRV_RESETVIEWFILE, with_pointer(file));
}

// ---- Saved states, SQL callbacks, DESTROY.
KES_API int32_t KES$FILE_GETSTATE(Drv_FCB* file) noexcept { return on_file(file, DRV_GETSTATE); }
KES_API int32_t KES$FILE_RESTORESTATE(Drv_FCB* file, int32_t state) noexcept {
  return on_file(file, DRV_RESTORESTATE, values(state));
}
KES_API int32_t KES$FILE_FREESTATE(Drv_FCB* file, int32_t state) noexcept {
  return on_file(file, DRV_FREESTATE, values(state));
}
KES_API int32_t KES$FILE_SQLCALLBACK(Drv_FCB* file, void* object, int32_t flag) noexcept {
  Drv_Args arguments = values(flag);
  arguments.pointer = object;
  return on_file(file, DRV_SQLCALLBACK, arguments);
}
KES_API int32_t KES$FILE_DESTROY(Drv_FCB* file) noexcept {
  return on_file(file, DRV_DESTROY, values(0));
}

// ---- Callbacks.
KES_API void KES$FILE_CALLBACK(Drv_FCB* file, KesFileCallback* callback,
                               int32_t register_it) noexcept {
  files::ErrorScope errors;
  if (file == nullptr || callback == nullptr) return;
  if (register_it == 0) {
    files::unregister_callback(file, callback);
  } else if (!files::register_callback(file, callback)) {
    errors.report(files::ErrorCode::NoMemory);
  }
}

// ---- Transactions.
KES_API void Kes$LOGOUT(int32_t timeout, ...) noexcept {
  files::ErrorScope errors;
  files::HeapVector<Drv_FCB*> named;
  std::va_list arguments;
  va_start(arguments, timeout);
  bool complete = true;
  for (Drv_FCB* file = va_arg(arguments, Drv_FCB*); file != nullptr;
       file = va_arg(arguments, Drv_FCB*)) {
    complete = complete && named.push_back(file);
  }
  va_end(arguments);
  if (!complete) {
    errors.report(files::ErrorCode::NoMemory);
    return;
  }
  files::logout(timeout, {named.empty() ? nullptr : &named[0], named.size()});
}
KES_API void Kes$COMMIT(void) noexcept {
  files::ErrorScope errors;
  files::commit();
}
KES_API void Kes$ROLLBACK(void) noexcept {
  files::ErrorScope errors;
  files::rollback();
}
KES_API int32_t Kes$addLogoutFile(Drv_FCB* file, int32_t logout_number) noexcept {
  const bool added =
      file != nullptr && files::add_logout_file(file, static_cast<std::uint16_t>(logout_number));
  return added ? 0 : number_of(files::ErrorCode::TransactionNotLogged);
}
KES_API int32_t Kes$deleteLogoutFile(Drv_FCB* file) noexcept {
  return files::delete_logout_file(file) ? 0 : number_of(files::ErrorCode::TransactionNotLogged);
}
KES_API int32_t Kes$getLogoutNumber(Drv_FCB* file) noexcept {
  return file == nullptr ? 0 : files::logout_number(files::thread_instance(file));
}

// ---- The driver registry and THREAD files.
KES_API void Kes$activate_drv(Drv_FCB* file, int32_t status, int32_t supports_logout,
                              int32_t supports_rollback, int32_t supports_commit,
                              int32_t lock_before_logout, int32_t unlock_after) noexcept {
  if (file == nullptr) return;
  const files::DriverSupport support{status,
                                     supports_logout != 0,
                                     supports_rollback != 0,
                                     supports_commit != 0,
                                     lock_before_logout != 0,
                                     unlock_after != 0};
  if (!files::activate_driver(file, support)) {
    files::post_error(files::ErrorCode::NoMemory);
    files::set_error_file(drv_name_record(file));
  }
}
KES_API void Kes$deactivate_drv(Drv_FCB* file) noexcept {
  if (file != nullptr) files::deactivate_driver(file);
}
KES_API int32_t Kes$STATUSfile(Drv_FCB* file) noexcept {
  if (file == nullptr) return 0;
  const files::DriverRecord* record = files::find_driver_record(files::thread_instance(file));
  return record == nullptr ? 0 : record->status;
}
KES_API void Kes$ThreadedFileOpen(Drv_FCB* file) noexcept { files::open_thread_instance(file); }
KES_API void Kes$ThreadedFileClose(Drv_FCB*) noexcept {}

// ---- The state protocol.
KES_API int32_t _drv_check_state(Drv_FCB* file, int32_t operation, const Drv_Args* arguments,
                                 const char* position, int32_t position_length) noexcept {
  if (file == nullptr) return number_of(files::ErrorCode::UnsupportedFunction);
  if (arguments != nullptr &&
      (foreign_key(file, arguments->key) || foreign_key(file, arguments->key2))) {
    return number_of(files::ErrorCode::InvalidKeyFile);
  }
  return files::check_state(words_of(file, arguments), operation, position,
                            position_length < 0 ? 0 : static_cast<std::size_t>(position_length));
}
KES_API void _drv_update_state(Drv_FCB* file, int32_t operation, const Drv_Args* arguments,
                               int32_t error) noexcept {
  if (file != nullptr) files::update_state(words_of(file, arguments), operation, error);
}
KES_API int32_t _drv_check_any_state(uint32_t* state_word, uint32_t* activity_word,
                                     uint32_t* own_flags, int32_t operation, const char* position,
                                     int32_t position_length) noexcept {
  if (state_word == nullptr || activity_word == nullptr) {
    return number_of(files::ErrorCode::UnsupportedFunction);
  }
  return files::check_state({state_word, activity_word, own_flags}, operation, position,
                            position_length < 0 ? 0 : static_cast<std::size_t>(position_length));
}
KES_API void _drv_update_any_state(uint32_t* state_word, uint32_t* activity_word,
                                   uint32_t* own_flags, int32_t operation, int32_t error) noexcept {
  if (state_word == nullptr || activity_word == nullptr) return;
  files::update_state({state_word, activity_word, own_flags}, operation, error);
}

// ---- Tracing, names and texts.
KES_API uint32_t _drv_TraceOp(int32_t operation, Drv_FCB* file, const Drv_Args*,
                              uint32_t mark) noexcept {
  return files::trace_operation(operation, file, mark);
}
KES_API const char* _drv_GetTypeName(int32_t type_code) noexcept {
  return files::type_name(type_code).data();
}
KES_API int32_t _drv_ChkName(const char* name) noexcept {
  return number_of(files::check_file_name(terminated(name)));
}
KES_API int32_t _drv_Split(const char* name, char* directory, char* base,
                           char* extension) noexcept {
  const std::string_view text = terminated(name);
  if (files::check_file_name(text) != files::ErrorCode::None) {
    return number_of(files::ErrorCode::InvalidFilename);
  }
  const files::NameParts parts = files::split_file_name(text);
  for (auto [out, part] : {std::pair{directory, parts.directory}, std::pair{base, parts.base},
                           std::pair{extension, parts.extension}}) {
    if (out == nullptr) continue;
    std::copy_n(part.data(), part.size(), out);  // at most kMaxFileName bytes
    out[part.size()] = '\0';
  }
  return 0;
}
KES_API int32_t _drv_NextDrvStr(const char** cursor, char* item, uint32_t size) noexcept {
  if (cursor == nullptr || *cursor == nullptr || item == nullptr || size == 0) return 0;
  std::string_view rest(*cursor);
  bool found = false;
  const std::size_t length = files::next_driver_option(rest, {item, size - 1}, found);
  item[length] = '\0';
  *cursor = rest.data();
  return found ? 1 : 0;
}
KES_API int32_t _drv_IsReservedWord(const char* word) noexcept {
  return files::is_reserved_word(terminated(word)) ? 1 : 0;
}
KES_API char* _drv_Strup(char* text) noexcept {
  if (text != nullptr) kes::numeric::to_upper({text, std::strlen(text)});
  return text;
}
KES_API char* _drv_MakeCSTRING(char* destination, uint32_t size, const char* source,
                               int32_t length) noexcept {
  if (destination == nullptr || size == 0) return destination;
  std::string_view text;
  if (source != nullptr) {
    text = length < 0 ? std::string_view(source)
                      : std::string_view(source, static_cast<std::size_t>(length));
  }
  text =
      files::without_trailing_blanks(text.substr(0, std::min<std::size_t>(text.size(), size - 1)));
  if (!text.empty()) std::memmove(destination, text.data(), text.size());
  destination[text.size()] = '\0';
  return destination;
}

// ---- Files by name.
KES_API int32_t _drv_CopyOrRenameFile(const char* source, const char* destination,
                                      int32_t rename) noexcept {
  return number_of(files::copy_or_rename(terminated(source), terminated(destination), rename != 0));
}
KES_API int32_t _drv_CopyOrRenameFiles(const char* source, const char* destination,
                                       const char* extensions, int32_t rename) noexcept {
  return number_of(files::copy_or_rename_with(terminated(source), terminated(destination),
                                              terminated(extensions), rename != 0));
}
KES_API int32_t _drv_CopyFile(const char* source, const char* destination) noexcept {
  return number_of(files::copy_named_file(terminated(source), terminated(destination)));
}
KES_API int32_t _drv_PathIsDirectory(const char* path) noexcept {
  return files::is_named_directory(terminated(path)) ? 1 : 0;
}

KES_API void Kes$RemoveFile(void) noexcept {
  files::ErrorScope errors;
  const PoppedText name;
  errors.report(files::remove_named_file(name.view()));
}
KES_API void Kes$RenameFile(void) noexcept {
  files::ErrorScope errors;
  const PoppedText source;
  const PoppedText destination;
  errors.report(files::copy_or_rename(source.view(), destination.view(), true));
}
KES_API void Kes$CopyFile(void) noexcept {
  files::ErrorScope errors;
  const PoppedText source;
  const PoppedText destination;
  errors.report(files::copy_or_rename(source.view(), destination.view(), false));
}
KES_API int32_t Kes$FileExists(void) noexcept {
  const PoppedText name;
  return files::named_file_exists(name.view()) ? 1 : 0;
}
