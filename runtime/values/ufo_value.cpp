// ValueUfo, StrValueUfo and ComputedUfo: values with no variable behind them.
#include <cstring>

#include <kestrel/decimal.h>
#include <kestrel/maths.h>
#include <kestrel/ole.h>
#include <kestrel/string_builtins.h>
#include <kestrel/string_stack.h>
#include <kestrel/ufo.h>

#include "platform/core/heap.h"
#include "runtime/ole/bstr.h"
#include "runtime/ole/variant.h"
#include "runtime/stack/string_stack.h"
#include "runtime/values/clear.h"
#include "runtime/values/ufo_factory.h"
#include "runtime/values/ufo_local.h"

namespace platform = kes::platform;
namespace rt = kes::runtime;

namespace {
constexpr uint8_t kDecimalSize = 32;
constexpr uint8_t kDecimalPlaces = 31;
}  // namespace

// ---- ValueUfo

bool ValueUfo::hold_text(const char* text, uint32_t length) noexcept {
  Free();
  auto* copy = static_cast<char*>(platform::heap_allocate(length == 0 ? 1 : length));
  if (copy == nullptr) return false;
  if (length != 0) std::memcpy(copy, text, length);
  value_.text = {copy, length};
  type_ = KesTypeString;
  return true;
}

void ValueUfo::Assign(KesUfoLong value) noexcept {
  Free();
  value_.long_value = value;
}
void ValueUfo::Assign(double value) noexcept {
  Free();
  value_.real_value = value;
  type_ = KesTypeReal;
}
void ValueUfo::Assign(const Ufo& source) noexcept {
  switch (source.BaseType()) {
    case KesTypeLong: Assign(source.Long()); return;
    case KesTypeReal: Assign(source.Real()); return;
    case KesTypeDecimal:
      source.DPush();
      DPop();
      return;
    default:
      source.Push();
      Pop();
      return;
  }
}
int ValueUfo::Distincts(const Ufo& other) const noexcept {
  return rt::compare_values(*this, other);
}
int ValueUfo::Distincts(KesUfoLong value) const noexcept {
  if (type_ == KesTypeLong) {
    return value_.long_value < value ? -1 : value_.long_value > value ? 1 : 0;
  }
  if (type_ == KesTypeDecimal) {
    DPush();
    Kes$DPushLong(value);
    return Kes$DecDistinctR();
  }
  return Ufo::Distincts(static_cast<double>(value));
}
unsigned char ValueUfo::Type() const noexcept { return type_; }

// LONG: 4 bytes, REAL: 8, DECIMAL: 32, every text kind as STRING: a 32-bit length and the bytes.
void ValueUfo::ToMem(vmem& stream) const noexcept {
  switch (type_) {
    case KesTypeLong:
      stream.put_byte(KesTypeLong);
      stream.put_u32(static_cast<uint32_t>(value_.long_value));
      return;
    case KesTypeReal:
      stream.put_byte(KesTypeReal);
      stream.write(&value_.real_value, sizeof(double));
      return;
    case KesTypeDecimal:
      stream.put_byte(KesTypeDecimal);
      stream.write(value_.text.pointer, kDecimalSize);
      return;
    default: {
      stream.put_byte(KesTypeString);
      Push();
      const std::string_view text = rt::top_text();
      stream.put_u32(static_cast<uint32_t>(text.size()));
      stream.write(text.data(), static_cast<uint32_t>(text.size()));
      rt::pop_discard();
      return;
    }
  }
}

bool ValueUfo::FromMem(vmem& stream) noexcept {
  uint8_t code = 0;
  if (!stream.peek_byte(code)) return false;
  if (code != KesTypeLong && code != KesTypeReal && code != KesTypeDecimal && code != KesTypeString)
    rt::parameter_typing_error(11);
  stream.skip(1);
  rt::LocalUfo<ValueUfo> read;
  read.value_.text = {nullptr, 0};  // nothing to free when the read replaces it
  read.type_ = code;
  if (!read.OldFromMem(stream)) return false;
  Free();
  type_ = read.type_;
  value_ = read.value_;
  read.type_ = KesTypeLong;  // the value has moved here
  read.value_.text = {nullptr, 0};
  return true;
}

