// Ufo and VarUfo: the slots every class shares, and the rules of common types, hashing and
// comparison the classes build on.
#include <cstring>

#include <kestrel/collation.h>
#include <kestrel/decimal.h>
#include <kestrel/maths.h>
#include <kestrel/string_builtins.h>
#include <kestrel/string_stack.h>
#include <kestrel/ufo.h>

#include "platform/core/heap.h"
#include "runtime/fatal/fatal.h"
#include "runtime/stack/string_stack.h"
#include "runtime/types/type_codes.h"
#include "runtime/values/ufo_factory.h"

extern "C" [[noreturn]] void __cxa_pure_virtual() noexcept;

namespace platform = kes::platform;
namespace rt = kes::runtime;

namespace kes::runtime {

[[noreturn]] void parameter_typing_error(int number) noexcept {
  fatal(static_cast<RuntimeError>(number), "Parameter typing error");
}

unsigned char common_type(unsigned char a, unsigned char b) noexcept {
  if ((a == KesTypeString && is_string_type(b)) || (b == KesTypeString && is_string_type(a)))
    return KesTypeString;
  if (a == KesTypeLong && b == KesTypeLong) return KesTypeLong;
  if (a == KesTypeReal || b == KesTypeReal) return KesTypeReal;
  return KesTypeDecimal;
}

std::uint32_t hash_bytes(const void* bytes, std::uint32_t length) noexcept {
  std::uint32_t hash = 0x5AA5A55Au;
  const auto* byte = static_cast<const unsigned char*>(bytes);
  for (std::uint32_t index = 0; index < length; ++index) {
    const std::uint32_t low = (hash + byte[index]) & 0xFFu;  // no carry into the higher bits
    hash = (hash & ~0xFFu) | low;
    const std::uint32_t carried = hash >> 29;  // the three bits the rotation moves around
    hash = (hash << 3) | carried;
    hash += (length - 1 - index) + (carried & 1u);
  }
  return hash;
}

int compare_top_ignoring_case() noexcept {
  convert_to_text(1);
  convert_to_text(2);
  const StackEntry& b = entry_from_top(1);
  const StackEntry& a = entry_from_top(2);
  const auto* a_text = static_cast<const char*>(a.pointer);
  const auto* b_text = static_cast<const char*>(b.pointer);
  const std::uint32_t common = a.length < b.length ? a.length : b.length;
  int result = common == 0 ? 0 : Kes$isficompare(a_text, b_text, common);
  static constexpr char kSpace = ' ';
  for (std::uint32_t index = common; result == 0 && index < a.length; ++index)
    result = Kes$isficompare(a_text + index, &kSpace, 1);
  for (std::uint32_t index = common; result == 0 && index < b.length; ++index)
    result = Kes$isficompare(&kSpace, b_text + index, 1);
  pop_discard();
  pop_discard();
  return result;
}

int compare_values(const Ufo& a, const Ufo& b) noexcept {
  const unsigned char ta = a.BaseType();
  const unsigned char tb = b.BaseType();
  const bool a_text = ta == KesTypeString || ta == KesTypePicture;
  const bool b_text = tb == KesTypeString || tb == KesTypePicture;
  if (a_text && b_text) {
    a.Push();
    b.Push();
    return Kes$StackCompare();
  }
  if (ta == KesTypeLong && tb == KesTypeLong) {
    const KesUfoLong x = a.Long();
    const KesUfoLong y = b.Long();
    return x < y ? -1 : x > y ? 1 : 0;
  }
  if (!a_text && !b_text && ta != KesTypeReal && tb != KesTypeReal) {
    a.DPush();
    b.DPush();
    return Kes$DecDistinctR();
  }
  return a.Distincts(b.Real());
}

}  // namespace kes::runtime

// ---- Ufo: slots without an implementation report a pure virtual call.

