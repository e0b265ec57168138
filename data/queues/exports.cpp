// The QUEUE statements' exports: error state in and out, key texts from the string stack.
#include <kestrel/queues.h>

#include "data/queues/statements.h"
#include "files/errors/error_state.h"
#include "runtime/stack/string_stack.h"

namespace {

namespace data = kes::data;
using data::KeySource;
using kes::files::ErrorScope;

// Key texts are popped as terminated strings into a buffer of this size.
constexpr std::uint32_t kKeyTextSize = 256;

KeySource numbers_key(const int32_t* fields) noexcept {
  return KeySource{KeySource::Kind::Numbers, fields, {}, nullptr};
}

KeySource procedure_key(KesQueueCompareProc order) noexcept {
  return KeySource{KeySource::Kind::Procedure, nullptr, {}, order};
}

// Pops the key text and runs the statement with it.
template <typename Statement>
void with_text_key(KesQueueDescriptor* queue, Statement statement) noexcept {
  ErrorScope errors;
  char text[kKeyTextSize];
  kes::runtime::pop_to_cstring(text, kKeyTextSize);
  errors.report(statement(queue, KeySource{KeySource::Kind::Text, nullptr, text, nullptr}));
}

}  // namespace

extern "C" void Kes$ADDqueue(KesQueueDescriptor* queue) noexcept {
  ErrorScope errors;
  errors.report(data::add_record(queue));
}

extern "C" void Kes$ADDqueueptr(KesQueueDescriptor* queue, int32_t position) noexcept {
  ErrorScope errors;
  errors.report(data::add_record_at(queue, position));
}

extern "C" void Kes$ADDqueuekey(KesQueueDescriptor* queue, const int32_t* fields) noexcept {
  ErrorScope errors;
  errors.report(data::add_record_by_key(queue, numbers_key(fields)));
}

extern "C" void Kes$ADDqueueskey(KesQueueDescriptor* queue) noexcept {
  with_text_key(queue, data::add_record_by_key);
}

extern "C" void Kes$ADDqueuefkey(KesQueueDescriptor* queue, KesQueueCompareProc order) noexcept {
  if (order == nullptr) return;  // not even the error state is touched
  ErrorScope errors;
  errors.report(data::add_record_by_key(queue, procedure_key(order)));
}

extern "C" void Kes$GETqueueptr(KesQueueDescriptor* queue, int32_t position) noexcept {
  ErrorScope errors;
  errors.report(data::get_record_at(queue, position));
}

extern "C" void Kes$GETqueuekey(KesQueueDescriptor* queue, const int32_t* fields) noexcept {
  ErrorScope errors;
  errors.report(data::get_record_by_key(queue, numbers_key(fields)));
}

extern "C" void Kes$GETqueueskey(KesQueueDescriptor* queue) noexcept {
  with_text_key(queue, data::get_record_by_key);
}

extern "C" void Kes$GETqueuefkey(KesQueueDescriptor* queue, KesQueueCompareProc order) noexcept {
  if (order == nullptr) return;
  ErrorScope errors;
  errors.report(data::get_record_by_key(queue, procedure_key(order)));
}

extern "C" void Kes$PUTqueue(KesQueueDescriptor* queue) noexcept {
  ErrorScope errors;
  errors.report(data::put_record(queue));
}

extern "C" void Kes$PUTqueuekey(KesQueueDescriptor* queue, const int32_t* fields) noexcept {
  ErrorScope errors;
  errors.report(data::put_record_by_key(queue, numbers_key(fields)));
}

extern "C" void Kes$PUTqueueskey(KesQueueDescriptor* queue) noexcept {
  with_text_key(queue, data::put_record_by_key);
}

extern "C" void Kes$PUTqueuefkey(KesQueueDescriptor* queue, KesQueueCompareProc order) noexcept {
  if (order == nullptr) return;
  ErrorScope errors;
  errors.report(data::put_record_by_key(queue, procedure_key(order)));
}

