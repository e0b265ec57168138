// A simple interning table: a list of heap nodes searched from the most recent one.
#include "runtime/astring_table.h"

#include <cstdint>
#include <cstring>

#include "platform/heap.h"

namespace kes::runtime {
namespace {
// Node layout: next node pointer, 16-bit length, text, zero byte.
constexpr std::size_t kLengthOffset = sizeof(void*);
constexpr std::size_t kTextOffset = kLengthOffset + sizeof(std::uint16_t);

unsigned char* next_of(const unsigned char* node) noexcept {
  unsigned char* next = nullptr;
  std::memcpy(&next, node, sizeof(next));
  return next;
}

struct NodeList {
  unsigned char* head = nullptr;
  NodeList() = default;
  NodeList(const NodeList&) = delete;
  NodeList& operator=(const NodeList&) = delete;
  // Releases every node when the library is unloaded.
  ~NodeList() {
    while (head != nullptr) {
      unsigned char* next = next_of(head);
      platform::heap_free(head);
      head = next;
    }
  }
};

NodeList nodes;

std::string_view text_of(const unsigned char* node) noexcept {
  std::uint16_t length = 0;
  std::memcpy(&length, node + kLengthOffset, sizeof(length));
  return {reinterpret_cast<const char*>(node + kTextOffset), length};
}
}  // namespace

const char* intern_astring(std::string_view text) noexcept {
  while (!text.empty() && text.back() == ' ')
    text.remove_suffix(1);
  if (text.empty() || text.size() > UINT16_MAX) return nullptr;
  for (const unsigned char* node = nodes.head; node != nullptr; node = next_of(node)) {
    if (text_of(node) == text) return reinterpret_cast<const char*>(node + kTextOffset);
  }
  auto* node = static_cast<unsigned char*>(platform::heap_allocate(kTextOffset + text.size() + 1));
  if (node == nullptr) return nullptr;
  const auto length = static_cast<std::uint16_t>(text.size());
  std::memcpy(node, &nodes.head, sizeof(nodes.head));
  std::memcpy(node + kLengthOffset, &length, sizeof(length));
  std::memcpy(node + kTextOffset, text.data(), text.size());
  node[kTextOffset + text.size()] = 0;
  nodes.head = node;
  return reinterpret_cast<const char*>(node + kTextOffset);
}

}  // namespace kes::runtime
