// The exported comparison, case, class, sort-form and table-exchange functions, those that take
// their text from the string stack, and start-up, LOCALE and the message overrides.
#include <cstddef>
#include <cstring>
#include <string_view>

#include <kestrel/collation.h>

#include "files/errors/error_state.h"
#include "numeric/locale/collation_compare.h"
#include "numeric/locale/collation_tables.h"
#include "numeric/locale/locale_settings.h"
#include "numeric/locale/locale_texts.h"
#include "platform/text/codepage.h"
#include "runtime/stack/string_stack.h"

namespace num = kes::numeric;
namespace rt = kes::runtime;

static_assert(sizeof(KesCollationBlock) == 1152);
static_assert(offsetof(KesCollationBlock, ansi_weight) == 0);
static_assert(offsetof(KesCollationBlock, oem_weight) == 256);
static_assert(offsetof(KesCollationBlock, case_partner) == 512);
static_assert(offsetof(KesCollationBlock, char_class) == 768);
static_assert(offsetof(KesCollationBlock, digraphs) == 1024);
static_assert(offsetof(KesCollationBlock, oem_digraphs) == 1088);
// 8 bytes on 32-bit hosts.
static_assert(sizeof(KesTextDescriptor) == 2 * sizeof(void*));
static_assert(offsetof(KesTextDescriptor, length) == sizeof(void*));

namespace {

std::string_view text_of(const char* text, std::uint32_t length) noexcept {
  return text == nullptr ? std::string_view() : std::string_view(text, length);
}

const char* or_empty(const char* text) noexcept { return text == nullptr ? "" : text; }

std::size_t count_of(const char* a, const char* b, std::uint32_t count) noexcept {
  return a == nullptr || b == nullptr ? 0 : count;
}

bool in_byte_range(std::int32_t c) noexcept { return c >= 0 && c <= 255; }

std::uint32_t convert(char* text, std::uint32_t length, num::CodePage page,
                      std::uint32_t options) noexcept {
  if (text == nullptr) return 0;
  const std::size_t full =
      num::to_sort_form(std::span<char>(text, length), page, (options & KES_SORT_IGNORE_CASE) != 0);
  return static_cast<std::uint32_t>(full);
}

}  // namespace

extern "C" std::int32_t Kes$comparestr(const char* a, std::uint32_t a_length, const char* b,
                                       std::uint32_t b_length) noexcept {
  return num::compare_padded(text_of(a, a_length), text_of(b, b_length));
}

extern "C" std::int32_t Kes$isfcompare(const char* a, const char* b, std::uint32_t count) noexcept {
  return num::compare_counted(or_empty(a), or_empty(b), count_of(a, b, count), num::CodePage::Ansi,
                              false);
}

extern "C" std::int32_t Kes$isficompare(const char* a, const char* b,
                                        std::uint32_t count) noexcept {
  return num::compare_counted(or_empty(a), or_empty(b), count_of(a, b, count), num::CodePage::Ansi,
                              true);
}

extern "C" std::int32_t Kes$isfoemcompare(const char* a, const char* b,
                                          std::uint32_t count) noexcept {
  return num::compare_counted(or_empty(a), or_empty(b), count_of(a, b, count), num::CodePage::Oem,
                              false);
}

extern "C" std::int32_t Kes$isftoupper(std::int32_t character) noexcept {
  return in_byte_range(character) ? num::to_upper_char(static_cast<std::uint8_t>(character))
                                  : character;
}

extern "C" std::int32_t Kes$isftolower(std::int32_t character) noexcept {
  return in_byte_range(character) ? num::to_lower_char(static_cast<std::uint8_t>(character))
                                  : character;
}

extern "C" void Kes$isfupper(char* text, std::uint32_t length) noexcept {
  if (text != nullptr) num::to_upper(std::span<char>(text, length));
}

extern "C" void Kes$isflower(char* text, std::uint32_t length) noexcept {
  if (text != nullptr) num::to_lower(std::span<char>(text, length));
}

extern "C" std::int32_t Kes$isfisupper(std::int32_t character) noexcept {
  return in_byte_range(character) && num::is_upper(static_cast<std::uint8_t>(character)) ? 1 : 0;
}

extern "C" std::int32_t Kes$isfislower(std::int32_t character) noexcept {
  return in_byte_range(character) && num::is_lower(static_cast<std::uint8_t>(character)) ? 1 : 0;
}

extern "C" std::int32_t Kes$isfisalpha(std::int32_t character) noexcept {
  return in_byte_range(character) && num::is_alpha(static_cast<std::uint8_t>(character)) ? 1 : 0;
}

extern "C" std::int32_t Kes$isfisalnum(std::int32_t character) noexcept {
  return in_byte_range(character) && num::is_alnum(static_cast<std::uint8_t>(character)) ? 1 : 0;
}

