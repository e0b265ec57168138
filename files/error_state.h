// The process-wide error state that ERRORCODE(), ERROR(), ERRORFILE(), FILEERRORCODE() and
// FILEERROR() read, and the operations that post, clear, save and restore it.
//
// State: process-wide by nature, as programs read it from the exported variables directly; the
// thread switch does not save or restore it.
#pragma once

#include <cstdint>
#include <span>
#include <string_view>

#include <kestrel/errors.h>

namespace kes::files {

// Error numbers posted to the error state; the message table holds their texts. Platform
// errors post 300 plus the Win32 and DOS number (platform_error below).
enum class ErrorCode : std::int32_t {
  None = 0,
  NoFile = 2,
  NoPath = 3,
  TooManyFiles = 4,
  AccessDenied = 5,
  MemoryCorrupted = 7,
  NoMemory = 8,
  EntryNotFound = 30,
  FileLocked = 32,
  RecordNotAvailable = 33,
  RecordNotFound = 35,
  InvalidDataFile = 36,
  FileNotOpen = 37,
  InvalidKeyFile = 38,
  DuplicateKey = 40,
  RecordHeld = 43,
  InvalidFilename = 45,
  KeyMustBeRebuilt = 46,
  InvalidRecordDeclaration = 47,
  TransactionNotLogged = 48,
  FileAlreadyOpen = 52,
  InvalidKestrelFile = 53,
  NoCreateAttribute = 54,
  MustBeShared = 55,
  LogoutActive = 56,
  InvalidMemoFile = 57,
  ExclusiveAccessRequired = 63,
  SharingViolation = 64,
  RollbackFailed = 65,
  MemoFileMissing = 73,
  InvalidFieldType = 75,
  InvalidIndexString = 76,
  IndexInaccessible = 77,
  InvalidParameterCount = 78,
  UnsupportedDataType = 79,
  UnsupportedFunction = 80,
  UnknownError = 81,
  InvalidKeyLength = 88,
  RecordChanged = 89,
  FileSystemError = 90,
  LogoutNotActive = 91,
  BuildInProgress = 92,
  BuildCancelled = 93,
  RecordLimitExceeded = 94,
  ServerNotFound = 95,
  RemoteObjectNotFound = 96,
  InvalidDdeChannel = 601,
  DdeChannelNotOpen = 602,
  DdeExecuteInvalid = 603,
  DdePokeInvalid = 604,
  DdeTimedOut = 605,
  InvalidExpression = 800,
  NoBind = 801,
  ScopeMismatch = 802,
};

// The error number of a platform error: 300 plus its Win32 and DOS number.
constexpr ErrorCode platform_error(std::int32_t os_error) noexcept {
  return static_cast<ErrorCode>(300 + os_error);
}

// Posts an error: captures the platform's last error; number 0 posts 300 plus that value; the
// ERROR() text becomes the message of the number (leading blanks skipped, at most 79
// characters); the failing file becomes none. The file error texts are not touched.
void post_error(ErrorCode code) noexcept;
void post_error_number(std::int32_t number) noexcept;

// Number 0, no file, the ERROR(), file error code and file error message texts blank. A state
// that is clear already is left as it is at the cost of a few loads (statements clear it before
// each operation): error_state_blank is set by a full clear and dropped by every change made
// through this module; the exported variables are checked too, for compiled code that writes
// them directly.
extern bool error_state_blank;
void clear_error_fully() noexcept;
inline void clear_error() noexcept {
  if (error_state_blank && Kes$ERRCODE == 0 && Kes$FileError == nullptr && Kes$ERRSTR[0] == ' ') {
    return;
  }
  clear_error_fully();
}

ErrorCode current_error() noexcept;

// The ERROR() text without its trailing blanks.
std::string_view error_text() noexcept;

// Appends to the ERROR() text after its last non-blank character, stopping at the 79th.
void append_error_text(std::string_view text) noexcept;

// Sets the file error code (at most 80 characters) and message (at most 254 characters); with
// no message, the message is the text of 90 ("File System Error"), " : " and the code.
void set_file_error(std::string_view code, const char* message) noexcept;

// Sets the failing file's name record (null for none).
void set_error_file(KesFileNameRecord* file) noexcept;

// The failing file's name without trailing blanks, empty when there is none (or its record
// holds no usable name).
std::string_view error_file_name() noexcept;

// The file error code and message without trailing blanks.
std::string_view file_error_code() noexcept;
std::string_view file_error_message() noexcept;

// The blank-padded FILEERRORCODE() (81 bytes) and FILEERROR() (255 bytes) fields, for saving
// and restoring the whole state.
std::span<char, 81> file_error_code_field() noexcept;
std::span<char, 255> file_error_message_field() noexcept;

// The most recently saved block still alive, or null (the saved blocks form a stack).
errcodeblock*& saved_error_blocks() noexcept;

// Called with the number after every post, when set (the window layer installs it).
using ErrorPostedHook = void (*)(std::int32_t number);
void set_error_posted_hook(ErrorPostedHook hook) noexcept;

// Clears the error state when made; report() posts a result unless it is None. Exports of
// statements that can fail use one of these and nothing else to touch the error state.
class ErrorScope {
 public:
  ErrorScope() noexcept { clear_error(); }
  ErrorScope(const ErrorScope&) = delete;
  ErrorScope& operator=(const ErrorScope&) = delete;
  void report(ErrorCode code) noexcept {
    if (code != ErrorCode::None) post_error(code);
  }
};

}  // namespace kes::files
