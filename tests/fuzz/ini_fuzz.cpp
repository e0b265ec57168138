// INI texts: any bytes parse; setting, deleting an entry and deleting a section change what they
// name and no other entry's value.
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/profile/profile_text.h"
#include "tests/fuzz/support/fuzz_check.h"

namespace {

using kes::fuzz::check;
using kes::platform::ProfileText;
using Names = std::vector<std::pair<std::string, std::string>>;

std::string_view trim(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t'))
    s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t'))
    s.remove_suffix(1);
  return s;
}

bool is_edited(std::string_view section) {
  return section.size() == 2 && (section[0] | 0x20) == 'f' && (section[1] | 0x20) == 'z';
}

// Names that occur in the text, to look up before and after each edit.
Names probes(std::string_view text) {
  Names found;
  std::string section;
  std::size_t start = 0;
  while (start < text.size() && found.size() < 24) {
    std::size_t end = text.find_first_of("\r\n", start);
    if (end == std::string_view::npos) end = text.size();
    const std::string_view line = trim(text.substr(start, end - start));
    if (!line.empty() && line.front() == '[') {
      section = std::string(trim(line.substr(1, line.find(']') - 1)));
    } else if (const std::size_t equals = line.find('='); equals != std::string_view::npos) {
      found.emplace_back(section, std::string(trim(line.substr(0, equals))));
    }
    start = end + 1;
  }
  return found;
}

std::vector<std::optional<std::string>> look_up(const ProfileText& text, const Names& names) {
  std::vector<std::optional<std::string>> values;
  for (const auto& [section, key] : names) {
    const std::optional<std::string_view> value = text.find(section, key);
    values.push_back(value ? std::optional<std::string>(std::string(*value)) : std::nullopt);
  }
  return values;
}

void check_others(const ProfileText& before, const ProfileText& after, const Names& names) {
  const auto old_values = look_up(before, names);
  const auto new_values = look_up(after, names);
  for (std::size_t i = 0; i < names.size(); ++i)
    check(is_edited(trim(names[i].first)) || old_values[i] == new_values[i]);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size > 4096) return 0;
  const std::string_view input = kes::fuzz::text_of(data, size);
  ProfileText original;
  if (!original.assign(input)) return 0;
  check(original.bytes() == input);
  const auto names = probes(input);

  ProfileText edited;
  edited.assign(input);
  check(edited.set("Fz", "Key", "v 1") != ProfileText::Edit::Refused);
  check(edited.find("fz", "KEY") == std::optional<std::string_view>("v 1"));
  check_others(original, edited, names);

  ProfileText erased;
  erased.assign(edited.bytes());
  check(erased.erase_entry("FZ", "key") == ProfileText::Edit::Changed);
  check(!erased.find("Fz", "Key"));
  check_others(original, erased, names);

  ProfileText without;
  without.assign(edited.bytes());
  check(without.erase_section("fz") == ProfileText::Edit::Changed);
  check(!without.find("Fz", "Key"));
  check_others(original, without, names);
  return 0;
}