extern "C" void Kes$OEMTOANSIdesc(KesTextDescriptor* text) noexcept {
  if (text != nullptr && text->text != nullptr) {
    kes::platform::oem_to_ansi(std::span<char>(text->text, text->length));
  }
}

extern "C" void Kes$ANSITOOEMdesc(KesTextDescriptor* text) noexcept {
  if (text != nullptr && text->text != nullptr) {
    kes::platform::ansi_to_oem(std::span<char>(text->text, text->length));
  }
}

extern "C" std::uint32_t Kes$isfconvert(char* text, std::uint32_t length,
                                        std::uint32_t options) noexcept {
  return convert(text, length, num::CodePage::Ansi, options);
}

extern "C" std::uint32_t Kes$isfoemconvert(char* text, std::uint32_t length,
                                           std::uint32_t options) noexcept {
  return convert(text, length, num::CodePage::Oem, options);
}

extern "C" std::uint32_t Kes$isfxconvert(char* text, std::uint32_t length,
                                         std::uint32_t options) noexcept {
  return convert(text, length,
                 (options & KES_SORT_OEM) != 0 ? num::CodePage::Oem : num::CodePage::Ansi, options);
}

extern "C" void Kes$AccessColSeqInfo(KesCollationBlock* block, std::int32_t direction) noexcept {
  if (block == nullptr) return;
  num::CollationTables& t = num::collation_tables();
  if (direction == 0) {
    std::memcpy(block->ansi_weight, t.ansi_weight.data(), 256);
    std::memcpy(block->oem_weight, t.oem_weight.data(), 256);
    std::memcpy(block->case_partner, t.case_partner.data(), 256);
    std::memcpy(block->char_class, t.char_class.data(), 256);
    for (std::size_t i = 0; i < 16; ++i) {
      std::memcpy(block->digraphs[i], t.digraphs[i].data(), 4);
      std::memcpy(block->oem_digraphs[i], t.oem_digraphs[i].data(), 4);
    }
  } else {
    std::memcpy(t.ansi_weight.data(), block->ansi_weight, 256);
    std::memcpy(t.oem_weight.data(), block->oem_weight, 256);
    std::memcpy(t.case_partner.data(), block->case_partner, 256);
    std::memcpy(t.char_class.data(), block->char_class, 256);
    for (std::size_t i = 0; i < 16; ++i) {
      std::memcpy(t.digraphs[i].data(), block->digraphs[i], 4);
      std::memcpy(t.oem_digraphs[i].data(), block->oem_digraphs[i], 4);
    }
  }
}

// ---- The exported class tests and collation values that take or give their text on the string
// stack.

namespace {

std::int32_t test_popped_first(bool (*test)(std::uint8_t)) noexcept {
  const std::string_view top = rt::top_text();
  const bool result = !top.empty() && test(static_cast<std::uint8_t>(top.front()));
  rt::pop_discard();
  return result ? 1 : 0;
}

}  // namespace

extern "C" std::int32_t Kes$IsAlpha() noexcept { return test_popped_first(num::is_alpha); }
extern "C" std::int32_t Kes$IsUpper() noexcept { return test_popped_first(num::is_upper); }
extern "C" std::int32_t Kes$IsLower() noexcept { return test_popped_first(num::is_lower); }

extern "C" std::int32_t Kes$CollationVal() noexcept {
  const std::uint32_t value = num::collation_value(rt::top_text());
  rt::pop_discard();
  return static_cast<std::int32_t>(value);
}

extern "C" void Kes$CollationChar(std::int32_t value) noexcept {
  char text[4];
  const std::size_t n = num::collation_chars(static_cast<std::uint32_t>(value), text);
  rt::push_text(std::string_view(text, n));
}

// ---- The exported start-up, LOCALE and message-override functions.

namespace {

// Pops the top into `buffer`, cut to its size; the popped text's length kept.
std::string_view pop_into(char* buffer, std::size_t capacity) noexcept {
  std::string_view top = rt::top_text();
  if (top.size() > capacity) top = top.substr(0, capacity);
  if (!top.empty()) std::memcpy(buffer, top.data(), top.size());
  rt::pop_discard();
  return std::string_view(buffer, top.size());
}

}  // namespace

extern "C" void Kes$isfinit() noexcept { num::initialize_locale(); }

extern "C" void Kes$Locale(std::int32_t form) noexcept {
  char name[260];
  char value[300];
  const std::string_view first = pop_into(name, sizeof name);
  const std::string_view second = pop_into(value, sizeof value);
  if (form != 0) {
    kes::files::ErrorScope errors;
    errors.report(num::locale_file(first));
  } else {
    num::locale_setting(first, second);
  }
}

extern "C" const char* Kes$IsfGetMsg(std::int32_t number) noexcept {
  const std::optional<std::string_view> text = num::message_override(number);
  return text ? text->data() : nullptr;  // stored followed by a zero byte
}
