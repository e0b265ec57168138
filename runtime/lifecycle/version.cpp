// The version check of compiled modules.
#include "runtime/lifecycle/version.h"

#include <array>
#include <cstdio>
#include <string_view>

#include "platform/msgbox/message_box.h"

namespace kes::runtime {
namespace {
ModuleVersion recorded{0, 0, 0};
}  // namespace

bool check_version(std::int32_t version_word, std::int32_t minor, std::int32_t build) noexcept {
  std::int32_t major = version_word & 0xF;
  if ((version_word & 0x7FFF) == kLibraryMajor && minor <= kLibraryMinor) {
    recorded = {major, minor, build};
    return true;
  }
  // Words without bit 8 are refused with the same message, without the X.
  const char* variant = (version_word & 0x100) != 0 ? "X" : "";
  std::array<char, 256> text;
  int length = std::snprintf(
      text.data(), text.size(),
      "This program or a component DLL requires K55RUN%s version %d.%03d.%02d or later\r\n"
      "This version is %d.%03d.%02d %s",
      variant, static_cast<int>(major), static_cast<int>(minor), static_cast<int>(build),
      static_cast<int>(kLibraryMajor), static_cast<int>(kLibraryMinor),
      static_cast<int>(kLibraryBuild), kReleaseLabel);
  std::size_t shown = length < 0 ? 0 : static_cast<std::size_t>(length);
  if (shown >= text.size()) shown = text.size() - 1;
  platform::show_message_box({"Kestrel 5.5 Runtime Library",
                              {text.data(), shown},
                              platform::MessageBoxButtons::Ok,
                              platform::MessageBoxIcon::Stop,
                              0});
  return false;
}

std::int32_t program_version_number() noexcept { return recorded.major * 1000 + recorded.minor; }

ModuleVersion program_version() noexcept { return recorded; }

#ifdef KES_TESTING
void reset_version_for_testing() noexcept { recorded = {0, 0, 0}; }
#endif

}  // namespace kes::runtime
