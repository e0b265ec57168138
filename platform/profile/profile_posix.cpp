// Profile files on POSIX hosts: our own reader and writer, a small cache of parsed files, and
// writes that replace the file atomically under a lock on it.
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <mutex>
#include <new>
#include <string>
#include <sys/file.h>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>

#include "platform/profile/profile.h"
#include "platform/profile/profile_text.h"

namespace kes::platform {

namespace {

constexpr std::string_view kDefaultProfile = "/etc/kestrel/win.ini";
constexpr std::size_t kMaxFileSize = 64u << 20;
constexpr std::size_t kCacheFiles = 4;
// A file written this close to the moment it was read may change again within the same tick of
// the file system's clock without its size or times showing it: its text is read again at the
// next look.
constexpr std::int64_t kRacyNanoseconds = 20'000'000;

std::int64_t wall_now() noexcept {
  timespec now{};
  ::clock_gettime(CLOCK_REALTIME, &now);
  return static_cast<std::int64_t>(now.tv_sec) * 1'000'000'000 + now.tv_nsec;
}

// What tells one version of a file from another without reading it.
struct Signature {
  dev_t device = 0;
  ino_t inode = 0;
  off_t size = 0;
  std::int64_t modified = 0;  // nanoseconds
  std::int64_t changed = 0;

  static Signature of(const struct stat& info) noexcept {
    Signature s;
    s.device = info.st_dev;
    s.inode = info.st_ino;
    s.size = info.st_size;
    s.modified =
        static_cast<std::int64_t>(info.st_mtim.tv_sec) * 1'000'000'000 + info.st_mtim.tv_nsec;
    s.changed =
        static_cast<std::int64_t>(info.st_ctim.tv_sec) * 1'000'000'000 + info.st_ctim.tv_nsec;
    return s;
  }
  bool operator==(const Signature&) const = default;
};

struct CachedFile {
  std::string path;
  Signature signature;
  ProfileText text;
  std::int64_t used = 0;  // for choosing the least recently used file to drop
  bool valid = false;     // `text` holds the file as `signature` describes it
  bool racy = false;
};

// Process-wide by design: the parsed files and the lock that guards them.
std::mutex g_cache_lock;
CachedFile g_cache[kCacheFiles];
std::int64_t g_use_clock = 0;

std::string host_profile_path() {
#ifdef KES_TESTING
  if (!system_profile_path_for_testing().empty()) {
    return std::string(system_profile_path_for_testing());
  }
#endif
  const char* variable = std::getenv("KESTREL_PROFILE");
  if (variable != nullptr && variable[0] != '\0') return variable;
  return std::string(kDefaultProfile);
}

// The path of a file as programs name it (see profile.h); empty when it cannot be formed.
std::string resolve(std::string_view file) {
  if (file.find('\0') != std::string_view::npos) return {};
  if (file.empty()) return host_profile_path();
  if (file.find('/') != std::string_view::npos) return std::string(file);
  std::string path = host_profile_path();
  const std::size_t slash = path.rfind('/');
  path.erase(slash == std::string::npos ? 0 : slash + 1);
  return path.append(file);
}

// Reads the rest of the file; false on a read error or past kMaxFileSize bytes.
bool read_all(int fd, std::size_t expected, std::string& out) {
  out.clear();
  out.reserve(expected < kMaxFileSize ? expected : kMaxFileSize);
  char chunk[65536];
  for (;;) {
    const ssize_t n = ::read(fd, chunk, sizeof chunk);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return false;
    if (n == 0) return true;
    if (out.size() + static_cast<std::size_t>(n) > kMaxFileSize) return false;
    out.append(chunk, static_cast<std::size_t>(n));
  }
}

bool write_all(int fd, std::string_view bytes) noexcept {
  while (!bytes.empty()) {
    const ssize_t n = ::write(fd, bytes.data(), bytes.size());
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    bytes.remove_prefix(static_cast<std::size_t>(n));
  }
  return true;
}

// The slot that holds or will hold `path`: its own, else an empty one, else the least recently
// used.
CachedFile& slot_for(const std::string& path) {
  CachedFile* slot = &g_cache[0];
  for (CachedFile& file : g_cache) {
    if (file.path == path) return file;
    if ((slot->valid && !file.valid) || (slot->valid == file.valid && file.used < slot->used)) {
      slot = &file;
    }
  }
  return *slot;
}

// The cached file for `path`, its size and times looked at on the disk at every call so that a
// change by any program shows at once; null when the file is absent, unreadable or too large.
// Call with the cache lock held.
CachedFile* cached(const std::string& path) {
  CachedFile* slot = &slot_for(path);
  if (!slot->valid || slot->path != path) slot = nullptr;
  struct stat info {};
  if (::stat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) {
    if (slot != nullptr) slot->valid = false;
    return nullptr;
  }
  if (slot != nullptr && !slot->racy && slot->signature == Signature::of(info)) {
    slot->used = ++g_use_clock;
    return slot;
  }
  if (slot == nullptr) slot = &slot_for(path);
  slot->valid = false;
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return nullptr;
  std::string bytes;
  const bool read = ::fstat(fd, &info) == 0 && S_ISREG(info.st_mode) &&
                    read_all(fd, static_cast<std::size_t>(info.st_size), bytes);
  ::close(fd);
  if (!read || !slot->text.assign(bytes)) return nullptr;
  slot->path = path;
  slot->signature = Signature::of(info);
  slot->racy = wall_now() - Signature::of(info).modified < kRacyNanoseconds;
  slot->used = ++g_use_clock;
  slot->valid = true;
  return slot;
}

// After a write by this process: the written file's new text. Every other cached file is
// looked at on the disk before its next use anyway (another name may reach the same file).
void remember_written(const std::string& path, const std::string& bytes) {
  std::lock_guard<std::mutex> hold(g_cache_lock);
  struct stat info {};
  if (::stat(path.c_str(), &info) != 0) return;
  CachedFile* slot = &slot_for(path);
  slot->valid = false;
  if (!slot->text.assign(bytes)) return;
  slot->path = path;
  slot->signature = Signature::of(info);
  slot->racy = wall_now() - slot->signature.modified < kRacyNanoseconds;
  slot->used = ++g_use_clock;
  slot->valid = true;
}

// An open file held under an exclusive lock, which is still the file at its path.
class LockedFile {
 public:
  LockedFile() noexcept = default;
  LockedFile(const LockedFile&) = delete;
  LockedFile& operator=(const LockedFile&) = delete;
  ~LockedFile() {
    if (fd_ >= 0) ::close(fd_);
  }

