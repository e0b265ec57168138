// Compiling regular expressions: a recursive-descent parser that emits the node program, then
// the facts (anchor, first characters, required literal) that searches use to skip work.
#include "numeric/matching/regex_program.h"

#include <cstring>
#include <utility>

#include "platform/core/heap.h"

namespace kes::numeric {

RegexProgram::~RegexProgram() { clear(); }

RegexProgram::RegexProgram(RegexProgram&& other) noexcept { *this = std::move(other); }

RegexProgram& RegexProgram::operator=(RegexProgram&& other) noexcept {
  if (this != &other) {
    clear();
    nodes_ = std::exchange(other.nodes_, nullptr);
    node_count_ = std::exchange(other.node_count_, 0);
    node_capacity_ = std::exchange(other.node_capacity_, 0);
    pool_ = std::exchange(other.pool_, nullptr);
    pool_length_ = std::exchange(other.pool_length_, 0);
    pool_capacity_ = std::exchange(other.pool_capacity_, 0);
    facts_ = std::exchange(other.facts_, RegexFacts{});
  }
  return *this;
}

void RegexProgram::clear() noexcept {
  platform::heap_free(nodes_);
  platform::heap_free(pool_);
  nodes_ = nullptr;
  pool_ = nullptr;
  node_count_ = node_capacity_ = pool_length_ = pool_capacity_ = 0;
  facts_ = RegexFacts{};
}

std::int64_t RegexProgram::next_of(std::uint32_t index) const noexcept {
  const RegexNode& node = nodes_[index];
  if (node.next == 0) return -1;
  return node.op == kOpBack ? std::int64_t{index} - node.next : std::int64_t{index} + node.next;
}

namespace {

constexpr std::string_view kMeta = "^$.[{}|?+*\\";
constexpr std::uint32_t kMaxNodes = 0xFFFF;  // every link then fits 16 bits
constexpr std::uint32_t kNone = 0xFFFFFFFF;
constexpr int kMaxGroups = 9;
constexpr int kFirstDepthLimit = 64;

bool is_meta(char c) noexcept { return kMeta.find(c) != std::string_view::npos; }
bool is_quantifier(char c) noexcept { return c == '*' || c == '+' || c == '?'; }

// Atom properties the piece parser needs.
constexpr unsigned kSimple = 1;  // one character wide: "*" and "+" become star and plus nodes

}  // namespace

// Emits nodes into a RegexProgram; the first failure sticks and later calls do nothing.
class RegexBuilder {
 public:
  RegexBuilder(std::string_view pattern, RegexProgram& program) noexcept
      : pattern_(pattern), program_(program) {}

  RegexError compile() noexcept {
    if (pattern_.empty()) {
      // The empty pattern matches the empty string, so it is found at every position.
      const std::uint32_t branch = emit(kOpBranch);
      emit(kOpNothing);
      const std::uint32_t end = emit(kOpEnd);
      tail(branch, end);
      operand_tail(branch, end);
    } else {
      alternation(false);
    }
    return error_;
  }

  int group_count() const noexcept { return group_count_; }

 private:
  bool at_end() const noexcept { return offset_ >= pattern_.size(); }
  char peek() const noexcept { return pattern_[offset_]; }

  void fail(RegexError error) noexcept {
    if (error_ == RegexError::None) error_ = error;
  }
  bool failed() const noexcept { return error_ != RegexError::None; }

  RegexNode* node(std::uint32_t index) noexcept { return &program_.nodes_[index]; }

  bool reserve_nodes(std::uint32_t count) noexcept {
    if (count > kMaxNodes) {
      fail(RegexError::TooBig);
      return false;
    }
    if (count <= program_.node_capacity_) return true;
    std::uint32_t capacity = program_.node_capacity_ == 0 ? 16 : program_.node_capacity_ * 2;
    if (capacity < count) capacity = count;
    void* grown = platform::heap_reallocate(program_.nodes_, sizeof(RegexNode) * capacity);
    if (grown == nullptr) {
      fail(RegexError::OutOfMemory);
      return false;
    }
    program_.nodes_ = static_cast<RegexNode*>(grown);
    program_.node_capacity_ = capacity;
    return true;
  }

