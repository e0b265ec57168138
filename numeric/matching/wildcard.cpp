// Wildcard matching: a check of the pattern's tail against the text's tail, then a walk that
// returns to the latest "*" on a mismatch.
#include "numeric/matching/wildcard.h"

#include <cstddef>
#include <cstdint>

#include "numeric/locale/collation_tables.h"

namespace kes::numeric {
namespace {

class CharCompare {
 public:
  explicit CharCompare(bool no_case) noexcept {
    if (no_case) {
      const CollationTables& tables = collation_tables();
      char_class_ = tables.char_class.data();
      partner_ = tables.case_partner.data();
    }
  }
  bool same(char pattern_char, char text_char) const noexcept {
    const auto p = static_cast<std::uint8_t>(pattern_char);
    const auto t = static_cast<std::uint8_t>(text_char);
    return p == t || (char_class_ != nullptr && upper(p) == upper(t));
  }

 private:
  std::uint8_t upper(std::uint8_t c) const noexcept {
    return (char_class_[c] & kClassLower) != 0 && partner_[c] != 0 ? partner_[c] : c;
  }
  const std::uint8_t* char_class_ = nullptr;
  const std::uint8_t* partner_ = nullptr;
};

}  // namespace

bool wildcard_match(std::string_view pattern, std::string_view text, bool no_case) noexcept {
  const CharCompare compare(no_case);
  if (!pattern.empty() && pattern.front() == '*') {
    // The part after the last "*" must match the end of the text exactly; when that "*" is the
    // first character, nothing else is left to check.
    const std::size_t last_star = pattern.rfind('*');
    const std::string_view tail = pattern.substr(last_star + 1);
    if (tail.size() > text.size()) return false;
    const std::string_view text_tail = text.substr(text.size() - tail.size());
    for (std::size_t i = tail.size(); i-- > 0;) {
      if (tail[i] != '?' && !compare.same(tail[i], text_tail[i])) return false;
    }
    if (last_star == 0) return true;
  }
  // A failed attempt after a later "*" can never be rescued by giving an earlier "*" a
  // different run: the later "*" can absorb any such difference. So only the latest "*" is
  // ever retried, which bounds the walk by the product of the lengths.
  std::size_t p = 0;
  std::size_t t = 0;
  std::size_t star = std::string_view::npos;
  std::size_t star_text = 0;
  while (t < text.size()) {
    if (p < pattern.size() && pattern[p] == '*') {
      star = p++;
      star_text = t;
    } else if (p < pattern.size() && (pattern[p] == '?' || compare.same(pattern[p], text[t]))) {
      ++p;
      ++t;
    } else if (star != std::string_view::npos) {
      p = star + 1;
      t = ++star_text;
    } else {
      return false;
    }
  }
  while (p < pattern.size() && pattern[p] == '*')
    ++p;
  return p == pattern.size();
}

}  // namespace kes::numeric
