// Reading, building and printing a view descriptor.
#include <cstring>

#include <kestrel/views.h>

namespace {

constexpr std::uint8_t kConditionMarker = 0xFF;

// The builder's 16-bit counts, read in place.
std::uint16_t count_at(const std::uint8_t* at) noexcept {
  return static_cast<std::uint16_t>(at[0] | (at[1] << 8));
}

}  // namespace

view_descriptor::view_descriptor(view_handler* handler) noexcept : handler_(handler) {}

view_descriptor::~view_descriptor() = default;

void view_descriptor::setup(const void* buffer) noexcept {
  // Building writes through the same pointer; a compiled descriptor is only read.
  start_ = static_cast<std::uint8_t*>(const_cast<void*>(buffer));
  cursor_ = start_;
  end_ = nullptr;
  state_ = 0;
  level_ = 0;
  remaining_components_ = 0;
  indentation_ = 0;
  at_line_start_ = 1;
  for (std::uint8_t*& level : levels_)
    level = nullptr;
  levels_[0] = start_;
}

void view_descriptor::setup(const void* buffer, std::uint32_t length) noexcept {
  setup(buffer);
  if (start_ != nullptr) end_ = start_ + length;
}

std::uint32_t view_descriptor::built_length() const noexcept {
  if (state_ == 0 && cursor_ == start_ && end_ != nullptr) {
    return static_cast<std::uint32_t>(end_ - start_);
  }
  return static_cast<std::uint32_t>(cursor_ - start_);
}

void view_descriptor::report(std::int32_t code) noexcept {
  if (handler_ != nullptr) handler_->error(code);
}

// ---- Reading.

// A null position is a read that failed before (already reported), or a descriptor without a
// buffer.
bool view_descriptor::readable(const std::uint8_t* at, std::uint32_t length) noexcept {
  if (at == nullptr) {
    if (start_ == nullptr) report(kViewMalformed);
    return false;
  }
  if (end_ == nullptr) return true;
  if (at <= end_ && static_cast<std::size_t>(end_ - at) >= length) return true;
  report(kViewMalformed);
  return false;
}

std::uint16_t view_descriptor::word_at(const std::uint8_t* at) noexcept {
  if (!readable(at, 2)) return 0;
  return static_cast<std::uint16_t>(at[0] | (at[1] << 8));
}

const std::uint8_t* view_descriptor::after_header(const std::uint8_t* level) noexcept {
  if (!readable(level, 1)) return nullptr;
  if (*level != kConditionMarker) {
    const std::uint32_t length = 1u + 2u * *level;
    return readable(level, length) ? level + length : nullptr;
  }
  const std::uint8_t* text = level + 1;
  if (end_ == nullptr) return text + std::strlen(reinterpret_cast<const char*>(text)) + 1;
  const void* zero = std::memchr(text, 0, static_cast<std::size_t>(end_ - text));
  if (zero == nullptr) {
    report(kViewMalformed);
    return nullptr;
  }
  return static_cast<const std::uint8_t*>(zero) + 1;
}

const std::uint8_t* view_descriptor::after_projection(const std::uint8_t* level) noexcept {
  const std::uint8_t* at = after_header(level);
  if (at == nullptr || !readable(at, 3)) return nullptr;
  ++at;  // the flags
  const std::uint16_t count = word_at(at);
  at += 2;
  if (count == kViewAllFields) return at;
  for (std::uint32_t i = 0; i < count; ++i) {
    if (!readable(at, 2)) return nullptr;
    const bool is_memo = word_at(at) == kViewMemoEntry;
    at += is_memo ? 4 : 2;
  }
  return readable(at, 0) ? at : nullptr;
}

// Skipping a level: header, flags, projection, then its joins recursively. The depth stops
// a malformed string from nesting without end.
const std::uint8_t* view_descriptor::after_level(const std::uint8_t* level, int depth) noexcept {
  if (depth > kViewMaxDepth) {
    report(kViewTooDeep);
    return nullptr;
  }
  const std::uint8_t* at = after_projection(level);
  if (at == nullptr || !readable(at, 1)) return nullptr;
  const std::uint8_t count = *at++;
  for (std::uint8_t j = 0; j < count && at != nullptr; ++j)
    at = after_level(at, depth + 1);
  return at;
}

