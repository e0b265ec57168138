// Profile texts: lookups, and edits that keep every byte they do not concern; reading files in
// pieces, and the error numbers of opening them.
#include <fstream>
#include <optional>
#include <string>

#include <gtest/gtest.h>

#include "platform/profile/profile_text.h"
#include "platform/profile/settings_file.h"

namespace kes::platform {
namespace {

constexpr const char* kProfile =
    "; comment line\r\n"
    "[Windows]\r\n"
    "iTime=5\r\n"
    "[ intl ]\r\n"
    "  iTime = 1  \r\n"
    "sTime=.\r\n"
    "s1159=\"am \"\r\n"
    "sShortDate=dd/MM/yyyy\n"
    "Empty=\n"
    "; s2359=XX\n"
    "NoEquals\n"
    "a=b=c\r"
    "[Other]\n"
    "sTime=-\n"
    "sTime=second\n"
    "[Broken\n"
    "Lost=1\n"
    "[INTL] trailing text\n"
    "sLongDate=dddd d MMMM yyyy\n"
    "iTime=9";  // no final line end

struct FindCase {
  const char* name;
  std::string_view section;
  std::string_view key;
  std::optional<std::string_view> value;
};

TEST(ProfileTextFind, FindsEntriesBySectionWithoutRegardToCase) {
  ProfileText text;
  ASSERT_TRUE(text.assign(kProfile));
  const FindCase cases[] = {
      {"BlanksAroundNamesAndValuesDropped", "intl", "iTime", "1"},
      {"QuotesRemoved", "Intl", "s1159", "am "},
      {"CommentedOut", "intl", "s2359", std::nullopt},
      {"LineWithoutEquals", "intl", "NoEquals", std::nullopt},
      {"LoneCarriageReturnEndsALine", "other", "sTime", "-"},
      {"FirstOfTwoWins", "other", "sTime", "-"},
      {"SectionSeenTwice", "intl", "sLongDate", "dddd d MMMM yyyy"},
      {"HeaderWithoutBracketMatchesNothing", "Broken", "Lost", std::nullopt},
      {"NamesTrimmedWhenAsked", " intl ", " sTime ", "."},
  };
  for (const FindCase& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(text.find(c.section, c.key), c.value);
  }
}

enum class Op { Set, EraseEntry, EraseSection };
struct EditCase {
  const char* name;
  std::string_view before;
  Op op;
  std::string_view section;
  std::string_view key;
  std::string_view value;
  ProfileText::Edit result;
  std::string_view after;
};

TEST(ProfileTextEdit, ChangesOnlyWhatItConcerns) {
  using E = ProfileText::Edit;
  const EditCase cases[] = {
      {"ReplaceKeepsSpacingAndComments", "; c\r\n[A]\r\nx = 1  \r\n;tail\r\n", Op::Set, "a", "X",
       "22", E::Changed, "; c\r\n[A]\r\nx = 22\r\n;tail\r\n"},
      {"SameValueIsNoChange", "[A]\nx=1\n", Op::Set, "A", "x", "1", E::Unchanged, "[A]\nx=1\n"},
      {"NewEntryAfterLastEntry", "[A]\nx=1\n\n; next\n[B]\n", Op::Set, "A", "y", "2", E::Changed,
       "[A]\nx=1\ny=2\n\n; next\n[B]\n"},
      {"NewEntryWithoutFinalLineEnd", "[A]\nx=1", Op::Set, "A", "y", "2", E::Changed,
       "[A]\nx=1\ny=2"},
      {"NewSectionAfterBlankLine", "[A]\r\nx=1\r\n", Op::Set, "B", "y", "2", E::Changed,
       "[A]\r\nx=1\r\n\r\n[B]\r\ny=2\r\n"},
      {"NewSectionInEmptyText", "", Op::Set, "B", "y", "", E::Changed, "[B]\r\ny=\r\n"},
      {"TrailingBlanksWritten", "[A]\n", Op::Set, "A", "s", "ab  ", E::Changed, "[A]\ns=ab  \n"},
      {"EraseEntryInEverySectionOfTheName", "[A]\nx=1\ny=2\n[a]\nX=3\n", Op::EraseEntry, "A", "x",
       "", E::Changed, "[A]\ny=2\n[a]\n"},
      {"EraseAbsentEntry", "[A]\nx=1\n", Op::EraseEntry, "A", "z", "", E::Unchanged, "[A]\nx=1\n"},
      {"EraseSectionKeepsOthers", ";top\n[A]\nx=1\n[B]\ny=2\n[A]\nz=3", Op::EraseSection, "a", "",
       "", E::Changed, ";top\n[B]\ny=2\n"},
      {"RefusedEqualsInKey", "[A]\n", Op::Set, "A", "k=v", "1", E::Refused, "[A]\n"},
      {"RefusedBracketInSection", "[A]\n", Op::Set, "A]B", "k", "1", E::Refused, "[A]\n"},
      {"RefusedLineBreakInValue", "[A]\n", Op::Set, "A", "k", "1\n[B]", E::Refused, "[A]\n"},
      {"RefusedCommentKey", "[A]\n", Op::Set, "A", ";k", "1", E::Refused, "[A]\n"},
  };
  for (const EditCase& c : cases) {
    SCOPED_TRACE(c.name);
    ProfileText text;
    ASSERT_TRUE(text.assign(c.before));
    const ProfileText::Edit result = c.op == Op::Set          ? text.set(c.section, c.key, c.value)
                                     : c.op == Op::EraseEntry ? text.erase_entry(c.section, c.key)
                                                              : text.erase_section(c.section);
    EXPECT_EQ(result, c.result);
    EXPECT_EQ(text.bytes(), c.after);
  }
}

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
