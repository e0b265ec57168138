// Conversions between the record's storage formats and SQLite's values. DECIMAL and PDECIMAL
// values travel as exact decimal texts through the library's decimal stack; BFLOAT values as
// doubles through the library's storage conversions.
#include "files/sqlite/codec.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

#include <kestrel/decimal.h>
#include <kestrel/storage.h>
#include <kestrel/string_stack.h>

namespace kes::sqlite {
namespace {

template <typename T>
T load(const unsigned char* at) {
  T value;
  std::memcpy(&value, at, sizeof value);
  return value;
}

template <typename T>
void store(unsigned char* at, T value) {
  std::memcpy(at, &value, sizeof value);
}

// The length of `size` bytes without the trailing bytes equal to `pad`.
std::uint32_t clipped(const unsigned char* at, std::uint32_t size, unsigned char pad) {
  while (size > 0 && at[size - 1] == pad)
    --size;
  return size;
}

// Copies up to `size` bytes of `data` and pads the rest.
void copy_padded(unsigned char* at, std::uint32_t size, const void* data, int bytes,
                 unsigned char pad) {
  const std::uint32_t n = bytes <= 0 ? 0 : std::min(static_cast<std::uint32_t>(bytes), size);
  if (n > 0) std::memcpy(at, data, n);
  std::memset(at + n, pad, size - n);
}

// Largest text of a DECIMAL: 31 digits, a sign, a point and a terminator, with room to spare.
constexpr std::uint32_t kDecimalText = 72;

}  // namespace

int bind_column(sqlite3_stmt* statement, int parameter, const Column& column,
                const unsigned char* image, const BlobContents& blobs) {
  const unsigned char* at = image + column.offset;
  const auto text = [&](std::uint32_t length) {
    return sqlite3_bind_text(statement, parameter, reinterpret_cast<const char*>(at),
                             static_cast<int>(length), SQLITE_STATIC);
  };
  switch (column.codec) {
    case Codec::Byte: return sqlite3_bind_int(statement, parameter, at[0]);
    case Codec::Short: return sqlite3_bind_int(statement, parameter, load<std::int16_t>(at));
    case Codec::Ushort: return sqlite3_bind_int(statement, parameter, load<std::uint16_t>(at));
    case Codec::Long: return sqlite3_bind_int(statement, parameter, load<std::int32_t>(at));
    case Codec::Ulong: return sqlite3_bind_int64(statement, parameter, load<std::uint32_t>(at));
    case Codec::Sreal: return sqlite3_bind_double(statement, parameter, load<float>(at));
    case Codec::Real: return sqlite3_bind_double(statement, parameter, load<double>(at));
    case Codec::Bfloat4: return sqlite3_bind_double(statement, parameter, Kes$bloadfloat4(at));
    case Codec::Bfloat8: return sqlite3_bind_double(statement, parameter, Kes$bloadfloat(at));
    case Codec::Decimal:
    case Codec::Pdecimal: {
      const auto size = static_cast<std::uint8_t>(column.size);
      if (column.codec == Codec::Decimal) {
        Kes$DPushDec(at, size, column.places);
      } else {
        Kes$DPushPdec(at, size, column.places);
      }
      Kes$DStack2Stack();
      char digits[kDecimalText];
      Kes$PopCString(digits, kDecimalText);
      return sqlite3_bind_text(statement, parameter, digits, -1, SQLITE_TRANSIENT);
    }
    case Codec::String: return text(clipped(at, column.size, ' '));
    case Codec::Cstring: {
      const void* end = std::memchr(at, 0, column.size);
      return text(end == nullptr
                      ? column.size
                      : static_cast<std::uint32_t>(static_cast<const unsigned char*>(end) - at));
    }
    case Codec::Pstring:
      return sqlite3_bind_text(statement, parameter, reinterpret_cast<const char*>(at + 1),
                               static_cast<int>(std::min<std::uint32_t>(at[0], column.size - 1)),
                               SQLITE_STATIC);
    case Codec::Raw:
      return sqlite3_bind_blob(statement, parameter, at, static_cast<int>(column.size),
                               SQLITE_STATIC);
    case Codec::Memo:
    case Codec::MemoBinary: {
      const std::uint32_t n = clipped(at, column.size, column.codec == Codec::Memo ? ' ' : 0);
      return sqlite3_bind_blob(statement, parameter, at, static_cast<int>(n), SQLITE_STATIC);
    }
    case Codec::Blob: {
      const std::string& content = blobs[column.offset];
      return sqlite3_bind_blob64(statement, parameter, content.data(), content.size(),
                                 SQLITE_STATIC);
    }
  }
  return SQLITE_MISUSE;
}

void load_column(sqlite3_stmt* statement, int result, const Column& column, unsigned char* image,
                 BlobContents& blobs) {
  unsigned char* at = image + column.offset;
  const auto whole = [&] { return sqlite3_column_int64(statement, result); };
  switch (column.codec) {
    case Codec::Byte: at[0] = static_cast<unsigned char>(whole()); return;
    case Codec::Short: store(at, static_cast<std::int16_t>(whole())); return;
    case Codec::Ushort: store(at, static_cast<std::uint16_t>(whole())); return;
    case Codec::Long: store(at, static_cast<std::int32_t>(whole())); return;
    case Codec::Ulong: store(at, static_cast<std::uint32_t>(whole())); return;
    case Codec::Sreal:
      store(at, static_cast<float>(sqlite3_column_double(statement, result)));
      return;
    case Codec::Real: store(at, sqlite3_column_double(statement, result)); return;
    case Codec::Bfloat4: Kes$bstorefloat4(at, sqlite3_column_double(statement, result)); return;
    case Codec::Bfloat8: Kes$bstorefloat(at, sqlite3_column_double(statement, result)); return;
    case Codec::Decimal:
    case Codec::Pdecimal: {
      const auto* digits = reinterpret_cast<const char*>(sqlite3_column_text(statement, result));
      Kes$DPushCString(digits == nullptr ? "0" : digits);
      const auto size = static_cast<std::uint8_t>(column.size);
      if (column.codec == Codec::Decimal) {
        Kes$DPopDec(at, size, column.places);
      } else {
        Kes$DPopPdec(at, size, column.places);
      }
      return;
    }
    default: break;
  }
  const void* data = column.codec == Codec::Raw || column.codec == Codec::Memo ||
                             column.codec == Codec::MemoBinary || column.codec == Codec::Blob
                         ? sqlite3_column_blob(statement, result)
                         : sqlite3_column_text(statement, result);
  const int bytes = sqlite3_column_bytes(statement, result);
  switch (column.codec) {
    case Codec::String:
    case Codec::Memo: copy_padded(at, column.size, data, bytes, ' '); return;
    case Codec::Cstring:
      copy_padded(at, column.size - 1, data, bytes, 0);
      at[column.size - 1] = 0;
      return;
    case Codec::Pstring: {
      const std::uint32_t room = std::min<std::uint32_t>(column.size - 1, 255);
      const std::uint32_t n = std::min(static_cast<std::uint32_t>(bytes), room);
      at[0] = static_cast<unsigned char>(n);
      copy_padded(at + 1, column.size - 1, data, static_cast<int>(n), 0);
      return;
    }
    case Codec::Blob:
      if (data == nullptr) {
        blobs[column.offset].clear();
      } else {
        blobs[column.offset].assign(static_cast<const char*>(data),
                                    static_cast<std::size_t>(bytes));
      }
      return;
    default: copy_padded(at, column.size, data, bytes, 0); return;
  }
}

}  // namespace kes::sqlite
