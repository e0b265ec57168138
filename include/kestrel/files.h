// The FILE, KEY, BLOB and VIEW statements, the transaction frame, callbacks, STATUS() and the
// file utilities on names.
//
// Each statement export clears the error state, runs the operation through the file's callbacks
// (when it has any) and calls the file's driver with the operation number in brackets (driver.h
// lists the numbers and what each passes in Drv_Args); it returns what the driver returns. A
// null file, key or view, a key without a file, or a file without a driver posts 80
// "Unsupported File Driver Function" and returns 0. Texts travel on the string stack, as the
// driver contract says.
#pragma once

#include <kestrel/abi.h>
#include <kestrel/driver.h>

// ---- Records: ADD (1), ADD with length (51), APPEND (4), APPEND with length (59), DELETE (11),
// PUT (30), PUT by pointer (54) and with length (55), GET by key (15), by pointer (16), with
// length (53), by key pointer (17), NEXT (24), PREVIOUS (31), SKIP (49), REGET (66, 67; the
// position on the string stack), RESET (63, 64; the position on the string stack), WATCH (58),
// HOLD (18, 19), RELEASE (36), DUPLICATE (12, 57), NULL (68), SETNULL (69), SETNONULL (70),
// GETNULLS (96), SETNULLS (97), CLEAR (82), NOMEMO (65).
KES_API int32_t Kes$FILE_ADDf(Drv_FCB* file) KES_NOEXCEPT;
KES_API int32_t Kes$FILE_ADDfu(Drv_FCB* file, uint32_t length) KES_NOEXCEPT;
KES_API int32_t Kes$FILE_APPENDf(Drv_FCB* file) KES_NOEXCEPT;
KES_API int32_t Kes$FILE_APPENDfu(Drv_FCB* file, uint32_t length) KES_NOEXCEPT;
KES_API int32_t Kes$FILE_DELETE(Drv_FCB* file) KES_NOEXCEPT;
KES_API int32_t Kes$FILE_PUTf(Drv_FCB* file) KES_NOEXCEPT;
KES_API int32_t Kes$FILE_PUTfl(Drv_FCB* file, int32_t pointer) KES_NOEXCEPT;
KES_API int32_t Kes$FILE_PUTflu(Drv_FCB* file, int32_t pointer, uint32_t length) KES_NOEXCEPT;
KES_API int32_t Kes$FILE_GETfk(Drv_FCB* file, Drv_KCB* key) KES_NOEXCEPT;
KES_API int32_t Kes$FILE_GETfl(Drv_FCB* file, int32_t pointer) KES_NOEXCEPT;
KES_API int32_t Kes$FILE_GETflu(Drv_FCB* file, int32_t pointer, uint32_t length) KES_NOEXCEPT;
KES_API int32_t Kes$FILE_GETkl(Drv_KCB* key, int32_t pointer) KES_NOEXCEPT;
KES_API int32_t Kes$FILE_NEXT(Drv_FCB* file) KES_NOEXCEPT;
KES_API int32_t Kes$FILE_PREV(Drv_FCB* file) KES_NOEXCEPT;
KES_API int32_t Kes$FILE_SKIP(Drv_FCB* file, int32_t count) KES_NOEXCEPT;
KES_API int32_t Kes$FILE_REGETf(Drv_FCB* file) KES_NOEXCEPT;
KES_API int32_t Kes$FILE_REGETk(Drv_KCB* key) KES_NOEXCEPT;
KES_API int32_t Kes$FILE_RESETf(Drv_FCB* file) KES_NOEXCEPT;
KES_API int32_t Kes$FILE_RESETk(Drv_KCB* key) KES_NOEXCEPT;
KES_API int32_t Kes$FILE_WATCH(Drv_FCB* file) KES_NOEXCEPT;
KES_API int32_t Kes$FILE_HOLDf(Drv_FCB* file) KES_NOEXCEPT;
KES_API int32_t Kes$FILE_HOLDfi(Drv_FCB* file, int32_t seconds) KES_NOEXCEPT;
KES_API int32_t Kes$FILE_RELEASE(Drv_FCB* file) KES_NOEXCEPT;
KES_API int32_t Kes$FILE_DUPLICATEf(Drv_FCB* file) KES_NOEXCEPT;
KES_API int32_t Kes$FILE_DUPLICATEk(Drv_KCB* key) KES_NOEXCEPT;
KES_API int32_t Kes$FILE_NULL(Drv_FCB* file, void* field) KES_NOEXCEPT;
KES_API int32_t Kes$FILE_SETNULL(Drv_FCB* file, void* field) KES_NOEXCEPT;
KES_API int32_t Kes$FILE_SETNONULL(Drv_FCB* file, void* field) KES_NOEXCEPT;
KES_API int32_t Kes$FILE_GETNULLS(Drv_FCB* file) KES_NOEXCEPT;
KES_API int32_t Kes$FILE_SETNULLS(Drv_FCB* file) KES_NOEXCEPT;
KES_API int32_t Kes$FILE_CLEAR(Drv_FCB* file) KES_NOEXCEPT;
KES_API int32_t Kes$FILE_NOMEMO(Drv_FCB* file) KES_NOEXCEPT;

