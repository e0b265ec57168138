// Parsing, lookups and edits of a profile text.
#include "platform/profile/profile_text.h"

#include <new>

namespace kes::platform {

namespace {

bool is_blank(char c) noexcept { return c == ' ' || c == '\t'; }

char fold(char c) noexcept { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 32) : c; }

bool same_name(std::string_view a, std::string_view b) noexcept {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (fold(a[i]) != fold(b[i])) return false;
  }
  return true;
}

std::string_view trim(std::string_view s) noexcept {
  while (!s.empty() && is_blank(s.front()))
    s.remove_prefix(1);
  while (!s.empty() && is_blank(s.back()))
    s.remove_suffix(1);
  return s;
}

// FNV-1a over the folded section name, a separator that folding cannot produce from a name's
// own bytes in that place, and the folded key.
std::uint32_t hash_names(std::string_view section, std::string_view key) noexcept {
  std::uint32_t h = 2166136261u;
  for (char c : section)
    h = (h ^ static_cast<unsigned char>(fold(c))) * 16777619u;
  h = (h ^ 0x100u) * 16777619u;
  for (char c : key)
    h = (h ^ static_cast<unsigned char>(fold(c))) * 16777619u;
  return h;
}

bool has_line_break(std::string_view s) noexcept {
  return s.find_first_of(std::string_view("\r\n\0", 3)) != std::string_view::npos;
}

}  // namespace

bool ProfileText::assign(std::string_view bytes) noexcept {
  try {
    text_.assign(bytes);
  } catch (const std::bad_alloc&) {
    text_.clear();
    lines_.clear();
    slots_.clear();
    return false;
  }
  return parse();
}

bool ProfileText::parse() noexcept {
  try {
    lines_.clear();
    slots_.clear();
    const std::size_t n = text_.size();
    std::size_t pos = 0;
    std::int32_t section = -1;
    while (pos < n) {
      Line line{};
      line.begin = static_cast<std::uint32_t>(pos);
      while (pos < n && text_[pos] != '\n' && text_[pos] != '\r')
        ++pos;
      line.end = static_cast<std::uint32_t>(pos);
      if (pos < n) pos += (text_[pos] == '\r' && pos + 1 < n && text_[pos + 1] == '\n') ? 2 : 1;
      line.next = static_cast<std::uint32_t>(pos);

      std::size_t b = line.begin;
      std::size_t e = line.end;
      while (b < e && is_blank(text_[b]))
        ++b;
      while (e > b && is_blank(text_[e - 1]))
        --e;
      const std::string_view content(text_.data() + b, e - b);
      const auto set_name = [&](std::size_t from, std::size_t to) {
        const std::string_view name = trim(std::string_view(text_.data() + from, to - from));
        line.name_begin = static_cast<std::uint32_t>(name.data() - text_.data());
        line.name_end = static_cast<std::uint32_t>(line.name_begin + name.size());
      };
      if (content.empty()) {
        line.kind = Kind::Blank;
      } else if (content.front() == ';') {
        line.kind = Kind::Comment;
      } else if (content.front() == '[') {
        line.kind = Kind::Header;
        const std::size_t close = content.find(']');
        line.matchable = close != std::string_view::npos;
        set_name(b + 1, line.matchable ? b + close : e);
        section = static_cast<std::int32_t>(lines_.size());
      } else if (const std::size_t equals = content.find('='); equals != std::string_view::npos) {
        line.kind = Kind::Entry;
        set_name(b, b + equals);
        std::size_t value_begin = b + equals + 1;
        while (value_begin < e && is_blank(text_[value_begin]))
          ++value_begin;
        line.value_begin = static_cast<std::uint32_t>(value_begin);
        line.value_end = static_cast<std::uint32_t>(e);
      } else {
        line.kind = Kind::Other;
      }
      line.section = section;
      lines_.push_back(line);
    }
    index_entries();
    return true;
  } catch (const std::bad_alloc&) {
    text_.clear();
    lines_.clear();
    slots_.clear();
    return false;
  }
}

void ProfileText::index_entries() {
  std::size_t entries = 0;
  for (const Line& line : lines_)
    entries += line.kind == Kind::Entry ? 1 : 0;
  if (entries == 0) return;
  std::size_t size = 16;
  while (size < 2 * entries)
    size *= 2;
  slots_.assign(size, 0);
  const std::size_t mask = size - 1;
  for (std::size_t index = 0; index < lines_.size(); ++index) {
    const Line& line = lines_[index];
    if (line.kind != Kind::Entry || line.section < 0 ||
        !lines_[static_cast<std::size_t>(line.section)].matchable) {
      continue;
    }
    const std::string_view section = section_name_of(line);
    const std::string_view key = name_of(line);
    std::size_t slot = hash_names(section, key) & mask;
    for (;;) {
      if (slots_[slot] == 0) {
        slots_[slot] = static_cast<std::uint32_t>(index + 1);
        break;
      }
      const Line& held = lines_[slots_[slot] - 1];
      if (same_name(name_of(held), key) && same_name(section_name_of(held), section)) {
        break;  // an earlier entry of this name wins
      }
      slot = (slot + 1) & mask;
    }
  }
}

std::string_view ProfileText::name_of(const Line& line) const noexcept {
  return std::string_view(text_.data() + line.name_begin, line.name_end - line.name_begin);
}

std::string_view ProfileText::section_name_of(const Line& line) const noexcept {
  return name_of(lines_[static_cast<std::size_t>(line.section)]);
}

bool ProfileText::section_named(const Line& line, std::string_view section) const noexcept {
  if (line.section < 0) return false;
  const Line& header = lines_[static_cast<std::size_t>(line.section)];
  return header.matchable && same_name(name_of(header), section);
}

