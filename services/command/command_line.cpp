// The command tail, its tokens and the lookups of COMMAND.
#include "services/command/command_line.h"

#include <cstdint>
#include <cstring>
#include <new>
#include <string>

#include "numeric/locale/collation_tables.h"
#include "platform/core/heap.h"
#include "platform/dirs/dirs.h"

namespace kes::services {

namespace {

bool is_blank(char c) noexcept { return static_cast<unsigned char>(c) <= ' '; }

// Process-wide by design (see the header).
char* g_tail = nullptr;
std::size_t g_tail_length = 0;
bool g_tail_made = false;

bool replace_tail(std::string_view text) noexcept {
  char* copy = static_cast<char*>(platform::heap_allocate(text.size() + 1));
  if (copy == nullptr) return false;
  if (!text.empty()) std::memcpy(copy, text.data(), text.size());
  copy[text.size()] = '\0';
  platform::heap_free(g_tail);
  g_tail = copy;
  g_tail_length = text.size();
  g_tail_made = true;
  return true;
}

// atoi: leading white space, an optional sign, then digits; clamped to the 32-bit range.
std::int64_t leading_number(std::string_view text) noexcept {
  std::size_t i = 0;
  while (i < text.size() && (text[i] == ' ' || (text[i] >= '\t' && text[i] <= '\r')))
    ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  std::int64_t value = 0;
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
    if (value <= INT32_MAX) value = value * 10 + (text[i] - '0');
  }
  return negative ? -value : value;
}

bool starts_with_no_case(std::string_view text, std::string_view prefix) noexcept {
  if (text.size() < prefix.size()) return false;
  for (std::size_t i = 0; i < prefix.size(); ++i) {
    if (numeric::to_upper_char(static_cast<std::uint8_t>(text[i])) !=
        numeric::to_upper_char(static_cast<std::uint8_t>(prefix[i]))) {
      return false;
    }
  }
  return true;
}

}  // namespace

std::optional<std::size_t> CommandTokens::next(char* out) noexcept {
  const std::string_view t = text_;
  std::size_t p = position_;
  while (p < t.size() && is_blank(t[p]))
    ++p;
  if (p >= t.size()) {
    position_ = p;
    return std::nullopt;
  }
  std::size_t length = 0;
  bool quoted = false;
  while (p < t.size()) {
    const char c = t[p];
    if (c == '"') {
      if (p + 1 < t.size() && t[p + 1] == '"') {
        out[length++] = '"';
        p += 2;
      } else {
        quoted = !quoted;
        ++p;
      }
      continue;
    }
    if (!quoted && (is_blank(c) || c == ',' || (c == '/' && length != 0))) break;
    out[length++] = c;
    ++p;
  }
  while (p < t.size() && is_blank(t[p]))
    ++p;
  if (p < t.size() && t[p] == ',') ++p;
  position_ = p;
  return length;
}

std::string_view tail_of_command_line(std::string_view line) noexcept {
  std::size_t p = 0;
  while (p < line.size() && is_blank(line[p]))
    ++p;
  bool quoted = false;
  for (; p < line.size() && (quoted || !is_blank(line[p])); ++p) {
    if (line[p] == '"') quoted = !quoted;
  }
  while (p < line.size() && is_blank(line[p]))
    ++p;
  return line.substr(p);
}

std::string_view command_lookup(std::string_view tail, std::string_view flag,
                                char* scratch) noexcept {
  if (flag.empty()) return tail;
  CommandTokens tokens(tail);
  const std::int64_t position = leading_number(flag);
  if (position != 0) {
    for (std::int64_t n = 1;; ++n) {
      const std::optional<std::size_t> length = tokens.next(scratch);
      if (!length) return {};
      if (n == position) return std::string_view(scratch, *length);
    }
  }
  const bool slash = flag.front() == '/';
  while (const std::optional<std::size_t> length = tokens.next(scratch)) {
    const std::string_view token(scratch, *length);
    // The flag is matched with "=" appended unless it starts with "/".
    const bool matched = slash ? starts_with_no_case(token, flag)
                               : token.size() > flag.size() && starts_with_no_case(token, flag) &&
                                     token[flag.size()] == '=';
    if (!matched) continue;
    if (token.front() == '/') return token.substr(1);
    return token.substr(slash ? flag.size() : flag.size() + 1);
  }
  return {};
}

std::string_view command_tail() noexcept {
  if (!g_tail_made) {
    try {
      std::string line;
      platform::process_command_line(line);
      if (!replace_tail(tail_of_command_line(line))) return {};
    } catch (const std::bad_alloc&) {
      return {};
    }
  }
  return std::string_view(g_tail, g_tail_length);
}

void set_command_tail(std::string_view text) noexcept { replace_tail(text); }

#ifdef KES_TESTING
void reset_command_tail_for_testing() noexcept {
  platform::heap_free(g_tail);
  g_tail = nullptr;
  g_tail_length = 0;
  g_tail_made = false;
}
#endif

}  // namespace kes::services
