// Field comparisons and key hashes of queue comparators.
#include "data/queues/comparator.h"

#include <bit>
#include <cstring>
#include <string_view>

#include "numeric/decimal/decimal_arith.h"
#include "numeric/decimal/decimal_convert.h"
#include "numeric/locale/collation_compare.h"
#include "numeric/maths/real_compare.h"

namespace kes::data {
namespace {

namespace num = kes::numeric;

enum TypeCode : std::uint8_t {
  kByte = 1,
  kShort = 2,
  kUshort = 3,
  kDate = 4,
  kTime = 5,
  kLong = 6,
  kUlong = 7,
  kSreal = 8,
  kReal = 9,
  kDecimal = 10,
  kPdecimal = 11,
  kString = 18,
  kCstring = 19,
  kPstring = 20,
  kGroup = 22,
};

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

// The text a string field holds: STRING and GROUP their whole size, CSTRING up to its terminator,
// PSTRING as many bytes as its length byte counts (cut to the field).
std::string_view text_of(const std::byte* bytes, std::uint8_t type, std::uint32_t size) noexcept {
  const auto* chars = reinterpret_cast<const char*>(bytes);
  if (type == kCstring) {
    const void* end = std::memchr(chars, 0, size);
    return {chars, end == nullptr
                       ? size
                       : static_cast<std::size_t>(static_cast<const char*>(end) - chars)};
  }
  if (type == kPstring) {
    if (size == 0) return {};
    const std::size_t length = std::to_integer<std::uint8_t>(bytes[0]);
    return {chars + 1, std::min<std::size_t>(length, size - 1)};
  }
  return {chars, size};
}

bool is_text(std::uint8_t type) noexcept {
  return type == kString || type == kCstring || type == kPstring || type == kGroup;
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
    switch (field.type) {
      case kByte:
      case kShort:
      case kUshort:
      case kDate:
      case kTime:
      case kLong:
      case kUlong: part = bytes_hash(value, field.size); break;
      default:
        if (is_text(field.type)) part = text_hash(text_of(value, field.type, field.size));
        break;
    }
    h = std::rotr(h, 1) ^ part;
  }
  return h;
}

}  // namespace

bool KeySpec::same_key(const KeySpec& other) const noexcept {
  const bool fields = kind == ComparatorKind::Fields || kind == ComparatorKind::HashedFields;
  const bool other_fields =
      other.kind == ComparatorKind::Fields || other.kind == ComparatorKind::HashedFields;
  if (fields != other_fields) return false;
  if (fields) {
    return count == other.count &&
           std::equal(numbers.begin(), numbers.begin() + count, other.numbers.begin());
  }
  return kind == other.kind && procedure == other.procedure;
}

int compare_field(const std::byte* a, const std::byte* b, std::uint8_t type, std::uint32_t size,
                  std::uint8_t places) noexcept {
  switch (type) {
    case kByte: return order(read<std::uint8_t>(a), read<std::uint8_t>(b));
    case kShort: return order(read<std::int16_t>(a), read<std::int16_t>(b));
    case kUshort: return order(read<std::uint16_t>(a), read<std::uint16_t>(b));
    case kDate:
    case kTime:
    case kLong: return order(read<std::int32_t>(a), read<std::int32_t>(b));
    case kUlong: return order(read<std::uint32_t>(a), read<std::uint32_t>(b));
    case kSreal: return order_reals(read<float>(a), read<float>(b));
    case kReal: return order_reals(read<double>(a), read<double>(b));
    case kDecimal:
    case kPdecimal: {
      const auto kind = type == kDecimal ? num::PackedKind::Decimal : num::PackedKind::Pdecimal;
      num::DecimalEntry left;
      num::DecimalEntry right;
      num::decimal_load_packed(left, reinterpret_cast<const std::uint8_t*>(a), kind,
                               static_cast<int>(size), places);
      num::decimal_load_packed(right, reinterpret_cast<const std::uint8_t*>(b), kind,
                               static_cast<int>(size), places);
      return num::decimal_compare(left, right);
    }
    default: break;
  }
  if (is_text(type)) {
    const int result = num::compare_padded(text_of(a, type, size), text_of(b, type, size));
    return (result > 0) - (result < 0);
  }
  const int result = std::memcmp(a, b, size);
  return (result > 0) - (result < 0);
}

Comparator::Comparator(const KeySpec& key, const RecordLayout& layout, std::uint32_t record_size,
                       const void* type_descriptor) noexcept
    : key_(key), record_size_(record_size), type_descriptor_(type_descriptor) {
  if (key_.kind != ComparatorKind::Fields && key_.kind != ComparatorKind::HashedFields) return;
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
    fields_[i] = KeyField{info.offset, size, elements, info.type, info.places, number < 0};
    width_ += size * elements;
  }
}

void Comparator::set_hashed(bool hashed) noexcept {
  if (key_.kind == ComparatorKind::Fields || key_.kind == ComparatorKind::HashedFields) {
    key_.kind = hashed ? ComparatorKind::HashedFields : ComparatorKind::Fields;
  }
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
    for (std::uint32_t element = 0; element < field.elements; ++element) {
      const std::size_t at = field.offset + std::size_t{element} * field.size;
      const int result =
          compare_field(value + at, entry + at, field.type, field.size, field.places);
      if (result != 0) return field.descending ? -result : result;
    }
  }
  return 0;
}

std::uint32_t Comparator::hash(const std::byte* record) const noexcept {
  std::uint32_t h = 0;
  for (std::uint32_t i = 0; i < key_.count; ++i) {
    h = std::rotr(h, 1) ^ field_hash(record + fields_[i].offset, fields_[i]);
  }
  return h;
}

}  // namespace kes::data
