// The path built-ins over the platform's path services.
#include "services/command/paths.h"

#include <new>

#include "platform/dirs/dirs.h"

namespace kes::services {

files::ErrorCode set_path(std::string_view path) noexcept {
  return platform::change_directory(path) ? files::ErrorCode::None : files::ErrorCode::NoPath;
}

std::string short_path(std::string_view path) noexcept {
  try {
    std::string current;
    if (path.empty()) {
      if (!platform::current_directory(current)) return {};
      path = current;
    }
    std::string result;
    if (!platform::short_path_name(path, result)) return {};
    return result;
  } catch (const std::bad_alloc&) {
    return {};
  }
}

std::string long_path(std::string_view path) noexcept {
  try {
    std::string result;
    if (!platform::long_path_name(path, result)) return {};
    return result;
  } catch (const std::bad_alloc&) {
    return {};
  }
}

}  // namespace kes::services