  // Appends `length` bytes (or zeros when `bytes` is null) to the pool; returns their offset.
  std::uint32_t add_pool(const void* bytes, std::size_t length) noexcept {
    if (failed()) return 0;
    const std::size_t needed = std::size_t{program_.pool_length_} + length;
    if (needed > 0x7FFFFFFF) {
      fail(RegexError::TooBig);
      return 0;
    }
    if (needed > program_.pool_capacity_) {
      std::size_t capacity = program_.pool_capacity_ == 0 ? 64 : program_.pool_capacity_ * 2u;
      if (capacity < needed) capacity = needed;
      void* grown = platform::heap_reallocate(program_.pool_, capacity);
      if (grown == nullptr) {
        fail(RegexError::OutOfMemory);
        return 0;
      }
      program_.pool_ = static_cast<std::uint8_t*>(grown);
      program_.pool_capacity_ = static_cast<std::uint32_t>(capacity);
    }
    const std::uint32_t at = program_.pool_length_;
    if (bytes != nullptr) {
      if (length != 0) std::memcpy(program_.pool_ + at, bytes, length);
    } else {
      std::memset(program_.pool_ + at, 0, length);
    }
    program_.pool_length_ = static_cast<std::uint32_t>(needed);
    return at;
  }

  std::uint32_t emit(std::uint8_t op) noexcept {
    if (failed() || !reserve_nodes(program_.node_count_ + 1)) return kNone;
    const std::uint32_t index = program_.node_count_++;
    *node(index) = RegexNode{op, 0, 0, kNoSlot, 0, 0, 0};
    return index;
  }

  // Puts a new node in front of the operand that starts at `at`; the operand moves up by one.
  void insert(std::uint8_t op, std::uint32_t at) noexcept {
    if (failed() || !reserve_nodes(program_.node_count_ + 1)) return;
    std::memmove(node(at + 1), node(at), sizeof(RegexNode) * (program_.node_count_ - at));
    ++program_.node_count_;
    *node(at) = RegexNode{op, 0, 0, kNoSlot, 0, 0, 0};
  }

  // Links the last node of the chain that starts at `from` to `to`.
  void tail(std::uint32_t from, std::uint32_t to) noexcept {
    if (failed() || from == kNone || to == kNone) return;
    std::uint32_t scan = from;
    for (;;) {
      const std::int64_t next = program_.next_of(scan);
      if (next < 0) break;
      scan = static_cast<std::uint32_t>(next);
    }
    const bool back = node(scan)->op == kOpBack;
    const std::int64_t distance = back ? std::int64_t{scan} - to : std::int64_t{to} - scan;
    if (distance <= 0 || distance > 0xFFFF) {
      fail(RegexError::TooBig);
      return;
    }
    node(scan)->next = static_cast<std::uint16_t>(distance);
  }

  // tail() on the operand of a branch; nothing for other nodes.
  void operand_tail(std::uint32_t from, std::uint32_t to) noexcept {
    if (failed() || from == kNone || node(from)->op != kOpBranch) return;
    tail(from + 1, to);
  }

  // alternation := branch { "|" branch }, inside a group when `group` is set.
  std::uint32_t alternation(bool group) noexcept {
    std::uint32_t first = kNone;
    int number = 0;
    if (group) {
      if (group_count_ >= kMaxGroups) {
        fail(RegexError::TooManyGroups);
        return kNone;
      }
      number = ++group_count_;
      first = emit(static_cast<std::uint8_t>(kOpOpen + number));
    }
    const std::uint32_t branch_first = branch();
    if (first == kNone) {
      first = branch_first;
    } else {
      tail(first, branch_first);
    }
    // Linking from the latest branch keeps long alternative lists linear to compile.
    std::uint32_t last = branch_first;
    while (!failed() && !at_end() && peek() == '|') {
      ++offset_;
      const std::uint32_t next = branch();
      tail(last, next);
      last = next;
    }
    const std::uint32_t ender = emit(group ? static_cast<std::uint8_t>(kOpClose + number) : kOpEnd);
    tail(first, ender);
    for (std::int64_t scan = first; !failed() && scan >= 0;
         scan = program_.next_of(static_cast<std::uint32_t>(scan))) {
      operand_tail(static_cast<std::uint32_t>(scan), ender);
    }
    if (failed()) return kNone;
    if (group) {
      if (at_end()) {
        fail(RegexError::UnclosedGroup);
        return kNone;
      }
      ++offset_;  // the "}" that stopped the last branch
    } else if (!at_end()) {
      fail(RegexError::UnmatchedClose);  // only a "}" stops a top-level branch early
    }
    return first;
  }

