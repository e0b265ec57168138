// Tracing of driver operations into the trace log: the operation, the file's declaration in the
// language's own syntax (a view's as its descriptor prints), the record's values, the error and
// the time taken.
//
// State: the settings read from the system profile are process-wide by design (one trace log
// per process), read once at the first trace call.
#pragma once

#include <cstdint>
#include <string_view>

#include <kestrel/driver.h>
#include <kestrel/dyn_str.h>

namespace kes::files {

// The section [KXVIEW] of the system profile: Profile (nonzero: trace views), TraceIntoFiles
// (nonzero: trace the files under them too), TraceFile (the log, VIEW.LOG when empty or missing).
struct TraceSettings {
  bool views = false;
  bool files = false;
  char log[261] = "VIEW.LOG";
};
const TraceSettings& trace_settings() noexcept;

// The declaration of a file ("FILE,DRIVER(...)" to the record's "END"), or of a view (its printed
// descriptor and the tag "VIEW:<address>:").
void append_declaration(DynStr& out, const Drv_FCB& file) noexcept;
// One line per field of the record: "<name> = <value>", values formatted by type.
void append_field_values(DynStr& out, const Drv_FCB& file) noexcept;

// _drv_TraceOp: with mark 0 writes the head of an entry and returns a mark (0 when tracing of
// such a block is off); with a mark writes the rest of the entry.
std::uint32_t trace_operation(std::int32_t operation, const Drv_FCB* file,
                              std::uint32_t mark) noexcept;

#ifdef KES_TESTING
// Reads the settings again at the next trace call.
void reload_trace_settings_for_testing() noexcept;
#endif

}  // namespace kes::files
