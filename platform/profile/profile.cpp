// The system profile's location and a reader of its "key=value" lines.
#include "platform/profile/profile.h"

#include <cstdlib>
#include <cstring>

#include "platform/profile/settings_file.h"

namespace kes::platform {

namespace {

constexpr std::string_view kDefaultProfile = "/etc/kestrel/win.ini";

#ifdef KES_TESTING
char g_test_path[4096];
std::size_t g_test_path_length = 0;
#endif

std::size_t copy_out(std::string_view text, std::span<char> out) noexcept {
  if (text.size() > out.size()) {
    return 0;
  }
  if (!text.empty()) {
    std::memcpy(out.data(), text.data(), text.size());
  }
  return text.size();
}

char fold(char c) noexcept { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 32) : c; }

bool same_name(std::string_view a, std::string_view b) noexcept {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (fold(a[i]) != fold(b[i])) return false;
  }
  return true;
}

std::string_view trim(std::string_view s) noexcept {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t'))
    s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t'))
    s.remove_suffix(1);
  return s;
}

// Reads the file line by line into a fixed buffer; a longer line is cut and its rest skipped.
class LineReader {
 public:
  explicit LineReader(FileReader& file) noexcept : file_(file) {}
  // The next line without its end, or nothing at the end of the file.
  std::optional<std::string_view> next() noexcept {
    std::size_t length = 0;
    bool any = false;
    for (;;) {
      if (position_ == filled_) {
        filled_ = file_.read(chunk_);
        position_ = 0;
        if (filled_ == 0) {
          return any ? std::optional<std::string_view>(std::string_view(line_, length))
                     : std::nullopt;
        }
      }
      const char c = chunk_[position_++];
      any = true;
      if (c == '\n') {
        return std::string_view(line_, length);
      }
      if (c != '\r' && length < sizeof line_) {
        line_[length++] = c;
      }
    }
  }

 private:
  FileReader& file_;
  char chunk_[4096];
  std::size_t filled_ = 0;
  std::size_t position_ = 0;
  char line_[4095];
};

}  // namespace

std::size_t system_profile_path(std::span<char> out) noexcept {
#ifdef KES_TESTING
  if (g_test_path_length != 0) {
    return copy_out(std::string_view(g_test_path, g_test_path_length), out);
  }
#endif
  const char* variable = std::getenv("KESTREL_PROFILE");
  if (variable != nullptr && variable[0] != '\0') {
    return copy_out(variable, out);
  }
  return copy_out(kDefaultProfile, out);
}

std::optional<std::size_t> read_profile_string(std::string_view path, std::string_view section,
                                               std::string_view key, std::span<char> out) noexcept {
  FileReader file;
  if (file.open(path) != kFileOpened) {
    return std::nullopt;
  }
  LineReader lines(file);
  bool in_section = false;
  while (const std::optional<std::string_view> raw = lines.next()) {
    const std::string_view line = trim(*raw);
    if (line.empty() || line.front() == ';') {
      continue;
    }
    if (line.front() == '[') {
      const std::size_t close = line.find(']');
      in_section =
          close != std::string_view::npos && same_name(trim(line.substr(1, close - 1)), section);
      continue;
    }
    const std::size_t equals = line.find('=');
    if (!in_section || equals == std::string_view::npos ||
        !same_name(trim(line.substr(0, equals)), key)) {
      continue;
    }
    std::string_view value = trim(line.substr(equals + 1));
    if (value.size() >= 2 && value.front() == '"' && value.back() == '"') {
      value = value.substr(1, value.size() - 2);
    }
    const std::size_t n = value.size() < out.size() ? value.size() : out.size();
    if (n != 0) {
      std::memcpy(out.data(), value.data(), n);
    }
    return n;
  }
  return std::nullopt;
}

#ifdef KES_TESTING
void set_system_profile_path_for_testing(std::string_view path) noexcept {
  g_test_path_length = path.size() < sizeof g_test_path ? path.size() : 0;
  if (g_test_path_length != 0) {
    std::memcpy(g_test_path, path.data(), g_test_path_length);
  }
}
#endif

}  // namespace kes::platform
