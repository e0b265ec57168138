// The queue statements as compiled code runs them: each prepares the queue (a null descriptor is
// error 7; the internal object is created on first use), reads its key and runs the statement on
// the queue object. They return the error to post and never touch the error state themselves.
//
// State: none beyond the queues passed in.
#pragma once

#include <cstdint>

#include <kestrel/queues.h>

#include "data/queues/queue.h"

namespace kes::data {

ErrorCode add_record(KesQueueDescriptor* descriptor) noexcept;
ErrorCode add_record_at(KesQueueDescriptor* descriptor, std::int32_t position) noexcept;
ErrorCode add_record_by_key(KesQueueDescriptor* descriptor, const KeySource& key) noexcept;
ErrorCode get_record_at(KesQueueDescriptor* descriptor, std::int32_t position) noexcept;
ErrorCode get_record_by_key(KesQueueDescriptor* descriptor, const KeySource& key) noexcept;
ErrorCode put_record(KesQueueDescriptor* descriptor) noexcept;
ErrorCode put_record_by_key(KesQueueDescriptor* descriptor, const KeySource& key) noexcept;
ErrorCode delete_record(KesQueueDescriptor* descriptor) noexcept;
ErrorCode sort_by_key(KesQueueDescriptor* descriptor, const KeySource& key) noexcept;

// The counting statements answer 0 when the queue cannot be prepared (POSITION answers 0 too).
std::int32_t position_of_buffer(KesQueueDescriptor* descriptor, ErrorCode& error) noexcept;
std::int32_t current_position(KesQueueDescriptor* descriptor, ErrorCode& error) noexcept;
std::int32_t record_count(KesQueueDescriptor* descriptor, ErrorCode& error) noexcept;
std::uint32_t change_count(KesQueueDescriptor* descriptor, ErrorCode& error) noexcept;

// FREE: destroys the queue object and every entry; a null descriptor is ignored.
void free_descriptor(KesQueueDescriptor* descriptor) noexcept;
// Empties an existing queue object (nothing when there is none), advancing its counter.
void empty_queue(KesQueueDescriptor* descriptor) noexcept;

// NEW: one block with a descriptor and a record buffer of the type's size (the element size
// times the record's dimensions), cleared as CLEAR(record) does. Null with 75 when the type
// descriptor is missing or cannot be read, with 8 when memory runs out.
KesQueueDescriptor* new_queue(const void* type, ErrorCode& error) noexcept;
// DISPOSE: FREE, then releases the block from new_queue(); null is ignored.
void dispose_queue(KesQueueDescriptor* descriptor) noexcept;

// WHO, WHAT and WHERE on the queue's record buffer and type descriptor; a null descriptor
// pushes the empty string, gives null and 0.
void push_field_name(KesQueueDescriptor* descriptor, std::uint32_t field) noexcept;
Ufo* field_value(KesQueueDescriptor* descriptor, std::uint32_t field) noexcept;
std::int32_t field_number(KesQueueDescriptor* descriptor, const Ufo* ufo) noexcept;

}  // namespace kes::data
