// Conversion between the OEM code page (437) and the ANSI code page (1252), one byte at a time.
//
// State: two 256-byte tables built once on first use; process-wide by nature and never changed.
#pragma once

#include <cstdint>
#include <span>

namespace kes::platform {

// The ANSI character for an OEM character. Characters without an exact or best-fit
// counterpart become "?"; bytes below 128 map to themselves.
std::uint8_t oem_to_ansi(std::uint8_t oem) noexcept;
// The OEM character for an ANSI character, by the same rules.
std::uint8_t ansi_to_oem(std::uint8_t ansi) noexcept;

// Converts a text in place.
void oem_to_ansi(std::span<char> text) noexcept;
void ansi_to_oem(std::span<char> text) noexcept;

}  // namespace kes::platform
