// The picture classes: the storage holds the picture's text; numbers are formatted into it and
// read back through the picture.
#include <cstring>

#include <kestrel/decimal.h>
#include <kestrel/pic_desc.h>
#include <kestrel/string_builtins.h>
#include <kestrel/string_stack.h>
#include <kestrel/ufo.h>

#include "numeric/pictures/picture_engine.h"
#include "platform/core/heap.h"
#include "runtime/values/clear.h"
#include "runtime/values/ufo_factory.h"

namespace num = kes::numeric;
namespace platform = kes::platform;
namespace rt = kes::runtime;

namespace {

// The picture's text read back to a number on the decimal stack.
void push_deformatted(const PicDesc* picture, const char* text, uint32_t length) noexcept {
  if (picture == nullptr || text == nullptr) {
    Kes$DPushLong(0);
    return;
  }
  Kes$DPushCString(picture->DeformatPict(text, length));
}

// The text on top of the string stack, read through the picture, onto the decimal stack.
void pop_deformatted(const PicDesc* picture) noexcept {
  KesTextPair text{};
  Kes$PopTemp(&text);
  push_deformatted(picture, text.pointer == nullptr ? "" : text.pointer, text.length);
  platform::heap_free(text.pointer);
}

// The decimal stack's top formatted into the storage (popped in every case).
void store_formatted(const PicDesc* picture, char* address, uint32_t size) noexcept {
  if (picture == nullptr || address == nullptr) {
    (void)Kes$DPopLong();
    return;
  }
  picture->StoreDec(address, size);
}

bool is_text(unsigned char base_type) noexcept {
  return base_type == KesTypeString || base_type == KesTypePicture;
}

const PicDesc* copy_picture(const PicDesc* picture) noexcept {
  auto* copy = static_cast<PicDesc*>(platform::heap_allocate(sizeof(PicDesc)));
  if (copy != nullptr) std::memcpy(copy, picture, sizeof(PicDesc));
  return copy;
}

}  // namespace

// The members every picture class shares, written once for the four of them.
#define KES_PICTURE_COMMON(Class)                                                              \
  unsigned char Class::Type() const noexcept { return KesTypePicture; }                        \
  unsigned char Class::BaseType() const noexcept { return KesTypePicture; }                    \
  void Class::Pop() noexcept {                                                                 \
    pop_deformatted(picture_);                                                                 \
    DPop();                                                                                    \
  }                                                                                            \
  void Class::DPop() noexcept { store_formatted(picture_, address_, size_); }                  \
  void Class::DPush() const noexcept { push_deformatted(picture_, address_, size_); }          \
  double Class::Real() const noexcept {                                                        \
    DPush();                                                                                   \
    return Kes$DPopReal();                                                                     \
  }                                                                                            \
  KesUfoLong Class::Long() const noexcept {                                                    \
    DPush();                                                                                   \
    return Kes$DPopLong();                                                                     \
  }                                                                                            \
  void Class::Free() noexcept {                                                                \
    if ((flags_ & kOwnsPicture) != 0) platform::heap_free(const_cast<PicDesc*>(picture_));     \
    picture_ = nullptr;                                                                        \
    flags_ = static_cast<uint8_t>(flags_ & ~kOwnsPicture);                                     \
    VarUfo::Free();                                                                            \
  }                                                                                            \
  Ufo* Class::AClone(char copy) const noexcept {                                               \
    auto* clone = static_cast<Class*>(finish_clone(new Class(*this), copy));                   \
    if (clone == nullptr || (flags_ & kOwnsPicture) == 0) return clone;                        \
    clone->picture_ = copy_picture(picture_);                                                  \
    if (clone->picture_ == nullptr) {                                                          \
      Ufo::destroy(clone);                                                                     \
      return nullptr;                                                                          \
    }                                                                                          \
    clone->flags_ |= kOwnsPicture;                                                             \
    return clone;                                                                              \
  }                                                                                            \
  Ufo* Class::Select(unsigned, unsigned) const noexcept { rt::parameter_typing_error(8); }     \
  int Class::Cleared() const noexcept { return Null(); }                                       \
  int Class::Null() const noexcept {                                                           \
    DPush();                                                                                   \
    return Kes$DecCompareN() == 0 ? 1 : 0;                                                     \
  }                                                                                            \
  bool Class::InitPicture(const PicDesc* picture, void* address, char own_picture,             \
                          char clone) noexcept {                                               \
    Free();                                                                                    \
    const auto width = static_cast<uint32_t>(num::picture_width(*picture));                    \
    const bool made = Init(address, width, clone); /* Init frees first: picture comes after */ \
    picture_ = picture;                                                                        \
    if (own_picture != 0) flags_ |= kOwnsPicture;                                              \
    if (made && clone != 0 && address == nullptr) std::memset(address_, ' ', width);           \
    return made;                                                                               \
  }

