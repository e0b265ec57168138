// Type descriptor streams through every walk (fields, names, WHO, WHAT and WHERE, CLEAR, deep
// assignment to a copy): nothing reads past the stream or writes past the structure, and WHERE
// finds each field WHAT made.
#include <vector>

#include <kestrel/memory.h>
#include <kestrel/types.h>
#include <kestrel/ufo.h>
#include <kestrel/values.h>

#include "runtime/stack/string_stack.h"
#include "runtime/types/class_cache.h"
#include "runtime/values/clear.h"
#include "runtime/values/field_queries.h"
#include "runtime/values/ufo_factory.h"
#include "tests/fuzz/support/fuzz_check.h"

namespace rt = kes::runtime;
using kes::fuzz::check;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0 || size > 4096) return 0;
  const kes::fuzz::StackDepths depths;
  // A block of its own, so that the cache never sees an address reused with other bytes.
  std::vector<unsigned char> stream(data, data + size);
  const auto length = static_cast<uint32_t>(size);
  {
    class_descriptor d(stream.data(), length, true);
    const uint32_t structure = d.structure_size();
    for (unsigned field = 0; field <= d.NFields(); ++field) {
      const field_descriptor* f = d.FieldDesc(field);
      check((f != nullptr) != d.damaged());
      check(std::strlen(d.FIELDNAME(field)) <= kKesFieldNameLength);
      check(d.OverField(field) < field || field == 0);
      const unsigned found = d.FieldNum(d.FIELDNAME(field));
      check(found <= field || found == 0 || field == 0);  // record 0 is not in the name table
      rt::push_field_name(&d, field);
      rt::pop_discard();
    }
    check(d.FieldDesc(d.NFields() + 1) == nullptr);
    // Reference and OLE fields hold pointers the library trusts, which a field OVER them could
    // spoil: such structures are read but not cleared or assigned.
    bool holds_pointers = false;
    for (unsigned field = 1; field <= d.NFields(); ++field) {
      const uint8_t type = d.field_info(field)->type;
      holds_pointers =
          holds_pointers || type == 15 || type == 31 || type == 42 || type == 43 || type == 45;
    }
    if (!d.damaged() && structure <= 1 << 14 && !holds_pointers) {
      std::vector<char> storage(structure == 0 ? 1 : structure, 'x');
      for (unsigned field = 1; field <= d.NFields(); ++field) {
        Ufo* ufo = rt::field_value(&d, storage.data(), structure, field);
        if (ufo == nullptr) continue;
        check(rt::field_of(&d, storage.data(), ufo) != 0);
        ufo->Clear(1);
        ufo->Push();
        rt::pop_discard();
        Kes$FreeUfo(ufo);
      }
      for (int fill : {-1, 0, 1})
        rt::clear_structure(d, storage.data(), structure, fill);
      std::vector<char> copy(storage);
      Ufo* to = rt::make_group_ufo(copy.data(), stream.data(), false, length);
      Ufo* from = rt::make_group_ufo(storage.data(), stream.data(), false, length);
      if (to != nullptr && from != nullptr) {
        std::vector<unsigned char> pairs = {1, 0, 0, 0, 0, 0, 0, 0};
        const uint32_t count = d.NFields() < 64 ? d.NFields() : 64;
        pairs[4] = static_cast<unsigned char>(count);
        for (uint32_t field = 1; field <= count; ++field) {
          const auto byte = static_cast<unsigned char>(field);
          pairs.insert(pairs.end(), {byte, 0, 0, 0, byte, 0, 0, 0});
        }
        Kes$DeepAssign(to, from, pairs.data());
      }
      Kes$FreeUfo(to);
      Kes$FreeUfo(from);
    }
    // The groups' records were cached by address; the block goes away with this input.
    for (unsigned field = 0; field <= d.NFields(); ++field) {
      const KesFieldInfo* info = d.field_info(field);
      if (info != nullptr && info->type == KesTypeGroup)
        rt::forget_class_descriptor(stream.data() + info->stream_position);
    }
  }
  rt::forget_class_descriptor(stream.data());
  depths.check_kept();
  return 0;
}
