// DynStr: the growable byte string the library builds texts in.
#pragma once

#include <cstdint>
#include <string_view>

#include <kestrel/abi.h>

class Ufo;

// A byte string with an explicit length (it may hold zero bytes). Growing to hold n bytes
// allocates (n + 16) rounded down to a multiple of 16, which always leaves room for a terminator;
// when growing fails the text is lost (the length drops to 0) and the call has no other effect.
// Blocks come from the runtime heap.
// The member names (cat, PadTo, ...) are spelled as compiled code calls them: their mixed style
// is part of the exported interface and cannot change.
class KES_EXPORT DynStr {
 public:
  DynStr() noexcept = default;
  ~DynStr();
  DynStr(const DynStr&) = delete;
  DynStr& operator=(const DynStr&) = delete;
  DynStr(DynStr&& other) noexcept;
  DynStr& operator=(DynStr&& other) noexcept;

  // Appends one character, a terminated text (null appends nothing), `length` bytes, or another
  // DynStr's text.
  DynStr& cat(char character) noexcept;
  DynStr& cat(const char* text) noexcept;
  DynStr& cat(const char* text, std::uint32_t length) noexcept;
  DynStr& cat(const DynStr& other) noexcept;
  // Appends a whole number in decimal, or an unsigned one in base 2 to 36 (digits then upper-case
  // letters; another base appends nothing).
  DynStr& cat(std::int32_t value) noexcept;
  DynStr& cat(std::uint32_t value) noexcept;
  DynStr& cat(std::uint32_t value, int base) noexcept;
  // Appends a double with up to 15 significant digits, trailing fraction zeros dropped.
  DynStr& cat(double value) noexcept;
  // Appends the text of a value descriptor (what its Push pushes).
  DynStr& cat(const Ufo& value) noexcept;
  // Appends printf-style formatted text.
  DynStr& catf(const char* format, ...) noexcept
#if defined(__GNUC__)
      __attribute__((format(printf, 2, 3)))
#endif
      ;

  // Empties the text and keeps the buffer.
  void kill() noexcept;
  // Hands the text over as a zero-terminated block the caller frees with the runtime heap: the
  // buffer itself when nearly full (length + 4 at least the capacity), else a copy. The DynStr
  // is empty afterwards. Null when the copy cannot be allocated (the text then stays).
  char* cut() noexcept;
  // Removes trailing blanks.
  void clip() noexcept;
  // Shortens the text to `length` bytes (no effect when it is not longer).
  void trunc(std::uint32_t length) noexcept;
  // Pads with blanks up to `length` bytes (no effect when it is not shorter).
  void PadTo(std::uint32_t length) noexcept;
  // Pushes a copy of the text, or of `length` bytes from `offset` (clamped to the text), on the
  // string stack.
  void PushString() const noexcept;
  void PushString(std::uint32_t offset, std::uint32_t length) const noexcept;
  // Replaces the text with the top of the string stack and pops it.
  void PopString() noexcept;

  const char* data() const noexcept { return buffer_; }
  std::uint32_t length() const noexcept { return length_; }
  std::uint32_t capacity() const noexcept { return capacity_; }
  std::string_view view() const noexcept {
    return buffer_ == nullptr ? std::string_view() : std::string_view(buffer_, length_);
  }

 private:
  // Makes room for `length` bytes and a terminator; false (text emptied) when that fails.
  bool grow(std::uint64_t length) noexcept;

  char* buffer_ = nullptr;
  std::uint32_t length_ = 0;
  std::uint32_t capacity_ = 0;
};