void Ufo::Assign(KesUfoLong) noexcept { __cxa_pure_virtual(); }
void Ufo::Assign(double) noexcept { __cxa_pure_virtual(); }
void Ufo::Assign(const Ufo&) noexcept { __cxa_pure_virtual(); }
unsigned char Ufo::Type() const noexcept { __cxa_pure_virtual(); }
void Ufo::ToMem(vmem&) const noexcept { __cxa_pure_virtual(); }
bool Ufo::FromMem(vmem&) noexcept { __cxa_pure_virtual(); }
void Ufo::Free() noexcept { __cxa_pure_virtual(); }
void Ufo::Clear(char) noexcept { __cxa_pure_virtual(); }
char* Ufo::Address() const noexcept { __cxa_pure_virtual(); }
unsigned Ufo::Size() const noexcept { __cxa_pure_virtual(); }
unsigned char Ufo::BaseType() const noexcept { __cxa_pure_virtual(); }

int Ufo::Distincts(const Ufo& other) const noexcept { return rt::compare_values(*this, other); }
int Ufo::Distincts(KesUfoLong value) const noexcept {
  return Distincts(static_cast<double>(value));
}
int Ufo::Distincts(double value) const noexcept {
  const double own = Real();
  if (Kes$realdistinct(own, value) == 0) return 0;
  return own > value ? 1 : -1;
}
bool Ufo::OldFromMem(vmem&) noexcept { return false; }
void Ufo::Pop() noexcept { Assign(Kes$PopReal()); }
void Ufo::Push() const noexcept { Kes$PushNull(); }
void Ufo::DPop() noexcept { Assign(Kes$DPopReal()); }
void Ufo::DPush() const noexcept { Kes$DPushReal(Real()); }
double Ufo::Real() const noexcept {
  Push();
  return Kes$PopReal();
}
KesUfoLong Ufo::Long() const noexcept {
  Push();
  return Kes$PopLong();
}
Ufo* Ufo::AClone(char) const noexcept { return nullptr; }
Ufo* Ufo::Select(unsigned) const noexcept { rt::parameter_typing_error(9); }
Ufo* Ufo::Select(unsigned, unsigned) const noexcept { rt::parameter_typing_error(8); }
Ufo* Ufo::Designate(unsigned) const noexcept { return nullptr; }
unsigned Ufo::Max() const noexcept { return 0; }
int Ufo::DistinctU(const Ufo& other) const noexcept {
  const unsigned char mine = BaseType();
  const unsigned char theirs = other.BaseType();
  if ((mine == KesTypeString || mine == KesTypePicture) &&
      (theirs == KesTypeString || theirs == KesTypePicture)) {
    Push();
    other.Push();
    return rt::compare_top_ignoring_case();
  }
  return Distincts(other);
}
int Ufo::Cleared() const noexcept { return Null(); }
int Ufo::Null() const noexcept {
  Push();
  return Kes$StackCompareN() == 0 ? 1 : 0;
}
void Ufo::OEMANSITRANS() noexcept {}
void Ufo::ANSIOEMTRANS() noexcept {}
void Ufo::Bind() noexcept { rt::parameter_typing_error(7); }

void Ufo::Add(const Ufo& other) noexcept {
  switch (rt::common_type(BaseType(), other.BaseType())) {
    case KesTypeLong:
      Assign(static_cast<KesUfoLong>(static_cast<int32_t>(static_cast<uint32_t>(Long()) +
                                                          static_cast<uint32_t>(other.Long()))));
      return;
    case KesTypeDecimal:
      DPush();
      other.DPush();
      Kes$DecAdd();
      DPop();
      return;
    default:  // STRING and REAL
      Assign(Real() + other.Real());
      return;
  }
}

void Ufo::Divide(const Ufo& other) noexcept {
  switch (rt::common_type(BaseType(), other.BaseType())) {
    case KesTypeLong:
    case KesTypeDecimal:
      DPush();
      other.DPush();
      Kes$DecDivide();
      DPop();
      return;
    default: Assign(Kes$divide(Real(), other.Real())); return;
  }
}

unsigned Ufo::Hash() const noexcept {
  const char* address = Address();
  return rt::hash_bytes(address, address == nullptr ? 0 : Size());
}

