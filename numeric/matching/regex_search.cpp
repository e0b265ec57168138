// The backtracking search over a compiled program, with an explicit stack of choice points (so
// long texts cannot exhaust the machine stack) and a memo of the choice states already entered.
#include "numeric/matching/regex_search.h"

#include <cstring>

#include "numeric/locale/collation_tables.h"
#include "platform/core/heap.h"

namespace kes::numeric {
namespace {

// A heap-grown array with inline room for the common small case. Growth failure is reported,
// never thrown.
template <typename T, std::size_t kInline>
class SmallBuffer {
 public:
  SmallBuffer() noexcept = default;
  ~SmallBuffer() {
    if (data_ != inline_) platform::heap_free(data_);
  }
  SmallBuffer(const SmallBuffer&) = delete;
  SmallBuffer& operator=(const SmallBuffer&) = delete;

  T* data() noexcept { return data_; }
  std::size_t capacity() const noexcept { return capacity_; }

  // Makes room for `count` elements; existing ones are kept when `keep` is set.
  bool reserve(std::size_t count, bool keep) noexcept {
    if (count <= capacity_) return true;
    std::size_t grown = capacity_ * 2;
    if (grown < count) grown = count;
    if (grown > static_cast<std::size_t>(-1) / sizeof(T)) return false;
    void* block = platform::heap_allocate(grown * sizeof(T));
    if (block == nullptr) return false;
    if (keep) std::memcpy(block, data_, capacity_ * sizeof(T));
    if (data_ != inline_) platform::heap_free(data_);
    data_ = static_cast<T*>(block);
    capacity_ = grown;
    return true;
  }

 private:
  T inline_[kInline];
  T* data_ = inline_;
  std::size_t capacity_ = kInline;
};

// What a stack frame remembers.
enum FrameKind : std::uint32_t {
  kAlternative,  // node: the next alternative's branch node; position: where the branch began
  kRepeat,       // node: the star or plus node; position: where the run began; count: last tried
  kUndoStart,    // node: the group; count: its previous start
  kUndoEnd,      // node: the group; count: its previous end
};

struct Frame {
  FrameKind kind;
  std::uint32_t node;
  std::size_t position;
  std::size_t count;
};

class Searcher {
 public:
  Searcher(const RegexProgram& program, std::string_view text, bool no_case) noexcept
      : nodes_(program.nodes().data()),
        pool_(program.pool().data()),
        text_(reinterpret_cast<const std::uint8_t*>(text.data())),
        length_(text.size()),
        no_case_(no_case || program.facts().no_case),
        slot_count_(program.facts().slot_count),
        choice_count_(program.facts().choice_count) {
    if (no_case_) {
      const CollationTables& tables = collation_tables();
      char_class_ = tables.char_class.data();
      partner_ = tables.case_partner.data();
    }
  }

  RegexOutcome run(const RegexFacts& facts, std::size_t from, RegexGroups& groups) noexcept {
    if (from > length_) return RegexOutcome::NotFound;
    if (facts.must_length != 0 && !contains(pool_ + facts.must_offset, facts.must_length, from)) {
      return RegexOutcome::NotFound;
    }
    from_ = from;
    if (!prepare_memo() || !prepare_runs()) return RegexOutcome::OutOfMemory;
    // Only the groups the pattern has are ever set.
    const std::size_t group_end = std::size_t{facts.group_count} + 1;
    group_end_ = group_end;

    bool found = false;
    if (facts.anchored) {
      found = attempt(from);
    } else if (facts.has_first_map && !no_case_ && facts.first_single >= 0) {
      const auto wanted = static_cast<int>(facts.first_single);
      for (std::size_t start = from; start < length_ && !found && !out_of_memory_; ++start) {
        const void* next = std::memchr(text_ + start, wanted, length_ - start);
        if (next == nullptr) break;
        start = static_cast<std::size_t>(static_cast<const std::uint8_t*>(next) - text_);
        found = attempt(start);
      }
    } else if (facts.has_first_map) {
      std::array<std::uint8_t, 32> first = facts.first_map;
      if (no_case_) {
        first = facts.first_members;
        for (unsigned c = 0; c < 256; ++c) {
          if (set_has(facts.first_literals.data(), static_cast<std::uint8_t>(c))) {
            add_case_partners(first, static_cast<std::uint8_t>(c));
          }
        }
      }
      for (std::size_t start = from; start < length_ && !found && !out_of_memory_; ++start) {
        if (set_has(first.data(), text_[start])) found = attempt(start);
      }
    } else {
      for (std::size_t start = from; start <= length_ && !found && !out_of_memory_; ++start) {
        found = attempt(start);
      }
    }
    if (out_of_memory_) return RegexOutcome::OutOfMemory;
    if (!found) return RegexOutcome::NotFound;
    groups[0] = match_;
    for (std::size_t group = 1; group < group_end; ++group) {
      const std::size_t start = starts_[group];
      const std::size_t end = ends_[group];
      // A group lies inside the match that set it.
      if (start != kNoOffset && end != kNoOffset && start <= end && start >= match_.start &&
          end <= match_.end) {
        groups[group] = RegexSpan{start, end};
      }
    }
    return RegexOutcome::Found;
  }

