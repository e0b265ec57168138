// Searching, replacing and substituting with a compiled pattern on the program's own text.
#include "numeric/matching/regex_engine.h"

#include <cstring>
#include <functional>
#include <new>

#include "platform/core/heap.h"

namespace kes::numeric {

RegexEngine::~RegexEngine() { kill(); }

void RegexEngine::kill() noexcept {
  program_.clear();
  forget_match();
  text_ = nullptr;
  length_ = capacity_ = 0;
}

void RegexEngine::forget_match() noexcept {
  platform::heap_free(copy_);
  copy_ = nullptr;
  groups_ = RegexGroups{};
}

bool RegexEngine::compile(std::string_view pattern, bool no_case) noexcept {
  kill();
  return compile_regex(pattern, no_case, program_) == RegexError::None;
}

bool RegexEngine::copy_match() noexcept {
  platform::heap_free(copy_);
  const std::size_t length = groups_[0].length();
  copy_ = static_cast<char*>(platform::heap_allocate(length));
  if (copy_ == nullptr) return false;
  if (length != 0) std::memcpy(copy_, text_ + groups_[0].start, length);
  return true;
}

std::size_t RegexEngine::search_from(std::size_t from) noexcept {
  forget_match();
  if (program_.empty() || text_ == nullptr) return kNoOffset;
  RegexGroups found;
  if (search_regex(program_, std::string_view(text_, length_), from, no_case_, found) !=
      RegexOutcome::Found) {
    return kNoOffset;
  }
  groups_ = found;
  if (!copy_match()) {
    groups_ = RegexGroups{};
    return kNoOffset;
  }
  return groups_[0].start;
}

std::size_t RegexEngine::find(char* text, std::size_t length, bool explicit_end, std::size_t from,
                              bool no_case) noexcept {
  text_ = text;
  explicit_end_ = explicit_end;
  no_case_ = no_case;
  if (text == nullptr) {
    length_ = capacity_ = 0;
  } else if (explicit_end) {
    length_ = capacity_ = length;
  } else if (length != 0) {
    const void* zero = std::memchr(text, 0, length);
    length_ =
        zero == nullptr ? length : static_cast<std::size_t>(static_cast<const char*>(zero) - text);
    capacity_ = length;
  } else {
    length_ = std::strlen(text);
    capacity_ = length_ + 1;
  }
  return search_from(from);
}

std::size_t RegexEngine::find_next() noexcept {
  const RegexSpan last = groups_[0];
  if (!last.matched()) return kNoOffset;
  return search_from(last.end + (last.start == last.end ? 1 : 0));
}

std::string_view RegexEngine::group_text(int group) const noexcept {
  if (group < 0 || group >= kRegexGroupCount || copy_ == nullptr) return {};
  const RegexSpan span = groups_[static_cast<std::size_t>(group)];
  const RegexSpan whole = groups_[0];
  // The copy holds the match only; a group that a replacement moved outside it has no text.
  if (!span.matched() || span.start < whole.start || span.end > whole.end) return {};
  return {copy_ + (span.start - whole.start), span.length()};
}

bool RegexEngine::replace(int group, std::string_view replacement, std::size_t capacity) noexcept {
  if (group < 0 || group >= kRegexGroupCount || text_ == nullptr) return false;
  const RegexSpan span = groups_[static_cast<std::size_t>(group)];
  if (!span.matched()) return false;
  if (capacity == 0) capacity = capacity_;
  // A terminated text keeps room for its terminator.
  const std::size_t limit = explicit_end_ ? capacity : (capacity == 0 ? 0 : capacity - 1);

  // The replacement may be the program's own text (a pushed reference): work from a copy then.
  char* own = nullptr;
  const std::less<const char*> before;
  if (!replacement.empty() && !before(replacement.data() + replacement.size(), text_) &&
      before(replacement.data(), text_ + (capacity > length_ ? capacity : length_))) {
    own = static_cast<char*>(platform::heap_allocate(replacement.size()));
    if (own == nullptr) return false;
    std::memcpy(own, replacement.data(), replacement.size());
    replacement = std::string_view(own, replacement.size());
  }

  const std::size_t start = span.start;
  const std::size_t old_end = span.end;
  const std::size_t new_end = start + replacement.size();
  const std::size_t rest = length_ - old_end;
  std::size_t new_length = new_end + rest;
  if (new_length > limit) new_length = limit;
  // The rest first (it may move either way), then the replacement, each cut at the limit.
  if (new_end < new_length) std::memmove(text_ + new_end, text_ + old_end, new_length - new_end);
  if (start < new_length) {
    const std::size_t kept =
        new_length - start < replacement.size() ? new_length - start : replacement.size();
    // An empty replacement (the empty text may have no bytes at all) copies nothing.
    if (kept != 0) std::memcpy(text_ + start, replacement.data(), kept);
  }
  if (explicit_end_ && new_length < length_) {
    std::memset(text_ + new_length, ' ', length_ - new_length);
  } else if (!explicit_end_ && new_length < capacity) {
    text_[new_length] = '\0';
  }
  platform::heap_free(own);

  // Boundaries after the replaced text move with it; those inside it stay inside it.
  const auto moved = [&](std::size_t at) {
    std::size_t result = at;
    if (at >= old_end) {
      result = at - old_end + new_end;
    } else if (at > new_end) {
      result = new_end;
    }
    return result < new_length ? result : new_length;
  };
  for (std::size_t g = 0; g < groups_.size(); ++g) {
    RegexSpan& each = groups_[g];
    if (!each.matched()) continue;
    if (g == static_cast<std::size_t>(group)) {
      if (each.start > new_length) each.start = new_length;
      each.end = moved(old_end);
    } else {
      each.start = moved(each.start);
      each.end = moved(each.end);
    }
  }
  length_ = new_length;
  if (!copy_match()) {
    groups_ = RegexGroups{};
    return false;
  }
  return true;
}

std::size_t RegexEngine::substitute(std::string_view pattern, char* out) const noexcept {
  std::size_t length = 0;
  const auto put = [&](std::string_view piece) {
    if (out != nullptr && !piece.empty()) std::memcpy(out + length, piece.data(), piece.size());
    length += piece.size();
  };
  for (std::size_t i = 0; i < pattern.size(); ++i) {
    const char c = pattern[i];
    if (c == '#' && i + 1 < pattern.size()) {
      const char after = pattern[i + 1];
      if (after >= '0' && after <= '9') {
        put(group_text(after - '0'));
        ++i;
        continue;
      }
      if (after == '#') {
        put("#");
        ++i;
        continue;
      }
    }
    put(pattern.substr(i, 1));
  }
  return length;
}

RegexEngine* create_regex_engine() noexcept {
  void* block = platform::heap_allocate(sizeof(RegexEngine));
  return block == nullptr ? nullptr : new (block) RegexEngine();
}

void destroy_regex_engine(RegexEngine* engine) noexcept {
  if (engine == nullptr) return;
  engine->~RegexEngine();
  platform::heap_free(engine);
}

}  // namespace kes::numeric
