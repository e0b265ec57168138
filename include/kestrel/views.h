// View descriptors: the byte string that describes a VIEW (its primary file, projections and the
// tree of JOINs), the class that reads and builds it, and its printed form.
//
// The byte string holds one level per file, the primary file's first. Each level is:
//   1. a header: either FFh and the join condition as a terminated text, or a count byte n (0
//      for the primary file) and n 16-bit key component field numbers (little-endian, fields of
//      the enclosing file, in key component order);
//   2. a flags byte: 0, or non-zero for an INNER join;
//   3. the projection: a 16-bit count, FFFFh for every field (no entries follow); otherwise
//      that many entries, each a 16-bit field number, or FFFFh and a 16-bit memo number for a
//      projected MEMO or BLOB;
//   4. a join count byte and that many complete levels (the joined files, in declaration
//      order). Nesting stops at 19 levels below the primary file.
// A primary file alone, all fields projected, is the five bytes 00 00 FF FF 00.
#pragma once

#include <cstdint>

#include <kestrel/abi.h>
#include <kestrel/dyn_str.h>

// Error codes a view descriptor reports to its handler; the operation then goes on where it can.
enum : int32_t {
  kViewOutOfOrder = 1,         // the build has gone past the stage the operation needs
  kViewTooManyComponents = 2,  // a key component beyond the count announced, or a second condition
  kViewNoRoom = 3,             // the handler has no room for the bytes about to be written
  kViewTooDeep = 5,            // a join more than 19 levels below the primary file
  kViewBadIndex = 6,           // an index of 0 or beyond the count (components, fields, joins)
  kViewMalformed = 7,          // a bounded descriptor ends before what it announces
};

// Levels below the primary file that a descriptor may hold.
inline constexpr int kViewMaxDepth = 19;
// Marks a projection of every field, and a memo entry of a projection.
inline constexpr uint16_t kViewAllFields = 0xFFFF;
inline constexpr uint16_t kViewMemoEntry = 0xFFFF;

// What a view descriptor hands on: room for bytes it is about to write, its errors, and its
// printed form one character at a time. The handler is the owner's; the descriptor only calls
// it.
class view_handler {
 public:
  // Room for `length` more bytes at the cursor: true to write them, false when there is none
  // (nothing is written and kViewNoRoom is reported).
  virtual bool reserve(uint32_t length) = 0;
  virtual void error(int32_t code) = 0;
  virtual void put(char character) = 0;

 protected:
  ~view_handler() = default;
};

// Reads and builds a view descriptor in a buffer it does not own.
//
// Reading is cursor-based: every query starts from the current level's start, and set_join and
// unset_join move between levels. Building goes through the stages header, flags, projection
// and joins of each level; an operation that needs a later stage completes the earlier ones
// with their defaults (an empty component list, flags 0, every field projected, no joins).
class KES_EXPORT view_descriptor {
 public:
  // A descriptor reporting to `handler` (null: writes are refused, errors and output dropped).
  explicit view_descriptor(view_handler* handler = nullptr) noexcept;
  virtual ~view_descriptor();
  view_descriptor(const view_descriptor&) = delete;
  view_descriptor& operator=(const view_descriptor&) = delete;

  // Starts on a byte string: build state 0, level 0. Without a length the string is trusted to
  // be well formed (a compiled descriptor); with one, nothing past `length` bytes is read and a
  // string that ends early reports kViewMalformed. Building writes from the same start.
  void setup(const void* buffer) noexcept;
  void setup(const void* buffer, uint32_t length) noexcept;

  // ---- Reading the current level.
  // The header's count of key components (0 when the header is a join condition).
  uint8_t components() noexcept;
  // The i-th key component's field number, i from 1; out of range: kViewBadIndex and 0.
  uint16_t component(uint32_t i) noexcept;
  // The join condition, or null when the header is a component list.
  const char* condition() noexcept;
  uint8_t get_flags() noexcept;
  // The projection count, kViewAllFields when every field is projected.
  uint16_t fields() noexcept;
  // The i-th projection entry's field number (kViewMemoEntry for a memo), i from 1; 0 or beyond
  // the count: kViewBadIndex and 0.
  uint16_t field(uint32_t i) noexcept;
  // The i-th entry's memo number, kViewMemoEntry when it is a field; out of range as field().
  uint16_t memo(uint32_t i) noexcept;
  // The number of joins of the current level.
  uint8_t joins() noexcept;
  // Descends into the j-th join of the current level (j from 1; 0 stays). Needs build state 0
  // (kViewOutOfOrder otherwise); j beyond the join count: kViewBadIndex; a twentieth level:
  // kViewTooDeep.
  void set_join(uint32_t j) noexcept;

