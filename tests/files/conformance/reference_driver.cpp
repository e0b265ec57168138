// The reference driver, written against the driver contract as every driver must behave:
// records in a map by position, key order worked out by sorting.
//
// State: the tables are process-wide test state, kept until the process ends.
#include <algorithm>
#include <map>
#include <optional>

#include <kestrel/collation.h>

#include "tests/files/conformance/file_declaration.h"

namespace kes::test {
namespace {

using Image = std::vector<std::uint8_t>;
using Table = std::map<std::int64_t, Image>;  // records by position
struct Field {
  std::uint8_t type;
  std::uint32_t offset, size;
};
struct State {
  Table* table;
  std::vector<Field> fields;   // by field number - 1
  std::optional<Table> saved;  // the table as it was at LOGOUT
  std::int64_t current = 0;
  const Drv_KCB* key = nullptr;  // the sequence's order, null for record order
  int start = 0;                 // 0 at the ends, 1 at values, 2 at values and position
  bool read = false;             // `from` is the record last read
  Image from;
  std::int64_t from_position = 0;
};

std::map<std::string, Table> tables;

std::vector<Field> read_fields(const std::uint8_t* descriptor) {
  class_descriptor walk(descriptor, UINT32_MAX, false);
  std::vector<Field> out;
  for (unsigned f = 1; f <= walk.NFields(); ++f)
    out.push_back({walk.field_info(f)->type, walk.field_info(f)->offset, walk.field_info(f)->size});
  return out;
}

int compare_key(const State& s, const Drv_KCB* key, const Image& a, const Image& b) {
  for (std::uint8_t c = 0; key != nullptr && c < key->component_count; ++c) {
    const Field& f = s.fields[key->components[c].field - 1u];
    const auto* x = reinterpret_cast<const char*>(a.data() + f.offset);
    const auto* y = reinterpret_cast<const char*>(b.data() + f.offset);
    std::int32_t order = 0, u = 0, v = 0;
    if (f.type != DRV_TYPE_STRING) {
      std::memcpy(&u, x, 4);
      std::memcpy(&v, y, 4);
      order = (u > v) - (u < v);
    } else {
      order = (key->flags & DRV_KEY_NOCASE) ? Kes$isficompare(x, y, f.size)
                                            : Kes$comparestr(x, f.size, y, f.size);
    }
    if (order != 0) return (key->components[c].flags & DRV_COMPONENT_DESCENDING) ? -order : order;
  }
  return 0;
}

// Whether a key holds the record: an OPT key not when its components are all blank or zero.
bool in_key(const State& s, const Drv_KCB* key, const Image& r) {
  if (key == nullptr || (key->flags & DRV_KEY_OPT) == 0) return true;
  for (std::uint8_t c = 0; c < key->component_count; ++c) {
    const Field& f = s.fields[key->components[c].field - 1u];
    const std::uint8_t blank = f.type == DRV_TYPE_STRING ? ' ' : 0;
    if (std::any_of(r.begin() + f.offset, r.begin() + f.offset + f.size,
                    [&](std::uint8_t b) { return b != blank; }))
      return true;
  }
  return false;
}

std::vector<std::int64_t> in_order(const State& s, const Drv_KCB* key) {
  std::vector<std::int64_t> out;
  for (const auto& [position, record] : *s.table) {
    if (in_key(s, key, record)) out.push_back(position);
  }
  std::stable_sort(out.begin(), out.end(), [&](std::int64_t a, std::int64_t b) {
    return compare_key(s, key, s.table->at(a), s.table->at(b)) < 0;
  });
  return out;
}

// The next record of the sequence in a direction, 0 at the end.
std::int64_t next_of(State& s, bool backward, bool consume) {
  std::vector<std::int64_t> order = in_order(s, s.key);
  if (backward) std::reverse(order.begin(), order.end());
  for (std::int64_t p : order) {
    if (s.read || s.start != 0) {
      int c = compare_key(s, s.key, s.table->at(p), s.from);
      if (c == 0 && (s.read || s.start == 2)) c = (p > s.from_position) - (p < s.from_position);
      if (c * (backward ? -1 : 1) < 0 || (c == 0 && s.read)) continue;
    }
    if (consume) s.read = true, s.from = s.table->at(p), s.from_position = p;
    return p;
  }
  return 0;
}

// 40 when the record would repeat a unique key's values.
std::int32_t duplicate_error(const State& s, Drv_FCB* file, const Image& r, std::int64_t self) {
  for (std::size_t k = 0; k < file->key_count; ++k) {
    const Drv_KCB* key = file->keys[k];
    if ((key->flags & DRV_KEY_DUP) != 0 || !in_key(s, key, r)) continue;
    for (const auto& [position, other] : *s.table) {
      if (position != self && in_key(s, key, other) && compare_key(s, key, r, other) == 0)
        return 40;
    }
  }
  return 0;
}

std::int32_t run(std::int32_t op, Drv_FCB* file, const Drv_Args& a, std::int32_t& result) {
  auto* s = static_cast<State*>(file->state);
  auto* record = static_cast<std::uint8_t*>(file->record);
  const Image buffer(record, record + file->record_size);
  const std::string name = file->name;
  const auto give = [&](std::int64_t p) {
    std::memcpy(record, s->table->at(p).data(), file->record_size);
    s->current = p;
    return 0;
  };
  if (op == DRV_CREATE || op == DRV_REMOVE) {
    const bool existed = tables.erase(name) > 0;
    if (op == DRV_CREATE) tables[name];
    return op == DRV_REMOVE && !existed ? 2 : 0;
  }
  if (op == DRV_OPEN) {
    if (tables.count(name) == 0 && (file->attributes & DRV_ATTR_CREATE) == 0) return 2;
    file->state = s = new State{};
    s->table = &tables[name];
    s->fields = read_fields(file->record_type);
    if ((a.values[0] & 0x0F) != 0) file->state_word |= DRV_STATE_WRITE;
    if ((a.values[0] & 0xF0) != DRV_DENY_NONE) file->state_word |= DRV_STATE_EXCLUSIVE;
    Kes$activate_drv(file, a.values[0], 1, 1, 1, 0, 0);
    return 0;
  }
  if (op == DRV_CLOSE || op == DRV_DESTROY) {
    delete s;
    file->state = nullptr;
    Kes$deactivate_drv(file);
    return 0;
  }
  Table& t = *s->table;
  switch (op) {
    case DRV_ADD:
      if (std::int32_t error = duplicate_error(*s, file, buffer, 0)) return error;
      t[s->current = t.empty() ? 1 : t.rbegin()->first + 1] = buffer;
      return 0;
    case DRV_PUT:
      if (std::int32_t error = duplicate_error(*s, file, buffer, s->current)) return error;
      t[s->current] = buffer;
      if (s->read && s->from_position == s->current) s->from = buffer;
      return 0;
    case DRV_DELETE: t.erase(s->current); return 0;
    case DRV_GETFILEKEY:
      for (std::int64_t p : in_order(*s, a.key)) {
        if (compare_key(*s, a.key, t[p], buffer) == 0) return give(p);
      }
      return 35;
    case DRV_GETFILEPTR: return t.count(a.values[0]) == 0 ? 35 : give(a.values[0]);
    case DRV_SETFILE:
    case DRV_SETKEY:
    case DRV_SETKEYKEY:
    case DRV_SETFILEPTR:
    case DRV_SETKEYKEYPTR:
      s->key = op == DRV_SETFILE || op == DRV_SETFILEPTR ? nullptr : a.key;
      s->start = op == DRV_SETKEYKEY ? 1 : op == DRV_SETFILEPTR || op == DRV_SETKEYKEYPTR ? 2 : 0;
      s->read = false;
      s->from = buffer;
      s->from_position = a.values[0];
      return 0;
    case DRV_NEXT:
    case DRV_PREVIOUS: {
      const std::int64_t p = next_of(*s, op == DRV_PREVIOUS, true);
      return p == 0 ? 33 : give(p);
    }
    case DRV_SKIP:
      for (std::int32_t i = 0; i < std::abs(a.values[0]); ++i)
        next_of(*s, a.values[0] < 0, true);
      return 0;
    case DRV_BOF:
    case DRV_EOF: result = next_of(*s, op == DRV_BOF, false) == 0; return 0;
    case DRV_RECORDSFILE:
    case DRV_RECORDSKEY: result = static_cast<std::int32_t>(in_order(*s, a.key).size()); return 0;
    case DRV_POINTERFILE: result = static_cast<std::int32_t>(s->current); return 0;
    case DRV_LOGOUT: s->saved = t; return 0;
    case DRV_COMMIT:
    case DRV_ROLLBACK:
      if (op == DRV_ROLLBACK) t = *s->saved;
      s->saved.reset();
      return 0;
    default: return 80;
  }
}

}  // namespace

std::int32_t reference_driver(std::int32_t operation, Drv_FCB* file,
                              const Drv_Args* arguments) noexcept {
  std::int32_t result = 0;
  std::int32_t error =
      operation == DRV_DESTROY ? 0 : _drv_check_state(file, operation, arguments, nullptr, 0);
  if (error == 0) error = run(operation, file, *arguments, result);
  if (error > 0) drv_post_error(file, error, nullptr, nullptr);
  _drv_update_state(file, operation, arguments, std::max(error, 0));
  return result;
}

}  // namespace kes::test
