// The version handshake between compiled modules and the library.
//
// State: the program's recorded version is process-wide by nature.
#pragma once

#include <cstdint>

namespace kes::runtime {

inline constexpr std::int32_t kLibraryMajor = 5;
inline constexpr std::int32_t kLibraryMinor = 500;
inline constexpr std::int32_t kLibraryBuild = 0;
// Shown after the library's version when a module is refused.
inline constexpr const char* kReleaseLabel = "Release";

// _checkversion: the low 15 bits of `version_word` must be 5 and `minor` at most 500; then the
// program's version (major = low 4 bits of the word, minor, build) is recorded and the result
// is true. Otherwise a box captioned "Kestrel 5.5 Runtime Library" (stop icon) names the version
// asked for ("K55RUNX" when bit 8 of the word is set, "K55RUN" otherwise) and this one, and the
// result is false.
bool check_version(std::int32_t version_word, std::int32_t minor, std::int32_t build) noexcept;

// _getversion: major * 65536 + minor.
constexpr std::int32_t library_version_word() noexcept {
  return kLibraryMajor * 65536 + kLibraryMinor;
}

// LibVersion and ExeVersion: major * 1000 + minor (the program's is 0 until recorded).
constexpr std::int32_t library_version_number() noexcept {
  return kLibraryMajor * 1000 + kLibraryMinor;
}
std::int32_t program_version_number() noexcept;

struct ModuleVersion {
  std::int32_t major;
  std::int32_t minor;
  std::int32_t build;
};
// The program's version as recorded by check_version (zeros until then).
ModuleVersion program_version() noexcept;

#ifdef KES_TESTING
void reset_version_for_testing() noexcept;
#endif

}  // namespace kes::runtime