// ---- Sequences and positions: SET (41 to 47), BOF (2), EOF (14), POINTER (27, 28), POSITION
// (61, 62; pushes the position), RECORDS (32, 33), BYTES (52).
KES_API int32_t Kes$FILE_SETf(Drv_FCB* file) KES_NOEXCEPT;
KES_API int32_t Kes$FILE_SETfk(Drv_FCB* file, Drv_KCB* key) KES_NOEXCEPT;
KES_API int32_t Kes$FILE_SETfl(Drv_FCB* file, int32_t pointer) KES_NOEXCEPT;
KES_API int32_t Kes$FILE_SETk(Drv_KCB* key) KES_NOEXCEPT;
KES_API int32_t Kes$FILE_SETkk(Drv_KCB* key, Drv_KCB* start) KES_NOEXCEPT;
KES_API int32_t Kes$FILE_SETkl(Drv_KCB* key, int32_t pointer) KES_NOEXCEPT;
KES_API int32_t Kes$FILE_SETkkl(Drv_KCB* key, Drv_KCB* start, int32_t pointer) KES_NOEXCEPT;
KES_API int32_t Kes$FILE_BOF(Drv_FCB* file) KES_NOEXCEPT;
KES_API int32_t Kes$FILE_CEOF(Drv_FCB* file) KES_NOEXCEPT;
KES_API int32_t Kes$FILE_POINTERf(Drv_FCB* file) KES_NOEXCEPT;
KES_API int32_t Kes$FILE_POINTERk(Drv_KCB* key) KES_NOEXCEPT;
KES_API int32_t Kes$FILE_POSITIONf(Drv_FCB* file) KES_NOEXCEPT;
KES_API int32_t Kes$FILE_POSITIONk(Drv_KCB* key) KES_NOEXCEPT;
KES_API int32_t Kes$FILE_RECORDSf(Drv_FCB* file) KES_NOEXCEPT;
KES_API int32_t Kes$FILE_RECORDSk(Drv_KCB* key) KES_NOEXCEPT;
KES_API int32_t Kes$FILE_BYTES(Drv_FCB* file) KES_NOEXCEPT;

// ---- The file as a whole: OPEN (25, access mode), SHARE (25, the same path), CREATE (10), CLOSE
// (7), BUILD (3; 6 a key; 5 a dynamic index, its components on the string stack; 34 with a
// filter pushed after them), COPY (9) and RENAME (38) with the new name on the string stack,
// REMOVE (37), EMPTY (13), PACK (26), FLUSH (29), STREAM (56), LOCK (20, 21), UNLOCK (50),
// BUFFER (80), SEND (60; the message on the string stack, the answer pushed), NAME (23; pushes the
// name).
// OPEN, SHARE and CREATE that fail with 90 while the remote-file layer is present set the file's
// property 7346h to "AXS" and try once more.
KES_API int32_t Kes$FILE_OPEN(Drv_FCB* file, int32_t access_mode) KES_NOEXCEPT;
KES_API int32_t Kes$FILE_SHARE(Drv_FCB* file, int32_t access_mode) KES_NOEXCEPT;
KES_API int32_t Kes$FILE_CREATE(Drv_FCB* file) KES_NOEXCEPT;
KES_API int32_t Kes$FILE_CLOSE(Drv_FCB* file) KES_NOEXCEPT;
KES_API int32_t Kes$FILE_BUILDf(Drv_FCB* file) KES_NOEXCEPT;
KES_API int32_t Kes$FILE_BUILDk(Drv_KCB* key) KES_NOEXCEPT;
KES_API int32_t Kes$FILE_BUILDks(Drv_KCB* index) KES_NOEXCEPT;
KES_API int32_t Kes$FILE_BUILDksf(Drv_KCB* index) KES_NOEXCEPT;
KES_API int32_t Kes$FILE_COPY(Drv_FCB* file) KES_NOEXCEPT;
KES_API int32_t Kes$FILE_RENAME(Drv_FCB* file) KES_NOEXCEPT;
KES_API int32_t Kes$FILE_REMOVE(Drv_FCB* file) KES_NOEXCEPT;
KES_API int32_t Kes$FILE_EMPTY(Drv_FCB* file) KES_NOEXCEPT;
KES_API int32_t Kes$FILE_PACK(Drv_FCB* file) KES_NOEXCEPT;
KES_API int32_t Kes$FILE_FLUSH(Drv_FCB* file) KES_NOEXCEPT;
KES_API int32_t Kes$FILE_STREAM(Drv_FCB* file) KES_NOEXCEPT;
KES_API int32_t Kes$FILE_LOCKf(Drv_FCB* file) KES_NOEXCEPT;
KES_API int32_t Kes$FILE_LOCKfi(Drv_FCB* file, int32_t seconds) KES_NOEXCEPT;
KES_API int32_t Kes$FILE_UNLOCK(Drv_FCB* file) KES_NOEXCEPT;
KES_API int32_t Kes$FILE_BUFFER(Drv_FCB* file, int32_t page_size, int32_t behind, int32_t ahead,
                                int32_t timeout) KES_NOEXCEPT;
