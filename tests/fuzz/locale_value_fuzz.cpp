// LOCALE of one setting with any value: the first byte picks the setting, the rest is the
// value. Afterwards sort forms must order texts exactly as the comparison does.
#include <string_view>

#include "numeric/locale/collation_compare.h"
#include "numeric/locale/collation_state.h"
#include "numeric/locale/collation_tables.h"
#include "numeric/locale/locale_settings.h"
#include "numeric/locale/locale_state.h"
#include "numeric/locale/locale_texts.h"
#include "tests/fuzz/support/fuzz_check.h"

namespace {

using namespace kes::numeric;
using kes::fuzz::check;

constexpr std::string_view kNames[] = {
    "KESCHARSET", "KESCOLSEQ", "KESCASE",          "KESMONTH", "KESMON",  "KESAMPM",
    "KESDIGRAPH", "KESBUTTON", "KESLFN",           "KESMSG2",  "kescase", "KESSYSTEMCHARSET",
    "KESCOLSEQ",  "KESCASE",   "KESMSG4294967296", "UNKNOWN",
};

int sign(int v) { return (v > 0) - (v < 0); }

void check_sort_forms(std::string_view sample) {
  if (collation_tables().digraphs[0][0] != 0) return;  // cut sort forms may then tie
  const std::size_t n = sample.size() / 2;
  for (const bool folded : {false, true}) {
    char a[32];
    char b[32];
    std::memcpy(a, sample.data(), n);
    std::memcpy(b, sample.data() + n, n);
    const int by_compare = compare_counted(a, b, n, CodePage::Ansi, folded);
    to_sort_form(std::span<char>(a, n), CodePage::Ansi, folded);
    to_sort_form(std::span<char>(b, n), CodePage::Ansi, folded);
    check(sign(std::memcmp(a, b, n)) == sign(by_compare));
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0 || size > 4096) return 0;
  const std::string_view name = kNames[data[0] % std::size(kNames)];
  const std::string_view value(reinterpret_cast<const char*>(data) + 1, size - 1);
  locale_setting(name, value);
  for (int m = 1; m <= 12; ++m)
    check(month_name(m).size() <= 12 && month_abbreviation(m).size() <= 3);
  check(am_text().size() <= 2 && pm_text().size() <= 2);
  check_sort_forms(value.substr(0, 64));
  reset_all_tables();
  locale_state().reset();
  return 0;
}
