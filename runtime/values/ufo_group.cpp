// GroupUfo and ArrayUfo, and the value descriptors of a type descriptor's fields.
#include <cstring>

#include <kestrel/string_builtins.h>
#include <kestrel/string_stack.h>
#include <kestrel/ufo.h>

#include "runtime/fatal/fatal.h"
#include "runtime/types/class_cache.h"
#include "runtime/values/clear.h"
#include "runtime/values/ufo_factory.h"

namespace rt = kes::runtime;

namespace {

// The hook through which EVALUATE learns a group's fields (Bind); none until it is set.
rt::BindGroupHook bind_hook = nullptr;

VarUfo* as_variable(Ufo* ufo) noexcept { return dynamic_cast<VarUfo*>(ufo); }

}  // namespace

namespace kes::runtime {
void set_bind_group_hook(BindGroupHook hook) noexcept { bind_hook = hook; }
}  // namespace kes::runtime

// ---- GroupUfo: the string of its bytes, with fields.

bool GroupUfo::InitGroup(void* address, const unsigned char* type_descriptor, char clone,
                         uint32_t length) noexcept {
  type_descriptor_ = type_descriptor;
  class_ = rt::cached_class_descriptor(type_descriptor, length);
  const uint32_t size = class_ == nullptr ? 0 : class_->structure_size();
  return Init(address, size, clone) && class_ != nullptr && !class_->damaged();
}
unsigned char GroupUfo::Type() const noexcept { return KesTypeString; }
void GroupUfo::Clear(char fill) noexcept {
  if (class_ != nullptr) rt::clear_structure(*class_, address_, size_, fill);
}
Ufo* GroupUfo::AClone(char copy) const noexcept { return finish_clone(new GroupUfo(*this), copy); }
Ufo* GroupUfo::Select(unsigned) const noexcept { rt::parameter_typing_error(9); }
Ufo* GroupUfo::Select(unsigned start, unsigned end) const noexcept {
  return StringUfo::Select(start, end);
}
Ufo* GroupUfo::Designate(unsigned field) const noexcept {
  if (field == 0) return AClone(0);
  if (class_ == nullptr || field > class_->NFields() || address_ == nullptr) return nullptr;
  const KesFieldInfo* info = class_->field_info(field);
  if (uint64_t{info->offset} + uint64_t{info->size} * info->elements > size_) return nullptr;
  return class_->Field2Ufo(field, address_);
}
unsigned GroupUfo::Max() const noexcept { return class_ == nullptr ? 0 : class_->NFields(); }
void GroupUfo::Bind() noexcept {
  if (bind_hook != nullptr) bind_hook(*this);
}
int GroupUfo::MatchesField(const class_descriptor& descriptor, unsigned field) const noexcept {
  const KesFieldInfo* info = descriptor.field_info(field);
  if (VarUfo::MatchesField(descriptor, field) == 0 || info->type != KesTypeGroup) return 0;
  return type_descriptor_ == descriptor.stream() + info->stream_position ? 1 : 0;
}

// ---- ArrayUfo: elements one after the other from element 1's address.

bool ArrayUfo::InitArray(Ufo* element, unsigned count) noexcept {
  Free();
  element_ = element;
  if (element == nullptr) return false;
  count_ = count == 0 ? 1 : count;
  element_size_ = element->Size();
  const uint64_t size = uint64_t{element_size_} * count_;
  address_ = element->Address();
  size_ = size > UINT32_MAX ? 0 : static_cast<uint32_t>(size);
  return size <= UINT32_MAX;
}

namespace {

// Element `index` (from 0) through a clone of the element descriptor, for the walks below.
template <typename Action>
void each_element(const Ufo* element, char* address, uint32_t count, uint32_t element_size,
                  Action action) noexcept {
  if (element == nullptr) return;
  Ufo* walker = element->AClone(0);
  VarUfo* variable = as_variable(walker);
  if (variable == nullptr || address == nullptr) {
    Ufo::destroy(walker);
    return;
  }
  // Elements of no bytes are all the same (empty) value: one stands for them all, whatever a
  // damaged count says.
  const uint32_t walked = element_size == 0 && count > 0 ? 1 : count;
  for (uint32_t index = 0; index < walked; ++index) {
    variable->SetAddress(address + uint64_t{index} * element_size);
    action(*variable);
  }
  variable->SetAddress(nullptr);
  Ufo::destroy(walker);
}

}  // namespace

