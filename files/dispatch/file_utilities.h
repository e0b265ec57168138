// REMOVE, RENAME, COPY and EXISTS on file names, for programs and for drivers.
//
// State: none.
#pragma once

#include <string_view>

#include "files/errors/error_state.h"

namespace kes::files {

// Deletes the file: None, NoFile, NoPath or AccessDenied (every other failure).
ErrorCode remove_named_file(std::string_view name) noexcept;

// Renames or copies a file. A destination ending in '\', '/' or ':', or naming an existing
// directory, receives the source's file name. Names _drv_ChkName refuses give InvalidFilename;
// failures NoFile, NoPath or AccessDenied. A copy never changes its source.
ErrorCode copy_or_rename(std::string_view source, std::string_view destination,
                         bool rename) noexcept;

// The same for the file and its companions named by `extensions` (separated by ';' or ','):
// each extension replaces the source's and the destination's. Stops at the first failure.
ErrorCode copy_or_rename_with(std::string_view source, std::string_view destination,
                              std::string_view extensions, bool rename) noexcept;

// Copies onto exactly the destination name.
ErrorCode copy_named_file(std::string_view source, std::string_view destination) noexcept;

bool named_file_exists(std::string_view name) noexcept;
bool is_named_directory(std::string_view name) noexcept;

}  // namespace kes::files
