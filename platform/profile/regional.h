// The platform's regional settings: the values of section "intl" of the system profile
// (iTime, iTLzero, sTime, s1159, s2359, sShortDate, sLongDate ...).
//
// State: none; each call reads the profile.
#pragma once

#include <cstddef>
#include <optional>
#include <span>
#include <string_view>

namespace kes::platform {

// Copies at most out.size() bytes of the regional setting `key` and returns the count, or
// nothing when the profile or the setting is absent (the caller then takes its default).
std::optional<std::size_t> read_regional_setting(std::string_view key,
                                                 std::span<char> out) noexcept;

}  // namespace kes::platform