KES_API int32_t Kes$FILE_SEND(Drv_FCB* file) KES_NOEXCEPT;
KES_API int32_t Kes$FILE_NAME(Drv_FCB* file) KES_NOEXCEPT;

// ---- Properties: the value of a SET form on the string stack, a GET form pushes it. File (71,
// 72, 88), key (85, 86, 89), blob (78, 79, 90).
KES_API int32_t Kes$FILE_SET_PROPERTY(Drv_FCB* file, int32_t property, int32_t index) KES_NOEXCEPT;
KES_API int32_t Kes$FILE_GET_PROPERTY(Drv_FCB* file, int32_t property, int32_t index) KES_NOEXCEPT;
KES_API int32_t Kes$File_Do_Property(Drv_FCB* file, int32_t property, int32_t index) KES_NOEXCEPT;
KES_API int32_t Kes$KEY_SET_PROPERTY(Drv_KCB* key, int32_t property, int32_t index) KES_NOEXCEPT;
KES_API int32_t Kes$KEY_GET_PROPERTY(Drv_KCB* key, int32_t property, int32_t index) KES_NOEXCEPT;
KES_API int32_t Kes$Key_Do_Property(Drv_KCB* key, int32_t property, int32_t index) KES_NOEXCEPT;
KES_API int32_t Kes$BLOB_SET_PROPERTY(Drv_FCB* file, int16_t blob, int32_t property,
                                      int32_t index) KES_NOEXCEPT;
KES_API int32_t Kes$BLOB_GET_PROPERTY(Drv_FCB* file, int16_t blob, int32_t property,
                                      int32_t index) KES_NOEXCEPT;
KES_API int32_t Kes$Blob_Do_Property(Drv_FCB* file, int16_t blob, int32_t property,
                                     int32_t index) KES_NOEXCEPT;

// ---- BLOBs, numbered from 1 in declaration order: YIELD (75), TAKE (76), SIZE (77).
KES_API int32_t Kes$BLOB_YIELD(Drv_FCB* file, int16_t blob) KES_NOEXCEPT;
KES_API int32_t Kes$BLOB_TAKE(Drv_FCB* file, int16_t blob) KES_NOEXCEPT;
KES_API int32_t Kes$BLOB_SIZE(Drv_FCB* file, int16_t blob) KES_NOEXCEPT;

// ---- VIEWs (the other view statements take the view's head as their file): SET with an ORDER
// count (81), RESET to a file's record (83).
KES_API int32_t Kes$VIEW_SETvl(Kes_VCBBLK_struct* view, int32_t order_count) KES_NOEXCEPT;
KES_API int32_t Kes$VIEW_RESETvf(Kes_VCBBLK_struct* view, Drv_FCB* file) KES_NOEXCEPT;