// The value's bytes in the layout of its current type, without the type code.
bool ValueUfo::OldFromMem(vmem& stream) noexcept {
  switch (type_) {
    case KesTypeLong: {
      uint32_t value = 0;
      if (!stream.get_u32(value)) return false;
      Assign(static_cast<KesUfoLong>(static_cast<int32_t>(value)));
      return true;
    }
    case KesTypeReal: {
      double value = 0;
      if (!stream.read(&value, sizeof(value))) return false;
      Assign(value);
      return true;
    }
    case KesTypeDecimal: {
      if (stream.remaining() < kDecimalSize) return stream.skip(kDecimalSize);
      auto* bytes = static_cast<char*>(platform::heap_allocate(kDecimalSize));
      if (bytes == nullptr) return false;
      stream.read(bytes, kDecimalSize);
      Free();
      value_.text = {bytes, kDecimalSize};
      type_ = KesTypeDecimal;
      return true;
    }
    default: {
      uint32_t length = 0;
      if (!stream.get_u32(length)) return false;
      if (stream.remaining() < length) return stream.skip(length);
      const bool held =
          hold_text(reinterpret_cast<const char*>(stream.data() + stream.position()), length);
      stream.skip(length);
      return held;
    }
  }
}

void ValueUfo::Pop() noexcept {
  Free();
  const uint32_t kind = rt::entry_from_top(1).kind;
  if ((kind & 8u) != 0) {  // a VARIANT entry
    auto* variant = static_cast<KesVariant*>(platform::heap_allocate(sizeof(KesVariant)));
    if (variant == nullptr) {
      Kes$STACKpop();
      return;
    }
    rt::variant_init(*variant);
    rt::pop_to_variant(*variant);
    value_.text = {reinterpret_cast<char*>(variant), sizeof(KesVariant)};
    type_ = KesTypeVariant;
    return;
  }
  if ((kind & 4u) != 0) {  // a BSTR entry
    KesBStr bstr = rt::pop_bstr();
    value_.text = {reinterpret_cast<char*>(bstr), 0};
    type_ = KesTypeBString;
    return;
  }
  const rt::HeapText text = rt::pop_to_heap();
  value_.text = {text.pointer, text.length};
  type_ = KesTypeString;
}

void ValueUfo::Push() const noexcept {
  switch (type_) {
    case KesTypeLong: Kes$PushLong(value_.long_value); return;
    case KesTypeReal: Kes$PushReal(value_.real_value); return;
    case KesTypeDecimal:
      DPush();
      Kes$DStack2Stack();
      return;
    case KesTypeBString:
      Kes$PushBString(reinterpret_cast<KesBStr>(value_.text.pointer));
      Kes$StackHeap();
      return;
    case KesTypeVariant:
      Kes$PushVariant(reinterpret_cast<KesVariant*>(value_.text.pointer));
      Kes$StackHeap();
      return;
    default:
      rt::push_text(
          {value_.text.pointer == nullptr ? "" : value_.text.pointer, value_.text.length});
      return;
  }
}

void ValueUfo::DPop() noexcept {
  auto* bytes = static_cast<char*>(platform::heap_allocate(kDecimalSize));
  if (bytes == nullptr) {
    (void)Kes$DPopLong();
    Assign(KesUfoLong{0});
    return;
  }
  Kes$DPopDec(bytes, kDecimalSize, kDecimalPlaces);
  Free();
  value_.text = {bytes, kDecimalSize};
  type_ = KesTypeDecimal;
}

void ValueUfo::DPush() const noexcept {
  switch (type_) {
    case KesTypeLong: Kes$DPushLong(value_.long_value); return;
    case KesTypeReal: Kes$DPushReal(value_.real_value); return;
    case KesTypeDecimal: Kes$DPushDec(value_.text.pointer, kDecimalSize, kDecimalPlaces); return;
    default:
      Push();
      Kes$Stack2DStack();
      return;
  }
}

