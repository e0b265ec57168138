// Program start with posix_spawnp and waiting with waitpid.
#include "platform/launch.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>
#include <spawn.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

#include "platform/heap.h"

extern char** environ;

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

// Started programs nobody waits for; collected as they end.
std::array<pid_t, 64> released_programs{};
std::size_t released_count = 0;

void collect_released() noexcept {
  std::size_t kept = 0;
  for (std::size_t i = 0; i < released_count; ++i) {
    int status = 0;
    if (::waitpid(released_programs[i], &status, WNOHANG) == 0) {
      released_programs[kept++] = released_programs[i];
    }
  }
  released_count = kept;
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

StartResult start_program(const CommandArguments& arguments) noexcept {
  collect_released();
  if (arguments.count() == 0 || arguments.argument(0).empty()) {
    return {0, OsError::InvalidParameter};
  }
  pid_t child = 0;
  int failure =
      ::posix_spawnp(&child, arguments.vector()[0], nullptr, nullptr, arguments.vector(), environ);
  if (failure != 0) return {0, os_error_from_host(failure)};
  return {child, OsError::None};
}

std::optional<std::int32_t> wait_for_program(std::int64_t process) noexcept {
  if (process <= 0) return std::nullopt;
  int status = 0;
  pid_t result;
  do {
    result = ::waitpid(static_cast<pid_t>(process), &status, 0);
  } while (result < 0 && errno == EINTR);
  if (result < 0) return std::nullopt;
  if (WIFEXITED(status)) return WEXITSTATUS(status);
  if (WIFSIGNALED(status)) return 128 + WTERMSIG(status);
  return std::nullopt;
}

void release_program(std::int64_t process) noexcept {
  collect_released();
  if (process <= 0) return;
  if (released_count == released_programs.size()) {
    // The table is full: wait for the oldest instead of letting it linger.
    int status = 0;
    ::waitpid(released_programs[0], &status, 0);
    std::copy(released_programs.begin() + 1, released_programs.end(), released_programs.begin());
    --released_count;
  }
  released_programs[released_count++] = static_cast<pid_t>(process);
}

}  // namespace kes::platform
