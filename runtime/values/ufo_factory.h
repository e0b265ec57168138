// Making value descriptors by type code, and the rules every class shares: common types of
// Add and Divide, the hash of a value's bytes, comparison of texts without regard to case.
//
// State: none.
#pragma once

#include <cstddef>
#include <cstdint>

#include <kestrel/types.h>
#include <kestrel/ufo.h>

namespace kes::runtime {

// True when the type code has a descriptor class that Kes$Mem2Ufo makes (every code of the
// table with a class except GROUP and ARRAY, which need a type descriptor or an element, and
// PICTURE, which needs a picture).
bool has_ufo_class(std::uint32_t type_code) noexcept;

// A new descriptor of the type code's class over `address`: `size` bytes for the string types
// (and the referred text of a string reference), `size` and `places` for DECIMAL and PDECIMAL;
// fixed-size types take their own size. With `clone` it owns a copy. Null when memory runs out
// or the code has no class (has_ufo_class).
Ufo* make_ufo(void* address, std::uint32_t type_code, std::uint32_t size, std::uint32_t places,
              bool clone) noexcept;

// Room for a descriptor of a scalar class made without the heap, for walks that take one
// field after another.
struct ScalarUfoRoom {
  alignas(alignof(std::max_align_t)) unsigned char bytes[64];
};

// Makes a descriptor of the type's class in `room` over `address`: the numeric, packed decimal
// and STRING, CSTRING, PSTRING classes. Null for every other type (references, OLE values,
// groups, arrays, pictures). It owns nothing; it ends with the room.
Ufo* place_scalar_ufo(ScalarUfoRoom& room, void* address, std::uint32_t type_code,
                      std::uint32_t size, std::uint32_t places) noexcept;

// True when assigning a value of this type to a variable of the same type, size and places
// copies its bytes unchanged: whole numbers, REAL and STRING. (Dates, times, SREAL and the
// BASIC floats are read and rewritten, which may change bytes that are not a valid value.)
bool assigns_as_bytes(std::uint32_t type_code) noexcept;

// A GroupUfo over `address` with the type descriptor (taken from the cache, read at most
// `length` bytes far); null when memory runs out.
Ufo* make_group_ufo(void* address, const unsigned char* type_descriptor, bool clone,
                    std::uint32_t length = UINT32_MAX) noexcept;

// A picture descriptor of the picture's class over `address` (width bytes), or over its own
// blank storage with `own_storage`; with `own_picture` it frees the picture (a runtime heap
// block) when freed. Null for an invalid picture or when memory runs out.
Ufo* make_picture_ufo(const PicDesc* picture, void* address, bool own_storage,
                      bool own_picture) noexcept;

// An ArrayUfo of `count` elements taking `element` over; null (element destroyed) on failure.
Ufo* make_array_ufo(Ufo* element, std::uint32_t count) noexcept;

// A new ValueUfo holding a whole number, a real; null when memory runs out.
Ufo* make_long_value(std::int32_t value) noexcept;
Ufo* make_real_value(double value) noexcept;

// The family in which Add and Divide compute for two base types: STRING when one is STRING and
// the other string-like, else LONG when both are LONG, else REAL when either is REAL, else
// DECIMAL.
unsigned char common_type(unsigned char a, unsigned char b) noexcept;

// The hash of `length` bytes: h starts at 5AA5A55Ah; for each byte b with c bytes still to come,
// b is added to the low 8 bits of h (no carry), h rotates left by 3 bits, and c plus the bit the
// rotation moved into bit 0 is added (32-bit wrap-around).
std::uint32_t hash_bytes(const void* bytes, std::uint32_t length) noexcept;

// Compares the top two texts of the string stack (a below b, b on top) without regard to case
// by Kes$isficompare over their common length, then the rest of the longer one against spaces;
// pops both. Negative, 0, positive as a against b.
int compare_top_ignoring_case() noexcept;

// Compares two values in the family they share: texts (STRING or PICTURE on both sides) by
// collation through the string stack, two LONGs exactly, DECIMAL and LONG on the decimal stack,
// anything with a REAL (or a text against a number) as reals. Negative, 0, positive.
int compare_values(const Ufo& a, const Ufo& b) noexcept;

// EVALUATE's handler of Bind on a group: makes the group's fields known to the expression
// engine. Process-wide by design (one engine per process); null until the engine registers.
using BindGroupHook = void (*)(GroupUfo& group);
void set_bind_group_hook(BindGroupHook hook) noexcept;

// Fatal "Parameter typing error" with the given run-time error number (7, 8, 9, 11, 12).
[[noreturn]] void parameter_typing_error(int number) noexcept;

}  // namespace kes::runtime
