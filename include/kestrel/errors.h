// The error state that ERRORCODE(), ERROR(), ERRORFILE(), FILEERRORCODE() and FILEERROR() read,
// its operations and the saved-state block used around DISPLAY.
#pragma once

#include <kestrel/abi.h>

#ifdef __cplusplus
#include <cstddef>
#else
#include <stddef.h>
#endif

// The name record of a file as the file layer keeps it.
typedef struct KesFileNameRecord {
  uint32_t file_layer_word;  // used by the file layer
  const char* name;          // the file's name
  int32_t length;            // its length, or -1 when the name is a terminated string
} KesFileNameRecord;
// 12 bytes on a 32-bit build (offsets 0, 4, 8).
#ifdef __cplusplus
static_assert(offsetof(KesFileNameRecord, name) == sizeof(void*));
static_assert(offsetof(KesFileNameRecord, length) == 2 * sizeof(void*));
static_assert(sizeof(KesFileNameRecord) == 3 * sizeof(void*));
#endif

#ifdef __cplusplus
extern "C" {
#endif
// The error number, 0 when no error is posted.
KES_EXPORT extern int32_t Kes$ERRCODE;
// The ERROR() text: 80 bytes, blank-padded, at most 79 characters.
KES_EXPORT extern char Kes$ERRSTR[80];
// The name record of the file whose operation posted the error, or null.
KES_EXPORT extern KesFileNameRecord* Kes$FileError;
// The platform's last-error value captured when the error was posted.
KES_EXPORT extern int32_t Kes$DOSerror;
#ifdef __cplusplus
}
#endif

// Posts error `number` (0 posts 300 plus the platform's last error).
KES_API void Kes$seterror(int32_t number) KES_NOEXCEPT;
// Number 0, no file, all three texts blank.
KES_API void Kes$clearerror(void) KES_NOEXCEPT;
// The text of `number`, terminated, in a 256-byte buffer that the next call overwrites.
KES_API const char* Kes$err_message(int32_t number) KES_NOEXCEPT;
// Sets the file error code (null reads as empty) and message (null: "File System Error : "
// and the code).
KES_API void Kes$setfileerror(const char* code, const char* message) KES_NOEXCEPT;
// Sets the file whose operation posted the error (null for none).
KES_API void Kes$SetErrorFile(KesFileNameRecord* file) KES_NOEXCEPT;
// The error number.
KES_API int32_t Kes$ErrCodeVal(void) KES_NOEXCEPT;

#ifdef __cplusplus
// A saved copy of the whole error state. Blocks form a stack: making one copies the state in
// and puts it on top; restore() copies it back; destroying it takes it off the stack.
class KES_EXPORT errcodeblock {
 public:
  errcodeblock() noexcept;
  ~errcodeblock();
  errcodeblock(const errcodeblock&) = delete;
  errcodeblock& operator=(const errcodeblock&) = delete;
  void restore() noexcept;

  int32_t last_error;
  int32_t error_number;
  KesFileNameRecord* file;
  char error_text[80];
  char file_error_message[255];
  char file_error_code[81];
  errcodeblock* previous;
};
// 432 bytes on a 32-bit build (previous at 428).
static_assert(offsetof(errcodeblock, error_number) == 4);
static_assert(offsetof(errcodeblock, file) == 8);
static_assert(offsetof(errcodeblock, error_text) == 8 + sizeof(void*));
static_assert(offsetof(errcodeblock, file_error_message) == 88 + sizeof(void*));
static_assert(offsetof(errcodeblock, file_error_code) == 343 + sizeof(void*));
static_assert(offsetof(errcodeblock, previous) == 424 + sizeof(void*));
static_assert(sizeof(errcodeblock) == 424 + 2 * sizeof(void*));
static_assert(sizeof(void*) != 4 || sizeof(errcodeblock) == 432, "432 bytes on 32-bit hosts");
#endif
