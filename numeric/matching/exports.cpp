// The MATCH built-in's export.
#include <kestrel/matching.h>

#include "numeric/matching/match.h"

extern "C" int32_t Kes$MATCH(int32_t mode) noexcept {
  return kes::numeric::pop_and_match(mode) ? 1 : 0;
}