std::uint8_t view_descriptor::components() noexcept {
  const std::uint8_t* level = levels_[level_];
  if (!readable(level, 1) || *level == kConditionMarker) return 0;
  return *level;
}

std::uint16_t view_descriptor::component(std::uint32_t i) noexcept {
  if (i == 0 || i > components()) {
    report(kViewBadIndex);
    return 0;
  }
  return word_at(levels_[level_] + 1 + 2 * (i - 1));
}

const char* view_descriptor::condition() noexcept {
  const std::uint8_t* level = levels_[level_];
  if (!readable(level, 1) || *level != kConditionMarker) return nullptr;
  if (after_header(level) == nullptr) return nullptr;  // no terminator inside the string
  return reinterpret_cast<const char*>(level + 1);
}

std::uint8_t view_descriptor::get_flags() noexcept {
  const std::uint8_t* at = after_header(levels_[level_]);
  return readable(at, 1) ? *at : 0;
}

std::uint16_t view_descriptor::fields() noexcept {
  const std::uint8_t* at = after_header(levels_[level_]);
  return at == nullptr ? 0 : word_at(at + 1);
}

// The i-th projection entry (i from 1), null with kViewBadIndex when there is none.
const std::uint8_t* view_descriptor::projection_entry(std::uint32_t i, bool& is_memo) noexcept {
  is_memo = false;
  const std::uint16_t count = fields();
  if (i == 0 || count == kViewAllFields || i > count) {
    report(kViewBadIndex);
    return nullptr;
  }
  const std::uint8_t* at = after_header(levels_[level_]) + 3;
  for (std::uint32_t n = 1;; ++n) {
    if (!readable(at, 2)) return nullptr;
    is_memo = word_at(at) == kViewMemoEntry;
    if (n == i) return at;
    at += is_memo ? 4 : 2;
  }
}

std::uint16_t view_descriptor::field(std::uint32_t i) noexcept {
  bool is_memo = false;
  const std::uint8_t* entry = projection_entry(i, is_memo);
  return entry == nullptr ? 0 : word_at(entry);
}

std::uint16_t view_descriptor::memo(std::uint32_t i) noexcept {
  bool is_memo = false;
  const std::uint8_t* entry = projection_entry(i, is_memo);
  if (entry == nullptr) return 0;
  return is_memo ? word_at(entry + 2) : kViewMemoEntry;
}

std::uint8_t view_descriptor::joins() noexcept {
  const std::uint8_t* at = after_projection(levels_[level_]);
  return readable(at, 1) ? *at : 0;
}

void view_descriptor::set_join(std::uint32_t j) noexcept {
  if (state_ != 0) {
    report(kViewOutOfOrder);
    return;
  }
  if (j == 0) return;
  if (level_ >= kViewMaxDepth) {
    report(kViewTooDeep);
    return;
  }
  const std::uint8_t* at = after_projection(levels_[level_]);
  if (!readable(at, 1)) return;
  if (j > *at) {
    report(kViewBadIndex);
    return;
  }
  ++at;
  for (std::uint32_t n = 1; n < j && at != nullptr; ++n)
    at = after_level(at, level_ + 1);
  if (at == nullptr) return;
  levels_[++level_] = const_cast<std::uint8_t*>(at);
}

// ---- Building.

bool view_descriptor::write(const void* bytes, std::uint32_t length) noexcept {
  if (handler_ == nullptr || start_ == nullptr || !handler_->reserve(length)) {
    report(kViewNoRoom);
    return false;
  }
  std::memcpy(cursor_, bytes, length);
  cursor_ += length;
  return true;
}

// Brings the current level up to `state`, writing the defaults of the stages passed.
void view_descriptor::complete_to(std::uint8_t state) noexcept {
  if (state_ == 0 && state >= 1) begin_level(0);
  if (state_ == 1 && state >= 2) {
    const std::uint8_t flags = 0;
    if (!write(&flags, 1)) return;
    state_ = 2;
  }
  if (state_ == 2 && state >= 3) {
    std::uint8_t* count = cursor_;
    const std::uint8_t all[2] = {0xFF, 0xFF};
    if (!write(all, 2)) return;
    levels_[level_] = count;
    state_ = 3;
  }
  if (state_ == 3 && state >= 4) {
    std::uint8_t* count = cursor_;
    const std::uint8_t none = 0;
    if (!write(&none, 1)) return;
    levels_[level_] = count;
    state_ = 4;
  }
}

