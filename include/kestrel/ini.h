// INI files: GETINI and PUTINI read and write one entry of a section; the file name names a
// profile file, the empty name the system-wide profile.
//
// Text operands come from the string stack with their trailing blanks removed, section first
// (on top), then entry, value or default, and file. Section and entry names are cut to 63
// bytes, values and defaults to 1,023, file names to 259. Nothing is posted to the error state:
// an absent file or entry reads as the default, and a write that cannot be made leaves the file
// as it was.
#pragma once

#include <kestrel/abi.h>

// GETINI(section, entry, default, file): pushes the entry's value, or the default when the file
// or the entry does not exist.
KES_API void Kes$GETINI(void) KES_NOEXCEPT;
// PUTINI(section, entry, value, file): writes the entry. With `entry_omitted` nonzero the whole
// section is deleted; with `value_omitted` nonzero the entry is deleted. Omitted operands are
// still on the stack and are popped like the others.
KES_API void Kes$PUTINI(uint8_t entry_omitted, uint8_t value_omitted) KES_NOEXCEPT;

// GETINIGROUP(group, section, file): the group is passed as its address, its size and its type
// descriptor, as WHO and WHAT take it; section (on top) and file come from the string stack.
// Every named field is read from the entry of its name (array elements from Name_1, Name_2 ...)
// and receives the text converted to its own type (the empty text when absent). Returns 1 when
// at least one entry was found with a non-empty value, else 0.
KES_API int32_t KES$GETINIGROUP(void* address, uint32_t size,
                                const unsigned char* type_descriptor) KES_NOEXCEPT;
// PUTINIGROUP(group, section, file): writes every named field the same way, STRING fields with
// their trailing blanks.
KES_API void KES$PUTINIGROUP(void* address, uint32_t size,
                             const unsigned char* type_descriptor) KES_NOEXCEPT;
