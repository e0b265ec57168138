// Collation, case tables, character sets and locale settings: the exports through which
// compiled code compares and converts text and sets the locale.
#pragma once

#include <kestrel/abi.h>

#ifdef __cplusplus
extern "C" {
#endif

// A text descriptor: the address of a text and its length in bytes. 16 bytes on 64-bit hosts,
// 8 bytes on 32-bit ones (offsets 0 and 4).
typedef struct KesTextDescriptor {
  char* text;
  uint32_t length;
} KesTextDescriptor;

// The table block of Kes$AccessColSeqInfo: 1152 bytes, no padding. A digraph entry is a
// character, the two characters it collates as, and a zero; an entry whose first byte is 0
// ends the table.
typedef struct KesCollationBlock {
  uint8_t ansi_weight[256];     // offset 0: collation weight of each ANSI character
  uint8_t oem_weight[256];      // offset 256: the same for OEM text
  uint8_t case_partner[256];    // offset 512: the other-case letter, 0 for none
  uint8_t char_class[256];      // offset 768: 1 upper case, 2 lower case, 4 digit
  uint8_t digraphs[16][4];      // offset 1024
  uint8_t oem_digraphs[16][4];  // offset 1088: the OEM copy of the digraph table
} KesCollationBlock;

// Options of the sort-form conversions.
#define KES_SORT_IGNORE_CASE 1u  // lower-case letters take the weights of their partners
#define KES_SORT_OEM 2u          // Kes$isfxconvert: use the OEM tables

#ifdef __cplusplus
}
#endif

// Start-up: reads the regional settings and the program's settings file once; later calls do
// nothing.
KES_API void Kes$isfinit(void) KES_NOEXCEPT;
// LOCALE: pops two texts, the top one (a file name with a nonzero `form`, else a setting name)
// and the one below it (the setting's value, unused for a file). A file that cannot be opened
// sets error 2.
KES_API void Kes$Locale(int32_t form) KES_NOEXCEPT;
// The override text of a run-time message (terminated), or null when it has none. The text
// stays valid until the same message is set again.
KES_API const char* Kes$IsfGetMsg(int32_t number) KES_NOEXCEPT;

// Orders two texts, the shorter padded with spaces: the weight difference at the first
// difference, 0 when equal.
KES_API int32_t Kes$comparestr(const char* a, uint32_t a_length, const char* b,
                               uint32_t b_length) KES_NOEXCEPT;
// Orders `count` characters of a and b by the ANSI weights; with digraphs, -1 or 1 when the
// expanded a or b runs out first.
KES_API int32_t Kes$isfcompare(const char* a, const char* b, uint32_t count) KES_NOEXCEPT;
// The same without regard to case.
KES_API int32_t Kes$isficompare(const char* a, const char* b, uint32_t count) KES_NOEXCEPT;
// The same as Kes$isfcompare by the OEM weights and digraphs.
KES_API int32_t Kes$isfoemcompare(const char* a, const char* b, uint32_t count) KES_NOEXCEPT;

// Case conversion of one character (a value outside 0-255 is returned unchanged).
KES_API int32_t Kes$isftoupper(int32_t character) KES_NOEXCEPT;
KES_API int32_t Kes$isftolower(int32_t character) KES_NOEXCEPT;
// Case conversion of a text in place.
KES_API void Kes$isfupper(char* text, uint32_t length) KES_NOEXCEPT;
KES_API void Kes$isflower(char* text, uint32_t length) KES_NOEXCEPT;
// Class tests of one character: 1 or 0 (0 outside 0-255). Alphabetic means having a case
// partner.
KES_API int32_t Kes$isfisupper(int32_t character) KES_NOEXCEPT;
KES_API int32_t Kes$isfislower(int32_t character) KES_NOEXCEPT;
KES_API int32_t Kes$isfisalpha(int32_t character) KES_NOEXCEPT;
KES_API int32_t Kes$isfisalnum(int32_t character) KES_NOEXCEPT;
// The class tests on the first character of the popped top of the string stack (0 for an empty
// text).
KES_API int32_t Kes$IsAlpha(void) KES_NOEXCEPT;
KES_API int32_t Kes$IsUpper(void) KES_NOEXCEPT;
KES_API int32_t Kes$IsLower(void) KES_NOEXCEPT;

// Pops a text (its first four characters count) and returns the weights of its characters,
// digraphs expanded, the first in the highest used byte.
KES_API int32_t Kes$CollationVal(void) KES_NOEXCEPT;
// Pushes the characters whose weights are the bytes of `value`, lowest byte first, until the
// rest is 0.
KES_API void Kes$CollationChar(int32_t value) KES_NOEXCEPT;

// Converts the described text in place between the OEM and ANSI code pages (null: nothing).
KES_API void Kes$OEMTOANSIdesc(KesTextDescriptor* text) KES_NOEXCEPT;
KES_API void Kes$ANSITOOEMdesc(KesTextDescriptor* text) KES_NOEXCEPT;

// Replace `length` bytes by their sort form in place (cut to `length` when digraphs make it
// longer) and return the sort form's full length. Kes$isfconvert uses the ANSI tables,
// Kes$isfoemconvert the OEM ones, Kes$isfxconvert those that KES_SORT_OEM chooses.
KES_API uint32_t Kes$isfconvert(char* text, uint32_t length, uint32_t options) KES_NOEXCEPT;
KES_API uint32_t Kes$isfoemconvert(char* text, uint32_t length, uint32_t options) KES_NOEXCEPT;
KES_API uint32_t Kes$isfxconvert(char* text, uint32_t length, uint32_t options) KES_NOEXCEPT;

// Direction 0 copies the tables into `block`, any other value copies `block` into the tables
// (null: nothing).
KES_API void Kes$AccessColSeqInfo(KesCollationBlock* block, int32_t direction) KES_NOEXCEPT;