  // branch := piece { piece }; an empty branch is an error.
  std::uint32_t branch() noexcept {
    const std::uint32_t first = emit(kOpBranch);
    if (at_end() || peek() == '|' || peek() == '}') {
      fail(RegexError::MissingAtom);
      return kNone;
    }
    std::uint32_t chain = kNone;
    while (!failed() && !at_end() && peek() != '|' && peek() != '}') {
      const std::uint32_t latest = piece();
      if (chain != kNone) tail(chain, latest);
      chain = latest;
    }
    return first;
  }

  // piece := atom [ "*" | "+" | "?" ]
  std::uint32_t piece() noexcept {
    unsigned properties = 0;
    const std::uint32_t atom_first = atom(properties);
    if (failed() || at_end() || !is_quantifier(peek())) return atom_first;
    const char quantifier = peek();
    ++offset_;
    const bool simple = (properties & kSimple) != 0;
    if (quantifier == '*' && simple) {
      insert(kOpStar, atom_first);
    } else if (quantifier == '*') {
      // x* as a loop: branch (x, back to the branch) or branch (nothing).
      insert(kOpBranch, atom_first);
      operand_tail(atom_first, emit(kOpBack));
      operand_tail(atom_first, atom_first);
      tail(atom_first, emit(kOpBranch));
      tail(atom_first, emit(kOpNothing));
    } else if (quantifier == '+' && simple) {
      insert(kOpPlus, atom_first);
    } else if (quantifier == '+') {
      // x+ as x then branch (back to x) or branch (nothing).
      const std::uint32_t loop = emit(kOpBranch);
      tail(atom_first, loop);
      tail(emit(kOpBack), atom_first);
      tail(loop, emit(kOpBranch));
      tail(atom_first, emit(kOpNothing));
    } else {
      // x? as branch (x) or branch (nothing), both joining at a nothing node.
      insert(kOpBranch, atom_first);
      tail(atom_first, emit(kOpBranch));
      const std::uint32_t join = emit(kOpNothing);
      tail(atom_first, join);
      operand_tail(atom_first, join);
    }
    return atom_first;
  }

  std::uint32_t literal(const char* bytes, std::size_t length) noexcept {
    const std::uint32_t index = emit(kOpExactly);
    const std::uint32_t at = add_pool(bytes, length);
    if (failed()) return kNone;
    node(index)->operand = at;
    node(index)->length = static_cast<std::uint32_t>(length);
    return index;
  }

  std::uint32_t atom(unsigned& properties) noexcept {
    const char c = pattern_[offset_++];
    switch (c) {
      case '^': return emit(kOpBol);
      case '$': return emit(kOpEol);
      case '.': properties |= kSimple; return emit(kOpAny);
      case '[': properties |= kSimple; return set();
      case '{': return alternation(true);
      case '|':
      case '}': fail(RegexError::MissingAtom); return kNone;
      case '*':
      case '+':
      case '?': fail(RegexError::NothingToRepeat); return kNone;
      case '\\':
        if (at_end()) {
          fail(RegexError::TrailingEscape);
          return kNone;
        }
        properties |= kSimple;
        ++offset_;
        return literal(&pattern_[offset_ - 1], 1);
      default: break;
    }
    // A run of ordinary characters; before a quantifier its last character stands alone.
    const std::size_t start = offset_ - 1;
    std::size_t length = 1;
    while (start + length < pattern_.size() && !is_meta(pattern_[start + length]))
      ++length;
    if (length > 1 && start + length < pattern_.size() && is_quantifier(pattern_[start + length])) {
      --length;
    }
    offset_ = start + length;
    if (length == 1) properties |= kSimple;
    return literal(&pattern_[start], length);
  }

