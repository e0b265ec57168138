// The keystroke queue: the bounded stand-in and an installed queue.
#include "wsl/keystroke/keystroke_queue.h"

#include <string>
#include <string_view>

#include <gtest/gtest.h>

namespace kes::wsl {
namespace {

class RecordingQueue final : public KeystrokeQueue {
 public:
  void press(std::string_view keys) noexcept override { seen.append(keys); }
  std::string seen;
};

TEST(KeystrokeQueue, StandInKeepsPressedBytesInOrder) {
  pending_keystrokes().clear();
  press_keys("ab");
  press_keys("");
  press_keys(std::string_view("c\0d", 3));
  EXPECT_EQ(pending_keystrokes().pending(), std::string_view("abc\0d", 5));
  pending_keystrokes().clear();
  EXPECT_EQ(pending_keystrokes().pending(), "");
}

TEST(KeystrokeQueue, StandInDropsBytesPastItsCapacity) {
  pending_keystrokes().clear();
  press_keys(std::string(PendingKeystrokes::kCapacity - 1, 'x'));
  press_keys("yz");
  const std::string_view pending = pending_keystrokes().pending();
  ASSERT_EQ(pending.size(), PendingKeystrokes::kCapacity);
  EXPECT_EQ(pending.back(), 'y');
  press_keys("more");
  EXPECT_EQ(pending_keystrokes().pending().size(), PendingKeystrokes::kCapacity);
  pending_keystrokes().clear();
}

TEST(KeystrokeQueue, InstalledQueueReceivesTheKeys) {
  pending_keystrokes().clear();
  RecordingQueue queue;
  set_keystroke_queue(&queue);
  press_keys("abc");
  EXPECT_EQ(&keystroke_queue(), &queue);
  set_keystroke_queue(nullptr);
  press_keys("d");
  EXPECT_EQ(queue.seen, "abc");
  EXPECT_EQ(pending_keystrokes().pending(), "d");
  pending_keystrokes().clear();
}

}  // namespace
}  // namespace kes::wsl
