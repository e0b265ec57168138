// Reading files in pieces, and the error numbers of opening them.
#include "platform/profile/settings_file.h"

#include <fstream>
#include <string>

#include <gtest/gtest.h>

namespace kes::platform {
namespace {

TEST(FileReaderOpen, ReportsErrorNumbers) {
  FileReader reader;
  const std::string dir = testing::TempDir();
  EXPECT_EQ(reader.open(dir + "kes_settings_absent.env"), kFileNotFound);
  EXPECT_EQ(reader.open(""), kFileNotFound);
  EXPECT_EQ(reader.open(std::string(5000, 'a')), kFileNotFound);
  EXPECT_EQ(reader.open(std::string_view("a\0b", 3)), kFileNotFound);
  EXPECT_EQ(reader.open(dir), kFileAccessDenied);
  char buffer[4];
  EXPECT_EQ(reader.read(buffer), 0U);  // not open
}

TEST(FileReaderRead, ReadsTheWholeFileInPieces) {
  const std::string path = testing::TempDir() + "kes_settings_pieces.env";
  std::string text;
  for (int i = 0; i < 1000; ++i)
    text += static_cast<char>(i % 256);
  std::ofstream(path, std::ios::binary) << text;
  FileReader reader;
  ASSERT_EQ(reader.open(path), kFileOpened);
  std::string read;
  char piece[7];
  for (std::size_t n; (n = reader.read(piece)) != 0;)
    read.append(piece, n);
  EXPECT_EQ(read, text);
  EXPECT_EQ(reader.read(piece), 0U);
  reader.close();
  EXPECT_EQ(reader.read(piece), 0U);
}

}  // namespace
}  // namespace kes::platform
