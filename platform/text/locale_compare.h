// The platform's locale-aware ordering of single ANSI (code page 1252) characters.
//
// State: one collator opened on first use; process-wide by nature, read-only afterwards.
#pragma once

#include <cstdint>

namespace kes::platform {

// Compares the one-character strings made of two ANSI characters as the platform's language
// rules order them (accented letters beside their base letters, lower case before upper case):
// negative, 0 or positive. Characters the rules ignore compare equal to each other and below
// every character they do not ignore.
int compare_ansi_chars(std::uint8_t a, std::uint8_t b) noexcept;

}  // namespace kes::platform
