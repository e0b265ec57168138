// The process-wide collation, case and class tables, with their start-up defaults: plain byte
// order, ASCII letters paired by case, ASCII digits.
#include "numeric/locale/collation_tables.h"

#include "numeric/locale/collation_state.h"

namespace kes::numeric {

namespace {

CollationTables make_default_tables() noexcept {
  CollationTables t{};
  for (int c = 0; c < 256; ++c) {
    t.ansi_weight[static_cast<std::size_t>(c)] = static_cast<std::uint8_t>(c);
    t.oem_weight[static_cast<std::size_t>(c)] = static_cast<std::uint8_t>(c);
  }
  reset_case_tables(t);
  return t;
}

}  // namespace

namespace detail {
// Process-wide by nature: every thread compares by the same settings.
CollationTables g_collation_tables = make_default_tables();
}  // namespace detail

CollationTables& collation_tables() noexcept { return detail::g_collation_tables; }

void reset_case_tables(CollationTables& tables) noexcept {
  tables.case_partner.fill(0);
  tables.char_class.fill(0);
  for (int i = 0; i < 26; ++i) {
    const auto upper = static_cast<std::size_t>('A' + i);
    const auto lower = static_cast<std::size_t>('a' + i);
    tables.case_partner[upper] = static_cast<std::uint8_t>(lower);
    tables.case_partner[lower] = static_cast<std::uint8_t>(upper);
    tables.char_class[upper] = kClassUpper;
    tables.char_class[lower] = kClassLower;
  }
  for (int d = '0'; d <= '9'; ++d) {
    tables.char_class[static_cast<std::size_t>(d)] = kClassDigit;
  }
}

void reset_collation_weights(CollationTables& tables) noexcept {
  for (int c = 0; c < 256; ++c) {
    tables.ansi_weight[static_cast<std::size_t>(c)] = static_cast<std::uint8_t>(c);
    tables.oem_weight[static_cast<std::size_t>(c)] = static_cast<std::uint8_t>(c);
  }
}

void reset_all_tables() noexcept { detail::g_collation_tables = make_default_tables(); }

}  // namespace kes::numeric
