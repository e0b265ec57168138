// Field lookup by name and the layout reader hook.
#include "data/queues/record_layout.h"

#include <atomic>

namespace kes::data {
namespace {

std::atomic<LayoutReader> installed_reader{nullptr};

char folded(char c) noexcept { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 32) : c; }

}  // namespace

std::uint32_t RecordLayout::field_number(std::string_view name) const noexcept {
  for (std::size_t index = 0; index < names.size(); ++index) {
    const std::string& candidate = names[index];
    if (candidate.size() != name.size()) continue;
    bool same = true;
    for (std::size_t i = 0; i < name.size() && same; ++i) {
      same = folded(candidate[i]) == folded(name[i]);
    }
    if (same) return static_cast<std::uint32_t>(index + 1);
  }
  return 0;
}

void set_layout_reader(LayoutReader reader) noexcept { installed_reader.store(reader); }
LayoutReader layout_reader() noexcept { return installed_reader.load(); }

}  // namespace kes::data
