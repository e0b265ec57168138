// The platform's view of ANSI (code page 1252) characters: alphabetic, upper case, lower-case
// form. Each character is decoded to Unicode and asked about there.
//
// State: none kept beyond a 256-entry table built once; process-wide by nature.
#pragma once

#include <cstdint>

namespace kes::platform {

// True when the platform calls the ANSI character alphabetic.
bool ansi_is_alpha(std::uint8_t ansi) noexcept;
// True when the platform calls the ANSI character an upper-case letter.
bool ansi_is_upper(std::uint8_t ansi) noexcept;
// The lower-case form of the ANSI character, 0 when it has none in the ANSI code page (the
// character itself when it has no other case).
std::uint8_t ansi_to_lower(std::uint8_t ansi) noexcept;

}  // namespace kes::platform
