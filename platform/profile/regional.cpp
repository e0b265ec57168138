// Regional settings from section "intl" of the system profile.
#include "platform/profile/regional.h"

#include "platform/profile/profile.h"

namespace kes::platform {

std::optional<std::size_t> read_regional_setting(std::string_view key,
                                                 std::span<char> out) noexcept {
  return read_profile_string("", "intl", key, out);
}

}  // namespace kes::platform
