// Pictures: compiling picture texts, and moving values through them between variables, the
// string stack and the decimal stack.
#pragma once

#include <kestrel/abi.h>

// Compiles `picture` into the caller's descriptor buffer (a PicDesc). Returns 0 for an invalid
// picture, 2 for a string picture, otherwise 2 x width + 2.
KES_API int32_t Kes$storepict(void* descriptor, const char* picture) KES_NOEXCEPT;
// The picture's width, 0 when it is invalid.
KES_API int32_t Kes$getpicturewidth(const char* picture) KES_NOEXCEPT;
// 1 when the picture is valid (its width is not 0), else 0.
KES_API int32_t Kes$pictureisvalid(const char* picture) KES_NOEXCEPT;
// Compiles the picture and copies its header and the two bytes after it (4 bytes) to `out`.
KES_API void Kes$checkpict(const char* picture, void* out) KES_NOEXCEPT;

// Push the value formatted by the picture on the string stack (the empty string when the
// picture is invalid). Kes$PushPictDec consumes the top of the decimal stack in every case.
KES_API void Kes$PushPictLong(int32_t value, const char* picture) KES_NOEXCEPT;
KES_API void Kes$PushPictReal(const char* picture, double value) KES_NOEXCEPT;
KES_API void Kes$PushPictDec(const char* picture) KES_NOEXCEPT;
// Pop the top of the string stack deformatted by the picture, read as a LONG (saturating) or
// as a REAL.
KES_API int32_t Kes$PopPictLong(const char* picture) KES_NOEXCEPT;
KES_API double Kes$PopPictReal(const char* picture) KES_NOEXCEPT;
// Deformats `length` bytes at `text` through the picture (null: the text passes unchanged as
// a number) and pushes the result on the decimal stack.
KES_API void Kes$DPushStringP(const char* text, uint32_t length, const char* picture) KES_NOEXCEPT;
// Deformats the top of the string stack through the picture and moves it to the decimal stack.
KES_API void Kes$DPushStringStackP(const char* picture) KES_NOEXCEPT;
// Pops the decimal stack and formats the value through the picture into the fixed-length
// destination.
KES_API void Kes$DPopPict(char* destination, uint32_t length, const char* picture) KES_NOEXCEPT;
