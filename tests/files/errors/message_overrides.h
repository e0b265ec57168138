// Override texts for the error tests, installed the way the locale settings install theirs.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>

#include "files/errors/error_messages.h"

namespace kes::test {

inline std::map<std::int32_t, std::string> message_overrides;

// Gives `number` the override `text`; clear_message_overrides() goes back to the built-in texts.
inline void set_message_override(std::int32_t number, std::string text) {
  files::set_message_override_lookup(
      [](std::int32_t n) noexcept -> std::optional<std::string_view> {
        const auto found = message_overrides.find(n);
        if (found == message_overrides.end()) return std::nullopt;
        return found->second;
      });
  message_overrides[number] = std::move(text);
}

inline void clear_message_overrides() {
  message_overrides.clear();
  files::set_message_override_lookup(nullptr);
}

}  // namespace kes::test
