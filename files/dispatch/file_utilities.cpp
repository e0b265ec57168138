// File utilities on names through the platform's file calls.
#include "files/dispatch/file_utilities.h"

#include <cstring>

#include "files/dispatch/file_names.h"
#include "platform/files/file_system.h"

namespace kes::files {
namespace {

using platform::OsError;

// The utilities know three failures: a missing file, a missing path and everything else.
ErrorCode utility_error(OsError error) noexcept {
  switch (error) {
    case OsError::None: return ErrorCode::None;
    case OsError::FileNotFound: return ErrorCode::NoFile;
    case OsError::PathNotFound: return ErrorCode::NoPath;
    default: return ErrorCode::AccessDenied;
  }
}

bool ends_as_directory(std::string_view name) noexcept {
  return !name.empty() && (name.back() == '\\' || name.back() == '/' || name.back() == ':');
}

// A name built from parts, at most kMaxFileName bytes (longer ones are refused by the check).
class NameBuffer {
 public:
  bool append(std::string_view part) noexcept {
    if (part.size() > sizeof text_ - length_) return false;
    if (!part.empty()) std::memcpy(text_ + length_, part.data(), part.size());
    length_ += part.size();
    return true;
  }
  std::string_view view() const noexcept { return {text_, length_}; }

 private:
  char text_[2 * kMaxFileName + 2];
  std::size_t length_ = 0;
};

}  // namespace

ErrorCode remove_named_file(std::string_view name) noexcept {
  return utility_error(platform::remove_file(without_trailing_blanks(name)));
}

ErrorCode copy_or_rename(std::string_view source, std::string_view destination,
                         bool rename) noexcept {
  source = without_trailing_blanks(source);
  destination = without_trailing_blanks(destination);
  if (check_file_name(source) != ErrorCode::None) return ErrorCode::InvalidFilename;
  if (check_file_name(destination) != ErrorCode::None) return ErrorCode::InvalidFilename;
  NameBuffer target;
  target.append(destination);
  if (ends_as_directory(destination) || platform::is_directory(destination)) {
    const NameParts parts = split_file_name(source);
    if (!ends_as_directory(destination)) target.append("\\");
    target.append(parts.base);
    target.append(parts.extension);
    if (check_file_name(target.view()) != ErrorCode::None) return ErrorCode::InvalidFilename;
  }
  const OsError result = rename ? platform::rename_file(source, target.view())
                                : platform::copy_file(source, target.view());
  return utility_error(result);
}

ErrorCode copy_or_rename_with(std::string_view source, std::string_view destination,
                              std::string_view extensions, bool rename) noexcept {
  extensions = without_trailing_blanks(extensions);
  if (extensions.empty()) return copy_or_rename(source, destination, rename);
  const NameParts from = split_file_name(source);
  const NameParts to = split_file_name(destination);
  const bool into_directory = ends_as_directory(without_trailing_blanks(destination)) ||
                              platform::is_directory(without_trailing_blanks(destination));
  while (!extensions.empty()) {
    const std::size_t end = extensions.find_first_of(";,");
    std::string_view extension = extensions.substr(0, end);
    extensions = end == std::string_view::npos ? std::string_view() : extensions.substr(end + 1);
    while (!extension.empty() && extension.front() == ' ')
      extension.remove_prefix(1);
    extension = without_trailing_blanks(extension);
    if (extension.empty()) continue;
    if (extension.front() == '.') extension.remove_prefix(1);
    NameBuffer source_name;
    NameBuffer destination_name;
    source_name.append(from.directory);
    source_name.append(from.base);
    source_name.append(".");
    source_name.append(extension);
    if (into_directory) {
      destination_name.append(without_trailing_blanks(destination));
    } else {
      destination_name.append(to.directory);
      destination_name.append(to.base);
      destination_name.append(".");
      destination_name.append(extension);
    }
    const ErrorCode result = copy_or_rename(source_name.view(), destination_name.view(), rename);
    if (result != ErrorCode::None) return result;
  }
  return ErrorCode::None;
}

ErrorCode copy_named_file(std::string_view source, std::string_view destination) noexcept {
  source = without_trailing_blanks(source);
  destination = without_trailing_blanks(destination);
  if (check_file_name(source) != ErrorCode::None) return ErrorCode::InvalidFilename;
  if (check_file_name(destination) != ErrorCode::None) return ErrorCode::InvalidFilename;
  return utility_error(platform::copy_file(source, destination));
}

bool named_file_exists(std::string_view name) noexcept {
  name = without_trailing_blanks(name);
  return !name.empty() && platform::path_exists(name);
}

bool is_named_directory(std::string_view name) noexcept {
  name = without_trailing_blanks(name);
  return !name.empty() && platform::is_directory(name);
}

}  // namespace kes::files