// Writes the current level's header as an empty component list.
void view_descriptor::begin_level(std::uint8_t component_count) noexcept {
  std::uint8_t* header = cursor_;
  const std::uint8_t none = 0;
  if (!write(&none, 1)) return;
  levels_[level_] = header;
  remaining_components_ = component_count;
  state_ = 1;
}

void view_descriptor::file() noexcept {
  if (state_ == 0 && level_ == 0 && cursor_ == start_) {
    end_ = nullptr;  // a new build: the handler's room bounds it
    begin_level(0);
    return;
  }
  join(0);
}

void view_descriptor::join(std::uint8_t component_count) noexcept {
  if (level_ >= kViewMaxDepth) {
    report(kViewTooDeep);
    return;
  }
  complete_to(4);
  if (state_ != 4) return;  // no room for the parent's defaults
  std::uint8_t* count = levels_[level_];
  if (*count == 0xFF) {
    report(kViewTooManyComponents);
    return;
  }
  ++*count;
  ++level_;
  state_ = 0;
  begin_level(component_count);
}

void view_descriptor::join_component(std::uint16_t field_number) noexcept {
  if (state_ != 1) {
    report(kViewOutOfOrder);
    return;
  }
  std::uint8_t* header = levels_[level_];
  if (remaining_components_ == 0 || *header == kConditionMarker) {
    report(kViewTooManyComponents);
    return;
  }
  const std::uint8_t bytes[2] = {static_cast<std::uint8_t>(field_number & 0xFF),
                                 static_cast<std::uint8_t>(field_number >> 8)};
  if (!write(bytes, 2)) return;
  ++*header;
  --remaining_components_;
}

void view_descriptor::join_condition(const char* text) noexcept {
  if (state_ == 0) begin_level(0);
  if (state_ != 1) {
    report(kViewOutOfOrder);
    return;
  }
  std::uint8_t* header = levels_[level_];
  if (*header == kConditionMarker) {
    report(kViewTooManyComponents);
    return;
  }
  // The header is the last thing written: the condition takes its place.
  std::uint8_t* const written = cursor_;
  cursor_ = header;
  const std::uint8_t marker = kConditionMarker;
  const std::uint32_t length = text == nullptr ? 0 : static_cast<std::uint32_t>(std::strlen(text));
  if (!write(&marker, 1) || (length > 0 && !write(text, length)) || !write("", 1)) {
    // No room: the header stays as it was.
    cursor_ = written;
    return;
  }
  remaining_components_ = 0;
}

void view_descriptor::set_flags(std::uint8_t flags) noexcept {
  if (state_ > 1) {
    report(kViewOutOfOrder);
    return;
  }
  complete_to(1);
  if (state_ == 1 && write(&flags, 1)) state_ = 2;
}

void view_descriptor::project_entry(std::uint16_t first, const std::uint16_t* second) noexcept {
  if (state_ > 3 || (state_ == 3 && count_at(levels_[level_]) == kViewAllFields)) {
    report(kViewOutOfOrder);
    return;
  }
  if (state_ < 3) {
    complete_to(2);
    if (state_ != 2) return;
    std::uint8_t* count = cursor_;
    const std::uint8_t zero[2] = {0, 0};
    if (!write(zero, 2)) return;
    levels_[level_] = count;
    state_ = 3;
  }
  std::uint8_t* count = levels_[level_];
  const std::uint16_t entries = count_at(count);
  if (entries == kViewAllFields - 1) {
    report(kViewBadIndex);
    return;
  }
  std::uint8_t bytes[4] = {static_cast<std::uint8_t>(first & 0xFF),
                           static_cast<std::uint8_t>(first >> 8), 0, 0};
  std::uint32_t length = 2;
  if (second != nullptr) {
    bytes[2] = static_cast<std::uint8_t>(*second & 0xFF);
    bytes[3] = static_cast<std::uint8_t>(*second >> 8);
    length = 4;
  }
  if (!write(bytes, length)) return;
  const std::uint16_t more = static_cast<std::uint16_t>(entries + 1);
  count[0] = static_cast<std::uint8_t>(more & 0xFF);
  count[1] = static_cast<std::uint8_t>(more >> 8);
}