double ValueUfo::Real() const noexcept {
  switch (type_) {
    case KesTypeLong: return value_.long_value;
    case KesTypeReal: return value_.real_value;
    case KesTypeDecimal: DPush(); return Kes$DPopReal();
    default: Push(); return Kes$PopReal();
  }
}

KesUfoLong ValueUfo::Long() const noexcept {
  switch (type_) {
    case KesTypeLong: return value_.long_value;
    case KesTypeReal: return Kes$lroundd(value_.real_value);
    case KesTypeDecimal: DPush(); return Kes$DPopLong();
    default: Push(); return Kes$PopLong();
  }
}

void ValueUfo::Free() noexcept {
  switch (type_) {
    case KesTypeDecimal:
    case KesTypeString: platform::heap_free(value_.text.pointer); break;
    case KesTypeBString: {
      auto bstr = reinterpret_cast<KesBStr>(value_.text.pointer);
      Kes$ClearBString(&bstr);
      break;
    }
    case KesTypeVariant: {
      auto* variant = reinterpret_cast<KesVariant*>(value_.text.pointer);
      Kes$ClearVariant(variant);
      platform::heap_free(variant);
      break;
    }
    default: break;
  }
  type_ = KesTypeLong;
  value_.text = {nullptr, 0};
  value_.long_value = 0;
}

void ValueUfo::Clear(char fill) noexcept {
  switch (type_) {
    case KesTypeLong:
    case KesTypeReal:
    case KesTypeDecimal:
      rt::clear_value(type_ == KesTypeDecimal ? static_cast<void*>(value_.text.pointer)
                      : type_ == KesTypeReal  ? static_cast<void*>(&value_.real_value)
                                              : static_cast<void*>(&value_.long_value),
                      type_, kDecimalSize, kDecimalPlaces, fill);
      return;
    case KesTypeString:
      rt::clear_value(value_.text.pointer, KesTypeString, value_.text.length, 0, fill);
      return;
    default:
      Free();
      hold_text("", 0);
      return;
  }
}

char* ValueUfo::Address() const noexcept { return nullptr; }

Ufo* ValueUfo::AClone(char) const noexcept {
  auto* clone = new ValueUfo;
  if (clone != nullptr) clone->Assign(*this);
  return clone;
}
Ufo* ValueUfo::Select(unsigned) const noexcept { rt::parameter_typing_error(9); }
Ufo* ValueUfo::Select(unsigned start, unsigned end) const noexcept {
  if (type_ != KesTypeString) rt::parameter_typing_error(8);
  if (start == 0 || end > value_.text.length || start > end + 1) rt::parameter_typing_error(12);
  return new StrValueUfo(value_.text.pointer + (start - 1), end + 1 - start);
}
unsigned ValueUfo::Size() const noexcept {
  switch (type_) {
    case KesTypeLong: return 4;
    case KesTypeReal: return 8;
    case KesTypeDecimal: return kDecimalSize;
    case KesTypeString: return value_.text.length;
    case KesTypeVariant: return sizeof(KesVariant);
    default: return sizeof(void*);
  }
}
unsigned char ValueUfo::BaseType() const noexcept {
  switch (type_) {
    case KesTypeLong: return KesTypeLong;
    case KesTypeReal: return KesTypeReal;
    case KesTypeDecimal: return KesTypeDecimal;
    case KesTypeVariant: {
      const auto* variant = reinterpret_cast<const KesVariant*>(value_.text.pointer);
      if (variant->type == KesVariantLong) return KesTypeLong;
      if (variant->type == KesVariantReal) return KesTypeReal;
      return KesTypeString;
    }
    default: return KesTypeString;
  }
}
int ValueUfo::DistinctU(const Ufo& other) const noexcept { return Ufo::DistinctU(other); }
int ValueUfo::Cleared() const noexcept { return Null(); }
int ValueUfo::Null() const noexcept {
  switch (type_) {
    case KesTypeLong: return value_.long_value == 0 ? 1 : 0;
    case KesTypeReal: return value_.real_value == 0.0 ? 1 : 0;
    case KesTypeDecimal: DPush(); return Kes$DecCompareN() == 0 ? 1 : 0;
    default: Push(); return Kes$StackCompareN() == 0 ? 1 : 0;
  }
}
unsigned ValueUfo::Hash() const noexcept {
  switch (type_) {
    case KesTypeLong: return rt::hash_bytes(&value_.long_value, 4);
    case KesTypeReal: return rt::hash_bytes(&value_.real_value, 8);
    case KesTypeDecimal:
    case KesTypeString: return rt::hash_bytes(value_.text.pointer, value_.text.length);
    default: {
      Push();
      const std::string_view text = rt::top_text();
      const unsigned hash = rt::hash_bytes(text.data(), static_cast<uint32_t>(text.size()));
      rt::pop_discard();
      return hash;
    }
  }
}

