// The text of a profile (INI) file held in memory: its lines, sections and entries, lookups by
// name, and edits that leave every byte they do not concern exactly as it was (comments, blank
// lines, order, line ends, unknown sections and lines that are neither).
//
// The format:
// - a line ends at "\r\n", "\n" or a lone "\r"; the last line may lack its end;
// - blanks (space, tab) around a line, a name or a value are not part of it;
// - an empty line is blank; a line starting with ";" is a comment;
// - a line starting with "[" is a section header: the name runs to the first "]" (text after it
//   is ignored); a header without "]" starts a section that no name matches;
// - any other line holding "=" is an entry: the name is the text before the first "=", the value
//   the text after it, one pair of double quotes around the value removed; lines before the
//   first header belong to no section;
// - other lines are kept and ignored.
// Section and entry names compare without regard to the case of the letters A to Z. A name may
// head several sections; lookups go through them in file order and the first entry found wins.
//
// State: none beyond each object.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kes::platform {

class ProfileText {
 public:
  enum class Edit {
    Changed,    // the text was changed
    Unchanged,  // nothing to do: the text already says so
    Refused,    // the names or the value cannot be stored in this format (see storable), or the
                // memory ran out; the text is unchanged
  };

  // Takes a copy of a file's bytes; false (and an empty text) when the memory runs out.
  bool assign(std::string_view bytes) noexcept;
  const std::string& bytes() const noexcept { return text_; }

  // The value of entry `key` of section `section` (names trimmed of blanks), or nothing.
  std::optional<std::string_view> find(std::string_view section,
                                       std::string_view key) const noexcept;

  // Sets the first entry of that name to `value` (a new entry goes after the last entry of the
  // first section of that name; a new section at the end of the text, after a blank line).
  Edit set(std::string_view section, std::string_view key, std::string_view value) noexcept;
  // Removes every entry of that name from every section of that name.
  Edit erase_entry(std::string_view section, std::string_view key) noexcept;
  // Removes every section of that name, header and lines.
  Edit erase_section(std::string_view section) noexcept;

  // Whether a section name, entry name and value can be written so that they read back as
  // given: no line break or zero byte anywhere, no "]" in the section name, no "=" in the entry
  // name, and an entry name that does not begin with "[" or ";" (all after trimming blanks).
  static bool storable_section(std::string_view section) noexcept;
  static bool storable_key(std::string_view key) noexcept;
  static bool storable_value(std::string_view value) noexcept;

 private:
  enum class Kind : std::uint8_t { Blank, Comment, Header, Entry, Other };
  struct Line {
    std::uint32_t begin;       // first byte of the line
    std::uint32_t end;         // past the line's last byte, before its line end
    std::uint32_t next;        // past the line end: the next line's first byte
    std::uint32_t name_begin;  // header or entry name, trimmed
    std::uint32_t name_end;
    std::uint32_t value_begin;  // entry value, trimmed (quotes still on)
    std::uint32_t value_end;
    std::int32_t section;  // index of the header line this line belongs to, -1 for none
    Kind kind;
    bool matchable;  // a header with its "]"
  };

  bool parse() noexcept;
  void index_entries();
  std::string_view name_of(const Line& line) const noexcept;
  std::string_view section_name_of(const Line& line) const noexcept;
  bool section_named(const Line& line, std::string_view section) const noexcept;
  std::string_view line_end() const noexcept;
  Edit replace(std::size_t begin, std::size_t end, std::string_view with) noexcept;
  // Removes every line for which `drop(line)` is true.
  template <typename Drop>
  Edit erase_lines(Drop drop) noexcept;

  std::string text_;
  std::vector<Line> lines_;
  // Open-addressing index: line index + 1 of the first entry of each (section, key), 0 empty.
  std::vector<std::uint32_t> slots_;
};

}  // namespace kes::platform
