// A database file of a test's own in the temporary folder, removed (with its journals) when the
// test starts.
#pragma once

#include <string>

#include <kestrel/errors.h>
#include <kestrel/files.h>
#include <kestrel/storage.h>
#include <kestrel/string_stack.h>

namespace kes::test {

inline std::string fresh_database(const std::string& stem) {
  const std::string name = ::testing::TempDir() + "kes_sqlite_" + stem + ".db";
  for (const char* suffix : {"", "-wal", "-shm", "-journal"}) {
    const std::string each = name + suffix;
    Kes$PushString(each.data(), static_cast<std::uint32_t>(each.size()));
    Kes$RemoveFile();
  }
  Kes$clearerror();
  return name;
}

// The text on top of the string stack, popped.
inline std::string popped_text() {
  KesTextPair text{};
  Kes$PopTemp(&text);
  std::string out(text.pointer == nullptr ? "" : text.pointer, text.length);
  Kes$freestr(&text);
  return out;
}

}  // namespace kes::test
