// Wildcard names as Windows searches match them.
#include "platform/dirs/dirs.h"

#include <gtest/gtest.h>

namespace kes::platform {
namespace {

struct MatchCase {
  const char* name;
  std::string_view pattern;
  std::string_view file;
  bool matches;
};

TEST(NameMatches, FollowsTheWindowsWildcards) {
  const MatchCase cases[] = {
      {"StarDotStarTakesNamesWithoutDot", "*.*", "README", true},
      {"ExtensionWithoutRegardToCase", "*.TXT", "notes.txt", true},
      {"QuestionIsOneCharacter", "a?c", "ABC", true},
      {"TrailingDotTakesNoExtension", "*.", "README", true},
      {"TrailingDotRefusesExtension", "*.", "a.txt", false},
      {"StarsBacktrack", "a*b*c", "aXbYbZc", true},
      {"StarsCannotSkipTheEnd", "a*b*c", "abcb", false},
      {"LiteralIsWhole", "Make", "Makefile", false},
  };
  for (const MatchCase& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(name_matches(c.pattern, c.file), c.matches);
  }
}

}  // namespace
}  // namespace kes::platform
