// Text comparison and sort forms. Equal prefixes are skipped a machine word at a time; weights
// are looked up only where bytes differ, and digraphs, when any are set, are expanded on the
// fly.
#include "numeric/locale/collation_compare.h"

#include <bit>
#include <cstring>

#if defined(__SSE2__) || defined(_M_X64) || (defined(_M_IX86_FP) && _M_IX86_FP >= 2)
#include <emmintrin.h>
#define KES_COMPARE_SSE2 1
#else
#define KES_COMPARE_SSE2 0
#endif

#include "numeric/locale/collation_state.h"
#include "numeric/locale/collation_tables.h"

namespace kes::numeric {

namespace {

using Weights = std::array<std::uint8_t, 256>;
using Digraphs = std::array<std::array<std::uint8_t, 4>, 16>;

const Weights& weights_of(const CollationTables& t, CodePage page) noexcept {
  return page == CodePage::Oem ? t.oem_weight : t.ansi_weight;
}
const Digraphs& digraphs_of(const CollationTables& t, CodePage page) noexcept {
  return page == CodePage::Oem ? t.oem_digraphs : t.digraphs;
}

std::uint64_t load64(const unsigned char* p) noexcept {
  std::uint64_t w;
  std::memcpy(&w, p, 8);
  return w;
}

#if KES_COMPARE_SSE2
// Bit i set where the 16 bytes at a and b are equal.
unsigned equal_mask(const unsigned char* a, const unsigned char* b) noexcept {
  const __m128i va = _mm_loadu_si128(reinterpret_cast<const __m128i*>(a));
  const __m128i vb = _mm_loadu_si128(reinterpret_cast<const __m128i*>(b));
  return static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(va, vb)));
}
constexpr unsigned kAllEqual = 0xFFFFU;
#endif

// Index of the first byte where a and b differ within [0, n), or n. Equal stretches are
// skipped 16 or 32 bytes at a time (8 without vector instructions); the last partial block is
// read overlapping the one before it, whose bytes are known to be equal.
std::size_t first_difference(const unsigned char* a, const unsigned char* b,
                             std::size_t n) noexcept {
  std::size_t i = 0;
#if KES_COMPARE_SSE2
  if (n >= 16) {
    for (; i + 32 <= n; i += 32) {
      const unsigned m0 = equal_mask(a + i, b + i);
      const unsigned m1 = equal_mask(a + i + 16, b + i + 16);
      if ((m0 & m1) != kAllEqual) {
        return m0 != kAllEqual ? i + static_cast<std::size_t>(std::countr_zero(~m0))
                               : i + 16 + static_cast<std::size_t>(std::countr_zero(~m1));
      }
    }
    if (i + 16 <= n) {
      const unsigned m = equal_mask(a + i, b + i);
      if (m != kAllEqual) return i + static_cast<std::size_t>(std::countr_zero(~m));
      i += 16;
    }
    if (i < n) {
      const std::size_t last = n - 16;
      const unsigned m = equal_mask(a + last, b + last);
      return m == kAllEqual ? n : last + static_cast<std::size_t>(std::countr_zero(~m));
    }
    return n;
  }
#endif
  if constexpr (std::endian::native == std::endian::little) {
    for (; i + 8 <= n; i += 8) {
      const std::uint64_t d = load64(a + i) ^ load64(b + i);
      if (d != 0) return i + static_cast<std::size_t>(std::countr_zero(d)) / 8;
    }
    if (i < n && n >= 8) {
      const std::size_t last = n - 8;
      const std::uint64_t d = load64(a + last) ^ load64(b + last);
      return d == 0 ? n : last + static_cast<std::size_t>(std::countr_zero(d)) / 8;
    }
  }
  for (; i < n; ++i) {
    if (a[i] != b[i]) return i;
  }
  return n;
}

// Index of the first byte that is not a space within [0, n), or n.
std::size_t first_non_space(const unsigned char* a, std::size_t n) noexcept {
  constexpr std::uint64_t kSpaces = 0x2020202020202020ULL;
  std::size_t i = 0;
  if constexpr (std::endian::native == std::endian::little) {
    for (; i + 8 <= n; i += 8) {
      std::uint64_t w;
      std::memcpy(&w, a + i, 8);
      if (w != kSpaces) {
        return i + static_cast<std::size_t>(std::countr_zero(w ^ kSpaces)) / 8;
      }
    }
  }
  for (; i < n; ++i) {
    if (a[i] != ' ') return i;
  }
  return n;
}

