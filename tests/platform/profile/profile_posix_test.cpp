// The profile service on POSIX hosts: files read and written, bare and empty names, the cache
// against changes made by others, and writes that a kill, a full disk or another writer cannot
// spoil.
#include <chrono>
#include <filesystem>
#include <optional>
#include <random>
#include <sched.h>
#include <signal.h>
#include <string>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

#include <gtest/gtest.h>

#include "platform/profile/profile.h"
#include "platform/profile/profile_text.h"
#include "platform/profile/regional.h"
#include "tests/support/temp_folder.h"

namespace kes::platform {
namespace {

std::optional<std::string> read(std::string_view file, std::string_view section,
                                std::string_view key) {
  char out[1024];
  const std::optional<std::size_t> n = read_profile_string(file, section, key, out);
  return n ? std::optional<std::string>(std::string(out, *n)) : std::nullopt;
}

TEST(ProfileService, NamesFilesAndCreatesOnlyWhatItWrites) {
  test::TempFolder folder("profile_names");
  const std::string system = folder.write("win.ini", "[intl]\ns2359=pm\n");
  set_system_profile_path_for_testing(system);
  char value[8];
  const std::optional<std::size_t> m = read_regional_setting("s2359", value);
  ASSERT_TRUE(m.has_value());
  EXPECT_EQ(std::string(value, *m), "pm");
  EXPECT_FALSE(read_regional_setting("s1159", value).has_value());
  EXPECT_TRUE(write_profile_string("", "intl", "s1159", "am"));  // the system profile
  EXPECT_TRUE(write_profile_string("bare.ini", "S", "k", "v"));  // beside it
  EXPECT_EQ(folder.read("win.ini"), "[intl]\ns2359=pm\ns1159=am\n");
  EXPECT_EQ(folder.read("bare.ini"), "[S]\r\nk=v\r\n");
  EXPECT_TRUE(write_profile_string("none.ini", "S", std::nullopt, std::nullopt));
  EXPECT_FALSE(write_profile_string("new.ini", "S", "a=b", "1"));
  EXPECT_FALSE(std::filesystem::exists(folder.file("none.ini")));
  EXPECT_FALSE(std::filesystem::exists(folder.file("new.ini")));
  set_system_profile_path_for_testing("");
}

TEST(ProfileService, FollowsLinksAndKeepsPermissions) {
  test::TempFolder folder("profile_link");
  const std::string real = folder.write("real.ini", "[S]\nk=1\n");
  ::chmod(real.c_str(), 0640);
  std::filesystem::create_symlink(real, folder.file("link.ini"));
  EXPECT_TRUE(write_profile_string(folder.file("link.ini"), "S", "k", "2"));
  EXPECT_TRUE(std::filesystem::is_symlink(folder.file("link.ini")));
  EXPECT_EQ(folder.read("real.ini"), "[S]\nk=2\n");
  struct stat info {};
  ASSERT_EQ(::stat(real.c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 07777, 0640U);
  // Nothing is left beside the file.
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder.path()), {}), 2);
}

TEST(ProfileService, SeesChangesMadeByOthers) {
  test::TempFolder folder("profile_others");
  const std::string path = folder.write("o.ini", "[S]\nk=1\n");
  EXPECT_EQ(read(path, "S", "k"), "1");
  // Rewritten in place within the file system's clock tick, same size and same file.
  folder.write("o.ini", "[S]\nk=2\n");
  std::this_thread::sleep_for(std::chrono::milliseconds(3));
  EXPECT_EQ(read(path, "S", "k"), "2");
  std::filesystem::remove(path);
  std::this_thread::sleep_for(std::chrono::milliseconds(3));
  EXPECT_EQ(read(path, "S", "k"), std::nullopt);
}

