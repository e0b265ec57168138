// The attribute filters of the two lists, the DOS packing of times, and the records of files.
#include "services/command/directory_list.h"

#include <string>

#include <gtest/gtest.h>

namespace kes::services {
namespace {

struct FilterCase {
  const char* name;
  std::uint32_t attributes;
  std::uint8_t requested;
  bool long_list;
  bool dos_list;
};

TEST(DirectoryFilters, TakeFilesByTheirHiddenSystemAndDirectoryBits) {
  const FilterCase cases[] = {
      {"OrdinaryFileNothingAsked", 0x20, 0x00, true, true},
      {"ReadOnlyFileNothingAsked", 0x01, 0x00, true, true},
      {"DirectoryNothingAsked", 0x10, 0x00, false, false},
      {"HiddenNothingAsked", 0x02, 0x00, false, false},
      {"SystemNothingAsked", 0x04, 0x00, false, false},
      {"DirectoryAsked", 0x10, 0x10, true, true},
      {"OrdinaryFileDirectoryAsked", 0x00, 0x10, true, true},
      {"HiddenDirectoryDirectoryAsked", 0x12, 0x10, true, false},
      {"HiddenDirectoryBothAsked", 0x12, 0x12, true, true},
      {"HiddenFileDirectoryAsked", 0x02, 0x10, false, false},
      {"HiddenSystemHiddenAsked", 0x06, 0x02, true, false},
      {"ArchiveAskedIsNothingForTheLongList", 0x10, 0x20, false, false},
      {"ArchiveAskedTakesOrdinaryFiles", 0x20, 0x20, true, true},
      {"EverythingAsked", 0x37, 0xFF, true, true},
  };
  for (const FilterCase& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(long_list_takes(c.attributes, c.requested), c.long_list);
    EXPECT_EQ(dos_list_takes(c.attributes, c.requested), c.dos_list);
  }
}

struct DosTimeCase {
  const char* name;
  platform::FileTime time;
  std::uint16_t date;
  std::uint16_t packed;
};

TEST(DosTimes, PackToTwoSecondsWithinTheirYears) {
  const DosTimeCase cases[] = {
      {"OddSecondGoesDown",
       {2024, 3, 5, 10, 15, 7},
       (44 << 9) | (3 << 5) | 5,
       (10 << 11) | (15 << 5) | 3},
      {"FirstDay", {1980, 1, 1, 0, 0, 2}, (1 << 5) | 1, 1},
      {"LastDay", {2107, 12, 31, 12, 0, 59}, (127 << 9) | (12 << 5) | 31, (12 << 11) | 29},
      {"BeforeHeldAtFirst", {1979, 12, 31, 23, 59, 59}, (1 << 5) | 1, 0},
      {"AfterHeldAtLast",
       {2150, 6, 1, 12, 0, 0},
       (127 << 9) | (12 << 5) | 31,
       (23 << 11) | (59 << 5) | 29},
  };
  for (const DosTimeCase& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(dos_date(c.time), c.date);
    EXPECT_EQ(dos_time(c.time), c.packed);
  }
}

TEST(DirectoryRecords, LongRecordsCutNamesAndMaskAttributes) {
  // 5 March 2024 is serial day 81517; 10:15:07 is time 3690701; midnight is 0, "no time".
  platform::FoundFile file{std::string(300, 'n'), "", {2024, 3, 5, 10, 15, 7}, 0x1'0000'0005, 0x90};
  KesLongDirectoryRecord record;
  fill_long_record(file, record);
  EXPECT_EQ(std::string(record.name, 256), std::string(256, 'n'));
  EXPECT_EQ(std::string(record.short_name, 13), std::string(13, 'n'));
  EXPECT_EQ(std::int32_t{record.date}, 81517);
  EXPECT_EQ(std::int32_t{record.time}, 3690701);
  EXPECT_EQ(std::int32_t{record.size}, 5);  // the low 32 bits
  EXPECT_EQ(std::uint8_t{record.attributes}, 0x10);
  file.short_name = "NNNNNN~1";
  file.written = {2024, 3, 5, 0, 0, 0};
  fill_long_record(file, record);
  EXPECT_EQ(std::string(record.short_name, 13), "NNNNNN~1     ");
  EXPECT_EQ(std::int32_t{record.time}, 0);
}

}  // namespace
}  // namespace kes::services
