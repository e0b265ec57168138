// Appending text to a log file.
//
// State: none; each call opens, appends to and closes the file, so nothing written is lost
// when the program ends abruptly.
#pragma once

#include <string_view>

namespace kes::platform {

// Appends `text` to the file at `path` (up to 4095 bytes), creating the file when it is absent.
// False when it cannot be opened or written in full.
bool append_to_file(std::string_view path, std::string_view text) noexcept;

}  // namespace kes::platform
