// The string classes: STRING, CSTRING, PSTRING, references, AString and BSTR. Values convert
// through the string stack; a descriptor without storage reads as the empty string and
// ignores stores.
#include <cstring>

#include <kestrel/astring.h>
#include <kestrel/collation.h>
#include <kestrel/decimal.h>
#include <kestrel/ole.h>
#include <kestrel/string_builtins.h>
#include <kestrel/string_stack.h>
#include <kestrel/ufo.h>

#include "platform/core/heap.h"
#include "runtime/stack/string_stack.h"
#include "runtime/values/clear.h"
#include "runtime/values/ufo_factory.h"
#include "runtime/values/ufo_local.h"

namespace platform = kes::platform;
namespace rt = kes::runtime;

namespace {

void translate(char* text, uint32_t length, bool to_ansi) noexcept {
  if (text == nullptr || length == 0) return;
  KesTextDescriptor descriptor{text, length};
  if (to_ansi) {
    Kes$OEMTOANSIdesc(&descriptor);
  } else {
    Kes$ANSITOOEMdesc(&descriptor);
  }
}

// Converts a value whose text lives elsewhere (AString, BSTR, references): its text goes
// through a heap copy and back.
void translate_through_stack(Ufo& ufo, bool to_ansi) noexcept {
  ufo.Push();
  rt::HeapText text = rt::pop_to_heap();
  translate(text.pointer, text.length, to_ansi);
  rt::push_owned(text.pointer, text.length);
  ufo.Pop();
}

// Writes the type code, then the value's text as a 32-bit length and its bytes.
void text_to_mem(const Ufo& ufo, vmem& stream) noexcept {
  stream.put_byte(ufo.Type());
  ufo.Push();
  rt::convert_to_text(1);
  const std::string_view text = rt::top_text();
  stream.put_u32(static_cast<uint32_t>(text.size()));
  stream.write(text.data(), static_cast<uint32_t>(text.size()));
  rt::pop_discard();
}

// Reads what text_to_mem wrote into the descriptor (by Pop); false, with the value unchanged,
// when the stream ends early.
bool text_from_mem(Ufo& ufo, vmem& stream) noexcept {
  uint8_t code = 0;
  uint32_t length = 0;
  if (!stream.get_byte(code)) return false;
  if (code != ufo.Type()) rt::parameter_typing_error(11);
  if (!stream.get_u32(length)) return false;
  if (stream.remaining() < length) return stream.read(nullptr, length);
  rt::push_text({reinterpret_cast<const char*>(stream.data() + stream.position()), length});
  stream.skip(length);
  ufo.Pop();
  return true;
}

}  // namespace

// ---- StringUfo

