// The numeric classes: whole numbers, reals and packed decimals. A descriptor without storage
// reads as zero and ignores stores.
#include <cmath>
#include <cstring>
#include <limits>

#include <kestrel/dates.h>
#include <kestrel/decimal.h>
#include <kestrel/maths.h>
#include <kestrel/storage.h>
#include <kestrel/string_stack.h>
#include <kestrel/ufo.h>

#include "runtime/values/clear.h"
#include "runtime/values/ufo_factory.h"

namespace rt = kes::runtime;

namespace {

template <typename Value>
Value load(const char* address) noexcept {
  Value value{};
  if (address != nullptr) std::memcpy(&value, address, sizeof(Value));
  return value;
}

template <typename Value>
void store(char* address, Value value) noexcept {
  if (address != nullptr) std::memcpy(address, &value, sizeof(Value));
}

int compare_longs(KesUfoLong a, KesUfoLong b) noexcept { return a < b ? -1 : a > b ? 1 : 0; }

// A double narrowed to a float without undefined behaviour: values beyond the float range
// become infinities, as the processor's store does.
float narrow(double value) noexcept {
  constexpr double kMax = std::numeric_limits<float>::max();
  if (value > kMax) return std::numeric_limits<float>::infinity();
  if (value < -kMax) return -std::numeric_limits<float>::infinity();
  return static_cast<float>(value);
}

}  // namespace

// ---- LongUfo and its children: everything goes through Long() and Assign(long).

void LongUfo::Assign(KesUfoLong value) noexcept { store<int32_t>(address_, value); }
void LongUfo::Assign(double value) noexcept { Assign(static_cast<KesUfoLong>(Kes$lroundd(value))); }
void LongUfo::Assign(const Ufo& source) noexcept { Assign(source.Long()); }
int LongUfo::Distincts(const Ufo& other) const noexcept { return rt::compare_values(*this, other); }
int LongUfo::Distincts(KesUfoLong value) const noexcept { return compare_longs(Long(), value); }
unsigned char LongUfo::Type() const noexcept { return KesTypeLong; }
void LongUfo::Pop() noexcept { Assign(static_cast<KesUfoLong>(Kes$PopLong())); }
void LongUfo::Push() const noexcept { Kes$PushLong(Long()); }
void LongUfo::DPop() noexcept { Assign(static_cast<KesUfoLong>(Kes$DPopLong())); }
void LongUfo::DPush() const noexcept { Kes$DPushLong(Long()); }
double LongUfo::Real() const noexcept { return Long(); }
KesUfoLong LongUfo::Long() const noexcept { return load<int32_t>(address_); }
void LongUfo::Clear(char fill) noexcept { rt::clear_value(address_, Type(), 4, 0, fill); }
Ufo* LongUfo::AClone(char copy) const noexcept { return finish_clone(new LongUfo(*this), copy); }
unsigned char LongUfo::BaseType() const noexcept { return KesTypeLong; }
int LongUfo::Cleared() const noexcept { return Long() == 0 ? 1 : 0; }
int LongUfo::Null() const noexcept { return Long() == 0 ? 1 : 0; }
int LongUfo::Equals(const Ufo& other) const noexcept { return Distincts(other); }

void ByteUfo::Assign(KesUfoLong value) noexcept {
  store<uint8_t>(address_, static_cast<uint8_t>(value));
}
unsigned char ByteUfo::Type() const noexcept { return KesTypeByte; }
KesUfoLong ByteUfo::Long() const noexcept { return load<uint8_t>(address_); }
void ByteUfo::Clear(char fill) noexcept { rt::clear_value(address_, KesTypeByte, 1, 0, fill); }
Ufo* ByteUfo::AClone(char copy) const noexcept { return finish_clone(new ByteUfo(*this), copy); }

void ShortUfo::Assign(KesUfoLong value) noexcept {
  store<int16_t>(address_, static_cast<int16_t>(value));
}
unsigned char ShortUfo::Type() const noexcept { return KesTypeShort; }
KesUfoLong ShortUfo::Long() const noexcept { return load<int16_t>(address_); }
void ShortUfo::Clear(char fill) noexcept { rt::clear_value(address_, KesTypeShort, 2, 0, fill); }
Ufo* ShortUfo::AClone(char copy) const noexcept { return finish_clone(new ShortUfo(*this), copy); }

void UshortUfo::Assign(KesUfoLong value) noexcept {
  store<uint16_t>(address_, static_cast<uint16_t>(value));
}
unsigned char UshortUfo::Type() const noexcept { return KesTypeUshort; }
KesUfoLong UshortUfo::Long() const noexcept { return load<uint16_t>(address_); }
void UshortUfo::Clear(char fill) noexcept { rt::clear_value(address_, KesTypeUshort, 2, 0, fill); }
Ufo* UshortUfo::AClone(char copy) const noexcept {
  return finish_clone(new UshortUfo(*this), copy);
}