extern "C" void Kes$DELETEqueue(KesQueueDescriptor* queue) noexcept {
  ErrorScope errors;
  errors.report(data::delete_record(queue));
}

extern "C" void Kes$SORTqueuekey(KesQueueDescriptor* queue, const int32_t* fields) noexcept {
  ErrorScope errors;
  errors.report(data::sort_by_key(queue, numbers_key(fields)));
}

extern "C" void Kes$SORTqueueskey(KesQueueDescriptor* queue) noexcept {
  with_text_key(queue, data::sort_by_key);
}

extern "C" void Kes$SORTqueuefkey(KesQueueDescriptor* queue, KesQueueCompareProc order) noexcept {
  if (order == nullptr) return;
  ErrorScope errors;
  errors.report(data::sort_by_key(queue, procedure_key(order)));
}

extern "C" int32_t Kes$POSITIONqueue(KesQueueDescriptor* queue) noexcept {
  ErrorScope errors;
  data::ErrorCode error = data::ErrorCode::None;
  const int32_t position = data::position_of_buffer(queue, error);
  errors.report(error);
  return position;
}

extern "C" int32_t Kes$POINTERqueue(KesQueueDescriptor* queue) noexcept {
  ErrorScope errors;
  data::ErrorCode error = data::ErrorCode::None;
  const int32_t position = data::current_position(queue, error);
  errors.report(error);
  return position;
}

extern "C" int32_t Kes$RECORDSqueue(KesQueueDescriptor* queue) noexcept {
  ErrorScope errors;
  data::ErrorCode error = data::ErrorCode::None;
  const int32_t count = data::record_count(queue, error);
  errors.report(error);
  return count;
}

extern "C" uint32_t Kes$NUMCHANGESqueue(KesQueueDescriptor* queue) noexcept {
  ErrorScope errors;
  data::ErrorCode error = data::ErrorCode::None;
  const uint32_t changes = data::change_count(queue, error);
  errors.report(error);
  return changes;
}

extern "C" void Kes$FREEqueue(KesQueueDescriptor* queue) noexcept { data::free_descriptor(queue); }

extern "C" void Kes$FREEqueuea(KesQueueDescriptor* queue) noexcept {
  ErrorScope errors;
  data::empty_queue(queue);
}

extern "C" KesQueueDescriptor* Kes$NEWqueue(const void* type) noexcept {
  ErrorScope errors;
  data::ErrorCode error = data::ErrorCode::None;
  KesQueueDescriptor* queue = data::new_queue(type, error);
  errors.report(error);
  return queue;
}

extern "C" void Kes$DISPOSEqueue(KesQueueDescriptor* queue) noexcept { data::dispose_queue(queue); }

extern "C" void Kes$WHOqueue(KesQueueDescriptor* queue, uint32_t field) noexcept {
  data::push_field_name(queue, field);
}

extern "C" Ufo* Kes$WHATqueue(KesQueueDescriptor* queue, uint32_t field) noexcept {
  return data::field_value(queue, field);
}

extern "C" int32_t Kes$WHEREqueue(KesQueueDescriptor* queue, const Ufo* ufo) noexcept {
  return data::field_number(queue, ufo);
}

// ---- qgroup: the queue object as list displays read it.

namespace {
data::Queue& queue_of(qgroup* group) noexcept { return *static_cast<data::Queue*>(group); }
}  // namespace

Ufo* qgroup::field_buffer_ufo(uint32_t field) noexcept {
  return queue_of(this).field_descriptor_of(false, field);
}

int32_t qgroup::load_view(int32_t position) noexcept {
  return queue_of(this).load_display(position);
}

Ufo* qgroup::field_view_ufo(uint32_t field) noexcept {
  return queue_of(this).field_descriptor_of(true, field);
}

void* qgroup::view_address() noexcept { return queue_of(this).display_bytes(); }

int32_t qgroup::put_view() noexcept { return static_cast<int32_t>(queue_of(this).store_display()); }
