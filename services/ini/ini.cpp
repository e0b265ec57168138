// GETINI and PUTINI over the profile service.
#include "services/ini/ini.h"

#include <cstring>

#include "platform/profile/profile.h"

namespace kes::services {

std::size_t get_ini(std::string_view section, std::string_view entry, std::string_view fallback,
                    std::string_view file, std::span<char, kIniValueBuffer> out) noexcept {
  const std::span<char> room = out.first(kIniValueBuffer - 1);
  std::size_t length = 0;
  if (const std::optional<std::size_t> found =
          platform::read_profile_string(file, section, entry, room)) {
    length = *found;
  } else {
    length = fallback.size() < room.size() ? fallback.size() : room.size();
    if (length != 0) std::memmove(out.data(), fallback.data(), length);
  }
  out[length] = '\0';
  return std::strlen(out.data());  // a terminated text ends at its first zero byte
}

void put_ini(std::string_view section, std::optional<std::string_view> entry,
             std::optional<std::string_view> value, std::string_view file) noexcept {
  // The service's own answer is not reported: programs cannot see a failed write.
  static_cast<void>(
      platform::write_profile_string(file, section, entry, entry ? value : std::nullopt));
}

}  // namespace kes::services
