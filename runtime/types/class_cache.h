// The process-wide cache of class descriptors, keyed by the address of their type descriptor.
//
// State: one HashTable for the process, by design: type descriptors are constants of the
// program, and every thread reads them the same way. The runtime lock serialises its users.
#pragma once

#include <kestrel/types.h>

namespace kes::runtime {

// The class descriptor of the type descriptor at `type_descriptor` (no name table), made on
// first use and kept; null for a null descriptor or when memory runs out (nothing is kept then,
// so a later call reads the descriptor again). A damaged descriptor gives a class descriptor
// without fields. The stream is trusted to end where its records
// end (compiled descriptors have no length) unless `length` bounds it; the bound of the first
// call stays with the cached descriptor.
class_descriptor* cached_class_descriptor(const unsigned char* type_descriptor,
                                          uint32_t length = UINT32_MAX) noexcept;

// Forgets (and destroys) the cached class descriptor of `type_descriptor`: for descriptors
// built at run time whose memory is about to be released or reused.
void forget_class_descriptor(const unsigned char* type_descriptor) noexcept;

}  // namespace kes::runtime
