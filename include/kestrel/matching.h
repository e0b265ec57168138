// Pattern matching: the MATCH built-in. The regular-expression classes are in reg_expr.h.
#pragma once

#include <kestrel/abi.h>

// MATCH(text, pattern, mode): pops the text (the top of the string stack) and then the pattern
// (the entry below it), both without trailing spaces; returns 1 for a match, 0 otherwise. The
// low four bits of `mode` choose the kind: 0 exact, 1 wildcard ("*" any run, "?" any one
// character, the whole text must match), 2 regular expression (found anywhere unless anchored;
// a pattern that does not compile matches nothing), 3 sound-alike code; any other kind matches
// nothing. Adding 16 compares without regard to case, through the case tables.
KES_API int32_t Kes$MATCH(int32_t mode) KES_NOEXCEPT;
