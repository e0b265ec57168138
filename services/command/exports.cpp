// The exported command-line and path built-ins: operands popped from the string stack, results
// pushed, SETPATH reporting through the error state.
#include <cstring>
#include <string>
#include <string_view>

#include <kestrel/command.h>
#include <kestrel/queues.h>

#include "data/queues/statements.h"
#include "files/errors/error_state.h"
#include "platform/core/heap.h"
#include "platform/launch/module_path.h"
#include "runtime/builtins/string_builtins.h"
#include "runtime/stack/string_stack.h"
#include "services/command/command_line.h"
#include "services/command/directory_list.h"
#include "services/command/paths.h"

namespace rt = kes::runtime;
namespace svc = kes::services;

namespace {

// A directory list on its way into a queue, and the error of its last ADD.
struct Listing {
  KesQueueDescriptor* queue;
  kes::files::ErrorCode error;
};

// Appends one record to the queue as ADD does: copied into the record buffer (cut to the
// queue's record size) and added by the queue's own statement. A failed ADD ends the list.
bool add_to_queue(void* context, const void* record, std::size_t size) noexcept {
  auto& listing = *static_cast<Listing*>(context);
  KesQueueDescriptor* queue = listing.queue;
  if (queue != nullptr && queue->buffer != nullptr) {
    std::memcpy(queue->buffer, record, size < queue->record_size ? size : queue->record_size);
  }
  listing.error = kes::data::add_record(queue);
  return listing.error == kes::files::ErrorCode::None;
}

template <std::size_t kLimit>
void list_into(KesQueueDescriptor* queue, std::uint8_t attributes,
               std::size_t (*list)(std::string_view, std::uint8_t, svc::RecordSink,
                                   void*) noexcept) noexcept {
  char pattern[kLimit + 1];
  const std::string_view pattern_text = rt::pop_clipped_cstring(pattern, sizeof pattern);
  Listing listing{queue, kes::files::ErrorCode::None};
  if (list(pattern_text, attributes, add_to_queue, &listing) == 0) return;
  // The error state is the last ADD's, as after the statement; a list that adds nothing leaves
  // it alone.
  kes::files::ErrorScope errors;
  errors.report(listing.error);
}

}  // namespace

extern "C" void Kes$COMMAND() noexcept {
  // The flag is read where it lies on the stack and popped once the answer is made.
  rt::clip_top();
  const std::string_view flag = rt::top_text();
  if (flag == "0") {
    rt::pop_discard();
    char path[4096];  // longer than the 260 that Windows allows, so no host path is cut
    rt::push_text(std::string_view(path, kes::platform::module_path(path)));
    return;
  }
  const std::string_view tail = svc::command_tail();
  char* scratch = static_cast<char*>(kes::platform::heap_allocate(tail.size() + 1));
  const std::string_view answer =
      scratch == nullptr ? std::string_view() : svc::command_lookup(tail, flag, scratch);
  rt::pop_discard();
  rt::push_text(answer);
  kes::platform::heap_free(scratch);
}

extern "C" void Kes$SETCOMMAND() noexcept {
  rt::clip_top();
  svc::set_command_tail(rt::top_text());
  rt::pop_discard();
}

extern "C" void Kes$SETPATH() noexcept {
  char path[svc::kPathLimit + 1];
  const std::string_view path_text = rt::pop_clipped_cstring(path, sizeof path);
  kes::files::ErrorScope errors;
  errors.report(svc::set_path(path_text));
}

extern "C" void Kes$SHORTPATH() noexcept {
  char path[svc::kPathLimit + 1];
  const std::string_view path_text = rt::pop_clipped_cstring(path, sizeof path);
  kes::files::clear_error();
  rt::push_text(svc::short_path(path_text));
}

extern "C" void Kes$LONGPATH() noexcept {
  char path[svc::kPathLimit + 1];
  const std::string_view path_text = rt::pop_clipped_cstring(path, sizeof path);
  kes::files::clear_error();
  rt::push_text(svc::long_path(path_text));
}

extern "C" void Kes$DIRECTORY(KesQueueDescriptor* queue, std::uint8_t attributes) noexcept {
  list_into<svc::kDirectoryPatternLimit>(queue, attributes, svc::list_directory);
}

extern "C" void Kes$LFNDIRECTORY(KesQueueDescriptor* queue, std::uint8_t attributes) noexcept {
  list_into<svc::kLongDirectoryPatternLimit>(queue, attributes, svc::list_long_directory);
}
