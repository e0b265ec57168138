// Descriptors that live on the machine stack for the length of one operation: the library's
// walks use them to avoid a heap block per field.
//
// State: none.
#pragma once

#include <kestrel/ufo.h>

namespace kes::runtime {

// A descriptor class made complete for automatic storage. Free is called at the end of the
// scope, so owned storage is released as Ufo::destroy would.
template <typename Descriptor>
class LocalUfo final : public Descriptor {
 public:
  LocalUfo() noexcept = default;
  LocalUfo(const LocalUfo&) = delete;
  LocalUfo& operator=(const LocalUfo&) = delete;
  ~LocalUfo() { this->Free(); }
};

}  // namespace kes::runtime
