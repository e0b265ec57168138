// Queue statements: preparation of the descriptor, key reading, the statement.
#include "data/queues/statements.h"

#include <cstring>

#include <kestrel/memory.h>
#include <kestrel/string_stack.h>

#include "platform/core/heap.h"
#include "runtime/types/class_cache.h"
#include "runtime/values/field_queries.h"

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
    KeyPlan key;
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
                  [](Queue& queue, const KeyPlan& plan) { return queue.add_keyed(plan); });
}

ErrorCode get_record_at(KesQueueDescriptor* descriptor, std::int32_t position) noexcept {
  return with_queue(descriptor, [=](Queue& queue) { return queue.get_at(position); });
}

ErrorCode get_record_by_key(KesQueueDescriptor* descriptor, const KeySource& key) noexcept {
  return with_key(descriptor, key,
                  [](Queue& queue, const KeyPlan& plan) { return queue.get_keyed(plan); });
}

ErrorCode put_record(KesQueueDescriptor* descriptor) noexcept {
  return with_queue(descriptor, [](Queue& queue) { return queue.put(); });
}

ErrorCode put_record_by_key(KesQueueDescriptor* descriptor, const KeySource& key) noexcept {
  return with_key(descriptor, key,
                  [](Queue& queue, const KeyPlan& plan) { return queue.put_keyed(plan); });
}

ErrorCode delete_record(KesQueueDescriptor* descriptor) noexcept {
  return with_queue(descriptor, [](Queue& queue) { return queue.erase_current(); });
}

ErrorCode sort_by_key(KesQueueDescriptor* descriptor, const KeySource& key) noexcept {
  return with_key(descriptor, key,
                  [](Queue& queue, const KeyPlan& plan) { return queue.sort(plan); });
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
  const auto* stream = static_cast<const unsigned char*>(type);
  const class_descriptor* fields = runtime::cached_class_descriptor(stream);
  if (stream != nullptr && fields == nullptr) {
    error = ErrorCode::NoMemory;
    return nullptr;
  }
  if (fields == nullptr || fields->damaged()) {
    error = ErrorCode::InvalidFieldType;
    return nullptr;
  }
  const KesFieldInfo& record = *fields->field_info(0);
  const std::uint64_t size = std::uint64_t{record.size} * record.elements;
  // Within 32 bits once checked, so the size fits the host's size_t too.
  const auto bytes = static_cast<std::size_t>(size);
  void* block = size > UINT32_MAX - sizeof(KesQueueDescriptor)
                    ? nullptr
                    : platform::heap_allocate(sizeof(KesQueueDescriptor) + bytes);
  if (block == nullptr) {
    error = ErrorCode::NoMemory;
    return nullptr;
  }
  auto* descriptor = static_cast<KesQueueDescriptor*>(block);
  std::byte* buffer = static_cast<std::byte*>(block) + sizeof(KesQueueDescriptor);
  // Blank strings and zero numbers, as a declared QUEUE starts; bytes no field covers are zero.
  std::memset(buffer, 0, bytes);
  for (std::uint32_t element = 0; element < record.elements; ++element)
    Kes$CLEAR(buffer + std::size_t{element} * record.size, stream, 0);
  *descriptor = KesQueueDescriptor{buffer, type, nullptr, static_cast<std::uint32_t>(size)};
  return descriptor;
}

void dispose_queue(KesQueueDescriptor* descriptor) noexcept {
  if (descriptor == nullptr) return;
  free_queue(*descriptor);
  platform::heap_free(descriptor);
}

}  // namespace kes::data

namespace kes::data {
namespace {

class_descriptor* record_fields(const KesQueueDescriptor* descriptor) noexcept {
  return descriptor == nullptr ? nullptr
                               : runtime::cached_class_descriptor(
                                     static_cast<const unsigned char*>(descriptor->type));
}

}  // namespace

void push_field_name(KesQueueDescriptor* descriptor, std::uint32_t field) noexcept {
  runtime::push_field_name(record_fields(descriptor), field);
}

Ufo* field_value(KesQueueDescriptor* descriptor, std::uint32_t field) noexcept {
  if (descriptor == nullptr) return nullptr;
  return runtime::field_value(record_fields(descriptor), descriptor->buffer,
                              descriptor->record_size, field);
}

std::int32_t field_number(KesQueueDescriptor* descriptor, const Ufo* ufo) noexcept {
  if (descriptor == nullptr) return 0;
  return static_cast<std::int32_t>(
      runtime::field_of(record_fields(descriptor), descriptor->buffer, ufo));
}

}  // namespace kes::data
