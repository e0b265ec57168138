// The message table: the text of every error number, as ERROR() and the run-time error boxes
// show it.
//
// State: the override lookup is process-wide by nature (one set of settings per process), as is
// the buffer Kes$err_message hands out.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>

namespace kes::files {

// The built-in text of `number`, or nothing when the table has none. Texts are exactly as
// programs and stored reports expect them, trailing blanks included.
std::optional<std::string_view> builtin_message(std::int32_t number) noexcept;

// Longest text taken from the table or an override.
inline constexpr std::size_t kMessageTextCapacity = 255;

// A message as looked up: terminated, at most kMessageTextCapacity characters.
using MessageBuffer = std::array<char, kMessageTextCapacity + 1>;

// Writes the text of `number` into `buffer` and returns it (without the terminator):
// number 0 reads as 81; an override set through the locale settings comes first, then the
// built-in text, each cut to 255 characters; a number with neither reads as the text of 81,
// " : " and the number in decimal ("Unknown Error Posted : 97").
std::string_view message_text(std::int32_t number, MessageBuffer& buffer) noexcept;

// The same text without the copy where it can: a view of the override or the built-in text
// (valid until the overrides change), or of `buffer` for the unknown-number form. Not
// terminated.
std::string_view message_view(std::int32_t number, MessageBuffer& buffer) noexcept;

// Where override texts come from: the override of `number`, or nothing when it keeps its
// built-in text. The locale settings install theirs when they first set an override, so the
// error state needs nothing above it; until then every number has its built-in text.
using MessageOverrideLookup = std::optional<std::string_view> (*)(std::int32_t number);
void set_message_override_lookup(MessageOverrideLookup lookup) noexcept;

}  // namespace kes::files
