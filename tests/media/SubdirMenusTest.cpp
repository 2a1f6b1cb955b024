// SCANsubdirMENUS and ExtractUnterverzeichnis: folder keys and folder paths.
#include "MediaTestSupport.h"

namespace {

using mediatest::MediaTest;
using Entries = std::vector<std::string>;

class SubdirMenusTest : public MediaTest {
 protected:
  // An unsorted source list, filled in the given order.
  void scan(const Entries& sourceEntries) {
    for (const std::string& e : sourceEntries) source.AddItem(e);
    form->SCANsubdirMENUS(source);
  }
  Entries keys() const { return entries(form->ListSUBDIRS); }
  Entries paths() const { return entries(form->ListVerz); }

  platform::ListBox source{"Quelle", {0, 0, 1000, 1000}, 0};
};

struct ExtractRow {
  const char* path;
  const char* folder;
};

TEST_F(MediaTest, ExtractUnterverzeichnisNamesTheHoldingFolder) {
  const ExtractRow rows[] = {
      {"C:\\Musik\\Rock\\song.mp3", "Rock"},
      {"C:\\Musik\\Rock\\", "Musik"},  // a final "\" names the item Rock in C:\Musik
      {"C:\\Musik\\song.mp3", "Musik"},
      {"C:\\song.mp3", "C:\\"},  // directly in a root: the root itself
      {"C:\\Musik\\", "C:\\"},
      {"\\song.mp3", "\\"},  // the root of the current drive
      {"\\Musik\\song.mp3", "Musik"},
      {"Musik\\song.mp3", "Musik"},
      {"ab\\song.mp3", "ab"},  // a short relative folder keeps no backslash
      {"a\\song.mp3", "a"},
      {"x\\ab\\song.mp3", "ab"},
      {"\\\\server\\share\\song.mp3", "share"},
      {"C:\\M\xC3\xBCsik\\\xC3\x84\\s.mp3", "\xC3\x84"},
      {"song.mp3", ""},
      {"s", ""},
      {"", ""},
      {"C:", ""},
      {"C:\\", ""},  // its only backslash is the final character
      {"\\", ""},
      {"\\\\x", ""},  // two backslashes and no name between them
  };
  for (const ExtractRow& row : rows) {
    EXPECT_EQ(form->ExtractUnterverzeichnis(row.path), row.folder) << row.path;
  }
}

TEST_F(SubdirMenusTest, AFileGivesTheKeyOfItsFolderAndTheFolderPath) {
  scan({"C:\\Musik\\Rock\\song.mp3"});
  EXPECT_EQ(keys(), Entries{"\\ROCK"});
  EXPECT_EQ(paths(), Entries{"C:\\Musik\\Rock"});
}

TEST_F(SubdirMenusTest, TheFirstEntryWithAKeyDecidesItsPath) {
  scan({"C:\\A\\Rock\\x.mp3", "D:\\B\\rock\\y.mp3", "C:\\A\\Rock\\z.mp3", "E:\\ROCK\\w.mp3"});
  EXPECT_EQ(keys(), Entries{"\\ROCK"});
  EXPECT_EQ(paths(), Entries{"C:\\A\\Rock"});
}

TEST_F(SubdirMenusTest, KeysAndPathsAreSortedEachByItself) {
  scan({"C:\\A\\Rock\\x.mp3", "C:\\Z\\Jazz\\y.mp3", "C:\\M\\blues\\z.mp3"});
  EXPECT_EQ(keys(), (Entries{"\\BLUES", "\\JAZZ", "\\ROCK"}));
  EXPECT_EQ(paths(), (Entries{"C:\\A\\Rock", "C:\\M\\blues", "C:\\Z\\Jazz"}));
  // Not index-aligned: \JAZZ stands at 1, its path C:\Z\Jazz at 2.
  EXPECT_EQ(form->ListSUBDIRS.List(1), "\\JAZZ");
  EXPECT_EQ(form->ListVerz.List(2), "C:\\Z\\Jazz");
}

TEST_F(SubdirMenusTest, AFileInARootGivesTheRootAsKeyAndTheDriveAsPath) {
  scan({"C:\\song.mp3", "C:\\other.mp3", "D:\\song.mp3"});
  EXPECT_EQ(keys(), (Entries{"\\C:\\", "\\D:\\"}));
  EXPECT_EQ(paths(), (Entries{"C:", "D:"}));
}

TEST_F(SubdirMenusTest, ATrailingBackslashNamesTheItemInsideTheFolder) {
  scan({"C:\\Musik\\Rock\\"});
  EXPECT_EQ(keys(), Entries{"\\MUSIK"});
  EXPECT_EQ(paths(), Entries{"C:\\Musik"});
}

TEST_F(SubdirMenusTest, RelativePathsKeepTheirFolder) {
  scan({"Musik\\song.mp3", "ab\\x.mp3", "C:\\Daten\\AB\\y.mp3"});
  EXPECT_EQ(keys(), (Entries{"\\AB", "\\MUSIK"}));
  EXPECT_EQ(paths(), (Entries{"ab", "Musik"}));
}

TEST_F(SubdirMenusTest, EntriesWithoutAFolderAreSkipped) {
  scan({"song.mp3", "s", "", "C:\\", "\\", "C:\\Musik\\Pop\\a.mp3"});
  EXPECT_EQ(keys(), Entries{"\\POP"});
  EXPECT_EQ(paths(), Entries{"C:\\Musik\\Pop"});
}

TEST_F(SubdirMenusTest, KeysAreUpperCaseOverAllOfUnicode) {
  scan({"C:\\x\\\xC3\xA4pfel\\a.mp3", "D:\\y\\\xC3\x84PFEL\\b.mp3"});
  EXPECT_EQ(keys(), Entries{"\\\xC3\x84PFEL"});
  EXPECT_EQ(paths(), Entries{"C:\\x\\\xC3\xA4pfel"});
}

TEST_F(SubdirMenusTest, EachCallClearsBothListsFirst) {
  scan({"C:\\A\\Rock\\x.mp3"});
  source.Clear();
  scan({"C:\\B\\Jazz\\x.mp3"});
  EXPECT_EQ(keys(), Entries{"\\JAZZ"});
  EXPECT_EQ(paths(), Entries{"C:\\B\\Jazz"});
  source.Clear();
  scan({});
  EXPECT_TRUE(keys().empty());
  EXPECT_TRUE(paths().empty());
}

TEST_F(SubdirMenusTest, TheSourceListIsOnlyRead) {
  scan({"C:\\A\\Rock\\x.mp3", "song.mp3"});
  EXPECT_EQ(entries(source), (Entries{"C:\\A\\Rock\\x.mp3", "song.mp3"}));
}

TEST_F(SubdirMenusTest, ListSubdirsOrListVerzAsTheSourceLeavesBothEmpty) {
  scan({"C:\\A\\Rock\\x.mp3", "C:\\B\\Jazz\\y.mp3"});
  ASSERT_EQ(form->ListSUBDIRS.ListCount(), 2);
  form->SCANsubdirMENUS(form->ListSUBDIRS);
  EXPECT_TRUE(keys().empty());
  EXPECT_TRUE(paths().empty());

  form->SCANsubdirMENUS(source);
  ASSERT_EQ(form->ListVerz.ListCount(), 2);
  form->SCANsubdirMENUS(form->ListVerz);
  EXPECT_TRUE(keys().empty());
  EXPECT_TRUE(paths().empty());
}

TEST_F(SubdirMenusTest, ASortedSourceIsReadInItsOwnOrder) {
  // ListVideos is sorted: D:\A\rock comes before E:\Z\Rock whatever the order of adding.
  form->ListVideos.AddItem("E:\\Z\\Rock\\a.mp3");
  form->ListVideos.AddItem("D:\\A\\rock\\b.mp3");
  form->SCANsubdirMENUS(form->ListVideos);
  EXPECT_EQ(keys(), Entries{"\\ROCK"});
  EXPECT_EQ(paths(), Entries{"D:\\A\\rock"});
}

TEST_F(SubdirMenusTest, ManyFoldersKeepOneKeyEach) {
  for (int i = 0; i < 3000; ++i) {
    const std::string n = std::to_string(i % 1000);
    source.AddItem("C:\\L" + std::to_string(i) + "\\Ordner" + n + "\\f.mp3");
  }
  form->SCANsubdirMENUS(source);
  ASSERT_EQ(form->ListSUBDIRS.ListCount(), 1000);
  ASSERT_EQ(form->ListVerz.ListCount(), 1000);
  // Each path is the one of the first entry with that folder name (i < 1000).
  for (const std::string& p : paths()) {
    const size_t l = p.find("\\L") + 2;
    EXPECT_LT(std::stoi(p.substr(l, p.find('\\', l) - l)), 1000) << p;
  }
}

}  // namespace
