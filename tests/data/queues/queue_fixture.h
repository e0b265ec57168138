// The record the queue tests work on, its layout reader and a queue descriptor over it.
//
//   Line   QUEUE
//   Qty      LONG          offset 0
//   Name     CSTRING(8)    offset 4
//   Shelf    SHORT         offset 12
//   Serial   LONG          offset 16
//            (filler up to the record size: 24 bytes, or 160 to store records compressed)
#pragma once

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include <kestrel/queues.h>

#include "data/queues/record_layout.h"

namespace kes::test {

constexpr std::uint32_t kSmallRecord = 24;
constexpr std::uint32_t kLargeRecord = 160;
constexpr std::int32_t kQty = 1, kName = 2, kShelf = 3, kSerial = 4;

// Type descriptors stand for themselves here: the reader looks only at their address.
inline const char kSmallType[] = "small";
inline const char kLargeType[] = "large";

inline bool read_test_layout(const void* type, std::uint32_t, data::RecordLayout& layout) {
  if (type != kSmallType && type != kLargeType) return false;
  layout.record_size = type == kSmallType ? kSmallRecord : kLargeRecord;
  layout.fields = {{0, 4, 6, 0, 1}, {4, 8, 19, 0, 1}, {12, 2, 2, 0, 1}, {16, 4, 6, 0, 1}};
  layout.names = {"Qty", "Name", "Shelf", "Serial"};
  layout.tails = {{4, 8, data::TailKind::CString}};
  return true;
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
        descriptor{bytes.data(), large ? kLargeType : kSmallType, nullptr,
                   large ? kLargeRecord : kSmallRecord} {
    data::set_layout_reader(read_test_layout);
  }
  ~TestQueue() { Kes$FREEqueue(&descriptor); }
  std::vector<std::uint8_t> bytes;
  KesQueueDescriptor descriptor;
};

}  // namespace kes::test
