// Paths, directory searches and the command line through the Win32 calls.
#define WIN32_LEAN_AND_MEAN
#define NOMINMAX
#include <new>
#include <windows.h>

#include "platform/dirs/dirs.h"

namespace kes::platform {

namespace {

bool has_zero(std::string_view text) noexcept { return text.find('\0') != std::string_view::npos; }

FileTime local_time_of(const FILETIME& written) noexcept {
  FILETIME local{};
  SYSTEMTIME parts{};
  if (!::FileTimeToLocalFileTime(&written, &local) || !::FileTimeToSystemTime(&local, &parts)) {
    return FileTime{1601, 1, 1, 0, 0, 0};
  }
  return FileTime{parts.wYear,
                  static_cast<std::uint8_t>(parts.wMonth),
                  static_cast<std::uint8_t>(parts.wDay),
                  static_cast<std::uint8_t>(parts.wHour),
                  static_cast<std::uint8_t>(parts.wMinute),
                  static_cast<std::uint8_t>(parts.wSecond)};
}

// Copies what a search reports of a file (may throw std::bad_alloc, as the names are copied).
void take(const WIN32_FIND_DATAA& data, FoundFile& found) {
  found.name = data.cFileName;
  found.short_name = data.cAlternateFileName;
  found.written = local_time_of(data.ftLastWriteTime);
  found.size = (static_cast<std::uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
  found.attributes = data.dwFileAttributes;
}

// Calls `get` (a Win32 call that answers the size it needs when the buffer is too small) with
// a buffer that grows until the answer fits.
template <typename Get>
bool grow_into(std::string& out, Get get) {
  out.assign(MAX_PATH, '\0');
  for (int attempt = 0; attempt < 8; ++attempt) {
    const DWORD n = get(out.data(), static_cast<DWORD>(out.size()));
    if (n == 0) return false;
    if (n < out.size()) {
      out.resize(n);
      return true;
    }
    out.assign(n + 1, '\0');
  }
  return false;
}

}  // namespace

DirectorySearch::~DirectorySearch() { close(); }

void DirectorySearch::close() noexcept {
  if (handle_ != nullptr) ::FindClose(static_cast<HANDLE>(handle_));
  handle_ = nullptr;
}

bool DirectorySearch::first(std::string_view pattern) noexcept {
  close();
  try {
    if (has_zero(pattern)) return false;
    const std::string text(pattern);
    WIN32_FIND_DATAA data{};
    const HANDLE found = ::FindFirstFileA(text.c_str(), &data);
    if (found == INVALID_HANDLE_VALUE) return false;
    handle_ = found;
    take(data, found_);
    return true;
  } catch (const std::bad_alloc&) {
    close();
    return false;
  }
}

bool DirectorySearch::next() noexcept {
  if (handle_ == nullptr) return false;
  try {
    WIN32_FIND_DATAA data{};
    if (!::FindNextFileA(static_cast<HANDLE>(handle_), &data)) return false;
    take(data, found_);
    return true;
  } catch (const std::bad_alloc&) {
    return false;
  }
}

bool DirectorySearch::load() noexcept { return false; }

bool process_command_line(std::string& out) noexcept {
  try {
    const char* line = ::GetCommandLineA();
    out.assign(line == nullptr ? "" : line);
    return true;
  } catch (const std::bad_alloc&) {
    out.clear();
    return false;
  }
}

bool change_directory(std::string_view path) noexcept {
  try {
    if (path.empty() || has_zero(path)) return false;
    return ::SetCurrentDirectoryA(std::string(path).c_str()) != 0;
  } catch (const std::bad_alloc&) {
    return false;
  }
}

bool current_directory(std::string& out) noexcept {
  try {
    return grow_into(out, [](char* buffer, DWORD size) {
      const DWORD n = ::GetCurrentDirectoryA(size, buffer);
      return n;
    });
  } catch (const std::bad_alloc&) {
    return false;
  }
}

bool short_path_name(std::string_view path, std::string& out) noexcept {
  try {
    if (path.empty() || has_zero(path)) return false;
    const std::string text(path);
    return grow_into(out, [&](char* buffer, DWORD size) {
      return ::GetShortPathNameA(text.c_str(), buffer, size);
    });
  } catch (const std::bad_alloc&) {
    return false;
  }
}

bool long_path_name(std::string_view path, std::string& out) noexcept {
  try {
    if (has_zero(path)) return false;
    const std::string text(path.empty() ? std::string_view(".") : path);
    std::string full;
    if (!grow_into(full, [&](char* buffer, DWORD size) {
          return ::GetFullPathNameA(text.c_str(), size, buffer, nullptr);
        })) {
      return false;
    }
    // The root ("C:\" or "\\server\share\") stays; each later component is looked up in turn.
    std::size_t root = 0;
    if (full.size() >= 2 && full[0] == '\\' && full[1] == '\\') {
      root = 2;
      for (int separators = 0; root < full.size() && separators < 2; ++root) {
        if (full[root] == '\\') ++separators;
      }
    } else if (full.size() >= 3 && full[1] == ':' && full[2] == '\\') {
      root = 3;
    }
    out.assign(full, 0, root);
    std::size_t start = root;
    bool found_so_far = true;
    while (start < full.size()) {
      std::size_t end = full.find('\\', start);
      if (end == std::string::npos) end = full.size();
      const std::string component = full.substr(start, end - start);
      const std::string prefix = out + component;
      WIN32_FIND_DATAA data{};
      const HANDLE found = found_so_far && component.find_first_of("*?") == std::string::npos
                               ? ::FindFirstFileA(prefix.c_str(), &data)
                               : INVALID_HANDLE_VALUE;
      if (found != INVALID_HANDLE_VALUE) {
        ::FindClose(found);
        out.append(data.cFileName);
      } else {
        found_so_far = false;
        out.append(component);
      }
      if (end < full.size()) out += '\\';
      start = end + 1;
    }
    return true;
  } catch (const std::bad_alloc&) {
    return false;
  }
}

}  // namespace kes::platform
