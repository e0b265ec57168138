// Splitting command lines by the Windows rules, shared by every host.
#include "platform/launch/launch.h"

#include <cstring>

#include "platform/core/heap.h"

namespace kes::platform {
namespace {

bool is_blank(char c) noexcept { return c == ' ' || c == '\t'; }

// Splits into `out` (terminated texts back to back); returns the number of arguments. `out`
// needs line.size() + number of arguments bytes at most, bounded by 2 * line.size() + 1.
std::size_t split_into(std::string_view line, char* out) noexcept {
  std::size_t at = 0;
  std::size_t count = 0;
  char* write = out;
  while (at < line.size() && is_blank(line[at]))
    ++at;
  if (at == line.size()) return 0;

  // The program: quoted up to the next quote, or up to the next blank.
  if (line[at] == '"') {
    ++at;
    while (at < line.size() && line[at] != '"')
      *write++ = line[at++];
    if (at < line.size()) ++at;  // the closing quote
  } else {
    while (at < line.size() && !is_blank(line[at]))
      *write++ = line[at++];
  }
  *write++ = '\0';
  ++count;

  while (true) {
    while (at < line.size() && is_blank(line[at]))
      ++at;
    if (at == line.size()) break;
    bool quoted = false;
    while (at < line.size() && (quoted || !is_blank(line[at]))) {
      if (line[at] == '\\') {
        std::size_t backslashes = 0;
        while (at < line.size() && line[at] == '\\') {
          ++backslashes;
          ++at;
        }
        if (at < line.size() && line[at] == '"') {
          write = std::fill_n(write, backslashes / 2, '\\');
          if (backslashes % 2 == 1) {
            *write++ = '"';
            ++at;
          }
        } else {
          write = std::fill_n(write, backslashes, '\\');
        }
        continue;
      }
      if (line[at] == '"') {
        if (quoted && at + 1 < line.size() && line[at + 1] == '"') {
          *write++ = '"';  // two quotes inside a quoted part: one literal quote
          at += 2;
          continue;
        }
        quoted = !quoted;
        ++at;
        continue;
      }
      *write++ = line[at++];
    }
    *write++ = '\0';
    ++count;
  }
  return count;
}

}  // namespace

CommandArguments::~CommandArguments() { release(); }

void CommandArguments::release() noexcept {
  heap_free(text_);
  heap_free(vector_);
  text_ = nullptr;
  vector_ = nullptr;
  count_ = 0;
}

bool CommandArguments::split(std::string_view line) noexcept {
  release();
  // A command line is a terminated text: a zero byte ends it.
  line = line.substr(0, line.find('\0'));
  // Each argument takes at least one byte of the line or two for an empty quoted one, plus
  // its terminator: 2 * size + 1 bytes always suffice.
  text_ = static_cast<char*>(heap_allocate(2 * line.size() + 1));
  if (text_ == nullptr) return false;
  std::size_t count = split_into(line, text_);
  vector_ = static_cast<char**>(heap_allocate((count + 1) * sizeof(char*)));
  if (vector_ == nullptr) {
    release();
    return false;
  }
  char* at = text_;
  for (std::size_t i = 0; i < count; ++i) {
    vector_[i] = at;
    at += std::strlen(at) + 1;
  }
  vector_[count] = nullptr;
  count_ = count;
  return true;
}

std::string_view CommandArguments::argument(std::size_t index) const noexcept {
  if (index >= count_) return {};
  return vector_[index];
}

}  // namespace kes::platform
