// Field comparisons, sort prefixes and key hashes of queue comparators.
#include "data/queues/comparator.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <string_view>
#include <utility>

#include <kestrel/dates.h>
#include <kestrel/types.h>
#include <kestrel/ufo.h>

#include "numeric/decimal/decimal_arith.h"
#include "numeric/decimal/decimal_convert.h"
#include "numeric/locale/collation_compare.h"
#include "numeric/locale/collation_tables.h"
#include "numeric/maths/real_compare.h"
#include "runtime/values/ufo_factory.h"

namespace kes::data {
namespace {

namespace num = kes::numeric;

template <typename T>
T read(const std::byte* bytes) noexcept {
  T value;
  std::memcpy(&value, bytes, sizeof value);
  return value;
}

template <typename T>
int order(T a, T b) noexcept {
  return (a > b) - (a < b);
}

int order_reals(double a, double b) noexcept {
  if (!num::real_distinct(a, b)) return 0;
  return a > b ? 1 : -1;
}

std::int32_t serial_day(const std::byte* bytes) noexcept {
  return Kes$loadbtdate(read<std::uint32_t>(bytes));
}
std::int32_t serial_time(const std::byte* bytes) noexcept {
  return Kes$loadbttime(read<std::uint32_t>(bytes));
}

// The text a string field holds: STRING and GROUP their whole size, CSTRING up to its terminator,
// PSTRING as many bytes as its length byte counts (cut to the field).
std::string_view text_of(const std::byte* bytes, std::uint8_t type, std::uint32_t size) noexcept {
  const auto* chars = reinterpret_cast<const char*>(bytes);
  if (type == KesTypeCstring) {
    const void* end = std::memchr(chars, 0, size);
    return {chars, end == nullptr
                       ? size
                       : static_cast<std::size_t>(static_cast<const char*>(end) - chars)};
  }
  if (type == KesTypePstring) {
    if (size == 0) return {};
    const std::size_t length = std::to_integer<std::uint8_t>(bytes[0]);
    return {chars + 1, std::min<std::size_t>(length, size - 1)};
  }
  return {chars, size};
}

// Most characters a text field can hold.
std::uint32_t text_capacity(std::uint8_t type, std::uint32_t size) noexcept {
  return type == KesTypePstring ? (size == 0 ? 0 : size - 1) : size;
}

std::uint32_t bytes_hash(const void* bytes, std::size_t length) noexcept {
  std::uint32_t h = 0x5AA5A55Au;
  const auto* p = static_cast<const std::uint8_t*>(bytes);
  for (std::size_t i = 0; i < length; ++i)
    h = (h ^ p[i]) * 0x01000193u;
  return h;
}

// Hash of a text under the collation: its sort form, padded and then stripped of the weight of
// a space, so that texts the collation finds equal hash alike.
std::uint32_t text_hash(std::string_view text) noexcept {
  constexpr std::size_t kLimit = 256;
  while (!text.empty() && text.back() == ' ')
    text.remove_suffix(1);
  if (text.size() > kLimit) return 0;  // long texts add nothing
  char form[2 * kLimit + 2];
  std::memset(form, ' ', sizeof form);
  std::memcpy(form, text.data(), text.size());
  const std::size_t used = 2 * text.size() + 2;
  num::to_sort_form({form, used}, num::CodePage::Ansi, false);
  char space[1] = {' '};
  num::to_sort_form(space, num::CodePage::Ansi, false);
  std::size_t length = used;
  while (length > 0 && form[length - 1] == space[0])
    --length;
  return bytes_hash(form, length);
}

std::uint32_t field_hash(const std::byte* bytes, const KeyField& field) noexcept {
  std::uint32_t h = 0;
  for (std::uint32_t element = 0; element < field.elements; ++element) {
    const std::byte* value = bytes + std::size_t{element} * field.size;
    std::uint32_t part = 0;
    switch (field.rule) {
      case FieldRule::Byte:
      case FieldRule::Short:
      case FieldRule::Ushort:
      case FieldRule::Long:
      case FieldRule::Ulong: part = bytes_hash(value, field.size); break;
      case FieldRule::Date: part = static_cast<std::uint32_t>(serial_day(value)); break;
      case FieldRule::Time: part = static_cast<std::uint32_t>(serial_time(value)); break;
      case FieldRule::Text: part = text_hash(text_of(value, field.type, field.size)); break;
      default: break;
    }
    h = std::rotr(h, 1) ^ part;
  }
  return h;
}

// The bytes of a whole number, date or time that sort as its value: big-endian, signed values
// with their sign bit flipped. 0 for the other rules.
std::uint8_t ordered_width(FieldRule rule) noexcept {
  switch (rule) {
    case FieldRule::Byte: return 1;
    case FieldRule::Short:
    case FieldRule::Ushort: return 2;
    case FieldRule::Long:
    case FieldRule::Ulong:
    case FieldRule::Date:
    case FieldRule::Time: return 4;
    default: return 0;
  }
}

std::uint64_t ordered_value(const std::byte* bytes, FieldRule rule) noexcept {
  switch (rule) {
    case FieldRule::Byte: return read<std::uint8_t>(bytes);
    case FieldRule::Short: return read<std::uint16_t>(bytes) ^ 0x8000u;
    case FieldRule::Ushort: return read<std::uint16_t>(bytes);
    case FieldRule::Long: return read<std::uint32_t>(bytes) ^ 0x80000000u;
    case FieldRule::Ulong: return read<std::uint32_t>(bytes);
    case FieldRule::Date: return static_cast<std::uint32_t>(serial_day(bytes)) ^ 0x80000000u;
    case FieldRule::Time: return static_cast<std::uint32_t>(serial_time(bytes)) ^ 0x80000000u;
    default: return 0;
  }
}

// The first `width` collation weights of the text, padded with the weight of a space.
std::uint64_t text_weights(std::string_view text, std::uint32_t width) noexcept {
  const num::CollationTables& tables = num::collation_tables();
  std::uint64_t value = 0;
  if (tables.digraphs[0][0] == 0) {
    for (std::uint32_t i = 0; i < width; ++i) {
      const auto c = static_cast<std::uint8_t>(i < text.size() ? text[i] : ' ');
      value = value << 8 | tables.ansi_weight[c];
    }
    return value;
  }
  char form[8];
  std::memset(form, ' ', sizeof form);
  std::memcpy(form, text.data(), std::min<std::size_t>(text.size(), width));
  num::to_sort_form({form, width}, num::CodePage::Ansi, false);
  for (std::uint32_t i = 0; i < width; ++i)
    value = value << 8 | static_cast<std::uint8_t>(form[i]);
  return value;
}

bool is_field_list(ComparatorKind kind) noexcept {
  return kind == ComparatorKind::Fields || kind == ComparatorKind::HashedFields;
}

}  // namespace

bool KeyPlan::same_key(const KeyPlan& other) const noexcept {
  const bool fields = is_field_list(kind);
  if (fields != is_field_list(other.kind)) return false;
  if (fields) {
    return count == other.count &&
           std::equal(numbers.begin(), numbers.begin() + count, other.numbers.begin());
  }
  return kind == other.kind && procedure == other.procedure;
}

FieldRule field_rule(std::uint8_t type) noexcept {
  switch (type) {
    case KesTypeByte: return FieldRule::Byte;
    case KesTypeShort: return FieldRule::Short;
    case KesTypeUshort: return FieldRule::Ushort;
    case KesTypeDate: return FieldRule::Date;
    case KesTypeTime: return FieldRule::Time;
    case KesTypeLong: return FieldRule::Long;
    case KesTypeUlong: return FieldRule::Ulong;
    case KesTypeSreal: return FieldRule::Sreal;
    case KesTypeReal: return FieldRule::Real;
    case KesTypeDecimal: return FieldRule::Decimal;
    case KesTypePdecimal: return FieldRule::Pdecimal;
    case KesTypeString:
    case KesTypeCstring:
    case KesTypePstring:
    case KesTypeGroup: return FieldRule::Text;
    default: break;
  }
  return runtime::has_ufo_class(type) ? FieldRule::Descriptor : FieldRule::Bytes;
}

int compare_field(const std::byte* a, const std::byte* b, FieldRule rule, std::uint32_t size,
                  std::uint8_t places) noexcept {
  if (ordered_width(rule) != 0) return order(ordered_value(a, rule), ordered_value(b, rule));
  switch (rule) {
    case FieldRule::Sreal: return order_reals(read<float>(a), read<float>(b));
    case FieldRule::Real: return order_reals(read<double>(a), read<double>(b));
    case FieldRule::Decimal:
    case FieldRule::Pdecimal: {
      const auto kind =
          rule == FieldRule::Decimal ? num::PackedKind::Decimal : num::PackedKind::Pdecimal;
      num::DecimalEntry left;
      num::DecimalEntry right;
      num::decimal_load_packed(left, reinterpret_cast<const std::uint8_t*>(a), kind,
                               static_cast<int>(size), places);
      num::decimal_load_packed(right, reinterpret_cast<const std::uint8_t*>(b), kind,
                               static_cast<int>(size), places);
      return num::decimal_compare(left, right);
    }
    default: return 0;
  }
}

Comparator::~Comparator() { release(); }

Comparator::Comparator(Comparator&& other) noexcept { *this = std::move(other); }

Comparator& Comparator::operator=(Comparator&& other) noexcept {
  if (this == &other) return *this;
  release();
  key_ = other.key_;
  fields_ = other.fields_;
  descriptors_ = std::exchange(other.descriptors_, {});
  width_ = other.width_;
  record_size_ = other.record_size_;
  type_descriptor_ = other.type_descriptor_;
  pieces_ = other.pieces_;
  piece_count_ = other.piece_count_;
  prefix_exact_ = other.prefix_exact_;
  return *this;
}

void Comparator::release() noexcept {
  for (Ufo*& descriptor : descriptors_)
    Ufo::destroy(std::exchange(descriptor, nullptr));
}

bool Comparator::build(const KeyPlan& key, const RecordLayout& layout, std::uint32_t record_size,
                       const void* type_descriptor) noexcept {
  release();
  key_ = key;
  record_size_ = record_size;
  type_descriptor_ = type_descriptor;
  width_ = 0;
  piece_count_ = 0;
  prefix_exact_ = false;
  if (!is_field_list(key_.kind)) return true;
  for (std::uint32_t i = 0; i < key_.count; ++i) {
    const std::int32_t number = key_.numbers[i];
    const std::uint32_t magnitude =
        number < 0 ? static_cast<std::uint32_t>(-static_cast<std::int64_t>(number))
                   : static_cast<std::uint32_t>(number);
    const FieldInfo& info = layout.fields[magnitude - 1];
    // A field that would reach past the record is cut to it.
    std::uint32_t elements = info.elements == 0 ? 1 : info.elements;
    std::uint32_t size = info.size;
    if (info.offset >= record_size) {
      size = 0;
    } else if (std::uint64_t{size} * elements > record_size - info.offset) {
      elements = 1;
      size = std::min(size, record_size - info.offset);
    }
    const FieldRule rule = field_rule(info.type);
    fields_[i] = KeyField{info.offset, size, elements, info.type, info.places, rule, number < 0};
    width_ += size * elements;
    if (rule == FieldRule::Descriptor && size != 0) {
      for (std::uint32_t side = 0; side < 2; ++side) {
        Ufo* made = runtime::make_ufo(nullptr, info.type, size, info.places, false);
        descriptors_[2 * i + side] = made;
        if (dynamic_cast<VarUfo*>(made) == nullptr) {
          release();
          key_ = KeyPlan{};
          return false;
        }
      }
    }
  }
  // The prefix: whole elements of ordered fields while they fit, then the top bytes of one more
  // ordered element or the first weights of a text; the key's end makes it exact.
  std::uint32_t used = 0;
  bool whole = true;
  for (std::uint32_t i = 0; i < key_.count && whole; ++i) {
    const KeyField& field = fields_[i];
    for (std::uint32_t element = 0; element < field.elements && whole; ++element) {
      const std::uint32_t offset = field.offset + element * field.size;
      std::uint32_t width = ordered_width(field.rule);
      if (field.rule == FieldRule::Text) {
        const std::uint32_t capacity = text_capacity(field.type, field.size);
        if (capacity == 0) continue;  // always equal
        width = std::min(capacity, 8 - used);
        whole = false;  // the collation may find texts equal that differ in their weights' tail
      } else if (width == 0 || field.size < width) {
        whole = false;
        break;
      } else if (width > 8 - used) {
        width = 8 - used;
        whole = false;
      }
      pieces_[piece_count_++] = PrefixPiece{
          offset,          field.size, field.type, field.rule, static_cast<std::uint8_t>(width),
          field.descending};
      used += width;
      if (used == 8 && (element + 1 < field.elements || i + 1 < key_.count)) whole = false;
    }
  }
  prefix_exact_ = whole && piece_count_ != 0;
  return true;
}

void Comparator::set_hashed(bool hashed) noexcept {
  if (is_field_list(key_.kind)) {
    key_.kind = hashed ? ComparatorKind::HashedFields : ComparatorKind::Fields;
  }
}

int Comparator::compare_through_descriptors(std::uint32_t field, const std::byte* value,
                                            const std::byte* entry) const noexcept {
  auto* left = static_cast<VarUfo*>(descriptors_[2 * field]);
  auto* right = static_cast<VarUfo*>(descriptors_[2 * field + 1]);
  left->SetAddress(const_cast<char*>(reinterpret_cast<const char*>(value)));
  right->SetAddress(const_cast<char*>(reinterpret_cast<const char*>(entry)));
  const int result = left->Distincts(*right);
  return (result > 0) - (result < 0);
}

int Comparator::compare(const std::byte* value, const std::byte* entry) const noexcept {
  switch (key_.kind) {
    case ComparatorKind::Natural: return std::memcmp(value, entry, record_size_) == 0 ? 0 : 1;
    case ComparatorKind::Procedure: {
      const std::int32_t result = key_.procedure(value, record_size_, type_descriptor_, entry,
                                                 record_size_, type_descriptor_);
      return (result > 0) - (result < 0);
    }
    default: break;
  }
  for (std::uint32_t i = 0; i < key_.count; ++i) {
    const KeyField& field = fields_[i];
    if (field.size == 0) continue;
    for (std::uint32_t element = 0; element < field.elements; ++element) {
      const std::size_t at = field.offset + std::size_t{element} * field.size;
      int result = 0;
      if (field.rule == FieldRule::Text) {
        result = num::compare_padded(text_of(value + at, field.type, field.size),
                                     text_of(entry + at, field.type, field.size));
        result = (result > 0) - (result < 0);
      } else if (field.rule == FieldRule::Descriptor) {
        result = compare_through_descriptors(i, value + at, entry + at);
      } else if (field.rule == FieldRule::Bytes) {
        result = std::memcmp(value + at, entry + at, field.size);
        result = (result > 0) - (result < 0);
      } else {
        result = compare_field(value + at, entry + at, field.rule, field.size, field.places);
      }
      if (result != 0) return field.descending ? -result : result;
    }
  }
  return 0;
}

std::uint64_t Comparator::prefix(const std::byte* record) const noexcept {
  std::uint64_t prefix = 0;
  std::uint32_t used = 0;
  for (std::uint32_t i = 0; i < piece_count_; ++i) {
    const PrefixPiece& piece = pieces_[i];
    const std::byte* bytes = record + piece.offset;
    std::uint64_t value = 0;
    if (piece.rule == FieldRule::Text) {
      value = text_weights(text_of(bytes, piece.type, piece.size), piece.width);
    } else {
      value = ordered_value(bytes, piece.rule) >> 8 * (ordered_width(piece.rule) - piece.width);
    }
    const std::uint64_t mask =
        piece.width == 8 ? ~std::uint64_t{0} : (std::uint64_t{1} << 8 * piece.width) - 1;
    if (piece.descending) value = ~value & mask;
    prefix = piece.width == 8 ? value : prefix << 8 * piece.width | value;
    used += piece.width;
  }
  return used == 0 || used == 8 ? prefix : prefix << 8 * (8 - used);
}

std::uint32_t Comparator::hash(const std::byte* record) const noexcept {
  std::uint32_t h = 0;
  for (std::uint32_t i = 0; i < key_.count; ++i) {
    h = std::rotr(h, 1) ^ field_hash(record + fields_[i].offset, fields_[i]);
  }
  return h;
}

}  // namespace kes::data
