// GETINI against Python's configparser over generated files, in the part of the format both
// read alike: sections before entries, "=" as the only delimiter, ";" comments, no indented
// lines, no quoted values, names unique without regard to case.
#include <cstdio>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include <kestrel/ini.h>

#include <gtest/gtest.h>

#include "runtime/string_stack.h"
#include "tests/support/stack_helpers.h"
#include "tests/support/temp_folder.h"

namespace kes::services {
namespace {

constexpr int kFiles = 150;

std::string hex(std::string_view text) {
  static constexpr char kDigits[] = "0123456789abcdef";
  std::string out;
  for (unsigned char c : text) {
    out += kDigits[c >> 4];
    out += kDigits[c & 15];
  }
  return out;
}

std::string unhex(std::string_view text) {
  std::string out;
  for (std::size_t i = 0; i + 1 < text.size(); i += 2)
    out += static_cast<char>(std::stoi(std::string(text.substr(i, 2)), nullptr, 16));
  return out;
}

struct Query {
  std::string section;  // as written in the file, for configparser
  std::string asked;    // the same in another case, for GETINI
  std::string key;
};

class Generator {
 public:
  explicit Generator(unsigned seed) : random_(seed) {}

  std::string name(std::string_view alphabet, std::size_t max_length) {
    std::string out;
    const std::size_t length = 1 + random_() % max_length;
    while (out.size() < length)
      out += alphabet[random_() % alphabet.size()];
    return out;
  }

  std::string recase(std::string text) {
    for (char& c : text) {
      if (random_() % 2 == 0)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
      else
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    return text;
  }

  static std::string folded(std::string text) {
    for (char& c : text)
      c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return text;
  }

  // A file and the lookups to make in it.
  std::string file(std::vector<Query>& queries) {
    const std::string eol = random_() % 2 == 0 ? "\n" : "\r\n";
    std::string text;
    std::vector<std::string> sections;
    if (random_() % 3 == 0) text += "; heading comment" + eol + eol;
    const int section_count = 1 + static_cast<int>(random_() % 5);
    for (int s = 0; s < section_count; ++s) {
      std::string section = name("abcXYZ019_.- ", 10);
      while (section.front() == ' ' || section.back() == ' ')
        section = name("abcXYZ019_.-", 10);
      if (contains_folded(sections, section)) continue;
      sections.push_back(section);
      text += "[" + section + "]" + eol;
      std::vector<std::string> keys;
      const int entry_count = static_cast<int>(random_() % 12);
      for (int e = 0; e < entry_count; ++e) {
        switch (random_() % 6) {
          case 0: text += eol; continue;
          case 1: text += ";" + name("ab =[]#", 12) + eol; continue;
          default: break;
        }
        std::string key = name("abkXYZ09_.#", 8);
        if (key.front() == '#' && random_() % 2 == 0) key = "#" + key;
        if (contains_folded(keys, key)) continue;
        keys.push_back(key);
        std::string value = random_() % 8 == 0 ? "" : name("abc XYZ 019=;#[]%\"'\t", 30);
        while (!value.empty() && (value.front() == ' ' || value.front() == '\t'))
          value.erase(0, 1);
        while (!value.empty() && (value.back() == ' ' || value.back() == '\t'))
          value.pop_back();
        if (value.size() >= 2 && value.front() == '"' && value.back() == '"') value += 'x';
        text += key + (random_() % 2 == 0 ? "=" : " = ") + value +
                (random_() % 3 == 0 ? "  " : "") + eol;
        queries.push_back({section, recase(section), recase(key)});
      }
      queries.push_back({section, recase(section), "absent"});
    }
    queries.push_back({"nosuchsection", "NoSuchSection", "x"});
    return text;
  }

 private:
  static bool contains_folded(const std::vector<std::string>& names, const std::string& name) {
    for (const std::string& held : names) {
      if (folded(held) == folded(name)) return true;
    }
    return folded(name) == "ABSENT";
  }

  std::mt19937 random_;
};

std::string get_ini(const std::string& section, const std::string& key, const std::string& file) {
  runtime::push_text(file);
  runtime::push_text("\x01");  // a default no file holds
  runtime::push_text(key);
  runtime::push_text(section);
  Kes$GETINI();
  return test::pop_top_text();
}

TEST(IniDifferential, ReadsAsConfigParserDoes) {
  test::TempFolder folder("ini_differential");
  Generator generator(20240611);
  std::string manifest;
  std::vector<std::pair<std::string, Query>> asked;
  for (int f = 0; f < kFiles; ++f) {
    std::vector<Query> queries;
    const std::string path =
        folder.write("f" + std::to_string(f) + ".ini", generator.file(queries));
    manifest += "F " + hex(path) + "\n";
    for (const Query& q : queries) {
      manifest += "Q " + hex(q.section) + " " + hex(q.key) + "\n";
      asked.emplace_back(path, q);
    }
  }
  const std::string manifest_path = folder.write("manifest.txt", manifest);
  const std::filesystem::path oracle =
      std::filesystem::path(KES_SOURCE_DIR) / "tests/services/ini/configparser_oracle.py";
  const std::string command = "python3 \"" + oracle.string() + "\" < \"" + manifest_path + "\"";
  std::FILE* pipe = ::popen(command.c_str(), "r");
  ASSERT_NE(pipe, nullptr);
  std::string answers;
  char chunk[4096];
  for (std::size_t n; (n = std::fread(chunk, 1, sizeof chunk, pipe)) > 0;)
    answers.append(chunk, n);
  ASSERT_EQ(::pclose(pipe), 0) << "the oracle needs python3";

  std::size_t line_start = 0;
  int compared = 0;
  for (const auto& [path, query] : asked) {
    const std::size_t line_end = answers.find('\n', line_start);
    ASSERT_NE(line_end, std::string::npos) << "the oracle answered too few lookups";
    const std::string_view answer(answers.data() + line_start, line_end - line_start);
    line_start = line_end + 1;
    ASSERT_NE(answer, "E") << "configparser could not read " << path;
    const std::string expected = answer == "-" ? "\x01" : unhex(answer.substr(1));
    SCOPED_TRACE(path + " [" + query.asked + "] " + query.key);
    EXPECT_EQ(get_ini(query.asked, query.key, path), expected);
    ++compared;
  }
  EXPECT_GT(compared, kFiles * 5);
}

}  // namespace
}  // namespace kes::services
