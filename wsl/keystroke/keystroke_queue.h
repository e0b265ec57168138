// The keystroke queue that PRESS hands its text to. The event layer installs its own queue;
// until it does, a bounded stand-in keeps the pressed bytes so they can be read back.
//
// State: the installed queue and the stand-in's bytes are process-wide by nature: there is one
// keyboard stream for the process, whichever thread presses.
#pragma once

#include <cstddef>
#include <string_view>

namespace kes::wsl {

// Where pressed keystrokes go: each byte of `keys` is one keystroke, in order.
class KeystrokeQueue {
 public:
  virtual ~KeystrokeQueue() = default;
  virtual void press(std::string_view keys) noexcept = 0;
};

// The stand-in queue: keeps up to kCapacity pressed bytes; bytes beyond that are dropped.
class PendingKeystrokes final : public KeystrokeQueue {
 public:
  static constexpr std::size_t kCapacity = 1024;
  void press(std::string_view keys) noexcept override;
  // The bytes pressed and not taken yet.
  std::string_view pending() const noexcept { return {bytes_, count_}; }
  // Forgets the pending bytes.
  void clear() noexcept { count_ = 0; }

 private:
  char bytes_[kCapacity] = {};
  std::size_t count_ = 0;
};

// Installs `queue` (not owned; it must outlive its installation); null puts the stand-in back.
void set_keystroke_queue(KeystrokeQueue* queue) noexcept;
// The installed queue, the stand-in when none is.
KeystrokeQueue& keystroke_queue() noexcept;
// The stand-in, for the event layer to drain and for tests.
PendingKeystrokes& pending_keystrokes() noexcept;
// Hands `keys` to the installed queue.
void press_keys(std::string_view keys) noexcept;

}  // namespace kes::wsl