  // set := "[" [ "^" | "~" ] [ "]" | "-" ] { member | range } [ "-" ] "]"
  std::uint32_t set() noexcept {
    std::uint8_t op = kOpAnyOf;
    if (!at_end() && (peek() == '^' || peek() == '~')) {
      op = kOpAnyBut;
      ++offset_;
    }
    std::array<std::uint8_t, 32> map{};
    const auto add = [&map](unsigned code) {
      map[code >> 3] |= static_cast<std::uint8_t>(1u << (code & 7));
    };
    const std::size_t text_start = offset_;
    if (!at_end() && (peek() == ']' || peek() == '-'))
      add(static_cast<std::uint8_t>(pattern_[offset_++]));
    while (!at_end() && peek() != ']') {
      if (peek() == '-') {
        ++offset_;
        if (at_end() || peek() == ']') {
          add('-');
        } else {
          // The range runs from the character before the "-" to the one after it.
          const unsigned from = static_cast<std::uint8_t>(pattern_[offset_ - 2]);
          const unsigned to = static_cast<std::uint8_t>(pattern_[offset_]);
          if (from > to) {
            fail(RegexError::BadRange);
            return kNone;
          }
          for (unsigned code = from + 1; code <= to; ++code)
            add(code);
          ++offset_;
        }
      } else {
        add(static_cast<std::uint8_t>(pattern_[offset_++]));
      }
    }
    if (at_end()) {
      fail(RegexError::UnclosedSet);
      return kNone;
    }
    const std::size_t text_length = offset_ - text_start;
    ++offset_;  // "]"
    const std::uint32_t index = emit(op);
    const std::uint32_t at = add_pool(map.data(), map.size());
    add_pool(pattern_.data() + text_start, text_length);
    if (failed()) return kNone;
    node(index)->operand = at;
    node(index)->length = static_cast<std::uint32_t>(text_length);
    return index;
  }