 private:
  static void add(std::array<std::uint8_t, 32>& map, std::uint8_t c) noexcept {
    map[c >> 3] = static_cast<std::uint8_t>(map[c >> 3] | (1u << (c & 7)));
  }

  // Every byte that folds to the same upper case as `c`.
  void add_case_partners(std::array<std::uint8_t, 32>& map, std::uint8_t c) const noexcept {
    const std::uint8_t folded = fold(c);
    for (unsigned other = 0; other < 256; ++other) {
      if (fold(static_cast<std::uint8_t>(other)) == folded)
        add(map, static_cast<std::uint8_t>(other));
    }
  }

  std::uint8_t fold(std::uint8_t c) const noexcept {
    return (char_class_[c] & kClassLower) != 0 && partner_[c] != 0 ? partner_[c] : c;
  }

  bool same(std::uint8_t pattern_char, std::uint8_t text_char) const noexcept {
    return pattern_char == text_char || (no_case_ && fold(pattern_char) == fold(text_char));
  }

  bool literal_at(const RegexNode& node, std::size_t position) const noexcept {
    if (length_ - position < node.length) return false;
    const std::uint8_t* literal = pool_ + node.operand;
    if (!no_case_) return std::memcmp(literal, text_ + position, node.length) == 0;
    for (std::uint32_t i = 0; i < node.length; ++i) {
      if (!same(literal[i], text_[position + i])) return false;
    }
    return true;
  }

  bool contains(const std::uint8_t* literal, std::uint32_t length,
                std::size_t from) const noexcept {
    if (length_ - from < length) return false;
    for (std::size_t at = from; at + length <= length_; ++at) {
      if (!same(literal[0], text_[at])) continue;
      std::uint32_t i = 1;
      while (i < length && same(literal[i], text_[at + i]))
        ++i;
      if (i == length) return true;
    }
    return false;
  }

  // Whether the simple node matches the character at `at` (below the end).
  bool matches_one(const RegexNode& node, std::size_t at) const noexcept {
    switch (node.op) {
      case kOpAny: return true;
      case kOpExactly: return same(pool_[node.operand], text_[at]);
      case kOpAnyOf: return set_has(pool_ + node.operand, text_[at]);
      case kOpAnyBut: return !set_has(pool_ + node.operand, text_[at]);
      default: return false;
    }
  }

  // The end of the run of the star or plus node `at` from `position`: the first offset from
  // there at which its simple node does not match. The run last found is kept for the node and
  // answers every position inside it, so the start positions of a search, which enter the same
  // run again and again, do not scan it again.
  std::size_t run_end(std::uint32_t at, std::size_t position) noexcept {
    const RegexNode& node = nodes_[at + 1];
    RunRecord& record = runs_.data()[nodes_[at].slot];
    if (record.begin != kNoOffset && position >= record.begin && position <= record.end) {
      return record.end;
    }
    std::size_t end = position;
    const std::size_t stop =
        record.begin != kNoOffset && position < record.begin ? record.begin : length_;
    while (end < stop && matches_one(node, end))
      ++end;
    if (end == stop && stop == record.begin) {
      record.begin = position;  // the same run, found from further left
      return record.end;
    }
    record = RunRecord{position, end, end + 1};
    return end;
  }

  // The memo is paged: a search touches few positions of a long text, so pages are allocated
  // and cleared only when first touched, the first of them inside the searcher itself.
  bool prepare_memo() noexcept {
    if (slot_count_ == 0) return true;
    const std::size_t positions = length_ - from_ + 1;
    if (positions > static_cast<std::size_t>(-1) / 2 / slot_count_) return false;
    page_count_ = (positions * slot_count_ + kPageBits - 1) / kPageBits;
    if (!pages_.reserve(page_count_, false)) return false;
    std::memset(pages_.data(), 0, page_count_ * sizeof(std::uint8_t*));
    return true;
  }

  // One run record for each star and plus node, none known yet.
  bool prepare_runs() noexcept {
    if (!runs_.reserve(choice_count_, false)) return false;
    for (std::size_t i = 0; i < choice_count_; ++i)
      runs_.data()[i] = RunRecord{kNoOffset, kNoOffset, kNoOffset};
    return true;
  }

