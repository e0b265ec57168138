// The string stack's exports: thin wrappers over the stack's and the string store's internal
// interfaces.
#include <cstdarg>
#include <cstring>

#include <kestrel/string_stack.h>

#include "platform/core/heap.h"
#include "runtime/ole/bstr.h"
#include "runtime/ole/variant.h"
#include "runtime/stack/string_stack.h"
#include "runtime/stack/string_store.h"

namespace rt = kes::runtime;
namespace platform = kes::platform;

extern "C" void Kes$PushString(const char* text, uint32_t length) noexcept {
  rt::push_reference({text, text == nullptr ? 0 : length});
}
extern "C" void Kes$PushTemp(char* heap_block, uint32_t length) noexcept {
  rt::push_owned(heap_block, length);
}
extern "C" void Kes$PushNull() noexcept { rt::push_reference({}); }
extern "C" void Kes$PushCString(const char* text) noexcept {
  if (rt::string_stack_depth() >= rt::kStringStackCapacity) return;
  rt::push_reference(text == nullptr ? std::string_view() : std::string_view(text));
  rt::make_top_self_contained();
}
extern "C" void Kes$PushLong(int32_t value) noexcept { rt::push_long(value); }
extern "C" void Kes$PushReal(double value) noexcept { rt::push_real(value); }
extern "C" void Kes$PushBool(int32_t value) noexcept { rt::push_bool(value); }
extern "C" void Kes$PushAString(const char* astring) noexcept { rt::push_astring(astring); }
extern "C" void Kes$PushBString(KesBStr bstr) noexcept { rt::push_bstr(bstr, false); }
extern "C" void Kes$PushBStringTmp(KesBStr bstr) noexcept {
  rt::unregister_temporary_bstr(bstr);
  rt::push_bstr(bstr, true);
}
extern "C" void Kes$PushVariant(KesVariant* variant) noexcept {
  rt::push_variant_reference(variant);
}
extern "C" void Kes$PushVariantLong(int32_t value) noexcept {
  KesVariant variant;
  rt::variant_init(variant);
  rt::variant_assign_long(variant, value);
  rt::push_variant_inline(variant);
}
extern "C" void Kes$PushVariantReal(double value) noexcept {
  KesVariant variant;
  rt::variant_init(variant);
  rt::variant_assign_real(variant, value);
  rt::push_variant_inline(variant);
}

extern "C" void Kes$PopString(char* destination, uint32_t size) noexcept {
  rt::pop_to_string(destination, size);
}
extern "C" void Kes$PopCString(char* destination, uint32_t size) noexcept {
  rt::pop_to_cstring(destination, size);
}
extern "C" void Kes$PopPString(char* destination, uint32_t size) noexcept {
  rt::pop_to_pstring(destination, size);
}
extern "C" void Kes$PopTemp(KesTextPair* pair) noexcept {
  const rt::HeapText text = rt::pop_to_heap();
  if (pair != nullptr) {
    *pair = {text.pointer, text.length};
  } else {
    platform::heap_free(text.pointer);
  }
}
extern "C" double Kes$PopReal() noexcept { return rt::pop_real(); }
extern "C" KesBStr Kes$PopBStringTmp() noexcept {
  KesBStr bstr = rt::pop_bstr();
  rt::register_temporary_bstr(bstr);
  return bstr;
}
extern "C" void Kes$Stack2BString(KesBStr* variable) noexcept {
  KesBStr bstr = rt::pop_bstr();
  if (variable == nullptr) {
    rt::bstr_free(bstr);
    return;
  }
  rt::bstr_free(*variable);
  *variable = bstr;
}
extern "C" void Kes$Stack2BStringTmp(KesBStr* variable) noexcept {
  KesBStr bstr = Kes$PopBStringTmp();
  if (variable != nullptr) *variable = bstr;
}
extern "C" void Kes$Stack2Variant(KesVariant* variant) noexcept {
  if (variant == nullptr) {
    rt::pop_discard();
    return;
  }
  rt::pop_to_variant(*variant);
}
extern "C" KesVariant* Kes$Stack2VariantTmp() noexcept {
  auto* variant = static_cast<KesVariant*>(platform::heap_allocate(sizeof(KesVariant)));
  if (variant == nullptr) {
    rt::pop_discard();
    return nullptr;
  }
  rt::variant_init(*variant);
  rt::pop_to_variant(*variant);
  return variant;
}

extern "C" void Kes$STACKpop() noexcept { rt::pop_discard(); }
extern "C" uint32_t Kes$StackLen2() noexcept { return rt::top_length(); }
extern "C" uint32_t Kes$StackLen() noexcept {
  const uint32_t length = rt::top_length();
  rt::pop_discard();
  return length;
}
extern "C" void Kes$StackRotate(uint32_t n) noexcept {
  rt::rotate(n > 255 ? -1 : static_cast<int>(n));
}
extern "C" void Kes$StackHeap() noexcept { rt::make_top_self_contained(); }
extern "C" int32_t Kes$Omitted(int32_t number, int32_t count, ...) noexcept {
  uint32_t flag = 0;
  if (number >= 1 && number <= count) {
    std::va_list flags;
    va_start(flags, count);
    for (int32_t index = 1; index <= number; ++index)
      flag = va_arg(flags, uint32_t);
    va_end(flags);
  }
  return rt::omitted_flag(number, count, flag);
}
extern "C" void Kes$String2Ref(int32_t* first, int32_t* second, int32_t* third) noexcept {
  int32_t numbers[3];
  rt::pop_colon_numbers(numbers);
  if (first != nullptr) *first = numbers[0];
  if (second != nullptr) *second = numbers[1];
  if (third != nullptr) *third = numbers[2];
}
extern "C" void Kes$StashBP(void** frame) noexcept {
  // Compiled code on this host needs no frame base; it receives this call's frame address.
  if (frame != nullptr) *frame = __builtin_frame_address(0);
}

// ---- The string stack's exports that go through the decimal stack.

extern "C" int32_t Kes$PopLong() noexcept { return rt::pop_long(); }
extern "C" void Kes$Stack2DStack() noexcept { rt::pop_to_decimal_stack(); }
extern "C" void Kes$DStack2Stack() noexcept { rt::push_from_decimal_stack(); }

// ---- The exported text stores and byte helpers.

extern "C" void Kes$storestr(char* destination, uint32_t size, const char* source,
                             uint32_t length) noexcept {
  rt::store_string(destination, size, source, length);
}
extern "C" void Kes$storecstr(char* destination, uint32_t size, const char* source,
                              uint32_t length) noexcept {
  rt::store_cstring(destination, size, source, length);
}
extern "C" void Kes$storepstr(char* destination, uint32_t size, const char* source,
                              uint32_t length) noexcept {
  rt::store_pstring(destination, size, source, length);
}
extern "C" void Kes$clearstr(char* destination, uint32_t length) noexcept {
  rt::clear_string(destination, length);
}
extern "C" void Kes$duplicate(void* destination, uint32_t unit_size, uint32_t count) noexcept {
  rt::duplicate_unit(destination, unit_size, count);
}
extern "C" uint32_t Kes$FastClip(uint32_t length, const char* text) noexcept {
  return rt::clipped_length(text, length);
}
extern "C" void Kes$loadstr(KesTextPair* pair, const char* source, uint32_t length) noexcept {
  if (pair == nullptr) return;
  const rt::HeapText copy = rt::load_text(source, length);
  *pair = {copy.pointer, copy.length};
}
