// The exports of ASTRING values and TIE.
#include <cstring>

#include <kestrel/astring.h>

#include "runtime/astring/astring_table.h"

namespace rt = kes::runtime;

extern "C" void Kes$MakeAString(const char** destination, const char* text,
                                uint32_t length) noexcept {
  if (destination == nullptr) return;
  *destination = text == nullptr ? nullptr : rt::intern_astring(std::string_view(text, length));
}

extern "C" const char* Kes$CString2AString(const char* text) noexcept {
  return text == nullptr ? nullptr : rt::intern_astring(text);
}

extern "C" const char* Kes$PopAString() noexcept { return rt::pop_astring(); }

extern "C" uint32_t Kes$AStringLen(const char* astring) noexcept {
  return rt::astring_length(astring);
}

extern "C" const char* Kes$AStringUPPER(const char* astring) noexcept {
  return rt::astring_table().upper(astring);
}

extern "C" int32_t Kes$TIE(const char* astring, int32_t key, int32_t value) noexcept {
  return rt::astring_table().tie(astring, key, value);
}

extern "C" int32_t Kes$TIED(const char* astring, int32_t key) noexcept {
  return rt::astring_table().tied(astring, key);
}

extern "C" void Kes$UNTIE(const char* astring, int32_t key, int32_t all) noexcept {
  if (all != 0) {
    rt::astring_table().untie_everywhere(key);
  } else {
    rt::astring_table().untie(astring, key);
  }
}
