// GETINIGROUP and PUTINIGROUP: a group's fields walked through WHO and WHAT, one entry each.
#include <cstring>
#include <string>

#include <kestrel/types.h>
#include <kestrel/ufo.h>
#include <kestrel/values.h>

#include "platform/profile/profile.h"
#include "runtime/stack/string_stack.h"
#include "services/ini/ini.h"

namespace kes::services {

namespace {

// Calls `entry(name, descriptor)` for each entry of the group's named fields, in field order.
template <typename Entry>
void walk(const IniGroup& group, Entry entry) noexcept {
  for (std::uint32_t index = 0;; ++index) {
    Ufo* field = Kes$WHAT(group.address, group.size, group.type_descriptor, index);
    if (field == nullptr) return;
    char name[kIniNameBuffer];
    Kes$WHO(group.address, group.size, group.type_descriptor, index);
    runtime::pop_to_cstring(name, sizeof name);
    // A group's own text would overlay the fields that follow it in the walk: passed over.
    const bool is_group = dynamic_cast<GroupUfo*>(field) != nullptr;
    if (name[0] != '\0' && !is_group) {
      // Only arrays have elements to select; a group's count is of its fields.
      const unsigned elements = field->Type() == KesTypeArray ? field->Max() : 0;
      if (elements == 0) {
        entry(std::string_view(name), *field);
      } else {
        char numbered[kIniNameBuffer + 16];
        const std::size_t length = std::strlen(name);
        std::memcpy(numbered, name, length);
        for (unsigned element = 1; element <= elements; ++element) {
          Ufo* selected = field->Select(element);
          if (selected == nullptr) continue;
          // Rate_1, Rate_2 ...: the number written over the end of the name each time.
          const std::string suffix = "_" + std::to_string(element);
          std::memcpy(numbered + length, suffix.data(), suffix.size());
          const std::size_t total = length + suffix.size();
          if (dynamic_cast<GroupUfo*>(selected) == nullptr) {
            entry(std::string_view(numbered, total < kIniNameBuffer ? total : kIniNameBuffer - 1),
                  *selected);
          }
          if (selected != field) Ufo::destroy(selected);
        }
      }
    }
    Ufo::destroy(field);
  }
}

}  // namespace

bool get_ini_group(const IniGroup& group, std::string_view section,
                   std::string_view file) noexcept {
  bool found = false;
  walk(group, [&](std::string_view entry, Ufo& field) {
    char value[kIniValueBuffer] = {};
    const std::optional<std::size_t> n = platform::read_profile_string(
        file, section, entry, std::span<char>(value, kIniValueBuffer - 1));
    const std::size_t length = n ? std::strlen(value) : 0;  // a terminated text
    if (length != 0) found = true;
    runtime::push_text(std::string_view(value, length));
    field.Pop();
  });
  return found;
}

void put_ini_group(const IniGroup& group, std::string_view section,
                   std::string_view file) noexcept {
  walk(group, [&](std::string_view entry, Ufo& field) {
    char value[kIniValueBuffer];
    field.Push();
    runtime::pop_to_cstring(value, sizeof value);
    static_cast<void>(
        platform::write_profile_string(file, section, entry, std::string_view(value)));
  });
}

}  // namespace kes::services