void view_descriptor::project_field(std::uint16_t field_number) noexcept {
  if (field_number == 0 || field_number == kViewMemoEntry) {
    report(kViewBadIndex);
    return;
  }
  project_entry(field_number, nullptr);
}

void view_descriptor::project_memo(std::uint16_t memo_number) noexcept {
  project_entry(kViewMemoEntry, &memo_number);
}

void view_descriptor::project_all() noexcept { complete_to(4); }

void view_descriptor::unset_join() noexcept {
  if (state_ == 0) {
    if (level_ > 0) --level_;
    return;
  }
  complete_to(4);
  if (level_ > 0) {
    --level_;
    state_ = 4;
    return;
  }
  // The descriptor is complete: reading and the next build start from the beginning, and
  // reading stops at what was written.
  end_ = cursor_;
  cursor_ = start_;
  state_ = 0;
  levels_[0] = start_;
}

// ---- Printing.

void view_descriptor::print_text(const char* text) noexcept {
  if (handler_ == nullptr) return;
  for (; *text != '\0'; ++text) {
    if (at_line_start_ != 0) {
      for (std::uint8_t i = 0; i < indentation_; ++i)
        handler_->put(' ');
      at_line_start_ = 0;
    }
    handler_->put(*text);
  }
}

void view_descriptor::print_number(std::uint32_t value) noexcept {
  char digits[11];
  int at = 10;
  digits[at] = '\0';
  do {
    digits[--at] = static_cast<char>('0' + value % 10);
    value /= 10;
  } while (value != 0);
  print_text(digits + at);
}

void view_descriptor::print_line_end() noexcept {
  if (handler_ != nullptr) {
    handler_->put('\r');
    handler_->put('\n');
  }
  at_line_start_ = 1;
}

// The body of one level: its projection and its joins, each join with its own body. False when
// the string cannot be read on (reported once), so that printing stops there.
bool view_descriptor::print_level(const std::uint8_t* level, int depth) noexcept {
  const std::uint8_t* header_end = after_header(level);
  if (header_end == nullptr || !readable(header_end, 3)) return false;
  const std::uint16_t count = word_at(header_end + 1);
  const std::uint8_t* at = header_end + 3;
  if (count != kViewAllFields) {
    print_text("PROJECT(");
    for (std::uint32_t i = 0; i < count; ++i) {
      if (!readable(at, 2)) return false;
      if (i > 0) print_text(",");
      if (word_at(at) == kViewMemoEntry) {
        print_text("MEMO(");
        print_number(word_at(at + 2));
        at += 4;
      } else {
        print_text("FIELD(");
        print_number(word_at(at));
        at += 2;
      }
      print_text(")");
    }
    print_text(")");
    print_line_end();
  }
  if (!readable(at, 1)) return false;
  const std::uint8_t join_count = *at++;
  for (std::uint8_t j = 0; j < join_count; ++j) {
    if (depth + 1 > kViewMaxDepth) {
      report(kViewTooDeep);
      return false;
    }
    const std::uint8_t* joined = at;
    const std::uint8_t* joined_header_end = after_header(joined);
    if (joined_header_end == nullptr || !readable(joined_header_end, 1)) return false;
    print_text("JOIN(");
    if (*joined == kConditionMarker) {
      print_text(reinterpret_cast<const char*>(joined + 1));
    } else {
      print_text("KEY");
      for (std::uint32_t c = 0; c < *joined; ++c) {
        print_text(",FIELD(");
        print_number(word_at(joined + 1 + 2 * c));
        print_text(")");
      }
    }
    print_text(")");
    if (*joined_header_end != 0) print_text(",INNER");
    print_line_end();
    indentation_ = static_cast<std::uint8_t>(indentation_ + 2);
    const bool readable_on = print_level(joined, depth + 1);
    indentation_ = static_cast<std::uint8_t>(indentation_ - 2);
    if (!readable_on) return false;
    print_text("END");
    print_line_end();
    at = after_level(joined, depth + 1);
    if (at == nullptr) return false;
  }
  return true;
}

void view_descriptor::print() noexcept {
  indentation_ = 0;
  at_line_start_ = 1;
  print_text("VIEW(FILE)");
  print_line_end();
  indentation_ = 2;
  print_level(start_, 0);
  indentation_ = 0;
  print_text("END");
  print_line_end();
}
