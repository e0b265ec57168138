// View descriptors: every query, join walk and the printed form stay inside the bytes, and one
// that reads without error is rebuilt by the builder into the same bytes.
#include <string>
#include <vector>

#include <kestrel/views.h>

#include "tests/fuzz/support/fuzz_check.h"

namespace {

using kes::fuzz::check;

class Handler final : public view_handler {
 public:
  explicit Handler(std::size_t capacity) : capacity_(capacity) {}
  bool reserve(std::uint32_t length) override {
    return descriptor != nullptr && descriptor->built_length() + length <= capacity_;
  }
  void error(std::int32_t) override { ++errors; }
  void put(char c) override { printed += c; }

  view_descriptor* descriptor = nullptr;
  int errors = 0;
  std::string printed;

 private:
  std::size_t capacity_;
};

// Cleared for a descriptor the builder cannot write the same way: an empty projection list.
bool reproducible = true;

// Reads the current level (and its joins) and repeats it through the builder, as long as the
// reader reports nothing (a malformed string is not walked further).
void copy_level(view_descriptor& from, const Handler& errors, view_descriptor& to, int depth,
                bool primary) {
  const char* condition = from.condition();
  const std::uint8_t components = from.components();
  if (primary) {
    to.file();
    if (condition != nullptr) to.join_condition(condition);
  } else {
    to.join(components);
    if (condition != nullptr) to.join_condition(condition);
    for (std::uint32_t i = 1; i <= components; ++i)
      to.join_component(from.component(i));
  }
  to.set_flags(from.get_flags());
  const std::uint16_t fields = from.fields();
  if (fields == 0) reproducible = false;
  if (fields != kViewAllFields) {
    for (std::uint32_t i = 1; i <= fields && errors.errors == 0; ++i) {
      if (from.field(i) == kViewMemoEntry)
        to.project_memo(from.memo(i));
      else
        to.project_field(from.field(i));
    }
  }
  to.project_all();
  const std::uint8_t joins = from.joins();
  for (std::uint32_t j = 1; j <= joins && depth < kViewMaxDepth && errors.errors == 0; ++j) {
    from.set_join(j);
    if (errors.errors != 0) break;
    copy_level(from, errors, to, depth + 1, false);
    from.unset_join();
  }
  to.unset_join();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size > 4096) return 0;
  std::vector<std::uint8_t> bytes(data, data + size);  // exactly the input: overreads trap
  Handler reader_handler(0);
  view_descriptor reader(&reader_handler);
  reader.setup(bytes.data(), static_cast<std::uint32_t>(bytes.size()));
  reader.print();
  check(reader_handler.printed.rfind("VIEW(FILE)\r\n", 0) == 0);

  reader_handler.errors = 0;
  std::vector<std::uint8_t> rebuilt(size + 8);
  Handler builder_handler(rebuilt.size());
  view_descriptor builder(&builder_handler);
  builder_handler.descriptor = &builder;
  builder.setup(rebuilt.data());
  reproducible = true;
  copy_level(reader, reader_handler, builder, 0, true);
  if (reader_handler.errors != 0 || builder_handler.errors != 0) return 0;
  // Unless the header, a field 0 or an empty projection is one the builder writes otherwise.
  const std::uint32_t length = builder.built_length();
  check(length <= size);
  if (reproducible && size > 0 && data[0] == 0x00)
    check(std::memcmp(rebuilt.data(), data, length) == 0);
  return 0;
}