// ---- Saved positions: GETSTATE (98) returns a handle, RESTORESTATE (99) and FREESTATE (102)
// take it; SQLCALLBACK (103) hands the driver an object and a flag; DESTROY (104) releases the
// file for good.
KES_API int32_t KES$FILE_GETSTATE(Drv_FCB* file) KES_NOEXCEPT;
KES_API int32_t KES$FILE_RESTORESTATE(Drv_FCB* file, int32_t state) KES_NOEXCEPT;
KES_API int32_t KES$FILE_FREESTATE(Drv_FCB* file, int32_t state) KES_NOEXCEPT;
KES_API int32_t KES$FILE_SQLCALLBACK(Drv_FCB* file, void* object, int32_t flag) KES_NOEXCEPT;
KES_API int32_t KES$FILE_DESTROY(Drv_FCB* file) KES_NOEXCEPT;

// ---- Callbacks. An object the program registers on a file sees every operation on it except
// 73, 74, 87, 91, 94, 95 and 103: before the driver is called and after it, with the operation's
// parameters and the file's message (255 bytes) and code (81 bytes) buffers, emptied before each
// call, into which it may write terminated texts. Answering false before the operation vetoes it
// (the driver is not called, the statement returns 0); the first false answer of a round posts
// 90 "File System Error" with the code and message written. Every callback is called in each
// round, in registration order, vetoes or not.
typedef struct KesFileCallbackParams {
  int32_t operation;          // the operation number
  Drv_FCB* file;              // the file the driver receives
  const Drv_Args* arguments;  // its further arguments
} KesFileCallbackParams;

#ifdef __cplusplus
class KesFileCallback {
 public:
  virtual bool before_operation(const KesFileCallbackParams* params, char* message, char* code) = 0;
  virtual bool after_operation(const KesFileCallbackParams* params, char* message, char* code) = 0;

 protected:
  ~KesFileCallback() = default;
};
#else
typedef struct KesFileCallback KesFileCallback;
#endif

// Registers (nonzero flag) or removes one registration of (zero flag) a callback object. Out of
// memory posts 8.
KES_API void KES$FILE_CALLBACK(Drv_FCB* file, KesFileCallback* callback,
                               int32_t register_it) KES_NOEXCEPT;

// ---- Transactions.

// LOGOUT(timeout, file, ...): the files end with a null pointer; none names the files
// registered with Kes$addLogoutFile, in the order of their numbers. Each file is locked first
// when its driver asks for it, then logged out; the first failure (37 for a file that is not
// open, 48 for one that cannot take part) rolls back the files already logged out and is posted.
// 56 while a transaction is active.
KES_API void Kes$LOGOUT(int32_t timeout, ...) KES_NOEXCEPT;
// Ends the transaction (91 without one), newest file first.
KES_API void Kes$COMMIT(void) KES_NOEXCEPT;
KES_API void Kes$ROLLBACK(void) KES_NOEXCEPT;
// The logout list of a LOGOUT without files: 0, or 48 when the list cannot take the file or, for
// delete, does not hold it (returned, not posted).
KES_API int32_t Kes$addLogoutFile(Drv_FCB* file, int32_t logout_number) KES_NOEXCEPT;
KES_API int32_t Kes$deleteLogoutFile(Drv_FCB* file) KES_NOEXCEPT;
// During a transaction, the file's number in it (0 when it is not in it); otherwise its
// registered number (0 when it has none).
KES_API int32_t Kes$getLogoutNumber(Drv_FCB* file) KES_NOEXCEPT;

// ---- STATUS() and THREAD files.

// The status the driver gave at activation, 0 for a file without a record.
KES_API int32_t Kes$STATUSfile(Drv_FCB* file) KES_NOEXCEPT;
// Makes the calling thread's instance of a THREAD file (with its open-file state null); nothing
// for other files.
KES_API void Kes$ThreadedFileOpen(Drv_FCB* file) KES_NOEXCEPT;
KES_API void Kes$ThreadedFileClose(Drv_FCB* file) KES_NOEXCEPT;

// ---- File utilities: the names are popped from the string stack (the source first, on top),
// trailing blanks removed. Failures post 2 "File Not Found", 3 "Path Not Found", 45 "Invalid
// Filename" or 5 "Access Denied".
KES_API void Kes$RemoveFile(void) KES_NOEXCEPT;
KES_API void Kes$RenameFile(void) KES_NOEXCEPT;
KES_API void Kes$CopyFile(void) KES_NOEXCEPT;
// 1 when a file or directory of the name exists, else 0.
KES_API int32_t Kes$FileExists(void) KES_NOEXCEPT;