  std::uint8_t* page(std::size_t index) noexcept {
    std::uint8_t*& slot = pages_.data()[index];
    if (slot == nullptr) {
      if (!first_page_used_) {
        slot = first_page_;
        first_page_used_ = true;
      } else {
        slot = static_cast<std::uint8_t*>(platform::heap_allocate(kPageBits / 8));
        if (slot == nullptr) return nullptr;
        heap_pages_ = true;
      }
      std::memset(slot, 0, kPageBits / 8);
    }
    return slot;
  }

  // Marks the state entered; false when it was entered before (or its page cannot be had, which
  // ends the search as out of memory).
  bool enter(std::uint16_t slot, std::size_t position) noexcept {
    if (slot_count_ == 0) return true;  // a program that needs no memo
    const std::size_t bit = (position - from_) * slot_count_ + slot;
    std::uint8_t* bits = page(bit / kPageBits);
    if (bits == nullptr) {
      out_of_memory_ = true;
      return false;
    }
    std::uint8_t& byte = bits[(bit % kPageBits) >> 3];
    const auto mask = static_cast<std::uint8_t>(1u << (bit & 7));
    if ((byte & mask) != 0) return false;
    byte = static_cast<std::uint8_t>(byte | mask);
    return true;
  }

  bool push(FrameKind kind, std::uint32_t node, std::size_t position, std::size_t count) noexcept {
    if (!frames_.reserve(frame_count_ + 1, true)) {
      out_of_memory_ = true;
      return false;
    }
    frames_.data()[frame_count_++] = Frame{kind, node, position, count};
    return true;
  }

  // The next run length to try for the repeat node `at` whose run began at `position`: the
  // longest below `below` and at least `minimum` whose continuation is worth entering; a run
  // must be followed by the first character of a literal that comes next.
  //
  // Every end tried is a state entered, whether its literal fails or not, and a state entered
  // once is never entered again in the same search: it failed, or it is still in progress (a
  // loop whose body matched nothing). The run record keeps the ends tried from the run's end
  // downward, so a later start position inside the same run jumps past all of them at once
  // instead of passing them one by one: each end of each run is passed once per search.
  std::size_t pick(std::uint32_t at, std::size_t position, std::size_t below,
                   std::size_t minimum) noexcept {
    const RegexNode& node = nodes_[at];
    const RegexNode& next = nodes_[at + node.next];
    const bool literal_next = next.op == kOpExactly;
    const std::uint8_t next_char = literal_next ? pool_[next.operand] : 0;
    // Only a record of this run (it holds `position`) tells which of its ends were tried.
    RunRecord* record = &runs_.data()[node.slot];
    if (record->begin == kNoOffset || position < record->begin || position > record->end) {
      record = nullptr;
    }
    std::size_t count = below;
    if (record != nullptr && position + count > record->tried_low) {
      count = record->tried_low > position ? record->tried_low - position : 0;
    }
    while (count-- > minimum) {
      const std::size_t end = position + count;
      const bool fresh = enter(node.slot, end);
      if (out_of_memory_) return kNoOffset;
      if (record != nullptr && end + 1 == record->tried_low) record->tried_low = end;
      if (literal_next && (end >= length_ || !same(next_char, text_[end]))) continue;
      if (fresh) return count;
    }
    return kNoOffset;
  }

  // Resumes at the latest choice point; false when none is left.
  bool backtrack(std::uint32_t& at, std::size_t& position) noexcept {
    while (frame_count_ != 0) {
      Frame& top = frames_.data()[frame_count_ - 1];
      switch (top.kind) {
        case kUndoStart:
          starts_[top.node] = top.count;
          --frame_count_;
          continue;
        case kUndoEnd:
          ends_[top.node] = top.count;
          --frame_count_;
          continue;
        case kAlternative: {
          const std::uint32_t branch = top.node;
          position = top.position;
          at = branch + 1;
          const RegexNode& node = nodes_[branch];
          if (node.next != 0 && nodes_[branch + node.next].op == kOpBranch) {
            top.node = branch + node.next;
          } else {
            --frame_count_;
          }
          return true;
        }
        case kRepeat: {
          const RegexNode& node = nodes_[top.node];
          const std::size_t count =
              pick(top.node, top.position, top.count, node.op == kOpPlus ? 1 : 0);
          if (count == kNoOffset) {
            --frame_count_;
            continue;
          }
          top.count = count;
          position = top.position + count;
          at = top.node + node.next;
          return true;
        }
      }
    }
    return false;
  }

