// Interning of AString texts: each distinct text is stored once for the life of the process,
// with its 16-bit length just before its first byte and a zero byte after it.
//
// State: the table is process-wide by nature (AStrings are shared by every thread).
#pragma once

#include <string_view>

namespace kes::runtime {

// The AString of `text` with its trailing spaces removed: the address of the interned text's
// first byte, the same address for the same bytes. Null for a text that is empty once clipped,
// longer than 65,535 bytes, or that cannot be stored.
const char* intern_astring(std::string_view text) noexcept;

}  // namespace kes::runtime
