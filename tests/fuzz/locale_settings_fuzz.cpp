// Settings-file text of any shape: the reader never reads or writes out of bounds, the texts
// keep their capacities, the digraph table stays well formed, and comparison stays consistent.
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

void check_invariants(std::string_view sample) {
  for (int m = 1; m <= 12; ++m)
    check(month_name(m).size() <= 12 && month_abbreviation(m).size() <= 3);
  check(am_text().size() <= 2 && pm_text().size() <= 2);
  const CollationTables& t = collation_tables();
  bool ended = false;
  for (std::size_t i = 0; i < 16; ++i) {
    if (t.digraphs[i][0] == 0) ended = true;
    check(!ended || t.digraphs[i][0] == 0);  // nothing after the end
    check(t.digraphs[i][3] == 0 && t.oem_digraphs[i][3] == 0);
    check((t.digraphs[i][0] == 0) == (t.oem_digraphs[i][0] == 0));
  }
  // Comparison is antisymmetric and reflexive under whatever tables the text set.
  const std::string_view a = sample.substr(0, sample.size() / 2);
  const std::string_view b = sample.substr(sample.size() / 2);
  const int ab = compare_padded(a, b);
  const int ba = compare_padded(b, a);
  check(ab == -ba && compare_padded(a, a) == 0 && ab >= -255 && ab <= 255);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size > 65536) return 0;
  const std::string_view text = kes::fuzz::text_of(data, size);
  SettingsReader reader;
  // Two pieces, to run the reader across a piece boundary.
  reader.feed(text.substr(0, size / 3));
  reader.feed(text.substr(size / 3));
  reader.finish();
  check_invariants(text.substr(0, 64));
  reset_all_tables();
  locale_state().reset();
  return 0;
}
