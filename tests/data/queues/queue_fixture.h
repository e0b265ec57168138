// The record the queue tests work on, its type descriptor and a queue descriptor over it:
// Qty LONG at 0, Name CSTRING(8) at 4, Shelf SHORT at 12, Serial LONG at 16, Pad STRING(4) at
// 20, or STRING(140) for records of 160 bytes, which are stored compressed.
#pragma once

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include <kestrel/queues.h>
#include <kestrel/types.h>

namespace kes::test {

constexpr std::uint32_t kSmallRecord = 24;
constexpr std::uint32_t kLargeRecord = 160;
constexpr std::int32_t kQty = 1, kName = 2, kShelf = 3, kSerial = 4, kPad = 5;

// The type descriptor of the record of `size` bytes (built once, kept for the process).
inline const unsigned char* line_type(std::uint32_t size) {
  auto build = [](std::uint32_t record_size) {
    auto* type = new class_descriptor;
    type->StartGroup("Line");
    type->AddSimple(KesTypeLong, "Qty", nullptr);
    type->AddField(KesTypeCstring, 8, "Name", 0, nullptr, nullptr);
    type->AddSimple(KesTypeShort, "Shelf", nullptr);
    type->SetOffset(16);
    type->AddSimple(KesTypeLong, "Serial", nullptr);
    type->AddField(KesTypeString, record_size - 20, "Pad", 0, nullptr, nullptr);
    type->EndDeclaration();
    return type;
  };
  static const class_descriptor* small = build(kSmallRecord);
  static const class_descriptor* large = build(kLargeRecord);
  return (size == kSmallRecord ? small : large)->stream();
}

struct TestRecord {
  std::int32_t qty;
  std::string name;  // at most 7 characters
  std::int16_t shelf;
  std::int32_t serial;
};

// Writes the fields; the rest of the name field holds `tail_garbage` after its terminator.
inline void write_record(std::uint8_t* buffer, const TestRecord& record, char tail_garbage = 0) {
  std::memcpy(buffer, &record.qty, 4);
  std::memset(buffer + 4, tail_garbage, 8);
  std::memcpy(buffer + 4, record.name.c_str(), record.name.size() + 1);
  std::memcpy(buffer + 12, &record.shelf, 2);
  std::memcpy(buffer + 16, &record.serial, 4);
}

inline std::int32_t serial_of(const std::uint8_t* buffer) {
  std::int32_t serial = 0;
  std::memcpy(&serial, buffer + 16, 4);
  return serial;
}

// A queue descriptor with its own record buffer.
struct TestQueue {
  explicit TestQueue(bool large = false)
      : bytes(large ? kLargeRecord : kSmallRecord, 0),
        descriptor{bytes.data(), line_type(large ? kLargeRecord : kSmallRecord), nullptr,
                   large ? kLargeRecord : kSmallRecord} {}
  ~TestQueue() { Kes$FREEqueue(&descriptor); }
  std::vector<std::uint8_t> bytes;
  KesQueueDescriptor descriptor;
};

}  // namespace kes::test
