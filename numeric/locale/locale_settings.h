// Locale settings: their names, the quoted-list form of their values, the settings-file reader,
// and LOCALE and start-up on top of them.
//
// State: the settings change the process-wide tables (collation_tables.h) and texts
// (locale_state.h); the start-up flag is process-wide. Nothing is per thread.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>

#include "files/errors/error_state.h"

namespace kes::numeric {

enum class SettingKind : std::uint8_t {
  Unknown,
  CharSet,             // KESCHARSET
  CollatingSequence,   // KESCOLSEQ
  Case,                // KESCASE
  MonthNames,          // KESMONTH
  MonthAbbreviations,  // KESMON
  AmPm,                // KESAMPM
  Digraphs,            // KESDIGRAPH
  Buttons,             // KESBUTTON
  LongFileNames,       // KESLFN
  SystemCharSet,       // KESSYSTEMCHARSET
  Message,             // KESMSG followed by a message number
};

struct SettingName {
  SettingKind kind;
  std::int32_t message_number;  // for Message, [0, 999999999]
};

// Recognises a setting name, without regard to case: the ten plain names, and "KESMSG"
// followed by one to nine digits. Anything else is Unknown.
SettingName classify_setting(std::string_view name) noexcept;

// A value in its quoted-list form.
class ValueList {
 public:
  static constexpr std::size_t kWrittenLimit = 400;  // a value given already quoted
  static constexpr std::size_t kPlainLimit = 396;    // a plain value, before quoting

  // A value that starts with a double quote is kept as written (cut at 400 characters).
  // Otherwise its first 396 characters become a list: each "," separates items (unless
  // `commas_in_items`, when the value is one item), each item is put in double quotes and a
  // double quote inside it is doubled.
  void assign(std::string_view value, bool commas_in_items) noexcept;
  std::string_view text() const noexcept { return {text_, length_}; }

 private:
  char text_[1200];  // 396 commas at most become 1188 characters, with the outer quotes 1190
  std::size_t length_ = 0;
};

// Reads the items of a quoted list one by one: an item runs from a double quote to the next
// single double quote (a doubled one stands for one quote inside the item; a missing closing
// quote ends the item at the end of the list); anything outside quotes separates items. Items
// are cut at 1200 characters (longer than any ValueList makes).
class ItemReader {
 public:
  explicit ItemReader(std::string_view list) noexcept : rest_(list) {}
  // The next item, valid until the next call; nothing when no item is left.
  std::optional<std::string_view> next() noexcept;

 private:
  std::string_view rest_;
  char item_[1200];
};

// Where a value comes from: a settings file's values follow the file's character set
// (KESCHARSET), a program's are ANSI.
enum class ValueSource : std::uint8_t { Program, File };

// Applies one setting; unknown names are ignored.
void apply_setting(std::string_view name, std::string_view value, ValueSource source) noexcept;

// Decodes a settings-file value in place of `value`: "<" with decimal digits and one more
// character stands for the character of that code (a code above 255 stays as written), "<<"
// stands for "<", "<" with anything else stays. Returns the decoded length (never longer).
std::size_t decode_file_value(char* value, std::size_t length) noexcept;

// Reads settings text fed in pieces of any size, byte by byte: CR and LF end a line, Ctrl-Z
// (26) ends the text. A line is a name, "=" and a value: in the name spaces are dropped, a
// control character ends it and at most 31 characters are kept, and a line whose name is not
// followed by "=" is skipped; the value runs to the end of the line, at most 1024 characters
// kept, trailing spaces and tabs removed, then decoded. Each line is applied as it ends; the
// last line applies at the end of the text even without a line end.
class SettingsReader {
 public:
  static constexpr std::size_t kNameLimit = 31;
  static constexpr std::size_t kValueLimit = 1024;

  void feed(std::string_view bytes) noexcept;
  // Applies a last line that has no line end.
  void finish() noexcept;
  // True once Ctrl-Z has been read; later bytes are ignored.
  bool ended() const noexcept { return ended_; }

 private:
  enum class State : std::uint8_t { Name, Value, Skip };
  void end_line() noexcept;

  State state_ = State::Name;
  bool ended_ = false;
  char name_[kNameLimit];
  std::size_t name_length_ = 0;
  char value_[kValueLimit];
  std::size_t value_length_ = 0;
};

// Reads and applies the settings file at `path`; NoFile when it cannot be opened, or when it
// runs on past 16 MiB (a device that never ends), reading then stopping there.
files::ErrorCode read_settings_file(std::string_view path) noexcept;

// The settings file of the running program: its path with the part of the file name from the
// last "." replaced by ".ENV" (".ENV" appended to a name without "."). Returns the length
// written to `out`, 0 when the program's path is unknown or does not fit.
std::size_t program_settings_path(char* out, std::size_t capacity) noexcept;

// LOCALE with a file name (up to 259 characters, trailing blanks ignored): "WINDOWS" (after
// conversion to upper case) sets KESCOLSEQ, KESCASE and KESAMPM to "WINDOWS"; any other name
// is read as a settings file (NoFile when it cannot be opened or read to its end).
files::ErrorCode locale_file(std::string_view name) noexcept;
// LOCALE with a setting name and a value (up to 299 characters): the name is read as in a
// settings file, trailing spaces and tabs of the value are dropped, and the setting applied.
void locale_setting(std::string_view name, std::string_view value) noexcept;

// Start-up, once per process: the regional settings, the OEM weights copied from the ANSI
// ones, the program's settings file (silently absent), and a cleared error state.
void initialize_locale() noexcept;
// Reads the platform's regional settings into the locale texts.
void read_regional_settings() noexcept;

#ifdef KES_TESTING
// Every table, text and flag back to the built-in defaults, and start-up not yet run.
void reset_locale_for_testing() noexcept;
#endif

}  // namespace kes::numeric
