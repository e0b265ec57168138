// The members of the exported regular-expression classes: thin adapters over RegexEngine.
#include <cstring>
#include <string_view>

#include <kestrel/reg_expr.h>

#include "numeric/matching/match.h"
#include "numeric/matching/regex_engine.h"
#include "platform/core/heap.h"
#include "runtime/stack/string_stack.h"

// Compiled programs reserve room for these objects: a table pointer and the engine pointer,
// and KewRegExpr its own table pointer before its RegExpr (8 and 12 bytes on 32-bit hosts).
static_assert(sizeof(RegExpr) == 2 * sizeof(void*));
static_assert(sizeof(KewRegExpr) == 3 * sizeof(void*));

namespace {

namespace num = kes::numeric;

bool no_case(int32_t flags) noexcept { return (flags & num::kMatchNoCase) != 0; }

// The engine a RegExpr keeps behind its untyped pointer, or null.
num::RegexEngine* engine_in(void* engine) noexcept {
  return static_cast<num::RegexEngine*>(engine);
}

// The engine of `regex`, created on first use; null when memory runs out.
num::RegexEngine* engine_of(void*& engine) noexcept {
  if (engine == nullptr) engine = num::create_regex_engine();
  return engine_in(engine);
}

std::size_t offset_from(int32_t start) noexcept {
  return start <= 0 ? 0 : static_cast<std::size_t>(start);
}

// A 1-based position as an offset; 0 or less is the beginning.
std::size_t offset_from_position(int32_t position) noexcept {
  return position <= 1 ? 0 : static_cast<std::size_t>(position) - 1;
}

std::size_t length_from(int32_t length) noexcept {
  return length <= 0 ? 0 : static_cast<std::size_t>(length);
}

int32_t as_position(std::size_t offset) noexcept {
  return offset == num::kNoOffset ? 0 : static_cast<int32_t>(offset + 1);
}

}  // namespace

RegExpr::RegExpr() noexcept : engine_(nullptr) {}

RegExpr::~RegExpr() { num::destroy_regex_engine(engine_in(engine_)); }

int32_t RegExpr::Compile(const char* pattern, int32_t length, int32_t flags) noexcept {
  num::RegexEngine* engine = engine_of(engine_);
  if (engine == nullptr) return 0;
  if (pattern == nullptr) {
    engine->kill();
    return 0;
  }
  const std::size_t size = length < 0 ? std::strlen(pattern) : static_cast<std::size_t>(length);
  return engine->compile(std::string_view(pattern, size), no_case(flags)) ? 1 : 0;
}

int32_t RegExpr::Find(char* text, int32_t start, int32_t length, int32_t end) noexcept {
  if (engine_ == nullptr) return -1;
  const std::size_t found =
      engine_in(engine_)->find(text, length_from(length), end != 0, offset_from(start), false);
  return found == num::kNoOffset ? -1 : static_cast<int32_t>(found);
}

int32_t RegExpr::Replace(const char* replacement, int32_t group, int32_t capacity) noexcept {
  if (engine_ == nullptr) return -1;
  const std::string_view text = replacement == nullptr ? std::string_view() : replacement;
  if (!engine_in(engine_)->replace(group, text, length_from(capacity))) return -1;
  return static_cast<int32_t>(engine_in(engine_)->text_length());
}

void RegExpr::Kill() noexcept {
  if (engine_ != nullptr) engine_in(engine_)->kill();
}

KewRegExpr::KewRegExpr() noexcept = default;

KewRegExpr::~KewRegExpr() = default;

int32_t KewRegExpr::Init(int32_t flags) noexcept {
  const std::string_view pattern = kes::runtime::top_text();
  num::RegexEngine* engine = engine_of(regex_.engine_);
  const bool compiled = engine != nullptr && engine->compile(pattern, no_case(flags));
  kes::runtime::pop_discard();
  return compiled ? 1 : 0;
}

int32_t KewRegExpr::Find(int32_t flags, char* text, int32_t length, int32_t start) noexcept {
  if (regex_.engine_ == nullptr) return 0;
  return as_position(
      engine_in(regex_.engine_)
          ->find(text, length_from(length), true, offset_from_position(start), no_case(flags)));
}

int32_t KewRegExpr::FindC(int32_t flags, char* text, int32_t length, int32_t start) noexcept {
  if (regex_.engine_ == nullptr) return 0;
  return as_position(
      engine_in(regex_.engine_)
          ->find(text, length_from(length), false, offset_from_position(start), no_case(flags)));
}

int32_t KewRegExpr::FindNext() noexcept {
  if (regex_.engine_ == nullptr) return 0;
  return as_position(engine_in(regex_.engine_)->find_next());
}

void KewRegExpr::FindStr(int32_t group) noexcept {
  kes::runtime::push_text(regex_.engine_ == nullptr ? std::string_view()
                                                    : engine_in(regex_.engine_)->group_text(group));
}

int32_t KewRegExpr::FindLen(int32_t group) noexcept {
  if (regex_.engine_ == nullptr) return 0;
  return static_cast<int32_t>(engine_in(regex_.engine_)->group_text(group).size());
}

void KewRegExpr::Replace(int32_t group) noexcept {
  const std::string_view replacement = kes::runtime::top_text();
  if (regex_.engine_ != nullptr) engine_in(regex_.engine_)->replace(group, replacement, 0);
  kes::runtime::pop_discard();
}

void KewRegExpr::Substitute() noexcept {
  const std::string_view pattern = kes::runtime::top_text();
  const num::RegexEngine* engine = engine_of(regex_.engine_);
  char* expanded = nullptr;
  std::size_t length = 0;
  if (engine != nullptr) {
    length = engine->substitute(pattern, nullptr);
    expanded = static_cast<char*>(kes::platform::heap_allocate(length));
    if (expanded != nullptr) engine->substitute(pattern, expanded);
  }
  kes::runtime::pop_discard();
  if (expanded == nullptr) {
    kes::runtime::push_text({});
  } else {
    kes::runtime::push_owned(expanded, static_cast<std::uint32_t>(length));
  }
}

void KewRegExpr::Kill() noexcept { regex_.Kill(); }