void StringUfo::Assign(KesUfoLong value) noexcept {
  Kes$PushLong(value);
  Pop();
}
void StringUfo::Assign(double value) noexcept {
  Kes$PushReal(value);
  Pop();
}
void StringUfo::Assign(const Ufo& source) noexcept {
  source.Push();
  Pop();
}
int StringUfo::Distincts(const Ufo& other) const noexcept {
  const unsigned char theirs = other.BaseType();
  if (theirs == KesTypeString || theirs == KesTypePicture) {
    Push();
    other.Push();
    return Kes$StackCompare();
  }
  return Ufo::Distincts(other.Real());
}
int StringUfo::Distincts(KesUfoLong value) const noexcept {
  return Ufo::Distincts(static_cast<double>(value));
}
unsigned char StringUfo::Type() const noexcept { return KesTypeString; }
void StringUfo::Pop() noexcept {
  if (address_ == nullptr) {
    Kes$STACKpop();
    return;
  }
  Kes$PopString(address_, size_);
}
void StringUfo::Push() const noexcept {
  if (address_ == nullptr) {
    Kes$PushNull();
    return;
  }
  Kes$PushString(address_, size_);
}
void StringUfo::DPop() noexcept {
  Kes$DStack2Stack();
  Pop();
}
void StringUfo::DPush() const noexcept {
  Push();
  Kes$Stack2DStack();
}
double StringUfo::Real() const noexcept {
  Push();
  return Kes$PopReal();
}
KesUfoLong StringUfo::Long() const noexcept {
  Push();
  return Kes$PopLong();
}
void StringUfo::Clear(char fill) noexcept { rt::clear_value(address_, Type(), size_, 0, fill); }
Ufo* StringUfo::AClone(char copy) const noexcept {
  return finish_clone(new StringUfo(*this), copy);
}
Ufo* StringUfo::Select(unsigned) const noexcept { rt::parameter_typing_error(9); }
// Bytes start to end of the storage, from 1 and inclusive; start may be end + 1 for an empty
// slice. A STRING slice of any string class (its bytes as they are).
Ufo* StringUfo::Select(unsigned start, unsigned end) const noexcept {
  const unsigned size = Size();
  if (start == 0 || end > size || start > end + 1 || address_ == nullptr)
    rt::parameter_typing_error(12);
  auto* slice = new StringUfo;
  if (slice == nullptr) return nullptr;
  slice->Init(address_ + (start - 1), end + 1 - start, 0);
  return slice;
}
unsigned char StringUfo::BaseType() const noexcept { return KesTypeString; }
int StringUfo::DistinctU(const Ufo& other) const noexcept { return Ufo::DistinctU(other); }
int StringUfo::Cleared() const noexcept { return Null(); }
int StringUfo::Null() const noexcept {
  Push();
  return Kes$StackCompareN() == 0 ? 1 : 0;
}
void StringUfo::OEMANSITRANS() noexcept { translate(address_, size_, true); }
void StringUfo::ANSIOEMTRANS() noexcept { translate(address_, size_, false); }
int StringUfo::Equals(const Ufo& other) const noexcept { return Distincts(other); }

// ---- CstringUfo: the text ends at its terminator, or at the end of the storage.

namespace {
uint32_t cstring_length(const char* address, uint32_t size) noexcept {
  if (address == nullptr) return 0;
  const void* end = std::memchr(address, 0, size);
  return end == nullptr ? size : static_cast<uint32_t>(static_cast<const char*>(end) - address);
}
}  // namespace

unsigned char CstringUfo::Type() const noexcept { return KesTypeCstring; }
void CstringUfo::Pop() noexcept {
  if (address_ == nullptr) {
    Kes$STACKpop();
    return;
  }
  Kes$PopCString(address_, size_);
}
void CstringUfo::Push() const noexcept {
  rt::push_text({address_ == nullptr ? "" : address_, cstring_length(address_, size_)});
}
void CstringUfo::Clear(char fill) noexcept {
  rt::clear_value(address_, KesTypeCstring, size_, 0, fill);
}
Ufo* CstringUfo::AClone(char copy) const noexcept {
  return finish_clone(new CstringUfo(*this), copy);
}
void CstringUfo::OEMANSITRANS() noexcept {
  translate(address_, cstring_length(address_, size_), true);
}
void CstringUfo::ANSIOEMTRANS() noexcept {
  translate(address_, cstring_length(address_, size_), false);
}

// ---- PstringUfo: a length byte, then at most size - 1 bytes.

namespace {
uint32_t pstring_length(const char* address, uint32_t size) noexcept {
  if (address == nullptr || size == 0) return 0;
  const uint32_t stored = static_cast<unsigned char>(address[0]);
  return stored < size ? stored : size - 1;
}
}  // namespace

unsigned char PstringUfo::Type() const noexcept { return KesTypePstring; }
void PstringUfo::Pop() noexcept {
  if (address_ == nullptr) {
    Kes$STACKpop();
    return;
  }
  Kes$PopPString(address_, size_);
}
void PstringUfo::Push() const noexcept {
  if (address_ == nullptr) {
    Kes$PushNull();
    return;
  }
  Kes$PushString(address_ + 1, pstring_length(address_, size_));
}
void PstringUfo::Clear(char fill) noexcept {
  rt::clear_value(address_, KesTypePstring, size_, 0, fill);
}
Ufo* PstringUfo::AClone(char copy) const noexcept {
  return finish_clone(new PstringUfo(*this), copy);
}
void PstringUfo::OEMANSITRANS() noexcept {
  if (address_ != nullptr) translate(address_ + 1, pstring_length(address_, size_), true);
}
void PstringUfo::ANSIOEMTRANS() noexcept {
  if (address_ != nullptr) translate(address_ + 1, pstring_length(address_, size_), false);
}

