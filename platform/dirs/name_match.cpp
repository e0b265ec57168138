// Wildcard names as Windows searches match them, for hosts whose searches do not.
#include "platform/dirs/dirs.h"

namespace kes::platform {

namespace {

char fold(char c) noexcept { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 32) : c; }

// Wildcard matching without regard to case; after a mismatch the last "*" takes one character
// more, so the time is proportional to the product of the lengths at worst.
bool wildcard(std::string_view pattern, std::string_view name) noexcept {
  std::size_t p = 0;
  std::size_t n = 0;
  std::size_t star = std::string_view::npos;
  std::size_t resume = 0;
  while (n < name.size()) {
    if (p < pattern.size() && pattern[p] == '*') {
      star = p++;
      resume = n;
    } else if (p < pattern.size() && (pattern[p] == '?' || fold(pattern[p]) == fold(name[n]))) {
      ++p;
      ++n;
    } else if (star != std::string_view::npos) {
      p = star + 1;
      n = ++resume;
    } else {
      return false;
    }
  }
  while (p < pattern.size() && pattern[p] == '*')
    ++p;
  return p == pattern.size();
}

}  // namespace

bool name_matches(std::string_view pattern, std::string_view name) noexcept {
  if (pattern == "*.*") return true;
  if (!pattern.empty() && pattern.back() == '.' && pattern != "." && pattern != "..") {
    return name.find('.') == std::string_view::npos &&
           wildcard(pattern.substr(0, pattern.size() - 1), name);
  }
  return wildcard(pattern, name);
}

}  // namespace kes::platform
