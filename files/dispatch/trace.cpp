// The trace log of driver operations.
#include "files/dispatch/trace.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include <kestrel/types.h>
#include <kestrel/views.h>

#include "files/dispatch/file_names.h"
#include "files/dispatch/operations.h"
#include "files/errors/error_state.h"
#include "numeric/dates/date_calendar.h"
#include "platform/clock/clock.h"
#include "platform/files/file_system.h"
#include "platform/profile/profile.h"
#include "runtime/types/class_cache.h"

namespace kes::files {
namespace {

TraceSettings settings;
bool settings_read = false;

constexpr std::size_t kNameColumn = 24;
constexpr std::uint32_t kMarkBit = 0x80000000u;
constexpr std::int32_t kInternal87 = 87;
constexpr std::int32_t kInternal91 = 91;

constexpr const char* kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                   "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};

bool profile_flag(std::string_view path, std::string_view key) noexcept {
  char value[32];
  const auto length = platform::read_profile_string(path, "KXVIEW", key, value);
  if (!length) return false;
  value[*length < sizeof value ? *length : sizeof value - 1] = '\0';
  return std::strtol(value, nullptr, 10) != 0;
}

void read_settings() noexcept {
  settings = TraceSettings{};
  char path[4096];
  const std::size_t path_length = platform::system_profile_path(path);
  if (path_length == 0) return;
  const std::string_view profile(path, path_length);
  settings.views = profile_flag(profile, "Profile");
  settings.files = profile_flag(profile, "TraceIntoFiles");
  char log[sizeof settings.log];
  const auto length =
      platform::read_profile_string(profile, "KXVIEW", "TraceFile", {log, sizeof log - 1});
  if (length && *length > 0) {
    std::memcpy(settings.log, log, *length);
    settings.log[*length] = '\0';
  }
}

bool is_view(const Drv_FCB& file) noexcept { return (file.attributes & DRV_ATTR_VIEW) != 0; }

// Receives a view descriptor's printed form.
class PrintedView final : public view_handler {
 public:
  explicit PrintedView(DynStr& out) noexcept : out_(out) {}
  bool reserve(std::uint32_t) noexcept override { return false; }
  void error(std::int32_t) noexcept override {}
  void put(char character) noexcept override { out_.cat(character); }

