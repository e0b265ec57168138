// Override texts for the error tests, installed the way the locale settings install theirs.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>

#include "files/errors/error_messages.h"

namespace kes::test {

inline std::map<std::int32_t, std::string>& message_overrides() {
  static std::map<std::int32_t, std::string> overrides;
  return overrides;
}

inline std::optional<std::string_view> find_message_override(std::int32_t number) noexcept {
  const auto found = message_overrides().find(number);
  if (found == message_overrides().end()) return std::nullopt;
  return std::string_view(found->second);
}

// Gives `number` the override `text`.
inline void set_message_override(std::int32_t number, std::string text) {
  files::set_message_override_lookup(&find_message_override);
  message_overrides()[number] = std::move(text);
}

// Back to the built-in texts.
inline void clear_message_overrides() {
  message_overrides().clear();
  files::set_message_override_lookup(nullptr);
}

}  // namespace kes::test