std::uint8_t fold(const CollationTables& t, std::uint8_t c) noexcept {
  return (t.char_class[c] & kClassLower) != 0 && t.case_partner[c] != 0 ? t.case_partner[c] : c;
}

// Reads a text character by character, turning each digraph character into its two
// characters (and folding case when asked).
class Expander {
 public:
  Expander(const CollationTables& t, const Digraphs& digraphs, const unsigned char* text,
           std::size_t length, bool ignore_case) noexcept
      : tables_(t), digraphs_(digraphs), next_(text), end_(text + length), fold_(ignore_case) {}

  // The next character, or false when the text is exhausted.
  bool next(std::uint8_t& out) noexcept {
    if (has_pending_) {
      has_pending_ = false;
      out = pending_;
      return true;
    }
    if (next_ == end_) return false;
    std::uint8_t c = *next_++;
    if (fold_) c = fold(tables_, c);
    for (const auto& entry : digraphs_) {
      if (entry[0] == 0) break;
      if (entry[0] == c) {
        out = fold_ ? fold(tables_, entry[1]) : entry[1];
        pending_ = fold_ ? fold(tables_, entry[2]) : entry[2];
        has_pending_ = true;
        return true;
      }
    }
    out = c;
    return true;
  }

 private:
  const CollationTables& tables_;
  const Digraphs& digraphs_;
  const unsigned char* next_;
  const unsigned char* end_;
  bool fold_;
  bool has_pending_ = false;
  std::uint8_t pending_ = 0;
};

const unsigned char* bytes(const char* p) noexcept {
  return reinterpret_cast<const unsigned char*>(p);
}

// Kept out of line so that the fast path does not pay for this one's registers.
[[gnu::noinline]] int compare_padded_expanded(const CollationTables& t, std::string_view a,
                                              std::string_view b) noexcept {
  Expander ea(t, t.digraphs, bytes(a.data()), a.size(), false);
  Expander eb(t, t.digraphs, bytes(b.data()), b.size(), false);
  for (;;) {
    std::uint8_t ca = ' ';
    std::uint8_t cb = ' ';
    const bool more_a = ea.next(ca);
    const bool more_b = eb.next(cb);
    if (!more_a && !more_b) return 0;
    if (!more_a) ca = ' ';
    if (!more_b) cb = ' ';
    if (ca == cb) continue;
    const int d = t.ansi_weight[ca] - t.ansi_weight[cb];
    if (d != 0) return d;
  }
}

[[gnu::noinline]] int compare_counted_expanded(const CollationTables& t, const Weights& w,
                                               const Digraphs& digraphs, const unsigned char* pa,
                                               const unsigned char* pb, std::size_t count,
                                               bool ignore_case) noexcept {
  Expander ea(t, digraphs, pa, count, ignore_case);
  Expander eb(t, digraphs, pb, count, ignore_case);
  for (;;) {
    std::uint8_t ca = 0;
    std::uint8_t cb = 0;
    const bool more_a = ea.next(ca);
    const bool more_b = eb.next(cb);
    if (!more_a) return more_b ? -1 : 0;
    if (!more_b) return 1;
    if (ca == cb) continue;
    const int d = w[ca] - w[cb];
    if (d != 0) return d;
  }
}

}  // namespace

int compare_padded(std::string_view a, std::string_view b) noexcept {
  const CollationTables& t = detail::g_collation_tables;
  if (t.digraphs[0][0] != 0) {
    return compare_padded_expanded(t, a, b);
  }
  const unsigned char* pa = bytes(a.data());
  const unsigned char* pb = bytes(b.data());
  const std::size_t common = a.size() < b.size() ? a.size() : b.size();
  std::size_t i = first_difference(pa, pb, common);
  while (i < common) {
    const int d = t.ansi_weight[pa[i]] - t.ansi_weight[pb[i]];
    if (d != 0) return d;
    ++i;
    i += first_difference(pa + i, pb + i, common - i);
  }
  // The longer text's rest faces spaces.
  const bool a_longer = a.size() > b.size();
  const unsigned char* rest = a_longer ? pa : pb;
  const std::size_t length = a_longer ? a.size() : b.size();
  const int space = t.ansi_weight[' '];
  i = common + first_non_space(rest + common, length - common);
  while (i < length) {
    const int d = t.ansi_weight[rest[i]] - space;
    if (d != 0) return a_longer ? d : -d;
    ++i;
    i += first_non_space(rest + i, length - i);
  }
  return 0;
}