KES_PICTURE_COMMON(PictureUfoS)
KES_PICTURE_COMMON(PictureUfoL)
KES_PICTURE_COMMON(PictureUfoR)
KES_PICTURE_COMMON(PictureUfoD)
#undef KES_PICTURE_COMMON

// Date and time pictures: LONG serials.
void PictureUfoL::Assign(KesUfoLong value) noexcept {
  if (picture_ != nullptr && address_ != nullptr) picture_->StoreLong(address_, size_, value);
}
void PictureUfoL::Assign(const Ufo& source) noexcept {
  if (is_text(source.BaseType())) {
    source.Push();
    Pop();
    return;
  }
  Assign(source.Long());
}
void PictureUfoL::Push() const noexcept {
  Kes$PushString(address_, address_ == nullptr ? 0 : size_);
}
void PictureUfoL::Clear(char fill) noexcept {
  rt::clear_value(address_, KesTypeString, size_, 0, fill);
}
unsigned PictureUfoL::Size() const noexcept { return size_; }
int PictureUfoL::Distincts(const Ufo& other) const noexcept {
  return rt::compare_values(*this, other);
}

// Scientific pictures: reals.
void PictureUfoR::Assign(double value) noexcept {
  if (picture_ != nullptr && address_ != nullptr) picture_->StoreReal(address_, size_, value);
}
void PictureUfoR::Assign(const Ufo& source) noexcept {
  if (is_text(source.BaseType())) {
    source.Push();
    Pop();
    return;
  }
  Assign(source.Real());
}
void PictureUfoR::Push() const noexcept {
  Kes$PushString(address_, address_ == nullptr ? 0 : size_);
}
void PictureUfoR::Clear(char fill) noexcept {
  rt::clear_value(address_, KesTypeString, size_, 0, fill);
}
int PictureUfoR::Distincts(const Ufo& other) const noexcept {
  return rt::compare_values(*this, other);
}

// Numeric and pattern pictures: decimals.
void PictureUfoD::Assign(KesUfoLong value) noexcept {
  Kes$DPushLong(value);
  DPop();
}
void PictureUfoD::Assign(double value) noexcept {
  Kes$DPushReal(value);
  DPop();
}
void PictureUfoD::Assign(const Ufo& source) noexcept {
  if (is_text(source.BaseType())) {
    source.Push();
    Pop();
    return;
  }
  source.DPush();
  DPop();
}
void PictureUfoD::Push() const noexcept {
  Kes$PushString(address_, address_ == nullptr ? 0 : size_);
}
void PictureUfoD::Clear(char fill) noexcept {
  rt::clear_value(address_, KesTypeString, size_, 0, fill);
}
int PictureUfoD::Distincts(const Ufo& other) const noexcept {
  return rt::compare_values(*this, other);
}
int PictureUfoD::MatchesField(const class_descriptor& descriptor, unsigned field) const noexcept {
  return VarUfo::MatchesField(descriptor, field);
}

namespace kes::runtime {

Ufo* make_picture_ufo(const PicDesc* picture, void* address, bool own_storage,
                      bool own_picture) noexcept {
  if (picture == nullptr || num::picture_width(*picture) == 0) return nullptr;
  const char own = own_picture ? 1 : 0;
  const char clone = own_storage ? 1 : 0;
  switch (num::picture_kind(*picture)) {
    case num::PictureKind::String:
    case num::PictureKind::KeyIn: {
      auto* ufo = new PictureUfoS;
      if (ufo != nullptr && !ufo->InitPicture(picture, address, own, clone)) {
        Ufo::destroy(ufo);
        return nullptr;
      }
      return ufo;
    }
    case num::PictureKind::Date:
    case num::PictureKind::Time: {
      auto* ufo = new PictureUfoL;
      if (ufo != nullptr && !ufo->InitPicture(picture, address, own, clone)) {
        Ufo::destroy(ufo);
        return nullptr;
      }
      return ufo;
    }
    case num::PictureKind::Scientific: {
      auto* ufo = new PictureUfoR;
      if (ufo != nullptr && !ufo->InitPicture(picture, address, own, clone)) {
        Ufo::destroy(ufo);
        return nullptr;
      }
      return ufo;
    }
    default: {
      auto* ufo = new PictureUfoD;
      if (ufo != nullptr && !ufo->InitPicture(picture, address, own, clone)) {
        Ufo::destroy(ufo);
        return nullptr;
      }
      return ufo;
    }
  }
}

}  // namespace kes::runtime

Ufo* PicDesc::GiveUfo(void* address, int own) const noexcept {
  return rt::make_picture_ufo(this, address, own != 0, false);
}