StrValueUfo::StrValueUfo(const char* text, uint32_t length) noexcept {
  hold_text(text, text == nullptr ? 0 : length);
}

// ---- ComputedUfo: reads go to the expression node; stores are not supported.

void ComputedUfo::Assign(KesUfoLong) noexcept { rt::parameter_typing_error(7); }
void ComputedUfo::Assign(double) noexcept { rt::parameter_typing_error(7); }
void ComputedUfo::Assign(const Ufo&) noexcept { rt::parameter_typing_error(7); }
int ComputedUfo::Distincts(const Ufo& other) const noexcept {
  return rt::compare_values(*this, other);
}
int ComputedUfo::Distincts(KesUfoLong value) const noexcept {
  return Ufo::Distincts(static_cast<double>(value));
}
unsigned char ComputedUfo::Type() const noexcept { return BaseType(); }
void ComputedUfo::ToMem(vmem& stream) const noexcept {
  rt::LocalUfo<ValueUfo> value;
  value.Assign(*this);
  value.ToMem(stream);
}
bool ComputedUfo::FromMem(vmem&) noexcept { rt::parameter_typing_error(7); }
void ComputedUfo::Pop() noexcept { rt::parameter_typing_error(7); }
void ComputedUfo::Push() const noexcept {
  if (operations_ != nullptr && operations_->push != nullptr) {
    operations_->push(node_);
    return;
  }
  Kes$PushNull();
}
void ComputedUfo::DPop() noexcept { rt::parameter_typing_error(7); }
void ComputedUfo::DPush() const noexcept {
  Push();
  Kes$Stack2DStack();
}
double ComputedUfo::Real() const noexcept {
  if (operations_ != nullptr && operations_->real != nullptr) return operations_->real(node_);
  Push();
  return Kes$PopReal();
}
KesUfoLong ComputedUfo::Long() const noexcept {
  if (operations_ != nullptr && operations_->whole != nullptr) return operations_->whole(node_);
  Push();
  return Kes$PopLong();
}
void ComputedUfo::Free() noexcept {
  if (operations_ != nullptr && operations_->release != nullptr) operations_->release(node_);
  operations_ = nullptr;
  node_ = nullptr;
}
void ComputedUfo::Clear(char) noexcept { rt::parameter_typing_error(7); }
char* ComputedUfo::Address() const noexcept { return nullptr; }
// A snapshot of the current value.
Ufo* ComputedUfo::AClone(char) const noexcept {
  auto* clone = new ValueUfo;
  if (clone != nullptr) clone->Assign(*this);
  return clone;
}
unsigned ComputedUfo::Size() const noexcept { return 0; }
unsigned char ComputedUfo::BaseType() const noexcept {
  if (operations_ != nullptr && operations_->base_type != nullptr)
    return operations_->base_type(node_);
  return KesTypeString;
}
int ComputedUfo::Null() const noexcept { return Ufo::Null(); }
