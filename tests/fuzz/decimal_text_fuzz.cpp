// Two numeric texts split at '|': each parses well formed and its text reads back to itself; every
// operation keeps entries well formed, and (a + b) - b = a below overflow, a - a = 0,
// a / 1 = a rounded to 31 places, compare agrees with subtraction.
#include <string_view>

#include "numeric/decimal/decimal_arith.h"
#include "numeric/decimal/decimal_convert.h"
#include "tests/fuzz/support/fuzz_check.h"

namespace {

namespace num = kes::numeric;
using kes::fuzz::check;

void require_well_formed(const num::DecimalEntry& value) {
  check(value.low <= value.high && value.high < num::kDecimalPositions);
  check(value.sign <= 1);
  for (int p = 0; p < num::kDecimalPositions; ++p)
    check(p < value.low || p > value.high ? value.digits[p] == 0 : value.digits[p] <= 9);
}

std::string_view text_of(const num::DecimalEntry& value,
                         char (&buffer)[num::kDecimalTextCapacity]) {
  const std::size_t length = num::decimal_to_text(value, buffer);
  check(length > 0 && length <= num::kDecimalTextCapacity);
  return {buffer, length};
}

// Canonical text must parse back to the same text. A value with a digit at position 63 (32
// integer digits, reachable only by overflow) is beyond what text may hold and is skipped.
void require_round_trip(const num::DecimalEntry& value) {
  num::DecimalEntry normal = value;
  num::decimal_normalise(normal);
  if (normal.high == num::kDecimalPositions - 1) return;
  char first[num::kDecimalTextCapacity];
  char second[num::kDecimalTextCapacity];
  const std::string_view text = text_of(value, first);
  num::DecimalEntry again;
  num::decimal_from_text(again, text);
  check(text_of(again, second) == text);
}

bool below_ten_to_the_thirty(const num::DecimalEntry& value) {
  num::DecimalEntry v = value;
  num::decimal_normalise(v);
  return v.high < num::kUnitsPosition + 30;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size > 512) return 0;
  const std::string_view input = kes::fuzz::text_of(data, size);
  auto [left_text, right_text] = kes::fuzz::split_at(input, '|');
  if (input.find('|') == std::string_view::npos) right_text = "1";
  const kes::fuzz::StackDepths depths;

  num::DecimalEntry a;
  num::DecimalEntry b;
  num::decimal_from_text(a, left_text);
  num::decimal_from_text(b, right_text);
  require_well_formed(a);
  require_well_formed(b);
  require_round_trip(a);
  require_round_trip(b);

  num::DecimalEntry sum = a;
  num::decimal_add(sum, b);
  require_well_formed(sum);
  num::DecimalEntry difference = a;
  num::decimal_subtract(difference, a);
  check(num::decimal_is_zero(difference));
  if (below_ten_to_the_thirty(a) && below_ten_to_the_thirty(b)) {
    num::DecimalEntry back = sum;
    num::decimal_subtract(back, b);
    check(num::decimal_compare(back, a) == 0);
    num::DecimalEntry a_minus_b = a;
    num::decimal_subtract(a_minus_b, b);
    const int sign = num::decimal_is_zero(a_minus_b) ? 0 : (a_minus_b.sign != 0 ? -1 : 1);
    check(num::decimal_compare(a, b) == sign);
  }

  num::DecimalEntry product = a;
  num::decimal_multiply(product, b);
  require_well_formed(product);
  require_round_trip(product);

  num::DecimalEntry quotient = a;
  num::decimal_divide(quotient, b);
  require_well_formed(quotient);
  check(quotient.low >= 1);  // never more than 31 places
  num::DecimalEntry one;
  num::decimal_from_long(one, 1);
  num::DecimalEntry same = a;
  num::decimal_divide(same, one);
  num::DecimalEntry rounded = a;
  num::decimal_round(rounded, 31);
  check(num::decimal_compare(same, rounded) == 0);

  std::uint8_t packed[17];
  num::decimal_store_packed(a, packed, num::PackedKind::Pdecimal, 17, 16);
  num::DecimalEntry loaded;
  num::decimal_load_packed(loaded, packed, num::PackedKind::Pdecimal, 17, 16);
  require_well_formed(loaded);
  (void)num::decimal_to_real(product);
  (void)num::decimal_to_long(quotient);

  depths.check_kept();
  return 0;
}
