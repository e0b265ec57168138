// A folder of its own for one test, removed with everything in it at the end of the test.
//
// State: none beyond each object.
#pragma once

#include <chrono>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <string_view>

namespace kes::test {

class TempFolder {
 public:
  // Made in `parent`, the temporary folder unless given.
  explicit TempFolder(std::string_view name,
                      std::filesystem::path parent = std::filesystem::temp_directory_path()) {
    std::random_device seed;
    path_ = parent / (std::string("kes_") + std::string(name) + "_" + std::to_string(seed()));
    std::filesystem::create_directories(path_);
  }
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;
  ~TempFolder() {
    std::error_code ignored;
    std::filesystem::permissions(path_, std::filesystem::perms::owner_all,
                                 std::filesystem::perm_options::add, ignored);
    std::filesystem::remove_all(path_, ignored);
  }

  // The path of `name` in the folder.
  std::string file(std::string_view name) const { return (path_ / name).string(); }
  std::string path() const { return path_.string(); }

  // Writes `text` to `name` in the folder, byte for byte; returns its path.
  std::string write(std::string_view name, std::string_view text) const {
    const std::string where = file(name);
    std::ofstream(where, std::ios::binary) << text;
    return where;
  }

  // Sets the last write of `name` in the folder to a local time.
  void set_written(std::string_view name, int year, int month, int day, int hour, int minute,
                   int second) const {
    std::tm local{};
    local.tm_year = year - 1900, local.tm_mon = month - 1, local.tm_mday = day;
    local.tm_hour = hour, local.tm_min = minute, local.tm_sec = second, local.tm_isdst = -1;
    std::filesystem::last_write_time(
        file(name), std::chrono::file_clock::from_sys(
                        std::chrono::system_clock::from_time_t(std::mktime(&local))));
  }

  // The whole content of `name`, empty when it cannot be read.
  std::string read(std::string_view name) const {
    std::ifstream in(file(name), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }

 private:
  std::filesystem::path path_;
};

}  // namespace kes::test