  // ---- Building.
  // The first call begins the primary file's level; a later one begins a join with no
  // components.
  void file() noexcept;
  // Completes the current level up to its join count, counts one more join, descends and
  // writes the new level's header, to which `component_count` key components will follow.
  void join(uint8_t component_count) noexcept;
  // Appends a key component to the current header (only while components remain announced).
  void join_component(uint16_t field_number) noexcept;
  // Makes the current header FFh and the condition text (once per join).
  void join_condition(const char* text) noexcept;
  // Sets the current level's flags byte (non-zero: INNER); before the projection only.
  void set_flags(uint8_t flags) noexcept;
  // Adds a projected field (1 to FFFEh) or memo to the current level's projection.
  void project_field(uint16_t field_number) noexcept;
  void project_memo(uint16_t memo_number) noexcept;
  // Completes the current level, projecting every field unless fields were named.
  void project_all() noexcept;
  // Building: completes the current level and goes back up; at level 0 the descriptor is done
  // and the next build starts over at the beginning of the buffer (reading starts there too).
  // Reading: returns to the enclosing level.
  void unset_join() noexcept;

  // Writes the printed form through the handler's put, from the primary file: "VIEW(FILE)",
  // the projections and joins indented by two per level, each join closed by "END", and a
  // last "END"; lines end in CR LF.
  virtual void print() noexcept;

  // The descriptor's length: while building, the bytes written so far; once the last
  // unset_join has completed it (or after a bounded setup), the whole descriptor.
  uint32_t built_length() const noexcept;

 protected:
  uint8_t state_ = 0;  // 0 before a header, 1 after it, 2 after the flags, 3 after the
                       // projection, 4 complete
  uint8_t* cursor_ = nullptr;
  uint8_t* start_ = nullptr;
  uint8_t remaining_components_ = 0;
  uint8_t indentation_ = 0;
  uint8_t at_line_start_ = 1;
  // Reading: each level's start. Building: the count the next addition increments.
  uint8_t* levels_[kViewMaxDepth + 1] = {};
  uint8_t level_ = 0;
  view_handler* handler_ = nullptr;
  const uint8_t* end_ = nullptr;  // null: unbounded

 private:
  void report(int32_t code) noexcept;
  bool write(const void* bytes, uint32_t length) noexcept;
  void complete_to(uint8_t state) noexcept;
  void begin_level(uint8_t component_count) noexcept;
  void project_entry(uint16_t first, const uint16_t* second) noexcept;
  // Reading helpers: positions past each part of a level, null when the string ends early.
  bool readable(const uint8_t* at, uint32_t length) noexcept;
  uint16_t word_at(const uint8_t* at) noexcept;
  const uint8_t* after_header(const uint8_t* level) noexcept;
  const uint8_t* after_projection(const uint8_t* level) noexcept;
  const uint8_t* after_level(const uint8_t* level, int depth) noexcept;
  const uint8_t* projection_entry(uint32_t i, bool& is_memo) noexcept;
  void print_text(const char* text) noexcept;
  void print_number(uint32_t value) noexcept;
  void print_line_end() noexcept;
  bool print_level(const uint8_t* level, int depth) noexcept;
};

// A view descriptor with its own buffer and handler. Built without a buffer it allocates one of
// 64,000 bytes (freed on destruction) and builds there; given one (a compiled descriptor) it only
// reads it. Every error becomes error 75 "Invalid Field Type Descriptor" in the error state, and
// print() leaves the printed form on the string stack as one string.
class KES_EXPORT ViewDesc : public view_descriptor, private view_handler {
 public:
  static constexpr uint32_t kCapacity = 64000;

  explicit ViewDesc(const void* buffer = nullptr) noexcept;
  ViewDesc(const void* buffer, uint32_t length) noexcept;
  ~ViewDesc() override;

  void print() noexcept override;

  const uint8_t* data() const noexcept { return buffer_; }

 private:
  bool reserve(uint32_t length) noexcept override;
  void error(int32_t code) noexcept override;
  void put(char character) noexcept override;

  uint8_t* buffer_ = nullptr;
  bool owns_buffer_ = false;
  uint32_t reserved_ = 0;
  DynStr printed_;
};