  std::string_view pattern_;
  RegexProgram& program_;
  std::size_t offset_ = 0;
  int group_count_ = 0;
  RegexError error_ = RegexError::None;
};

namespace {

void add_byte(std::array<std::uint8_t, 32>& map, std::uint8_t c) noexcept {
  map[c >> 3] = static_cast<std::uint8_t>(map[c >> 3] | (1u << (c & 7)));
}

// Adds the characters one simple node can take; false when it takes any character.
bool add_simple(const RegexProgram& program, const RegexNode& node, RegexFacts& facts) noexcept {
  const std::uint8_t* pool = program.pool().data();
  switch (node.op) {
    case kOpExactly: add_byte(facts.first_literals, pool[node.operand]); return true;
    case kOpAnyOf:
      for (std::size_t i = 0; i < 32; ++i)
        facts.first_members[i] |= pool[node.operand + i];
      return true;
    case kOpAnyBut:
      for (std::size_t i = 0; i < 32; ++i) {
        facts.first_members[i] =
            static_cast<std::uint8_t>(facts.first_members[i] | ~pool[node.operand + i]);
      }
      return true;
    default: return false;
  }
}

// Collects the characters every match from `index` on must start with; false when a match could
// take no character at all, or when the answer is not worth finding.
bool collect_first(const RegexProgram& program, std::int64_t index, RegexFacts& facts,
                   int depth) noexcept {
  const std::span<const RegexNode> nodes = program.nodes();
  for (;;) {
    if (index < 0 || ++depth > kFirstDepthLimit) return false;
    const auto at = static_cast<std::uint32_t>(index);
    const RegexNode& node = nodes[at];
    switch (node.op) {
      case kOpExactly:
      case kOpAnyOf:
      case kOpAnyBut: return add_simple(program, node, facts);
      case kOpPlus: return add_simple(program, nodes[at + 1], facts);
      case kOpStar:
        if (!add_simple(program, nodes[at + 1], facts)) return false;
        index = program.next_of(at);
        continue;
      case kOpBol:
      case kOpNothing: index = program.next_of(at); continue;
      case kOpBranch: {
        const std::int64_t next = program.next_of(at);
        if (next < 0 || nodes[static_cast<std::uint32_t>(next)].op != kOpBranch) {
          index = at + 1;
          continue;
        }
        for (std::int64_t alt = at;
             alt >= 0 && nodes[static_cast<std::uint32_t>(alt)].op == kOpBranch;
             alt = program.next_of(static_cast<std::uint32_t>(alt))) {
          if (!collect_first(program, alt + 1, facts, depth)) return false;
        }
        return true;
      }
      default:
        if (node.op > kOpOpen && node.op < kOpClose + kRegexGroupCount) {
          index = program.next_of(at);
          continue;
        }
        return false;  // end, end of text, any character, back link
    }
  }
}

void compute_facts(RegexProgram& program, RegexFacts& facts, RegexNode* nodes) noexcept {
  // Memo slots for every node that offers a choice.
  std::uint16_t slots = 0;
  for (std::size_t i = 0; i < program.nodes().size(); ++i) {
    const std::uint8_t op = nodes[i].op;
    if (op == kOpBranch || op == kOpStar || op == kOpPlus) nodes[i].slot = slots++;
  }
  facts.slot_count = slots;
  facts.choice_count = slots;

  // Without loops and with one choice point at most, a search is already polynomial (the one
  // choice point has a run's length of options, each followed linearly) and cannot cycle, so
  // it needs no memo.
  bool loops = false;
  int choices = 0;
  const auto real_choice = [&](std::int64_t at) {
    if (at < 0 || nodes[at].op != kOpBranch) return false;
    const std::int64_t next = program.next_of(static_cast<std::uint32_t>(at));
    return next >= 0 && nodes[next].op == kOpBranch;
  };
  for (std::uint32_t i = 0; i < program.nodes().size(); ++i) {
    const std::uint8_t op = nodes[i].op;
    if (op == kOpBack) loops = true;
    if (op == kOpStar || op == kOpPlus) ++choices;
    // A chain of alternatives is one choice point: count its head only.
    if (real_choice(i)) ++choices;
    if (real_choice(i) && real_choice(program.next_of(i))) --choices;
  }
  if (!loops && choices <= 1) facts.slot_count = 0;

  // With one top-level alternative, its first node and its literal runs bind every match.
  const std::int64_t top_next = program.next_of(0);
  if (top_next >= 0 && nodes[top_next].op == kOpEnd) {
    const RegexNode& first = nodes[1];
    if (first.op == kOpExactly) facts.first_char = program.pool()[first.operand];
    if (first.op == kOpBol) facts.anchored = true;
    for (std::int64_t scan = 1; scan >= 0;
         scan = program.next_of(static_cast<std::uint32_t>(scan))) {
      const RegexNode& node = nodes[scan];
      // Ties go to the later run: the first character already checks the start.
      if (node.op == kOpExactly && node.length >= facts.must_length) {
        facts.must_offset = node.operand;
        facts.must_length = node.length;
      }
    }
  }
  RegexFacts first_sets;
  if (collect_first(program, 0, first_sets, 0)) {
    facts.has_first_map = true;
    facts.first_literals = first_sets.first_literals;
    facts.first_members = first_sets.first_members;
    int members = 0;
    for (unsigned c = 0; c < 256; ++c) {
      const auto byte = static_cast<std::uint8_t>(c);
      if (set_has(facts.first_literals.data(), byte) || set_has(facts.first_members.data(), byte)) {
        add_byte(facts.first_map, byte);
        ++members;
        facts.first_single = static_cast<std::int16_t>(c);
      }
    }
    if (members != 1) facts.first_single = -1;
  }
}

}  // namespace

RegexError compile_regex(std::string_view pattern, bool no_case, RegexProgram& program) noexcept {
  program.clear();
  RegexProgram built;
  RegexBuilder builder(pattern, built);
  const RegexError error = builder.compile();
  if (error != RegexError::None) return error;
  RegexFacts facts;
  facts.no_case = no_case;
  facts.group_count = static_cast<std::uint8_t>(builder.group_count());
  compute_facts(built, facts, built.nodes_);
  built.facts_ = facts;
  program = std::move(built);
  return RegexError::None;
}

}  // namespace kes::numeric
