// File callbacks: registration and the before and after rounds around a driver call.
#include "files/dispatch/callbacks.h"

#include <cstring>
#include <new>

#include "files/dispatch/heap_vector.h"
#include "files/error_state.h"
#include "platform/heap.h"

namespace kes::files {

namespace {

constexpr std::size_t kMessageBuffer = 255;
constexpr std::size_t kCodeBuffer = 81;

struct CallbackRecord {
  Drv_FCB* file;
  HeapVector<KesFileCallback*> callbacks;
  char message[kMessageBuffer];
  char code[kCodeBuffer];
  int running;  // rounds in progress: the record outlives its last removal until they end
  bool removed;
};

HeapVector<CallbackRecord*> records;

std::size_t find(const Drv_FCB* file) noexcept {
  for (std::size_t i = 0; i < records.size(); ++i) {
    if (records[i]->file == file && !records[i]->removed) return i;
  }
  return records.size();
}

void destroy(CallbackRecord* record) noexcept {
  record->~CallbackRecord();
  platform::heap_free(record);
}

void drop(std::size_t index) noexcept {
  CallbackRecord* record = records[index];
  record->file->library_flags &= static_cast<std::uint8_t>(~kHasCallbacks);
  if (record->running > 0) {
    record->removed = true;  // freed when its rounds end
    return;
  }
  records.erase(index);
  destroy(record);
}

enum class Round : std::uint8_t { Before, After };

// Calls every callback of the round (one removed meanwhile may be skipped, none is called
// twice); the first false answer posts 90 with that callback's texts. True without a veto.
bool run_round(CallbackRecord& record, Round round, const KesFileCallbackParams& params) noexcept {
  bool vetoed = false;
  for (std::size_t i = 0; i < record.callbacks.size(); ++i) {
    record.message[0] = '\0';  // emptied: the texts are terminated
    record.code[0] = '\0';
    KesFileCallback* callback = record.callbacks[i];
    const bool go_on = round == Round::Before
                           ? callback->before_operation(&params, record.message, record.code)
                           : callback->after_operation(&params, record.message, record.code);
    if (go_on || vetoed) continue;
    vetoed = true;
    record.message[kMessageBuffer - 1] = '\0';
    record.code[kCodeBuffer - 1] = '\0';
    set_file_error(record.code, record.message);
    post_error(ErrorCode::FileSystemError);
    set_error_file(reinterpret_cast<KesFileNameRecord*>(params.file));
  }
  return !vetoed;
}

}  // namespace

bool register_callback(Drv_FCB* file, KesFileCallback* callback) noexcept {
  std::size_t index = find(file);
  if (index == records.size()) {
    void* block = platform::heap_allocate(sizeof(CallbackRecord));
    if (block == nullptr) return false;
    CallbackRecord* record = new (block) CallbackRecord{file, {}, {}, {}, 0, false};
    if (!records.push_back(record)) {
      destroy(record);
      return false;
    }
    file->library_flags |= kHasCallbacks;
  }
  if (records[index]->callbacks.push_back(callback)) return true;
  if (records[index]->callbacks.empty()) drop(index);
  return false;
}

void unregister_callback(Drv_FCB* file, KesFileCallback* callback) noexcept {
  const std::size_t index = find(file);
  if (index == records.size()) return;
  HeapVector<KesFileCallback*>& callbacks = records[index]->callbacks;
  for (std::size_t i = 0; i < callbacks.size(); ++i) {
    if (callbacks[i] == callback) {
      callbacks.erase(i);
      break;
    }
  }
  if (callbacks.empty()) drop(index);
}

bool callbacks_watch(std::int32_t operation) noexcept {
  switch (operation) {
    case 73:
    case 74:
    case 87:
    case 91:
    case 94:
    case 95:
    case 103: return false;
    default: return true;
  }
}

bool run_with_callbacks(Drv_FCB* file, Drv_FCB* instance, std::int32_t operation,
                        const Drv_Args& arguments, std::int32_t& result) noexcept {
  const std::size_t index = find(file);
  if (index == records.size()) return false;
  CallbackRecord* record = records[index];
  ++record->running;
  const KesFileCallbackParams params{operation, instance, &arguments};
  result = 0;
  if (run_round(*record, Round::Before, params)) {
    result = instance->driver(operation, instance, &arguments);
  }
  run_round(*record, Round::After, params);
  if (--record->running == 0 && record->removed) {
    for (std::size_t i = 0; i < records.size(); ++i) {
      if (records[i] == record) {
        records.erase(i);
        break;
      }
    }
    destroy(record);
  }
  return true;
}

#ifdef KES_TESTING
void reset_callbacks_for_testing() noexcept {
  while (!records.empty()) {
    CallbackRecord* record = records[records.size() - 1];
    record->file->library_flags &= static_cast<std::uint8_t>(~kHasCallbacks);
    destroy(record);
    records.erase(records.size() - 1);
  }
  records.clear();
}
#endif

}  // namespace kes::files