void DateUfo::Assign(KesUfoLong value) noexcept {
  store<uint32_t>(address_, Kes$storebtdate(value));
}
unsigned char DateUfo::Type() const noexcept { return KesTypeDate; }
KesUfoLong DateUfo::Long() const noexcept {
  return address_ == nullptr ? 0 : Kes$loadbtdate(load<uint32_t>(address_));
}
void DateUfo::Clear(char fill) noexcept { rt::clear_value(address_, KesTypeDate, 4, 0, fill); }
Ufo* DateUfo::AClone(char copy) const noexcept { return finish_clone(new DateUfo(*this), copy); }

void TimeUfo::Assign(KesUfoLong value) noexcept {
  store<uint32_t>(address_, Kes$storebttime(value));
}
unsigned char TimeUfo::Type() const noexcept { return KesTypeTime; }
KesUfoLong TimeUfo::Long() const noexcept {
  return address_ == nullptr ? 0 : Kes$loadbttime(load<uint32_t>(address_));
}
void TimeUfo::Clear(char fill) noexcept { rt::clear_value(address_, KesTypeTime, 4, 0, fill); }
Ufo* TimeUfo::AClone(char copy) const noexcept { return finish_clone(new TimeUfo(*this), copy); }

// ---- RealUfo and its children: everything goes through Real() and Assign(double).

void RealUfo::Assign(KesUfoLong value) noexcept { Assign(static_cast<double>(value)); }
void RealUfo::Assign(double value) noexcept { store<double>(address_, value); }
void RealUfo::Assign(const Ufo& source) noexcept { Assign(source.Real()); }
int RealUfo::Distincts(const Ufo& other) const noexcept { return Ufo::Distincts(other.Real()); }
int RealUfo::Distincts(KesUfoLong value) const noexcept {
  return Ufo::Distincts(static_cast<double>(value));
}
unsigned char RealUfo::Type() const noexcept { return KesTypeReal; }
void RealUfo::Pop() noexcept { Assign(Kes$PopReal()); }
void RealUfo::Push() const noexcept { Kes$PushReal(Real()); }
void RealUfo::DPop() noexcept { Assign(Kes$DPopReal()); }
void RealUfo::DPush() const noexcept { Kes$DPushReal(Real()); }
double RealUfo::Real() const noexcept { return load<double>(address_); }
KesUfoLong RealUfo::Long() const noexcept { return Kes$lroundd(Real()); }
void RealUfo::Clear(char fill) noexcept { rt::clear_value(address_, KesTypeReal, 8, 0, fill); }
Ufo* RealUfo::AClone(char copy) const noexcept { return finish_clone(new RealUfo(*this), copy); }
unsigned char RealUfo::BaseType() const noexcept { return KesTypeReal; }
int RealUfo::Cleared() const noexcept { return Real() == 0.0 ? 1 : 0; }
int RealUfo::Null() const noexcept { return Real() == 0.0 ? 1 : 0; }
int RealUfo::Equals(const Ufo& other) const noexcept { return Distincts(other); }

void FloatUfo::Assign(double value) noexcept { store<float>(address_, narrow(value)); }
unsigned char FloatUfo::Type() const noexcept { return KesTypeSreal; }
double FloatUfo::Real() const noexcept { return load<float>(address_); }
void FloatUfo::Clear(char fill) noexcept { rt::clear_value(address_, KesTypeSreal, 4, 0, fill); }
Ufo* FloatUfo::AClone(char copy) const noexcept { return finish_clone(new FloatUfo(*this), copy); }

void Bfloat4Ufo::Assign(double value) noexcept {
  if (address_ != nullptr) Kes$bstorefloat4(address_, value);
}
unsigned char Bfloat4Ufo::Type() const noexcept { return KesTypeBfloat4; }
double Bfloat4Ufo::Real() const noexcept {
  return address_ == nullptr ? 0.0 : Kes$bloadfloat4(address_);
}
void Bfloat4Ufo::Clear(char fill) noexcept {
  rt::clear_value(address_, KesTypeBfloat4, 4, 0, fill);
}
Ufo* Bfloat4Ufo::AClone(char copy) const noexcept {
  return finish_clone(new Bfloat4Ufo(*this), copy);
}

void Bfloat8Ufo::Assign(double value) noexcept {
  if (address_ != nullptr) Kes$bstorefloat(address_, value);
}
unsigned char Bfloat8Ufo::Type() const noexcept { return KesTypeBfloat8; }
double Bfloat8Ufo::Real() const noexcept {
  return address_ == nullptr ? 0.0 : Kes$bloadfloat(address_);
}
void Bfloat8Ufo::Clear(char fill) noexcept {
  rt::clear_value(address_, KesTypeBfloat8, 8, 0, fill);
}
Ufo* Bfloat8Ufo::AClone(char copy) const noexcept {
  return finish_clone(new Bfloat8Ufo(*this), copy);
}

// ---- DecimalUfo and its children: values move through the decimal stack.