// ---- RefUfo: the storage holds a pointer; every operation acts on what it refers to.

namespace {

// The descriptor an operation on a reference works through: the ANY's own descriptor, or a
// STRING over the referred text. Null for a null reference.
class Target {
 public:
  Target(const char* address, uint8_t type, uint32_t text_size) noexcept {
    void* pointer = nullptr;
    if (address != nullptr) std::memcpy(&pointer, address, sizeof(pointer));
    if (pointer == nullptr) return;
    if (type == KesTypeAny) {
      target_ = static_cast<Ufo*>(pointer);
    } else {
      text_.Init(pointer, text_size, 0);
      target_ = &text_;
    }
  }
  Ufo* get() const noexcept { return target_; }

 private:
  rt::LocalUfo<StringUfo> text_;
  Ufo* target_ = nullptr;
};

}  // namespace

bool RefUfo::InitRef(void* address, unsigned char type, unsigned text_size, char clone) noexcept {
  ref_type_ = type == KesTypeStringRef ? KesTypeStringRef : KesTypeAny;
  text_size_ = text_size;
  return Init(address, sizeof(void*), clone);
}
Ufo* RefUfo::referred() const noexcept {
  if (ref_type_ != KesTypeAny || address_ == nullptr) return nullptr;
  void* pointer = nullptr;
  std::memcpy(&pointer, address_, sizeof(pointer));
  return static_cast<Ufo*>(pointer);
}

void RefUfo::Assign(KesUfoLong value) noexcept {
  const Target target(address_, ref_type_, text_size_);
  if (target.get() != nullptr) target.get()->Assign(value);
}
void RefUfo::Assign(double value) noexcept {
  const Target target(address_, ref_type_, text_size_);
  if (target.get() != nullptr) target.get()->Assign(value);
}
void RefUfo::Assign(const Ufo& source) noexcept {
  const Target target(address_, ref_type_, text_size_);
  if (target.get() != nullptr) target.get()->Assign(source);
}
int RefUfo::Distincts(const Ufo& other) const noexcept {
  const Target target(address_, ref_type_, text_size_);
  if (target.get() != nullptr) return target.get()->Distincts(other);
  Kes$PushNull();
  other.Push();
  return Kes$StackCompare();
}
unsigned char RefUfo::Type() const noexcept { return ref_type_; }
void RefUfo::ToMem(vmem& stream) const noexcept { text_to_mem(*this, stream); }
bool RefUfo::FromMem(vmem& stream) noexcept { return text_from_mem(*this, stream); }
void RefUfo::Pop() noexcept {
  const Target target(address_, ref_type_, text_size_);
  if (target.get() != nullptr) {
    target.get()->Pop();
  } else {
    Kes$STACKpop();
  }
}
void RefUfo::Push() const noexcept {
  const Target target(address_, ref_type_, text_size_);
  if (target.get() != nullptr) {
    target.get()->Push();
  } else {
    Kes$PushNull();
  }
}
void RefUfo::DPop() noexcept {
  const Target target(address_, ref_type_, text_size_);
  if (target.get() != nullptr) {
    target.get()->DPop();
  } else {
    (void)Kes$DPopLong();
  }
}
void RefUfo::DPush() const noexcept {
  const Target target(address_, ref_type_, text_size_);
  if (target.get() != nullptr) {
    target.get()->DPush();
  } else {
    Kes$DPushLong(0);
  }
}
double RefUfo::Real() const noexcept {
  const Target target(address_, ref_type_, text_size_);
  return target.get() != nullptr ? target.get()->Real() : 0.0;
}
KesUfoLong RefUfo::Long() const noexcept {
  const Target target(address_, ref_type_, text_size_);
  return target.get() != nullptr ? target.get()->Long() : 0;
}
void RefUfo::Clear(char fill) noexcept {
  const Target target(address_, ref_type_, text_size_);
  if (target.get() != nullptr) target.get()->Clear(fill);
}
Ufo* RefUfo::AClone(char copy) const noexcept { return finish_clone(new RefUfo(*this), copy); }
unsigned RefUfo::Size() const noexcept { return sizeof(void*); }
unsigned char RefUfo::BaseType() const noexcept {
  const Target target(address_, ref_type_, text_size_);
  if (target.get() != nullptr && ref_type_ == KesTypeAny) return target.get()->BaseType();
  return KesTypeString;
}
int RefUfo::Null() const noexcept {
  const Target target(address_, ref_type_, text_size_);
  return target.get() != nullptr ? target.get()->Null() : 1;
}

