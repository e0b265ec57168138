// Queue statements decoded from bytes, with an inconsistent sort procedure and memory running out:
// RECORDS counts the entries added and not deleted, and every position holds a stored record.
#include <string>

#include <kestrel/queues.h>
#include <kestrel/string_stack.h>
#include <kestrel/types.h>

#include "files/errors/error_state.h"
#include "platform/core/heap.h"
#include "tests/fuzz/support/fuzz_check.h"

namespace {

using kes::fuzz::check;

// LONG Serial, LONG A, CSTRING(8) Name, SHORT B: 18 bytes. The queue takes 20 bytes of it, or
// 140 when the first input byte is odd (records then stored compressed).
const unsigned char* record_type() {
  static const class_descriptor* type = [] {
    auto* built = new class_descriptor;
    built->StartGroup("Fuzz");
    built->AddSimple(KesTypeLong, "Serial", nullptr);
    built->AddSimple(KesTypeLong, "A", nullptr);
    built->AddField(KesTypeCstring, 8, "Name", 0, nullptr, nullptr);
    built->AddSimple(KesTypeShort, "B", nullptr);
    built->EndDeclaration();
    return built;
  }();
  return type->stream();
}

std::uint8_t chosen = 0;
std::int32_t erratic(const void*, std::uint32_t, const void*, const void*, std::uint32_t,
                     const void*) {
  return static_cast<std::int32_t>(chosen++ % 3) - 1;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0 || size > 4096) return 0;
  const kes::fuzz::StackDepths depths;
  const std::uint32_t record_size = (data[0] & 1) != 0 ? 140 : 20;
  std::uint8_t buffer[140] = {};
  KesQueueDescriptor queue{buffer, record_type(), nullptr, record_size};
  std::size_t cursor = 1;
  auto next = [&]() -> std::uint8_t { return cursor < size ? data[cursor++] : 0; };
  std::int32_t serial = 0;
  std::int32_t live = 0;
  while (cursor < size) {
    const std::uint8_t operation = next();
    const std::int32_t key[] = {static_cast<std::int8_t>(next()) % 6,
                                static_cast<std::int8_t>(next()) % 6, 0};
    const auto position = static_cast<std::int32_t>(static_cast<std::int8_t>(next()));
    std::memcpy(buffer + 4, &key, 4);  // some field values
    buffer[8 + next() % 8] = next();
    if ((operation & 0xF0) == 0xF0) kes::platform::heap_fail_nth(1 + operation % 4);
    const std::int32_t before = Kes$RECORDSqueue(&queue);
    std::int32_t added = 0;
    switch (operation % 12) {
      case 0:
      case 1:
        added = ++serial;
        std::memcpy(buffer, &added, 4);
        if (operation % 12 == 0)
          Kes$ADDqueueptr(&queue, position);
        else
          Kes$ADDqueuekey(&queue, key);
        break;
      case 2: Kes$GETqueueptr(&queue, position); break;
      case 3: Kes$GETqueuekey(&queue, key); break;
      case 4: Kes$PUTqueuekey(&queue, key); break;
      case 5:
        Kes$DELETEqueue(&queue);
        if (kes::files::current_error() == kes::files::ErrorCode::None) --live;
        break;
      case 6: Kes$SORTqueuekey(&queue, key); break;
      case 7: {
        std::string text;
        for (std::uint8_t n = next() % 24; n > 0; --n)
          text += static_cast<char>(" ,+-aAbBnNmes"[next() % 13]);
        Kes$PushString(text.data(), static_cast<std::uint32_t>(text.size()));
        Kes$SORTqueueskey(&queue);
        break;
      }
      case 8: Kes$SORTqueuefkey(&queue, erratic); break;
      case 9: Kes$POSITIONqueue(&queue); break;
      case 10: Kes$PUTqueue(&queue); break;
      default:
        if (position == 0) {
          Kes$FREEqueuea(&queue);
          live = 0;
        }
    }
    kes::platform::heap_fail_nth(0);
    if (added != 0 && kes::files::current_error() == kes::files::ErrorCode::None)
      ++live;
    else if (added != 0)
      check(Kes$RECORDSqueue(&queue) == before);  // nothing half-added
    check(Kes$RECORDSqueue(&queue) == live);
  }
  for (std::int32_t p = 1; p <= live; ++p) {
    Kes$GETqueueptr(&queue, p);
    std::int32_t stored = 0;
    std::memcpy(&stored, buffer, 4);
    check(stored >= 1 && stored <= serial);  // every entry holds a record some ADD stored
  }
  Kes$FREEqueue(&queue);
  depths.check_kept();
  return 0;
}