  enum class Open { Held, Absent, Failed };
  Open open(const std::string& path, bool create) noexcept {
    for (int attempt = 0; attempt < 1000; ++attempt) {
      created_ = false;
      fd_ = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
      if (fd_ < 0 && errno == ENOENT) {
        if (!create) return Open::Absent;
        fd_ = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_CREAT | O_EXCL, 0666);
        if (fd_ < 0 && errno == EEXIST) continue;
        created_ = fd_ >= 0;
      }
      if (fd_ < 0) return Open::Failed;
      int locked;
      do {
        locked = ::flock(fd_, LOCK_EX);
      } while (locked != 0 && errno == EINTR);
      struct stat at_path {};
      if (locked == 0 && ::fstat(fd_, &info_) == 0 && ::stat(path.c_str(), &at_path) == 0 &&
          at_path.st_dev == info_.st_dev && at_path.st_ino == info_.st_ino) {
        return S_ISREG(info_.st_mode) ? Open::Held : Open::Failed;
      }
      ::close(fd_);  // replaced or removed meanwhile: take the file that is there now
      fd_ = -1;
      if (locked != 0) return Open::Failed;
    }
    return Open::Failed;
  }

  int fd() const noexcept { return fd_; }
  const struct stat& info() const noexcept { return info_; }
  bool created() const noexcept { return created_; }