// ---- AStringUfo: the storage holds an AString pointer (null: the empty text).

unsigned char AStringUfo::Type() const noexcept { return KesTypeAString; }
void AStringUfo::ToMem(vmem& stream) const noexcept { text_to_mem(*this, stream); }
bool AStringUfo::FromMem(vmem& stream) noexcept { return text_from_mem(*this, stream); }
void AStringUfo::Pop() noexcept {
  const char* astring = Kes$PopAString();
  if (address_ != nullptr) std::memcpy(address_, &astring, sizeof(astring));
}
void AStringUfo::Push() const noexcept {
  const char* astring = nullptr;
  if (address_ != nullptr) std::memcpy(&astring, address_, sizeof(astring));
  Kes$PushAString(astring);
}
// An AString has no lowest or highest value: every code gives the empty text.
void AStringUfo::Clear(char) noexcept {
  const char* empty = nullptr;
  if (address_ != nullptr) std::memcpy(address_, &empty, sizeof(empty));
}
Ufo* AStringUfo::AClone(char copy) const noexcept {
  return finish_clone(new AStringUfo(*this), copy);
}
void AStringUfo::OEMANSITRANS() noexcept { translate_through_stack(*this, true); }
void AStringUfo::ANSIOEMTRANS() noexcept { translate_through_stack(*this, false); }

// ---- BStringUfo: the storage holds a BSTR (null: the empty text).

namespace {
KesBStr* bstr_at(char* address) noexcept { return reinterpret_cast<KesBStr*>(address); }
}  // namespace

unsigned char BStringUfo::Type() const noexcept { return KesTypeBString; }
void BStringUfo::ToMem(vmem& stream) const noexcept { text_to_mem(*this, stream); }
bool BStringUfo::FromMem(vmem& stream) noexcept { return text_from_mem(*this, stream); }
void BStringUfo::Pop() noexcept {
  if (address_ == nullptr) {
    Kes$STACKpop();
    return;
  }
  Kes$Stack2BString(bstr_at(address_));
}
void BStringUfo::Push() const noexcept {
  KesBStr bstr = nullptr;
  if (address_ != nullptr) std::memcpy(&bstr, address_, sizeof(bstr));
  Kes$PushBString(bstr);
}
// A BSTR has no lowest or highest value: every code gives the empty BSTR.
void BStringUfo::Clear(char) noexcept {
  if (address_ != nullptr) Kes$ClearBString(bstr_at(address_));
}
// The copy holds a BSTR of its own.
Ufo* BStringUfo::AClone(char copy) const noexcept {
  auto* clone = static_cast<BStringUfo*>(finish_clone(new BStringUfo(*this), 0));
  if (clone == nullptr || copy == 0) return clone;
  if (!clone->Init(nullptr, sizeof(KesBStr), 1)) {
    Ufo::destroy(clone);
    return nullptr;
  }
  Push();
  clone->Pop();
  return clone;
}
void BStringUfo::Free() noexcept {
  if ((flags_ & kOwnsStorage) != 0 && address_ != nullptr) Kes$ClearBString(bstr_at(address_));
  VarUfo::Free();
}
void BStringUfo::OEMANSITRANS() noexcept { translate_through_stack(*this, true); }
void BStringUfo::ANSIOEMTRANS() noexcept { translate_through_stack(*this, false); }
