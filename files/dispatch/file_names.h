// File names and driver strings as drivers read them: checking, splitting, options, reserved
// words, upper case, terminated copies, type names.
//
// State: none (the reserved words and type names are constant tables).
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

#include "files/errors/error_state.h"

namespace kes::files {

// The longest file name, in bytes.
inline constexpr std::size_t kMaxFileName = 260;

// The name without its trailing blanks.
std::string_view without_trailing_blanks(std::string_view name) noexcept;

// None when the name (trailing blanks ignored) can name a file; InvalidFilename when it is empty,
// longer than kMaxFileName, or holds a control character, one of < > " | ? *, or a ':' anywhere
// but after a leading drive letter.
ErrorCode check_file_name(std::string_view name) noexcept;

// The parts of a name: directory (through the last '\', '/' or drive ':'), base name, extension
// (from the last '.' of the base).
struct NameParts {
  std::string_view directory;
  std::string_view base;
  std::string_view extension;
};
NameParts split_file_name(std::string_view name) noexcept;

// The next option of a driver string from `cursor` on: options are separated by blanks and '/',
// double quotes keep both inside a value (the quotes are dropped). Empty at the end; `cursor`
// moves past the option. The option's text goes to `item` (cut to its size); returns its length.
std::size_t next_driver_option(std::string_view& cursor, std::span<char> item,
                               bool& found) noexcept;

// Whether the word (compared without regard to case) is reserved in the language or in SQL.
bool is_reserved_word(std::string_view word) noexcept;

// The type name of a type code, "UNKNOWN" for a code without one.
std::string_view type_name(std::int32_t type_code) noexcept;

}  // namespace kes::files