 private:
  DynStr& out_;
};

// The record's fields as its type descriptor lists them; null without a descriptor or memory.
// A damaged descriptor lists no fields.
class_descriptor* record_fields(const Drv_FCB& file) noexcept {
  return runtime::cached_class_descriptor(file.record_type);
}

void append_key(DynStr& out, const Drv_FCB& file, const Drv_KCB& key) noexcept {
  if (key.label != nullptr) out.cat(key.label).cat(' ');
  out.cat((key.flags & DRV_KEY_INDEX) != 0 ? "INDEX(" : "KEY(");
  class_descriptor* fields = record_fields(file);
  for (std::uint8_t c = 0; key.components != nullptr && c < key.component_count; ++c) {
    const Drv_KeyComponent& component = key.components[c];
    if (c > 0) out.cat(',');
    if ((component.flags & DRV_COMPONENT_DESCENDING) != 0) out.cat('-');
    // The field's second name when it has one, else its name; empty beyond the fields.
    const std::string_view name = fields == nullptr ? "" : fields->FIELDNAME(component.field);
    if (name.empty()) {
      out.catf("FIELD(%u)", static_cast<unsigned>(component.field));
    } else {
      out.cat(name.data(), static_cast<std::uint32_t>(name.size()));
    }
  }
  out.cat(')');
  if ((key.flags & DRV_KEY_DUP) != 0) out.cat(",DUP");
  if ((key.flags & DRV_KEY_OPT) != 0) out.cat(",OPT");
  if ((key.flags & DRV_KEY_NOCASE) != 0) out.cat(",NOCASE");
  if ((key.flags & DRV_KEY_PRIMARY) != 0) out.cat(",PRIMARY");
  out.cat("\r\n");
}

void append_field_declarations(DynStr& out, const Drv_FCB& file) noexcept {
  class_descriptor* fields = record_fields(file);
  for (unsigned number = 1; fields != nullptr && number <= fields->NFields(); ++number) {
    const KesFieldInfo& field = *fields->field_info(number);
    const std::string_view name = fields->FIELDNAME(number);
    out.cat(name.data(), static_cast<std::uint32_t>(name.size())).cat(' ');
    out.cat(type_name(field.type).data());
    if (field.type >= DRV_TYPE_STRING && field.type <= DRV_TYPE_MEMO) out.catf("(%u)", field.size);
    if (field.elements > 1) out.catf(",DIM(%u)", field.elements);
    out.cat("\r\n");
  }
}

void append_file_declaration(DynStr& out, const Drv_FCB& file) noexcept {
  const char* driver = file.driver_name != nullptr ? file.driver_name : "";
  if (file.driver_string != nullptr) {
    out.catf("FILE,DRIVER('%s','%s')", driver, file.driver_string);
  } else {
    out.catf("FILE,DRIVER('%s')", driver);
  }
  if (file.name != nullptr) {
    const std::size_t length =
        file.name_length < 0 ? std::strlen(file.name) : static_cast<std::size_t>(file.name_length);
    const std::string_view name = without_trailing_blanks({file.name, length});
    out.cat(",NAME('").cat(name.data(), static_cast<std::uint32_t>(name.size())).cat("')");
  }
  if (file.owner != nullptr) out.cat(",OWNER(******)");  // the password is never written
  if ((file.attributes & DRV_ATTR_CREATE) != 0) out.cat(",CREATE");
  if ((file.attributes & DRV_ATTR_ENCRYPT) != 0) out.cat(",ENCRYPT");
  if ((file.attributes & DRV_ATTR_RECLAIM) != 0) out.cat(",RECLAIM");
  if ((file.attributes & DRV_ATTR_THREAD) != 0) out.cat(",THREAD");
  out.cat("\r\n");
  for (std::uint8_t k = 0; file.keys != nullptr && k < file.key_count; ++k) {
    if (file.keys[k] != nullptr) append_key(out, file, *file.keys[k]);
  }
  for (std::uint8_t m = 0; file.memos != nullptr && m < file.memo_count; ++m) {
    const Drv_MCB& memo = file.memos[m];
    if (memo.label != nullptr) out.cat(memo.label).cat(' ');
    if ((memo.flags & DRV_MEMO_BLOB) != 0) {
      out.cat("BLOB");
    } else {
      out.catf("MEMO(%u)", memo.size);
    }
    if ((memo.flags & DRV_MEMO_BINARY) != 0) out.cat(",BINARY");
    out.cat("\r\n");
  }
  out.cat("RECORD\r\n");
  append_field_declarations(out, file);
  out.cat("END\r\n");
}

std::int32_t read_long(const std::uint8_t* at) noexcept {
  std::int32_t value;
  std::memcpy(&value, at, sizeof value);
  return value;
}

void append_value(DynStr& out, const KesFieldInfo& field, const std::uint8_t* at) noexcept {
  switch (field.type) {
    case DRV_TYPE_BYTE: out.cat(static_cast<std::uint32_t>(*at)); return;
    case DRV_TYPE_SHORT: {
      std::int16_t value;
      std::memcpy(&value, at, sizeof value);
      out.cat(static_cast<std::int32_t>(value));
      return;
    }
    case DRV_TYPE_USHORT: {
      std::uint16_t value;
      std::memcpy(&value, at, sizeof value);
      out.cat(static_cast<std::uint32_t>(value));
      return;
    }
    case DRV_TYPE_LONG: out.cat(read_long(at)); return;
    case DRV_TYPE_ULONG: out.cat(static_cast<std::uint32_t>(read_long(at))); return;
    case DRV_TYPE_SREAL: {
      float value;
      std::memcpy(&value, at, sizeof value);
      out.cat(static_cast<double>(value));
      return;
    }
    case DRV_TYPE_REAL: {
      double value;
      std::memcpy(&value, at, sizeof value);
      out.cat(value);
      return;
    }
    case DRV_TYPE_DATE: {
      const std::int32_t serial = read_long(at);
      numeric::DateRecord date{};
      if (numeric::date_from_serial(serial, date)) {
        out.catf("%02d %s %d (%ld)", date.day, kMonths[date.month - 1], date.year,
                 static_cast<long>(serial));
      } else {
        out.catf("Invalid date (%ld)", static_cast<long>(serial));
      }
      return;
    }
    case DRV_TYPE_TIME: {
      const std::int32_t value = read_long(at);
      numeric::TimeRecord time{};
      if (numeric::time_to_record(value, time)) {
        out.catf("%02d:%02d:%02d.%02d (%ld)", time.hour, time.minute, time.second, time.hundredths,
                 static_cast<long>(value));
      } else {
        out.catf("Invalid time (%ld)", static_cast<long>(value));
      }
      return;
    }
    case DRV_TYPE_STRING: {
      const std::string_view text =
          without_trailing_blanks({reinterpret_cast<const char*>(at), field.size});
      out.cat('\'').cat(text.data(), static_cast<std::uint32_t>(text.size())).cat('\'');
      return;
    }
    case DRV_TYPE_CSTRING: {
      const char* text = reinterpret_cast<const char*>(at);
      out.cat('\'').cat(text, static_cast<std::uint32_t>(strnlen(text, field.size))).cat('\'');
      return;
    }
    case DRV_TYPE_PSTRING: {
      const std::uint32_t length =
          field.size == 0 ? 0 : std::min<std::uint32_t>(*at, field.size - 1);
      out.cat('\'').cat(reinterpret_cast<const char*>(at + 1), length).cat('\'');
      return;
    }
    default:
      for (std::uint32_t i = 0; i < field.size; ++i)
        out.catf("%02X", static_cast<unsigned>(at[i]));
      return;
  }
}

// One line per field that holds a value of its own inside the record buffer: groups, memos and
// blobs are left out, and so are fields a damaged declaration places beyond the buffer.
void append_field_value(DynStr& out, const Drv_FCB& file, class_descriptor& fields,
                        unsigned number) noexcept {
  const KesFieldInfo& field = *fields.field_info(number);
  if (field.type == DRV_TYPE_GROUP || field.type == DRV_TYPE_MEMO || field.type == DRV_TYPE_BLOB) {
    return;
  }
  const std::uint64_t end =
      static_cast<std::uint64_t>(field.offset) + std::uint64_t{field.size} * field.elements;
  if (end > file.record_size) return;
  const std::string_view name = fields.FIELDNAME(number);
  out.cat("  ").cat(name.data(), static_cast<std::uint32_t>(name.size())).cat(" = ");
  const auto* record = static_cast<const std::uint8_t*>(file.record);
  for (std::uint32_t e = 0; e < field.elements; ++e) {
    if (e > 0) out.cat(", ");
    append_value(out, field, record + field.offset + std::size_t{e} * field.size);
  }
  out.cat("\r\n");
}

void write_log(const DynStr& text) noexcept {
  platform::append_to_file(trace_settings().log, text.view());
}

}  // namespace

const TraceSettings& trace_settings() noexcept {
  if (!settings_read) {
    read_settings();
    settings_read = true;
  }
  return settings;
}

void append_declaration(DynStr& out, const Drv_FCB& file) noexcept {
  if (!is_view(file)) {
    append_file_declaration(out, file);
    return;
  }
  const auto& view = reinterpret_cast<const Kes_VCBBLK_struct&>(file);
  if (view.descriptor != nullptr) {
    PrintedView printed(out);
    view_descriptor descriptor(&printed);
    descriptor.setup(view.descriptor);
    descriptor.print();
  }
  out.catf("VIEW:%lX:\r\n", static_cast<unsigned long>(reinterpret_cast<std::uintptr_t>(&view)));
}

void append_field_values(DynStr& out, const Drv_FCB& file) noexcept {
  if (is_view(file) || file.record == nullptr) return;
  class_descriptor* fields = record_fields(file);
  for (unsigned number = 1; fields != nullptr && number <= fields->NFields(); ++number)
    append_field_value(out, file, *fields, number);
}

std::uint32_t trace_operation(std::int32_t operation, const Drv_FCB* file,
                              std::uint32_t mark) noexcept {
  if (file == nullptr) return 0;
  const TraceSettings& on = trace_settings();
  if (is_view(*file)) {
    if (!on.views || operation == kInternal87 || operation == kInternal91) return 0;
  } else if (!on.views || !on.files) {
    return 0;
  }
  DynStr text;
  if (mark == 0) {
    const std::string_view name = operation_name(operation);
    text.cat(name.data(), static_cast<std::uint32_t>(name.size()));
    text.PadTo(kNameColumn);
    append_declaration(text, *file);
    write_log(text);
    return kMarkBit | static_cast<std::uint32_t>(platform::monotonic_hundredths() & 0x7FFFFFFF);
  }
  append_field_values(text, *file);
  if (current_error() == ErrorCode::FileSystemError) {
    const std::string_view message = file_error_message();
    text.catf("File Error: %.*s\r\n", static_cast<int>(message.size()), message.data());
  } else if (current_error() != ErrorCode::None) {
    const std::string_view message = error_text();
    text.catf("Error: %.*s\r\n", static_cast<int>(message.size()), message.data());
  }
  const std::uint32_t now =
      static_cast<std::uint32_t>(platform::monotonic_hundredths() & 0x7FFFFFFF);
  const std::uint32_t taken = (now - (mark & ~kMarkBit)) & 0x7FFFFFFF;
  text.catf("Time Taken: %ld.%02ld secs\r\n", static_cast<long>(taken / 100),
            static_cast<long>(taken % 100));
  write_log(text);
  return mark;
}

#ifdef KES_TESTING
void reload_trace_settings_for_testing() noexcept { settings_read = false; }
#endif

}  // namespace kes::files
