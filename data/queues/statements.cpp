// Queue statements: preparation of the descriptor, key reading, the statement.
#include "data/queues/statements.h"

#include <cstring>

#include "platform/core/heap.h"

namespace kes::data {
namespace {

template <typename Body>
ErrorCode with_queue(KesQueueDescriptor* descriptor, Body body) noexcept {
  ErrorCode error = ErrorCode::None;
  Queue* queue = prepare_queue(descriptor, error);
  return queue == nullptr ? error : body(*queue);
}

template <typename Body>
ErrorCode with_key(KesQueueDescriptor* descriptor, const KeySource& source, Body body) noexcept {
  return with_queue(descriptor, [&](Queue& queue) {
    KeySpec key;
    const ErrorCode error = queue.build_key(source, key);
    return error == ErrorCode::None ? body(queue, key) : error;
  });
}

template <typename Result, typename Body>
Result count_with_queue(KesQueueDescriptor* descriptor, ErrorCode& error, Body body) noexcept {
  Queue* queue = prepare_queue(descriptor, error);
  return queue == nullptr ? Result{0} : body(*queue);
}

}  // namespace

ErrorCode add_record(KesQueueDescriptor* descriptor) noexcept {
  return with_queue(descriptor, [](Queue& queue) { return queue.add(); });
}

ErrorCode add_record_at(KesQueueDescriptor* descriptor, std::int32_t position) noexcept {
  return with_queue(descriptor, [=](Queue& queue) { return queue.add_at(position); });
}

ErrorCode add_record_by_key(KesQueueDescriptor* descriptor, const KeySource& key) noexcept {
  return with_key(descriptor, key,
                  [](Queue& queue, const KeySpec& spec) { return queue.add_keyed(spec); });
}

ErrorCode get_record_at(KesQueueDescriptor* descriptor, std::int32_t position) noexcept {
  return with_queue(descriptor, [=](Queue& queue) { return queue.get_at(position); });
}

ErrorCode get_record_by_key(KesQueueDescriptor* descriptor, const KeySource& key) noexcept {
  return with_key(descriptor, key,
                  [](Queue& queue, const KeySpec& spec) { return queue.get_keyed(spec); });
}

ErrorCode put_record(KesQueueDescriptor* descriptor) noexcept {
  return with_queue(descriptor, [](Queue& queue) { return queue.put(); });
}

ErrorCode put_record_by_key(KesQueueDescriptor* descriptor, const KeySource& key) noexcept {
  return with_key(descriptor, key,
                  [](Queue& queue, const KeySpec& spec) { return queue.put_keyed(spec); });
}

ErrorCode delete_record(KesQueueDescriptor* descriptor) noexcept {
  return with_queue(descriptor, [](Queue& queue) { return queue.erase_current(); });
}

ErrorCode sort_by_key(KesQueueDescriptor* descriptor, const KeySource& key) noexcept {
  return with_key(descriptor, key,
                  [](Queue& queue, const KeySpec& spec) { return queue.sort(spec); });
}

std::int32_t position_of_buffer(KesQueueDescriptor* descriptor, ErrorCode& error) noexcept {
  return count_with_queue<std::int32_t>(descriptor, error,
                                        [&](Queue& queue) { return queue.position(error); });
}

std::int32_t current_position(KesQueueDescriptor* descriptor, ErrorCode& error) noexcept {
  return count_with_queue<std::int32_t>(descriptor, error,
                                        [](Queue& queue) { return queue.pointer(); });
}

std::int32_t record_count(KesQueueDescriptor* descriptor, ErrorCode& error) noexcept {
  return count_with_queue<std::int32_t>(descriptor, error,
                                        [](Queue& queue) { return queue.records(); });
}

std::uint32_t change_count(KesQueueDescriptor* descriptor, ErrorCode& error) noexcept {
  return count_with_queue<std::uint32_t>(descriptor, error,
                                         [](Queue& queue) { return queue.changes(); });
}

void free_descriptor(KesQueueDescriptor* descriptor) noexcept {
  if (descriptor != nullptr) free_queue(*descriptor);
}

void empty_queue(KesQueueDescriptor* descriptor) noexcept {
  if (descriptor != nullptr && descriptor->group != nullptr) {
    static_cast<Queue*>(descriptor->group)->empty();
  }
}

KesQueueDescriptor* new_queue(const void* type, ErrorCode& error) noexcept {
  error = ErrorCode::None;
  RecordLayout layout;
  if (type == nullptr || layout_reader() == nullptr || !layout_reader()(type, 0, layout)) {
    error = ErrorCode::InvalidFieldType;
    return nullptr;
  }
  const std::size_t size = layout.record_size;
  void* block = platform::heap_allocate(sizeof(KesQueueDescriptor) + size);
  if (block == nullptr) {
    error = ErrorCode::NoMemory;
    return nullptr;
  }
  auto* descriptor = static_cast<KesQueueDescriptor*>(block);
  std::byte* buffer = static_cast<std::byte*>(block) + sizeof(KesQueueDescriptor);
  std::memset(buffer, 0, size);
  *descriptor = KesQueueDescriptor{buffer, type, nullptr, layout.record_size};
  return descriptor;
}

void dispose_queue(KesQueueDescriptor* descriptor) noexcept {
  if (descriptor == nullptr) return;
  free_queue(*descriptor);
  platform::heap_free(descriptor);
}

}  // namespace kes::data
