// File names, driver strings, reserved words and type names.
#include "files/dispatch/file_names.h"

#include <algorithm>

#include "runtime/stack/string_store.h"
#include "runtime/types/type_codes.h"

namespace kes::files {
namespace {

bool is_separator(char c) noexcept { return c == '\\' || c == '/'; }

bool is_letter(char c) noexcept { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }

char upper_ascii(char c) noexcept {
  return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}

// Reserved words of the language and of SQL, upper case, sorted for the binary search.
constexpr std::string_view kReservedWords[] = {
    "ACCEPT",  "ADD",        "ALL",     "ALTER",   "AND",       "AS",       "ASC",        "BEGIN",
    "BETWEEN", "BREAK",      "BY",      "CASE",    "CHECK",     "CHOOSE",   "COLUMN",     "COMMIT",
    "COMPILE", "CONSTRAINT", "CREATE",  "CROSS",   "CYCLE",     "DATE",     "DEFAULT",    "DELETE",
    "DESC",    "DISTINCT",   "DO",      "DROP",    "ELSE",      "ELSIF",    "END",        "EXECUTE",
    "EXISTS",  "EXIT",       "FOREIGN", "FROM",    "FULL",      "FUNCTION", "GOTO",       "GRANT",
    "GROUP",   "HAVING",     "IF",      "IN",      "INCLUDE",   "INDEX",    "INNER",      "INSERT",
    "INTO",    "IS",         "JOIN",    "KEY",     "LEFT",      "LIKE",     "LOOP",       "MEMBER",
    "NEW",     "NOT",        "NULL",    "OF",      "OMIT",      "ON",       "OR",         "ORDER",
    "OROF",    "OUTER",      "PARENT",  "PRIMARY", "PROCEDURE", "PROGRAM",  "REFERENCES", "RETURN",
    "RIGHT",   "ROLLBACK",   "ROUTINE", "SECTION", "SELECT",    "SELF",     "SET",        "TABLE",
    "THEN",    "TIME",       "TIMES",   "TO",      "UNION",     "UNIQUE",   "UNTIL",      "UPDATE",
    "USER",    "VALUES",     "VIEW",    "WHERE",   "WHILE",     "XOR",
};

constexpr std::int32_t kLastDriverType = 30;  // STDNUM

}  // namespace

std::string_view without_trailing_blanks(std::string_view name) noexcept {
  return name.substr(0,
                     runtime::clipped_length(name.data(), static_cast<std::uint32_t>(name.size())));
}

ErrorCode check_file_name(std::string_view name) noexcept {
  name = without_trailing_blanks(name);
  if (name.empty() || name.size() > kMaxFileName) return ErrorCode::InvalidFilename;
  for (std::size_t i = 0; i < name.size(); ++i) {
    const char c = name[i];
    if (static_cast<unsigned char>(c) < 0x20) return ErrorCode::InvalidFilename;
    if (std::string_view("<>\"|?*").find(c) != std::string_view::npos) {
      return ErrorCode::InvalidFilename;
    }
    if (c == ':' && (i != 1 || !is_letter(name[0]))) return ErrorCode::InvalidFilename;
  }
  return ErrorCode::None;
}

NameParts split_file_name(std::string_view name) noexcept {
  name = without_trailing_blanks(name);
  std::size_t base_start = 0;
  for (std::size_t i = 0; i < name.size(); ++i) {
    if (is_separator(name[i]) || name[i] == ':') base_start = i + 1;
  }
  NameParts parts{name.substr(0, base_start), name.substr(base_start), {}};
  const std::size_t dot = parts.base.rfind('.');
  if (dot != std::string_view::npos) {
    parts.extension = parts.base.substr(dot);
    parts.base = parts.base.substr(0, dot);
  }
  return parts;
}

std::size_t next_driver_option(std::string_view& cursor, std::span<char> item,
                               bool& found) noexcept {
  std::size_t at = 0;
  while (at < cursor.size() && (cursor[at] == ' ' || cursor[at] == '/'))
    ++at;
  found = at < cursor.size();
  std::size_t length = 0;
  bool quoted = false;
  for (; at < cursor.size(); ++at) {
    const char c = cursor[at];
    if (c == '"') {
      quoted = !quoted;
      continue;
    }
    if (!quoted && (c == ' ' || c == '/')) break;
    if (length < item.size()) item[length] = c;
    ++length;
  }
  cursor.remove_prefix(at);
  return std::min(length, item.size());
}

bool is_reserved_word(std::string_view word) noexcept {
  char upper[16];
  if (word.empty() || word.size() > sizeof upper) return false;
  for (std::size_t i = 0; i < word.size(); ++i)
    upper[i] = upper_ascii(word[i]);
  return std::binary_search(std::begin(kReservedWords), std::end(kReservedWords),
                            std::string_view(upper, word.size()));
}

std::string_view type_name(std::int32_t type_code) noexcept {
  // Drivers know the codes of declarations, 0 to 30, by the library's own names.
  if (type_code < 0 || type_code > kLastDriverType) return "UNKNOWN";
  return runtime::type_name(static_cast<std::uint32_t>(type_code));
}

}  // namespace kes::files