TEST(ProfileWrite, KilledWriterLeavesAWholeFile) {
  test::TempFolder folder("profile_kill");
  const std::string path = folder.file("k.ini");
  const std::string filler(200, 'x');
  for (int i = 0; i < 300; ++i)
    ASSERT_TRUE(write_profile_string(path, "Seed", "Key" + std::to_string(i), filler));
  std::mt19937 random(7);
  for (int round = 0; round < 12; ++round) {
    const std::string section = "Round" + std::to_string(round);
    const pid_t child = ::fork();
    if (child == 0) {
      for (int n = 0;; ++n) {  // each entry, then the count that says it was written
        write_profile_string(path, section, "Key" + std::to_string(n), std::to_string(n));
        write_profile_string(path, section, "Count", std::to_string(n));
      }
    }
    std::this_thread::sleep_for(std::chrono::microseconds(2000 + random() % 20000));
    ::kill(child, SIGKILL);
    ::waitpid(child, nullptr, 0);
    SCOPED_TRACE(section);
    ProfileText text;
    ASSERT_TRUE(text.assign(folder.read("k.ini")));
    for (int i = 0; i < 300; ++i)
      ASSERT_EQ(text.find("Seed", "Key" + std::to_string(i)), filler);
    const std::optional<std::string_view> count = text.find(section, "Count");
    const int written = count ? std::stoi(std::string(*count)) : -1;
    for (int n = 0; n <= written; ++n)
      ASSERT_EQ(text.find(section, "Key" + std::to_string(n)), std::to_string(n));
  }
}

TEST(ProfileWrite, FullDiskLeavesTheOldFile) {
  test::TempFolder folder("profile_full");
  const std::string path = folder.file("f.ini");
  const std::string before = "[S]\nk=1\n";
  const pid_t child = ::fork();
  if (child == 0) {
    // A 64 KiB file system of the child's own; where mounting is not allowed, a file size limit
    // makes the write fail the same way.
    const bool mounted = ::unshare(CLONE_NEWNS) == 0 &&
                         ::mount("none", "/", nullptr, MS_REC | MS_PRIVATE, nullptr) == 0 &&
                         ::mount("tmpfs", folder.path().c_str(), "tmpfs", 0, "size=64k") == 0;
    folder.write("f.ini", before);
    if (mounted) {
      std::FILE* filler = std::fopen(folder.file("filler").c_str(), "wb");
      const std::string block(4096, 'f');
      while (filler != nullptr &&
             std::fwrite(block.data(), 1, block.size(), filler) == block.size() &&
             std::fflush(filler) == 0) {
      }
      if (filler != nullptr) std::fclose(filler);
    } else {
      ::signal(SIGXFSZ, SIG_IGN);
      const rlimit limit{64, 64};
      ::setrlimit(RLIMIT_FSIZE, &limit);
    }
    if (write_profile_string(path, "S", "big", std::string(1000, 'b'))) ::_exit(1);
    if (folder.read("f.ini") != before) ::_exit(2);
    for (const auto& entry : std::filesystem::directory_iterator(folder.path())) {
      const std::string name = entry.path().filename().string();
      if (name != "f.ini" && name != "filler") ::_exit(3);  // no temporary file left
    }
    ::_exit(0);
  }
  int status = 0;
  ::waitpid(child, &status, 0);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
}

TEST(ProfileWrite, WritersOfOneFileLoseNothing) {
  test::TempFolder folder("profile_writers");
  const std::string path = folder.write("w.ini", "; shared\n");
  constexpr int kEntries = 150;
  pid_t children[2];
  for (int who = 0; who < 2; ++who) {
    children[who] = ::fork();
    if (children[who] == 0) {
      const std::string prefix = who == 0 ? "A" : "B";
      for (int n = 0; n < kEntries; ++n) {
        if (!write_profile_string(path, n % 2 == 0 ? "Even" : "Odd", prefix + std::to_string(n),
                                  std::to_string(n))) {
          ::_exit(1);
        }
      }
      ::_exit(0);
    }
  }
  for (pid_t child : children) {
    int status = 0;
    ::waitpid(child, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  }
  ProfileText text;
  ASSERT_TRUE(text.assign(folder.read("w.ini")));
  for (int n = 0; n < kEntries; ++n) {
    for (const char* prefix : {"A", "B"}) {
      EXPECT_EQ(text.find(n % 2 == 0 ? "Even" : "Odd", prefix + std::to_string(n)),
                std::to_string(n));
    }
  }
  EXPECT_EQ(text.bytes().substr(0, 9), "; shared\n");
}

}  // namespace
}  // namespace kes::platform
