// Collation, case and digraph tables built from setting values.
#include "numeric/locale/collation_settings.h"

#include "numeric/locale/collation_state.h"
#include "platform/text/char_props.h"
#include "platform/text/codepage.h"
#include "platform/text/locale_compare.h"

namespace kes::numeric {

namespace {

// Lists longer than the table hold no more than 256 distinct characters anyway; a case list is
// cut at 128 characters.
constexpr std::size_t kCaseListLimit = 128;

std::uint8_t byte_at(std::string_view s, std::size_t i) noexcept {
  return static_cast<std::uint8_t>(s[i]);
}

// Enters the pairs whose two characters are both 128 or above, after clearing the upper half of
// the case and class tables; the codes below 128 keep their entries.
void enter_upper_half_pairs(const std::uint8_t* uppers, const std::uint8_t* lowers,
                            std::size_t count) noexcept {
  CollationTables& t = collation_tables();
  for (std::size_t c = 128; c < 256; ++c) {
    t.case_partner[c] = 0;
    t.char_class[c] = 0;
  }
  if (count > kCaseListLimit) count = kCaseListLimit;
  for (std::size_t i = 0; i < count; ++i) {
    const std::uint8_t upper = uppers[i];
    const std::uint8_t lower = lowers[i];
    if (upper == 0 || lower == 0) break;  // the first empty position ends the pairs
    if (upper < 128 || lower < 128) continue;
    t.case_partner[upper] = lower;
    t.case_partner[lower] = upper;
    t.char_class[upper] = kClassUpper;
    t.char_class[lower] = kClassLower;
  }
}

}  // namespace

void apply_collating_list(std::string_view list, std::array<std::uint8_t, 256>& weights) noexcept {
  std::array<bool, 256> seen{};
  std::array<std::uint8_t, 256> unique{};
  std::size_t count = 0;
  bool duplicates = false;
  for (std::size_t i = 0; i < list.size(); ++i) {
    const std::uint8_t c = byte_at(list, i);
    if (seen[c]) {
      duplicates = true;
      continue;
    }
    seen[c] = true;
    unique[count++] = c;
  }
  for (std::size_t c = 0; c < 256; ++c) {
    weights[c] = static_cast<std::uint8_t>(c);
  }
  if (!duplicates && count == 222) {
    for (std::size_t i = 0; i < 95; ++i) {
      weights[unique[i]] = static_cast<std::uint8_t>(32 + i);
    }
    for (std::size_t i = 95; i < 222; ++i) {
      weights[unique[i]] = static_cast<std::uint8_t>(128 + (i - 95));
    }
    return;
  }
  // The listed codes in ascending order are handed out in list order.
  std::size_t next = 0;
  for (std::size_t code = 0; code < 256; ++code) {
    if (!seen[code]) continue;
    weights[unique[next++]] = static_cast<std::uint8_t>(code);
  }
}

void set_collating_sequence(std::string_view list, bool list_is_oem) noexcept {
  CollationTables& t = collation_tables();
  if (list.empty()) {
    reset_collation_weights(t);
    return;
  }
  // The list in the other code page, character by character. A list longer than the buffer
  // repeats characters, and so does its cut copy, so both tables see duplicates alike.
  char converted[512];
  std::size_t n = 0;
  for (std::size_t i = 0; i < list.size() && n < sizeof converted; ++i) {
    const std::uint8_t c = byte_at(list, i);
    converted[n++] =
        static_cast<char>(list_is_oem ? platform::oem_to_ansi(c) : platform::ansi_to_oem(c));
  }
  const std::string_view other(converted, n);
  if (list_is_oem) {
    apply_collating_list(list, t.oem_weight);
    apply_collating_list(other, t.ansi_weight);
  } else {
    apply_collating_list(list, t.ansi_weight);
    apply_collating_list(other, t.oem_weight);
  }
}

std::array<std::uint8_t, 254> platform_collating_list() noexcept {
  std::array<std::uint8_t, 254> order{};
  for (std::size_t i = 0; i < order.size(); ++i) {
    const auto c = static_cast<std::uint8_t>(i + 1);
    // Insertion sort: a character moves before only those that compare strictly greater, so
    // ties keep code order.
    std::size_t j = i;
    while (j > 0 && platform::compare_ansi_chars(order[j - 1], c) > 0) {
      order[j] = order[j - 1];
      --j;
    }
    order[j] = c;
  }
  return order;
}

void set_platform_collating_sequence() noexcept {
  const std::array<std::uint8_t, 254> order = platform_collating_list();
  set_collating_sequence(
      std::string_view(reinterpret_cast<const char*>(order.data()), order.size()), false);
}

void set_case_pairs(std::string_view uppers, std::string_view lowers) noexcept {
  if (uppers.empty() || uppers.size() != lowers.size()) {
    set_platform_case_tables();
    return;
  }
  enter_upper_half_pairs(reinterpret_cast<const std::uint8_t*>(uppers.data()),
                         reinterpret_cast<const std::uint8_t*>(lowers.data()), uppers.size());
}

void set_platform_case_tables() noexcept {
  std::array<std::uint8_t, 256> uppers{};
  std::array<std::uint8_t, 256> lowers{};
  std::size_t count = 0;
  for (std::size_t c = 0; c < 256; ++c) {
    const auto ch = static_cast<std::uint8_t>(c);
    if (!platform::ansi_is_alpha(ch) || !platform::ansi_is_upper(ch)) continue;
    const std::uint8_t lower = platform::ansi_to_lower(ch);
    // A letter without a distinct lower-case form in the code page has no partner to enter.
    if (lower == 0 || lower == ch) continue;
    uppers[count] = ch;
    lowers[count] = lower;
    ++count;
  }
  enter_upper_half_pairs(uppers.data(), lowers.data(), count);
}

void clear_digraphs() noexcept {
  CollationTables& t = collation_tables();
  for (auto& entry : t.digraphs)
    entry.fill(0);
  for (auto& entry : t.oem_digraphs)
    entry.fill(0);
}

bool add_digraph_item(std::string_view item) noexcept {
  CollationTables& t = collation_tables();
  std::size_t used = 0;
  while (used < t.digraphs.size() && t.digraphs[used][0] != 0)
    ++used;
  while (!item.empty()) {
    const std::size_t comma = item.find(',');
    const std::string_view piece = item.substr(0, comma);
    item = comma == std::string_view::npos ? std::string_view() : item.substr(comma + 1);
    // A character 0 would end the table early, so such a piece is skipped like a malformed one.
    if (piece.size() != 3 || piece[0] == '\0' || piece[1] == '\0' || piece[2] == '\0') continue;
    if (used == t.digraphs.size()) return false;
    for (std::size_t k = 0; k < 3; ++k) {
      const std::uint8_t c = byte_at(piece, k);
      t.digraphs[used][k] = c;
      t.oem_digraphs[used][k] = platform::ansi_to_oem(c);
    }
    t.digraphs[used][3] = 0;
    t.oem_digraphs[used][3] = 0;
    ++used;
  }
  return used < t.digraphs.size();
}

}  // namespace kes::numeric