  bool attempt(std::size_t start) noexcept {
    std::uint32_t at = 0;
    std::size_t position = start;
    frame_count_ = 0;
    // Each attempt starts with no group set: nothing an earlier start position captured counts.
    for (std::size_t group = 1; group < group_end_; ++group) {
      starts_[group] = kNoOffset;
      ends_[group] = kNoOffset;
    }
    for (;;) {
      const RegexNode& node = nodes_[at];
      bool ok = true;
      switch (node.op) {
        case kOpEnd: match_ = RegexSpan{start, position}; return true;
        case kOpBol: ok = position == 0; break;
        case kOpEol: ok = position == length_; break;
        case kOpAny: ok = position < length_; break;
        case kOpAnyOf:
          ok = position < length_ && set_has(pool_ + node.operand, text_[position]);
          break;
        case kOpAnyBut:
          ok = position < length_ && !set_has(pool_ + node.operand, text_[position]);
          break;
        case kOpExactly: ok = literal_at(node, position); break;
        case kOpNothing: break;
        case kOpBack: at -= node.next; continue;
        case kOpBranch: {
          if (node.next == 0 || nodes_[at + node.next].op != kOpBranch) {
            ++at;  // a single alternative offers no choice
            continue;
          }
          if (!enter(node.slot, position)) {
            ok = false;
            break;
          }
          if (!push(kAlternative, at + node.next, position, 0)) return false;
          ++at;
          continue;
        }
        case kOpStar:
        case kOpPlus: {
          const std::size_t minimum = node.op == kOpPlus ? 1 : 0;
          const std::size_t run = run_end(at, position) - position;
          const std::size_t count =
              run < minimum ? kNoOffset : pick(at, position, run + 1, minimum);
          if (count == kNoOffset) {
            ok = false;
            break;
          }
          if (!push(kRepeat, at, position, count)) return false;
          position += count;
          at += node.next;
          continue;
        }
        default:
          if (node.op > kOpOpen && node.op < kOpOpen + kRegexGroupCount) {
            const std::uint32_t group = node.op - kOpOpen;
            if (!push(kUndoStart, group, 0, starts_[group])) return false;
            starts_[group] = position;
          } else if (node.op > kOpClose && node.op < kOpClose + kRegexGroupCount) {
            const std::uint32_t group = node.op - kOpClose;
            if (!push(kUndoEnd, group, 0, ends_[group])) return false;
            ends_[group] = position;
          } else {
            ok = false;
          }
          break;
      }
      if (ok && node.next != 0) {
        // Single-character nodes and literals move past what they matched.
        if (node.op == kOpAny || node.op == kOpAnyOf || node.op == kOpAnyBut) ++position;
        if (node.op == kOpExactly) position += node.length;
        at += node.next;
        continue;
      }
      if (!backtrack(at, position)) return false;
    }
  }

  const RegexNode* nodes_;
  const std::uint8_t* pool_;
  const std::uint8_t* text_;
  std::size_t length_;
  bool no_case_;
  std::uint16_t slot_count_;
  std::uint16_t choice_count_;
  const std::uint8_t* char_class_ = nullptr;
  const std::uint8_t* partner_ = nullptr;
  std::size_t from_ = 0;
  bool out_of_memory_ = false;
  std::size_t group_end_ = 1;  // one past the pattern's last group
  RegexSpan match_;
  std::array<std::size_t, kRegexGroupCount>
      starts_;  // set for the pattern's groups before each search
  std::array<std::size_t, kRegexGroupCount> ends_;
  SmallBuffer<Frame, 64> frames_;
  // For each star and plus node (by its slot): the run last found, and how far down from its end
  // the ends have been tried. Kept across the start positions of one search.
  struct RunRecord {
    std::size_t begin;      // the run holds [begin, end) and answers positions begin..end
    std::size_t end;        // kNoOffset: no run known
    std::size_t tried_low;  // every end in [tried_low, end] has been entered; end + 1: none
  };
  SmallBuffer<RunRecord, 8> runs_;
  std::size_t frame_count_ = 0;
  static constexpr std::size_t kPageBits = 1024;
  SmallBuffer<std::uint8_t*, 64> pages_;
  std::size_t page_count_ = 0;
  bool first_page_used_ = false;
  bool heap_pages_ = false;
  std::uint8_t first_page_[kPageBits / 8];

 public:
  ~Searcher() {
    if (!heap_pages_) return;
    for (std::size_t i = 0; i < page_count_; ++i) {
      if (pages_.data()[i] != first_page_) platform::heap_free(pages_.data()[i]);
    }
  }
};

}  // namespace

RegexOutcome search_regex(const RegexProgram& program, std::string_view text, std::size_t from,
                          bool no_case, RegexGroups& groups) noexcept {
  groups = RegexGroups{};
  if (program.empty()) return RegexOutcome::NotFound;
  Searcher searcher(program, text, no_case);
  return searcher.run(program.facts(), from, groups);
}

}  // namespace kes::numeric
