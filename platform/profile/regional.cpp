// Regional settings from section "intl" of the system profile.
#include "platform/profile/regional.h"

#include "platform/profile/profile.h"

namespace kes::platform {

std::optional<std::size_t> read_regional_setting(std::string_view key,
                                                 std::span<char> out) noexcept {
  char path[4096];
  const std::size_t length = system_profile_path(path);
  if (length == 0) {
    return std::nullopt;
  }
  return read_profile_string(std::string_view(path, length), "intl", key, out);
}

}  // namespace kes::platform
