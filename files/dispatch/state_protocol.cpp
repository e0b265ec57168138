// Checking and updating state words against the operation table.
#include "files/dispatch/state_protocol.h"

#include "files/dispatch/operations.h"
#include "files/errors/error_state.h"

namespace kes::files {
namespace {

constexpr std::uint32_t kOpen = 0x1;
constexpr std::uint32_t kCurrent = 0x2;
constexpr std::uint32_t kLogout = 0x4;
constexpr std::uint32_t kSequence = 0x20;
constexpr std::uint32_t kWrite = 0x40;
constexpr std::uint32_t kExclusive = 0x80;
constexpr std::uint32_t kKeyBuilt = 0x100;
constexpr std::uint32_t kWatchPending = 0x200;
constexpr std::uint32_t kWatched = 0x400;
constexpr std::uint32_t kHoldPending = 0x800;
constexpr std::uint32_t kHeld = 0x1000;
constexpr std::uint32_t kBuilding = 0x4000;

constexpr std::int32_t kSetFilePointer = 43;

std::int32_t number(ErrorCode code) noexcept { return static_cast<std::int32_t>(code); }

// Operations that go ahead while a BUILD is in progress.
bool allowed_while_building(std::int32_t operation) noexcept {
  return operation == 84 || operation == 72 || operation == 86 || operation == 7 || operation == 23;
}

bool takes_position(std::int32_t operation) noexcept {
  return operation == 63 || operation == 64 || operation == 66 || operation == 67;
}

bool all_blank(const char* text, std::size_t length) noexcept {
  for (std::size_t i = 0; i < length; ++i) {
    if (text[i] != ' ') return false;
  }
  return true;
}

// The answer for required bits that are missing.
std::int32_t missing_answer(std::uint32_t missing, std::uint32_t state) noexcept {
  if ((missing & kOpen) != 0) return number(ErrorCode::FileNotOpen);
  if ((missing & kKeyBuilt) != 0) return number(ErrorCode::KeyMustBeRebuilt);
  if ((state & kOpen) == 0) return 0;
  if ((missing & (kCurrent | kSequence)) != 0) return number(ErrorCode::RecordNotAvailable);
  if ((missing & kExclusive) != 0) return number(ErrorCode::ExclusiveAccessRequired);
  if ((missing & kWrite) != 0) return number(ErrorCode::AccessDenied);
  return -1;
}

}  // namespace

std::int32_t check_state(const StateWords& words, std::int32_t operation, const char* position,
                         std::size_t position_length) noexcept {
  const StateMasks* masks = state_masks(operation);
  if (masks == nullptr) return number(ErrorCode::UnsupportedFunction);
  const std::uint32_t state = *words.state;
  std::uint32_t missing = masks->required & ~state & ~kKeyBuilt;
  if (missing == 0 && words.own_flags != nullptr) {
    missing = masks->required & kKeyBuilt & ~*words.own_flags;
  }
  std::int32_t answer = 0;
  if (missing != 0) {
    answer = missing_answer(missing, state);
  } else if ((state & kBuilding) != 0 && !allowed_while_building(operation)) {
    answer = number(ErrorCode::BuildInProgress);
  } else if (const std::uint32_t present = masks->forbidden & state; present != 0) {
    if ((present & kOpen) != 0) {
      answer = number(ErrorCode::FileAlreadyOpen);
    } else if ((present & kLogout) != 0) {
      answer = number(ErrorCode::LogoutActive);
    } else {
      answer = -1;
    }
  }
  if (answer == 0 && takes_position(operation) && position != nullptr &&
      all_blank(position, position_length)) {
    answer = number(ErrorCode::RecordNotFound);
  }
  *words.activity = 0;
  return answer;
}

void update_state(const StateWords& words, std::int32_t operation, std::int32_t error) noexcept {
  const StateMasks* masks = state_masks(operation);
  if (masks == nullptr) return;
  std::uint32_t state = *words.state;
  if (error != 0) {
    std::uint32_t failure = masks->failure;
    if (operation == kSetFilePointer) failure &= ~kSequence;
    *words.state = state & ~failure & ~(kWatchPending | kWatched);
    return;
  }
  if ((masks->cleared & kWatchPending) != 0) {
    state = (state & kWatchPending) != 0 ? state | kWatched : state & ~kWatched;
  }
  if ((masks->cleared & kOpen) != 0 && (state & kOpen) != 0) state = 0;
  if ((masks->cleared & kHoldPending) != 0) {
    state = (state & kHoldPending) != 0 ? state | kHeld : state & ~kHeld;
  }
  std::uint32_t set = masks->set;
  std::uint32_t cleared = masks->cleared;
  if (words.own_flags != nullptr) {
    // The key's own word takes bit 100h.
    if ((set & kKeyBuilt) != 0) *words.own_flags |= kKeyBuilt;
    if ((cleared & kKeyBuilt) != 0) *words.own_flags &= ~kKeyBuilt;
    set &= ~kKeyBuilt;
    cleared &= ~kKeyBuilt;
  }
  *words.state = (state | set) & ~cleared;
  *words.activity |= masks->activity;
}

}  // namespace kes::files
