// The driver's collations: the library's text comparisons, and decimal texts by value.
#include "files/sqlite/collations.h"

#include <cstdint>
#include <cstring>

#include <kestrel/collation.h>

namespace kes::sqlite {
namespace {

// The longer text's remaining bytes against blanks, by `compare` of one byte each.
template <typename Compare>
int compare_padded(std::string_view a, std::string_view b, Compare compare) {
  const std::size_t common = std::min(a.size(), b.size());
  if (common > 0) {
    const int order = compare(a.data(), b.data(), static_cast<std::uint32_t>(common));
    if (order != 0) return order;
  }
  static const char kBlank = ' ';
  for (std::size_t i = common; i < a.size(); ++i) {
    const int order = compare(a.data() + i, &kBlank, 1);
    if (order != 0) return order;
  }
  for (std::size_t i = common; i < b.size(); ++i) {
    const int order = compare(&kBlank, b.data() + i, 1);
    if (order != 0) return order;
  }
  return 0;
}

// A decimal text taken apart: sign, integer digits without leading zeros, fraction digits
// without trailing zeros.
struct DecimalText {
  bool negative = false;
  std::string_view whole;
  std::string_view fraction;
};

DecimalText split_decimal(std::string_view text) {
  DecimalText out;
  std::size_t i = 0;
  while (i < text.size() && text[i] == ' ')
    ++i;
  if (i < text.size() && (text[i] == '-' || text[i] == '+')) out.negative = text[i++] == '-';
  while (i < text.size() && text[i] == '0')
    ++i;
  std::size_t start = i;
  while (i < text.size() && text[i] >= '0' && text[i] <= '9')
    ++i;
  out.whole = text.substr(start, i - start);
  if (i < text.size() && text[i] == '.') {
    start = ++i;
    while (i < text.size() && text[i] >= '0' && text[i] <= '9')
      ++i;
    out.fraction = text.substr(start, i - start);
    while (!out.fraction.empty() && out.fraction.back() == '0')
      out.fraction.remove_suffix(1);
  }
  if (out.whole.empty() && out.fraction.empty()) out.negative = false;  // -0 is 0
  return out;
}

int sign_of(int value) { return (value > 0) - (value < 0); }

template <int (*Order)(std::string_view, std::string_view)>
int collate(void*, int a_length, const void* a, int b_length, const void* b) {
  return Order({static_cast<const char*>(a), static_cast<std::size_t>(a_length)},
               {static_cast<const char*>(b), static_cast<std::size_t>(b_length)});
}

}  // namespace

int compare_text(std::string_view a, std::string_view b) {
  return sign_of(Kes$comparestr(a.data(), static_cast<std::uint32_t>(a.size()), b.data(),
                                static_cast<std::uint32_t>(b.size())));
}

int compare_text_nocase(std::string_view a, std::string_view b) {
  return sign_of(compare_padded(a, b, Kes$isficompare));
}

int compare_decimal(std::string_view a, std::string_view b) {
  const DecimalText x = split_decimal(a);
  const DecimalText y = split_decimal(b);
  if (x.negative != y.negative) return x.negative ? -1 : 1;
  int order = 0;
  if (x.whole.size() != y.whole.size()) {
    order = x.whole.size() < y.whole.size() ? -1 : 1;
  } else {
    order = sign_of(x.whole.compare(y.whole));
    if (order == 0) order = sign_of(x.fraction.compare(y.fraction));
  }
  return x.negative ? -order : order;
}

int register_collations(sqlite3* db) {
  int rc = sqlite3_create_collation(db, kCollation, SQLITE_UTF8, nullptr, collate<compare_text>);
  if (rc == SQLITE_OK)
    rc = sqlite3_create_collation(db, kCollationNoCase, SQLITE_UTF8, nullptr,
                                  collate<compare_text_nocase>);
  if (rc == SQLITE_OK)
    rc = sqlite3_create_collation(db, kCollationDecimal, SQLITE_UTF8, nullptr,
                                  collate<compare_decimal>);
  return rc;
}

}  // namespace kes::sqlite