bool DecimalUfo::InitDecimal(void* address, unsigned size, unsigned places, char clone) noexcept {
  places_ = static_cast<uint8_t>(places > 31 ? 31 : places);
  return Init(address, size, clone);
}

void DecimalUfo::Assign(KesUfoLong value) noexcept {
  Kes$DPushLong(value);
  DPop();
}
void DecimalUfo::Assign(double value) noexcept {
  Kes$DPushReal(value);
  DPop();
}
void DecimalUfo::Assign(const Ufo& source) noexcept {
  source.DPush();
  DPop();
}
int DecimalUfo::Distincts(const Ufo& other) const noexcept {
  return rt::compare_values(*this, other);
}
int DecimalUfo::Distincts(KesUfoLong value) const noexcept {
  DPush();
  Kes$DPushLong(value);
  return Kes$DecDistinctR();
}
unsigned char DecimalUfo::Type() const noexcept { return KesTypeDecimal; }
void DecimalUfo::Pop() noexcept {
  Kes$Stack2DStack();
  DPop();
}
void DecimalUfo::Push() const noexcept {
  DPush();
  Kes$DStack2Stack();
}
// Sizes beyond a byte cannot be packed decimals; such storage reads as 0 and takes nothing.
void DecimalUfo::DPop() noexcept {
  if (address_ == nullptr || size_ > 255) {
    (void)Kes$DPopLong();
    return;
  }
  Kes$DPopDec(address_, static_cast<uint8_t>(size_), places_);
}
void DecimalUfo::DPush() const noexcept {
  if (address_ == nullptr || size_ > 255) {
    Kes$DPushLong(0);
    return;
  }
  Kes$DPushDec(address_, static_cast<uint8_t>(size_), places_);
}
double DecimalUfo::Real() const noexcept {
  DPush();
  return Kes$DPopReal();
}
KesUfoLong DecimalUfo::Long() const noexcept {
  DPush();
  return Kes$DPopLong();
}
void DecimalUfo::Clear(char fill) noexcept {
  rt::clear_value(address_, Type(), size_, places_, fill);
}
Ufo* DecimalUfo::AClone(char copy) const noexcept {
  return finish_clone(new DecimalUfo(*this), copy);
}
unsigned char DecimalUfo::BaseType() const noexcept { return KesTypeDecimal; }
int DecimalUfo::Cleared() const noexcept { return Null(); }
int DecimalUfo::Null() const noexcept {
  DPush();
  return Kes$DecCompareN() == 0 ? 1 : 0;
}
int DecimalUfo::Equals(const Ufo& other) const noexcept { return Distincts(other); }
int DecimalUfo::MatchesField(const class_descriptor& descriptor, unsigned field) const noexcept {
  const KesFieldInfo* info = descriptor.field_info(field);
  return VarUfo::MatchesField(descriptor, field) != 0 && info->places == places_ ? 1 : 0;
}

unsigned char PdecimalUfo::Type() const noexcept { return KesTypePdecimal; }
void PdecimalUfo::DPop() noexcept {
  if (address_ == nullptr || size_ > 255) {
    (void)Kes$DPopLong();
    return;
  }
  Kes$DPopPdec(address_, static_cast<uint8_t>(size_), places_);
}
void PdecimalUfo::DPush() const noexcept {
  if (address_ == nullptr || size_ > 255) {
    Kes$DPushLong(0);
    return;
  }
  Kes$DPushPdec(address_, static_cast<uint8_t>(size_), places_);
}
double PdecimalUfo::Real() const noexcept {
  DPush();
  return Kes$DPopReal();
}
void PdecimalUfo::Clear(char fill) noexcept {
  rt::clear_value(address_, KesTypePdecimal, size_, places_, fill);
}
Ufo* PdecimalUfo::AClone(char copy) const noexcept {
  return finish_clone(new PdecimalUfo(*this), copy);
}

// ULONG: four bytes, unsigned, computed as a decimal.
void UlongUfo::Assign(KesUfoLong value) noexcept {
  store<uint32_t>(address_, static_cast<uint32_t>(value));
}
unsigned char UlongUfo::Type() const noexcept { return KesTypeUlong; }
void UlongUfo::DPop() noexcept {
  const uint32_t value = Kes$DPopUlong();
  store<uint32_t>(address_, value);
}
void UlongUfo::DPush() const noexcept { Kes$DPushULong(load<uint32_t>(address_)); }
double UlongUfo::Real() const noexcept { return load<uint32_t>(address_); }
KesUfoLong UlongUfo::Long() const noexcept {
  return static_cast<KesUfoLong>(static_cast<int32_t>(load<uint32_t>(address_)));
}
void UlongUfo::Clear(char fill) noexcept { rt::clear_value(address_, KesTypeUlong, 4, 0, fill); }
Ufo* UlongUfo::AClone(char copy) const noexcept { return finish_clone(new UlongUfo(*this), copy); }
int UlongUfo::MatchesField(const class_descriptor& descriptor, unsigned field) const noexcept {
  return VarUfo::MatchesField(descriptor, field);
}
