// The keystroke queue in use and its bounded stand-in.
#include "wsl/keystroke/keystroke_queue.h"

#include <algorithm>
#include <cstring>

namespace kes::wsl {
namespace {

constinit KeystrokeQueue* installed = nullptr;

}  // namespace

void PendingKeystrokes::press(std::string_view keys) noexcept {
  const std::size_t room = kCapacity - count_;
  const std::size_t taken = std::min(room, keys.size());
  if (taken > 0) std::memcpy(bytes_ + count_, keys.data(), taken);
  count_ += taken;
}

PendingKeystrokes& pending_keystrokes() noexcept {
  // Built on first use, in static storage: nothing is allocated.
  static PendingKeystrokes queue;
  return queue;
}

void set_keystroke_queue(KeystrokeQueue* queue) noexcept { installed = queue; }

KeystrokeQueue& keystroke_queue() noexcept {
  if (installed != nullptr) return *installed;
  return pending_keystrokes();
}

void press_keys(std::string_view keys) noexcept {
  if (keys.empty()) return;
  keystroke_queue().press(keys);
}

}  // namespace kes::wsl