int compare_counted(const char* a, const char* b, std::size_t count, CodePage page,
                    bool ignore_case) noexcept {
  const CollationTables& t = detail::g_collation_tables;
  const Weights& w = weights_of(t, page);
  const Digraphs& digraphs = digraphs_of(t, page);
  const unsigned char* pa = bytes(a);
  const unsigned char* pb = bytes(b);
  if (digraphs[0][0] == 0) {
    std::size_t i = first_difference(pa, pb, count);
    while (i < count) {
      std::uint8_t ca = pa[i];
      std::uint8_t cb = pb[i];
      if (ignore_case) {
        ca = fold(t, ca);
        cb = fold(t, cb);
      }
      const int d = w[ca] - w[cb];
      if (d != 0) return d;
      ++i;
      i += first_difference(pa + i, pb + i, count - i);
    }
    return 0;
  }
  return compare_counted_expanded(t, w, digraphs, pa, pb, count, ignore_case);
}

void to_upper(std::span<char> text) noexcept {
  for (char& c : text)
    c = static_cast<char>(to_upper_char(static_cast<std::uint8_t>(c)));
}

void to_lower(std::span<char> text) noexcept {
  for (char& c : text)
    c = static_cast<char>(to_lower_char(static_cast<std::uint8_t>(c)));
}

bool is_upper(std::uint8_t c) noexcept {
  return (collation_tables().char_class[c] & kClassUpper) != 0;
}
bool is_lower(std::uint8_t c) noexcept {
  return (collation_tables().char_class[c] & kClassLower) != 0;
}
bool is_alpha(std::uint8_t c) noexcept { return collation_tables().case_partner[c] != 0; }
bool is_alnum(std::uint8_t c) noexcept {
  return is_alpha(c) || (collation_tables().char_class[c] & kClassDigit) != 0;
}

std::size_t to_sort_form(std::span<char> text, CodePage page, bool ignore_case) noexcept {
  const CollationTables& t = detail::g_collation_tables;
  const Weights& w = weights_of(t, page);
  const Digraphs& digraphs = digraphs_of(t, page);
  const std::size_t n = text.size();
  auto* p = reinterpret_cast<unsigned char*>(text.data());
  auto find = [&](std::uint8_t c) noexcept -> const std::array<std::uint8_t, 4>* {
    for (const auto& entry : digraphs) {
      if (entry[0] == 0) break;
      if (entry[0] == c) return &entry;
    }
    return nullptr;
  };
  auto character = [&](std::uint8_t c) noexcept { return ignore_case ? fold(t, c) : c; };
  std::size_t total = 0;
  for (std::size_t j = 0; j < n; ++j) {
    total += find(character(p[j])) != nullptr ? 2 : 1;
  }
  // Backwards: the sort form of character j starts at or after j, so writing it only
  // overwrites characters already converted.
  std::size_t position = total;
  for (std::size_t j = n; j-- > 0;) {
    const std::uint8_t c = character(p[j]);
    if (const auto* entry = find(c)) {
      position -= 2;
      const std::uint8_t first = w[character((*entry)[1])];
      const std::uint8_t second = w[character((*entry)[2])];
      if (position + 1 < n) p[position + 1] = second;
      if (position < n) p[position] = first;
    } else {
      position -= 1;
      if (position < n) p[position] = w[c];
    }
  }
  return total;
}

std::uint32_t collation_value(std::string_view text) noexcept {
  const CollationTables& t = detail::g_collation_tables;
  if (text.size() > 4) text = text.substr(0, 4);
  Expander e(t, t.digraphs, bytes(text.data()), text.size(), false);
  std::uint32_t value = 0;
  std::uint8_t c = 0;
  for (int taken = 0; taken < 4 && e.next(c); ++taken) {
    value = (value << 8) | t.ansi_weight[c];
  }
  return value;
}

std::size_t collation_chars(std::uint32_t value, std::span<char, 4> out) noexcept {
  const CollationTables& t = detail::g_collation_tables;
  std::size_t n = 0;
  while (value != 0 && n < 4) {
    const std::uint8_t weight = static_cast<std::uint8_t>(value & 0xFFU);
    std::uint8_t found = weight;
    for (std::size_t c = 0; c < 256; ++c) {
      if (t.ansi_weight[c] == weight) {
        found = static_cast<std::uint8_t>(c);
        break;
      }
    }
    out[n++] = static_cast<char>(found);
    value >>= 8;
  }
  return n;
}

}  // namespace kes::numeric
