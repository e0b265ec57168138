// GETINI and PUTINI: one entry of an INI file read or written through the platform's profile
// service, with the buffer limits programs rely on.
//
// State: none of its own; the profile service caches parsed files (see platform/profile.h).
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

namespace kes::services {

// Buffer sizes of the operands, terminator included: a longer operand is cut to one byte less.
inline constexpr std::size_t kIniNameBuffer = 64;     // section and entry names
inline constexpr std::size_t kIniValueBuffer = 1024;  // values and defaults
inline constexpr std::size_t kIniFileBuffer = 260;    // file names, the platform's path limit

// The value of `entry` in `section` of `file` (empty: the system-wide profile), or `fallback`
// when the file or the entry does not exist, stored in `out` as a terminated text: cut to 1,023
// bytes and at its first zero byte. Returns the stored length.
std::size_t get_ini(std::string_view section, std::string_view entry, std::string_view fallback,
                    std::string_view file, std::span<char, kIniValueBuffer> out) noexcept;

// Writes `value` as `entry` of `section`; no entry deletes the section, no value deletes the
// entry. A write that cannot be made is not reported and leaves the file as it was.
void put_ini(std::string_view section, std::optional<std::string_view> entry,
             std::optional<std::string_view> value, std::string_view file) noexcept;

// A GROUP as compiled code passes it: its address, its size and its type descriptor.
struct IniGroup {
  void* address;
  std::uint32_t size;
  const unsigned char* type_descriptor;
};

// GETINIGROUP: every named field of the group (index 0, the group's own record, included when it
// has a name) is read from the entry of its name; an array field DIM(n) named Rate from the
// entries Rate_1 to Rate_n, each name cut to 63 bytes. Each field receives the text read
// (at most 1,023 bytes; the empty text when absent) converted to its own type. Returns true when
// at least one entry was found with a non-empty value. Fields that are groups themselves are
// passed over: their own fields follow in the walk.
bool get_ini_group(const IniGroup& group, std::string_view section, std::string_view file) noexcept;

// PUTINIGROUP: the same walk; each field's text, trailing blanks included, is written (cut to
// 1,023 bytes).
void put_ini_group(const IniGroup& group, std::string_view section, std::string_view file) noexcept;

}  // namespace kes::services