 private:
  int fd_ = -1;
  struct stat info_ {};
  bool created_ = false;
};

// Writes `bytes` to a new file beside `path` and renames it over `path`. Returns the new file,
// open and locked so that no other writer replaces it before its caller has looked at it, or -1
// (and `path` as it was).
int replace_file(const std::string& path, const struct stat& old, std::string_view bytes) {
  const std::size_t slash = path.rfind('/');
  const std::string directory = slash == std::string::npos ? "." : path.substr(0, slash + 1);
  std::string temporary = slash == std::string::npos ? std::string() : directory;
  temporary.append(".").append(path, slash == std::string::npos ? 0 : slash + 1).append(".XXXXXX");
  const int fd = ::mkostemp(temporary.data(), O_CLOEXEC);
  if (fd < 0) return -1;
  if (::fchown(fd, old.st_uid, old.st_gid) != 0) {
    // An ordinary user may keep only groups of their own; the mode below still applies.
  }
  const bool ok = ::fchmod(fd, old.st_mode & 07777) == 0 && ::flock(fd, LOCK_EX) == 0 &&
                  write_all(fd, bytes) && ::fsync(fd) == 0 &&
                  ::rename(temporary.c_str(), path.c_str()) == 0;
  if (!ok) {
    ::close(fd);
    ::unlink(temporary.c_str());
    return -1;
  }
  const int directory_fd = ::open(directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (directory_fd >= 0) {
    ::fsync(directory_fd);  // the rename itself reaches the disk
    ::close(directory_fd);
  }
  return fd;
}

bool write_profile(std::string path, std::string_view section, std::optional<std::string_view> key,
                   std::optional<std::string_view> value) {
  if (path.empty() || !ProfileText::storable_section(section)) return false;
  if (key && (!ProfileText::storable_key(*key) || (value && !ProfileText::storable_value(*value))))
    return false;
  struct stat link {};
  if (::lstat(path.c_str(), &link) == 0 && S_ISLNK(link.st_mode)) {
    char* target = ::realpath(path.c_str(), nullptr);
    if (target == nullptr) return false;
    path = target;
    std::free(target);
  }
  const bool creating = key.has_value() && value.has_value();
  LockedFile file;
  switch (file.open(path, creating)) {
    case LockedFile::Open::Held: break;
    case LockedFile::Open::Absent: return true;  // nothing to delete
    case LockedFile::Open::Failed: return false;
  }
  std::string bytes;
  ProfileText text;
  const bool ok = read_all(file.fd(), static_cast<std::size_t>(file.info().st_size), bytes) &&
                  text.assign(bytes);
  ProfileText::Edit edit = ProfileText::Edit::Refused;
  if (ok) {
    edit = !key     ? text.erase_section(section)
           : !value ? text.erase_entry(section, *key)
                    : text.set(section, *key, *value);
  }
  if (edit == ProfileText::Edit::Unchanged) return true;
  const int written =
      edit == ProfileText::Edit::Changed ? replace_file(path, file.info(), text.bytes()) : -1;
  if (written < 0) {
    if (file.created()) ::unlink(path.c_str());  // still ours: the lock is held
    return false;
  }
  remember_written(path, text.bytes());
  ::close(written);
  return true;
}

}  // namespace

std::size_t system_profile_path(std::span<char> out) noexcept {
  try {
    const std::string path = host_profile_path();
    if (path.size() > out.size()) return 0;
    std::memcpy(out.data(), path.data(), path.size());
    return path.size();
  } catch (const std::bad_alloc&) {
    return 0;
  }
}

std::optional<std::size_t> read_profile_string(std::string_view file, std::string_view section,
                                               std::string_view key, std::span<char> out) noexcept {
  try {
    const std::string path = resolve(file);
    if (path.empty()) return std::nullopt;
    std::lock_guard<std::mutex> hold(g_cache_lock);
    const CachedFile* found = cached(path);
    if (found == nullptr) return std::nullopt;
    const std::optional<std::string_view> value = found->text.find(section, key);
    if (!value) return std::nullopt;
    const std::size_t n = value->size() < out.size() ? value->size() : out.size();
    if (n != 0) std::memcpy(out.data(), value->data(), n);
    return n;
  } catch (const std::bad_alloc&) {
    return std::nullopt;
  } catch (const std::system_error&) {
    return std::nullopt;  // the cache lock could not be taken
  }
}

bool write_profile_string(std::string_view file, std::string_view section,
                          std::optional<std::string_view> key,
                          std::optional<std::string_view> value) noexcept {
  try {
    return write_profile(resolve(file), section, key, value);
  } catch (const std::bad_alloc&) {
    return false;
  } catch (const std::system_error&) {
    return false;
  }
}

}  // namespace kes::platform