std::optional<std::string_view> ProfileText::find(std::string_view section,
                                                  std::string_view key) const noexcept {
  if (slots_.empty()) return std::nullopt;
  section = trim(section);
  key = trim(key);
  const std::size_t mask = slots_.size() - 1;
  for (std::size_t slot = hash_names(section, key) & mask; slots_[slot] != 0;
       slot = (slot + 1) & mask) {
    const Line& line = lines_[slots_[slot] - 1];
    if (same_name(name_of(line), key) && same_name(section_name_of(line), section)) {
      std::string_view value(text_.data() + line.value_begin, line.value_end - line.value_begin);
      if (value.size() >= 2 && value.front() == '"' && value.back() == '"') {
        value = value.substr(1, value.size() - 2);
      }
      return value;
    }
  }
  return std::nullopt;
}

std::string_view ProfileText::line_end() const noexcept {
  const std::size_t at = text_.find_first_of("\r\n");
  if (at == std::string::npos) return "\r\n";
  if (text_[at] == '\n') return "\n";
  return (at + 1 < text_.size() && text_[at + 1] == '\n') ? "\r\n" : "\r";
}

ProfileText::Edit ProfileText::replace(std::size_t begin, std::size_t end,
                                       std::string_view with) noexcept {
  try {
    std::string edited;
    edited.reserve(text_.size() - (end - begin) + with.size());
    edited.append(text_, 0, begin).append(with).append(text_, end, std::string::npos);
    text_.swap(edited);
  } catch (const std::bad_alloc&) {
    return Edit::Refused;
  }
  return parse() ? Edit::Changed : Edit::Refused;
}

ProfileText::Edit ProfileText::set(std::string_view section, std::string_view key,
                                   std::string_view value) noexcept {
  section = trim(section);
  key = trim(key);
  if (!storable_section(section) || !storable_key(key) || !storable_value(value)) {
    return Edit::Refused;
  }
  try {
    const std::string_view eol = line_end();
    // An entry of that name: its value is replaced up to the end of the line.
    if (!slots_.empty()) {
      const std::size_t mask = slots_.size() - 1;
      for (std::size_t slot = hash_names(section, key) & mask; slots_[slot] != 0;
           slot = (slot + 1) & mask) {
        const Line& line = lines_[slots_[slot] - 1];
        if (!same_name(name_of(line), key) || !same_name(section_name_of(line), section)) continue;
        const std::size_t begin = line.value_begin;
        if (std::string_view(text_).substr(begin, line.end - begin) == value)
          return Edit::Unchanged;
        return replace(begin, line.end, value);
      }
    }
    std::string entry;
    entry.append(key).append("=").append(value);
    // A section of that name: after its last entry, or after its header.
    for (std::size_t index = 0; index < lines_.size(); ++index) {
      const Line& header = lines_[index];
      if (header.kind != Kind::Header || !header.matchable || !same_name(name_of(header), section))
        continue;
      std::size_t last = index;
      for (std::size_t after = index + 1;
           after < lines_.size() && lines_[after].section == static_cast<std::int32_t>(index);
           ++after) {
        if (lines_[after].kind == Kind::Entry) last = after;
      }
      const Line& anchor = lines_[last];
      if (anchor.next == anchor.end) {  // the text's last line, without a line end
        return replace(anchor.end, anchor.end, std::string(eol).append(entry));
      }
      return replace(anchor.next, anchor.next, entry.append(eol));
    }
    // A new section at the end, set off by a blank line.
    std::string block;
    if (!lines_.empty()) {
      const Line& last = lines_.back();
      if (last.next == last.end) block.append(eol);
      if (last.kind != Kind::Blank) block.append(eol);
    }
    block.append("[").append(section).append("]").append(eol).append(entry).append(eol);
    return replace(text_.size(), text_.size(), block);
  } catch (const std::bad_alloc&) {
    return Edit::Refused;
  }
}

template <typename Drop>
ProfileText::Edit ProfileText::erase_lines(Drop drop) noexcept {
  try {
    std::string kept;
    bool removed = false;
    std::size_t copied = 0;
    for (const Line& line : lines_) {
      if (drop(line)) {
        kept.append(text_, copied, line.begin - copied);
        copied = line.next;
        removed = true;
      }
    }
    if (!removed) return Edit::Unchanged;
    kept.append(text_, copied, std::string::npos);
    text_.swap(kept);
  } catch (const std::bad_alloc&) {
    return Edit::Refused;
  }
  return parse() ? Edit::Changed : Edit::Refused;
}

ProfileText::Edit ProfileText::erase_entry(std::string_view section,
                                           std::string_view key) noexcept {
  section = trim(section);
  key = trim(key);
  return erase_lines([&](const Line& line) {
    return line.kind == Kind::Entry && same_name(name_of(line), key) &&
           section_named(line, section);
  });
}

ProfileText::Edit ProfileText::erase_section(std::string_view section) noexcept {
  section = trim(section);
  return erase_lines([&](const Line& line) { return section_named(line, section); });
}

bool ProfileText::storable_section(std::string_view section) noexcept {
  section = trim(section);
  return !has_line_break(section) && section.find(']') == std::string_view::npos;
}

bool ProfileText::storable_key(std::string_view key) noexcept {
  key = trim(key);
  return !has_line_break(key) && key.find('=') == std::string_view::npos &&
         (key.empty() || (key.front() != '[' && key.front() != ';'));
}

bool ProfileText::storable_value(std::string_view value) noexcept { return !has_line_break(value); }

}  // namespace kes::platform
