// The drive, directory and file lists over real folders, and the file patterns.
#include <gtest/gtest.h>

#include "platform/controls/FileControls.h"
#include "platform/drives/Drives.h"
#include "support/TestSupport.h"

namespace {

using Entries = std::vector<std::string>;

TEST(FileControlsTest, DirListNamesItsOwnPathAtMinusOneAndLeavesOutAnotherDrivesMount) {
  testsupport::TempDir root;
  root.file("sub/x.txt");
  platform::setSystemDrives(platform::DriveTable::fromDrives(
      {{'C', root.path().string(), platform::DRIVE_FIXED, "ext4", "x"},
       {'D', root.dir("cd").string(), platform::DRIVE_CDROM, "iso9660", "x"}}));
  platform::DriveListBox drive("Drive1", {0, 0, 100, 100}, 0);
  platform::DirListBox dir("Dir1", {0, 0, 100, 100}, 1);
  drive.setDrive("d:");
  drive.setDrive("c:\\egal");  // only the first two characters count
  EXPECT_EQ(drive.Drive(), "C:");
  dir.setPath("C:\\");
  EXPECT_EQ(dir.List(-1), "C:\\");
  EXPECT_EQ(dir.ListIndex(), -1);
  // C:\cd is where drive D: is mounted: not a folder of drive C:.
  EXPECT_EQ(dir.ListCount(), 1);
  EXPECT_EQ(dir.List(0), "C:\\sub");
  platform::setSystemDrives(platform::DriveTable{});
}

struct PatternRow {
  const char* name;
  const char* patterns;
  bool matches;
};

TEST(FilePatternTest, SeveralPatternsSeparatedBySemicolonsIgnoringCase) {
  const PatternRow rows[] = {
      {"film.avi", "*.avi;*.mpg;*.dat;*.dib", true},
      {"FILM.AVI", "*.avi;*.mpg;*.dat;*.dib", true},
      {"clip.Mpg", "*.avi;*.mpg;*.dat;*.dib", true},
      {"bild.DIB", "*.avi;*.mpg;*.dat;*.dib", true},
      {"x.dat", "*.avi;*.mpg;*.dat;*.dib", true},
      {".dat", "*.avi;*.mpg;*.dat;*.dib", true},
      {"film.avi.txt", "*.avi;*.mpg;*.dat;*.dib", false},
      {"film.avix", "*.avi;*.mpg;*.dat;*.dib", false},
      {"filmavi", "*.avi;*.mpg;*.dat;*.dib", false},
      {"avi", "*.avi;*.mpg;*.dat;*.dib", false},
      {"liste.txt", "*.txt", true},
      {"LISTE.TXT", "*.txt", true},
      {"liste.txt.bak", "*.txt", false},
      {"\xC3\x84RZTE.TXT", "\xC3\xA4*.txt", true},  // umlauts ignore case too
      {"a.avi", "*.mpg; *.avi ", true},             // blanks around a pattern
      {"a.avi", "*.mpg;;*.avi;", true},             // empty patterns in between
      {"a.avi", "", false},
      {"a.b", "?.?", true},
      {"ab.b", "?.?", false},
      {"ohne", "*.*", true},  // "*.*" matches a name without a dot too
      {"ohne", "*.avi;*.*", true},
      {"x.avi", "x*", true},
  };
  for (const PatternRow& row : rows) {
    EXPECT_EQ(platform::matchesPattern(row.name, row.patterns), row.matches)
        << row.name << " / " << row.patterns;
  }
}

}  // namespace