void* Ufo::operator new(size_t size) noexcept { return platform::heap_allocate(size); }
void Ufo::operator delete(void* block) noexcept { platform::heap_free(block); }

void Ufo::destroy(Ufo* ufo) noexcept {
  if (ufo == nullptr) return;
  ufo->Free();
  // Every class's destructor is trivial: releasing the block ends the object.
  platform::heap_free(ufo);
}

// ---- VarUfo

bool VarUfo::Init(void* address, unsigned size, char clone) noexcept {
  VarUfo::Free();  // the storage only: classes keep what else they hold
  size_ = size;
  if (clone == 0) {
    address_ = static_cast<char*>(address);
    return true;
  }
  auto* copy = static_cast<char*>(platform::heap_allocate(size == 0 ? 1 : size));
  if (copy == nullptr) return false;
  if (address != nullptr) {
    std::memcpy(copy, address, size);
  } else {
    std::memset(copy, 0, size);
  }
  address_ = copy;
  flags_ |= kOwnsStorage;
  return true;
}

void VarUfo::Free() noexcept {
  if ((flags_ & kOwnsStorage) != 0) platform::heap_free(address_);
  address_ = nullptr;
  flags_ = static_cast<uint8_t>(flags_ & ~kOwnsStorage);
}

char* VarUfo::Address() const noexcept { return address_; }
unsigned VarUfo::Size() const noexcept { return size_; }
unsigned VarUfo::Hash() const noexcept {
  return rt::hash_bytes(address_, address_ == nullptr ? 0 : Size());
}

void VarUfo::SetAddress(char* address) noexcept {
  if ((flags_ & kOwnsStorage) != 0) platform::heap_free(address_);
  flags_ = static_cast<uint8_t>(flags_ & ~kOwnsStorage);
  address_ = address;
}

int VarUfo::MatchesField(const class_descriptor& descriptor, unsigned field) const noexcept {
  if (origin_ != nullptr && (origin_ != &descriptor || origin_field_ != field)) return 0;
  const KesFieldInfo* info = descriptor.field_info(field);
  if (info == nullptr || info->dimension_count != 0) return 0;
  const unsigned char type =
      info->type == KesTypeGroup ? static_cast<unsigned char>(KesTypeString) : info->type;
  return type == Type() && info->size == Size() ? 1 : 0;
}

int VarUfo::Equals(const Ufo& other) const noexcept { return Distincts(other); }

unsigned VarUfo::CopyOut(void* destination) const noexcept {
  if (address_ == nullptr || destination == nullptr) return 0;
  const unsigned size = Size();
  std::memcpy(destination, address_, size);
  return size;
}

void VarUfo::ToMem(vmem& stream) const noexcept {
  stream.put_byte(Type());
  const unsigned size = Size();
  if (address_ != nullptr) {
    stream.write(address_, size);
    return;
  }
  for (unsigned index = 0; index < size; ++index)
    stream.put_byte(0);
}

bool VarUfo::OldFromMem(vmem& stream) noexcept {
  const unsigned size = Size();
  if (stream.remaining() < size) return stream.read(nullptr, size);  // only sets the ended state
  if (address_ == nullptr && !Init(nullptr, size, 1)) return false;
  return stream.read(address_, size);
}

bool VarUfo::FromMem(vmem& stream) noexcept {
  uint8_t code = 0;
  if (!stream.get_byte(code)) return false;
  if (code != Type()) rt::parameter_typing_error(11);
  return VarUfo::OldFromMem(stream);
}

Ufo* VarUfo::finish_clone(VarUfo* clone, char copy) const noexcept {
  if (clone == nullptr) return nullptr;
  clone->flags_ = static_cast<uint8_t>(flags_ & ~(kOwnsStorage | kOwnsPicture));
  clone->address_ = nullptr;
  if (!clone->Init(address_, size_, copy)) {
    Ufo::destroy(clone);
    return nullptr;
  }
  return clone;
}