void ArrayUfo::Assign(KesUfoLong value) noexcept {
  each_element(element_, address_, count_, element_size_, [&](Ufo& e) { e.Assign(value); });
}
void ArrayUfo::Assign(double value) noexcept {
  each_element(element_, address_, count_, element_size_, [&](Ufo& e) { e.Assign(value); });
}
// An array of the same count takes the source element by element; anything else is stored as
// the string of the array's bytes.
void ArrayUfo::Assign(const Ufo& source) noexcept {
  if (source.Type() == KesTypeArray && source.Max() == count_ && &source != this) {
    uint32_t index = 0;
    each_element(element_, address_, count_, element_size_, [&](Ufo& e) {
      Ufo* from = source.Select(++index);
      if (from != nullptr) e.Assign(*from);
      Ufo::destroy(from);
    });
    return;
  }
  source.Push();
  Pop();
}
int ArrayUfo::Distincts(const Ufo& other) const noexcept {
  Push();
  other.Push();
  return Kes$StackCompare();
}
int ArrayUfo::Distincts(KesUfoLong value) const noexcept {
  return element_ == nullptr ? (value > 0 ? -1 : value < 0 ? 1 : 0) : element_->Distincts(value);
}
unsigned char ArrayUfo::Type() const noexcept { return KesTypeArray; }
void ArrayUfo::Pop() noexcept {
  if (address_ == nullptr) {
    Kes$STACKpop();
    return;
  }
  Kes$PopString(address_, size_);
}
void ArrayUfo::Push() const noexcept {
  if (address_ == nullptr) {
    Kes$PushNull();
    return;
  }
  Kes$PushString(address_, size_);
}
// Numbers read and write element 1.
void ArrayUfo::DPop() noexcept {
  if (element_ != nullptr) {
    element_->DPop();
  } else {
    Kes$STACKpop();
  }
}
void ArrayUfo::DPush() const noexcept {
  if (element_ != nullptr) {
    element_->DPush();
  } else {
    Kes$PushNull();
  }
}
double ArrayUfo::Real() const noexcept { return element_ == nullptr ? 0.0 : element_->Real(); }
KesUfoLong ArrayUfo::Long() const noexcept { return element_ == nullptr ? 0 : element_->Long(); }
void ArrayUfo::Free() noexcept {
  if (element_ != nullptr) {
    if ((flags_ & kOwnsStorage) != 0) {
      if (VarUfo* variable = as_variable(element_)) variable->SetAddress(nullptr);
    }
    Ufo::destroy(element_);
    element_ = nullptr;
  }
  VarUfo::Free();
}
void ArrayUfo::Clear(char fill) noexcept {
  each_element(element_, address_, count_, element_size_, [&](Ufo& e) { e.Clear(fill); });
}
Ufo* ArrayUfo::AClone(char copy) const noexcept {
  if (element_ == nullptr) return nullptr;
  auto* clone = new ArrayUfo;
  if (clone == nullptr) return nullptr;
  if (!clone->InitArray(element_->AClone(0), count_) ||
      (copy != 0 && !clone->Init(address_, size_, 1))) {
    Ufo::destroy(clone);
    return nullptr;
  }
  if (copy != 0) {
    clone->element_size_ = element_size_;
    clone->count_ = count_;
    if (VarUfo* variable = as_variable(clone->element_)) variable->SetAddress(clone->address_);
  }
  return clone;
}
Ufo* ArrayUfo::Select(unsigned element) const noexcept {
  if (element == 0 || element > count_) rt::fatal(rt::RuntimeError::Index);
  if (element_ == nullptr) return nullptr;
  Ufo* selected = element_->AClone(0);
  VarUfo* variable = as_variable(selected);
  if (variable != nullptr && address_ != nullptr)
    variable->SetAddress(address_ + uint64_t{element - 1} * element_size_);
  return selected;
}
Ufo* ArrayUfo::Select(unsigned, unsigned) const noexcept { rt::parameter_typing_error(8); }
unsigned ArrayUfo::Max() const noexcept { return count_; }
unsigned char ArrayUfo::BaseType() const noexcept {
  return element_ == nullptr ? static_cast<unsigned char>(KesTypeString) : element_->BaseType();
}
int ArrayUfo::Cleared() const noexcept { return Null(); }
int ArrayUfo::Null() const noexcept {
  int null = 1;
  each_element(element_, address_, count_, element_size_, [&](Ufo& e) {
    if (null != 0 && e.Null() == 0) null = 0;
  });
  return null;
}
void ArrayUfo::SetAddress(char* address) noexcept {
  VarUfo::SetAddress(address);
  if (VarUfo* variable = as_variable(element_)) variable->SetAddress(address);
}
int ArrayUfo::MatchesField(const class_descriptor& descriptor, unsigned field) const noexcept {
  const KesFieldInfo* info = descriptor.field_info(field);
  if (info == nullptr || element_ == nullptr || info->dimension_count == 0) return 0;
  if (origin_ != nullptr && (origin_ != &descriptor || origin_field_ != field)) return 0;
  const unsigned char type =
      info->type == KesTypeGroup ? static_cast<unsigned char>(KesTypeString) : info->type;
  return type == element_->Type() && info->size == element_size_ && info->elements == count_ ? 1
                                                                                             : 0;
}

// ---- Field descriptors to value descriptors.

Ufo* field_descriptor::field2ufo(void* base) const noexcept {
  char* address = static_cast<char*>(base) + offset;
  // A string reference's own size is a pointer's; its descriptor needs the text's size.
  const uint32_t described = type == KesTypeStringRef ? places : size;
  Ufo* element = type == KesTypeGroup      ? rt::make_group_ufo(address, record, false, record_room)
                 : rt::has_ufo_class(type) ? rt::make_ufo(address, type, described, places, false)
                                           : nullptr;
  if (element == nullptr || dimension_count == 0) return element;
  uint64_t elements = 1;
  for (uint8_t index = 0; index < dimension_count; ++index)
    elements *= dimensions[index];
  return rt::make_array_ufo(element, static_cast<uint32_t>(elements));
}

Ufo* class_descriptor::Field2Ufo(unsigned field, void* base) noexcept {
  const field_descriptor* described = FieldDesc(field);
  if (described == nullptr || base == nullptr) return nullptr;
  Ufo* ufo = described->field2ufo(base);
  if (VarUfo* variable = as_variable(ufo)) variable->set_origin(this, field);
  return ufo;
}
