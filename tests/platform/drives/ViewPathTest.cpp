// Paths as the lists show them: their normal form for paths of every length (the
// scans go eight bytes at a time). Their host paths are in DrivesTest.
#include "platform/drives/ViewPath.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace platform;

namespace {

TEST(ViewPaths, NormalFormWhateverThePathsLength) {
  const std::string deep = "C:\\" + std::string(40, 'd') + "\\e";
  struct Case {
    std::string in;
    std::string out;
  };
  const std::vector<Case> cases = {
      {"C:\\", "C:\\"},
      {"C:\\a\\b", "C:\\a\\b"},
      {"c:/a//b/", "C:\\a\\b"},
      {"C:\\a\\.\\b\\..\\c", "C:\\a\\c"},
      {"C:\\.versteckt\\x", "C:\\.versteckt\\x"},  // a name that begins with a dot
      {"C:\\a\\..b\\c.", "C:\\a\\..b\\c."},
      {"C:\\abcdefg\\..\\h", "C:\\h"},  // ".." across an eight-byte step
      {"C:\\abcdefgh\\\\ij", "C:\\abcdefgh\\ij"},
      {deep + "\\..", "C:\\" + std::string(40, 'd')},
      {deep + "/f", deep + "\\f"},
      {deep, deep},
  };
  for (const Case& c : cases) EXPECT_EQ(normalizeViewPath(c.in, "C:\\"), c.out) << c.in;
}

TEST(ViewPaths, APathThatSharesTheListsOwnIsStillNormalizedWhereTheyDiffer) {
  // Only what follows the shared start is looked at: a "." or ".." name that ends
  // right after it must still be found.
  struct Case {
    std::string in;
    std::string base;
    std::string out;
  };
  const std::vector<Case> cases = {
      {"C:\\a\\.", "C:\\a\\.x", "C:\\a"},     {"C:\\a\\..", "C:\\a\\..x", "C:\\"},
      {"C:\\abc\\..", "C:\\abc\\.x", "C:\\"}, {"C:\\a\\b\\", "C:\\a\\b", "C:\\a\\b"},
      {"C:\\a\\\\b", "C:\\a\\b", "C:\\a\\b"}, {"C:\\a\\b/c", "C:\\a\\b", "C:\\a\\b\\c"},
      {"c:\\a\\b", "C:\\a\\b", "C:\\a\\b"},   {"C:\\a\\b\\.c", "C:\\a\\b", "C:\\a\\b\\.c"},
  };
  for (const Case& c : cases) EXPECT_EQ(normalizeViewPath(c.in, c.base), c.out) << c.in;
}

}  // namespace
