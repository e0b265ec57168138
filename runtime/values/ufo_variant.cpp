// VariantUfo: a 16-byte VARIANT variable. Numbers stay numbers; everything else is text.
#include <cstring>

#include <kestrel/ole.h>
#include <kestrel/string_builtins.h>
#include <kestrel/string_stack.h>
#include <kestrel/ufo.h>

#include "platform/core/heap.h"
#include "runtime/ole/variant.h"
#include "runtime/stack/string_stack.h"
#include "runtime/values/ufo_factory.h"

namespace rt = kes::runtime;

namespace {
KesVariant* variant_at(char* address) noexcept { return reinterpret_cast<KesVariant*>(address); }
}  // namespace

void VariantUfo::Assign(KesUfoLong value) noexcept {
  if (address_ != nullptr) Kes$AssignLong2Variant(variant_at(address_), value);
}
void VariantUfo::Assign(double value) noexcept {
  if (address_ != nullptr) Kes$AssignReal2Variant(variant_at(address_), value);
}
void VariantUfo::Assign(const Ufo& source) noexcept {
  switch (source.BaseType()) {
    case KesTypeLong: Assign(source.Long()); return;
    case KesTypeReal: Assign(source.Real()); return;
    default:
      source.Push();
      Pop();
      return;
  }
}
int VariantUfo::Distincts(const Ufo& other) const noexcept {
  return rt::compare_values(*this, other);
}
int VariantUfo::Distincts(KesUfoLong value) const noexcept {
  if (BaseType() == KesTypeLong) {
    const KesUfoLong own = Long();
    return own < value ? -1 : own > value ? 1 : 0;
  }
  return Ufo::Distincts(static_cast<double>(value));
}
unsigned char VariantUfo::Type() const noexcept { return KesTypeVariant; }
// The stream holds the value's text.
void VariantUfo::ToMem(vmem& stream) const noexcept {
  stream.put_byte(KesTypeVariant);
  Push();
  rt::convert_to_text(1);
  const std::string_view text = rt::top_text();
  stream.put_u32(static_cast<uint32_t>(text.size()));
  stream.write(text.data(), static_cast<uint32_t>(text.size()));
  rt::pop_discard();
}
bool VariantUfo::FromMem(vmem& stream) noexcept {
  uint8_t code = 0;
  uint32_t length = 0;
  if (!stream.get_byte(code)) return false;
  if (code != KesTypeVariant) rt::parameter_typing_error(11);
  if (!stream.get_u32(length)) return false;
  if (stream.remaining() < length) return stream.skip(length);  // only sets the ended state
  if (address_ == nullptr) {
    if (!Init(nullptr, sizeof(KesVariant), 1)) return false;
    rt::variant_init(*variant_at(address_));
  }
  rt::push_text({reinterpret_cast<const char*>(stream.data() + stream.position()), length});
  stream.skip(length);
  Pop();
  return true;
}
void VariantUfo::Pop() noexcept {
  if (address_ == nullptr) {
    Kes$STACKpop();
    return;
  }
  Kes$Stack2Variant(variant_at(address_));
}
void VariantUfo::Push() const noexcept {
  if (address_ == nullptr) {
    Kes$PushNull();
    return;
  }
  Kes$PushVariant(variant_at(address_));
}
void VariantUfo::DPop() noexcept {
  Kes$DStack2Stack();
  Pop();
}
void VariantUfo::DPush() const noexcept {
  Push();
  Kes$Stack2DStack();
}
double VariantUfo::Real() const noexcept {
  Push();
  return Kes$PopReal();
}
KesUfoLong VariantUfo::Long() const noexcept {
  Push();
  return Kes$PopLong();
}
// A VARIANT has no lowest or highest value: every code empties it.
void VariantUfo::Clear(char) noexcept {
  if (address_ != nullptr) Kes$ClearVariant(variant_at(address_));
}
// The copy holds a VARIANT of its own.
Ufo* VariantUfo::AClone(char copy) const noexcept {
  auto* clone = static_cast<VariantUfo*>(finish_clone(new VariantUfo(*this), 0));
  if (clone == nullptr || copy == 0) return clone;
  if (!clone->Init(nullptr, sizeof(KesVariant), 1)) {
    Ufo::destroy(clone);
    return nullptr;
  }
  rt::variant_init(*variant_at(clone->address_));
  if (address_ != nullptr) rt::variant_copy(*variant_at(clone->address_), *variant_at(address_));
  return clone;
}
unsigned char VariantUfo::BaseType() const noexcept {
  if (address_ == nullptr) return KesTypeString;
  KesVariant variant;
  std::memcpy(&variant, address_, sizeof(variant));
  if (variant.type == KesVariantLong) return KesTypeLong;
  if (variant.type == KesVariantReal) return KesTypeReal;
  return KesTypeString;
}
int VariantUfo::Cleared() const noexcept { return Null(); }
int VariantUfo::Null() const noexcept {
  switch (BaseType()) {
    case KesTypeLong: return Long() == 0 ? 1 : 0;
    case KesTypeReal: return Real() == 0.0 ? 1 : 0;
    default: Push(); return Kes$StackCompareN() == 0 ? 1 : 0;
  }
}
void VariantUfo::Free() noexcept {
  if ((flags_ & kOwnsStorage) != 0 && address_ != nullptr) rt::variant_clear(*variant_at(address_));
  VarUfo::Free();
}
