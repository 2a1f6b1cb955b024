// ParentPath, FindListEntry and FindInList.
#include <limits>

#include "MediaTestSupport.h"
#include "media/standards.h"
#include "platform/controls/Control.h"

namespace {

using media::FindInList;
using media::FindListEntry;
using media::ParentPath;
using mediatest::MediaTest;

struct ParentRow {
  const char* path;
  const char* parent;
};

TEST(ParentPathTest, CutsBackToTheLastBackslashBeforeTheFinalCharacter) {
  const ParentRow rows[] = {
      {"", ""},
      {"C", ""},
      {"\\", ""},
      {"C:", ""},
      {"C:\\", ""},  // the only backslash is the final character
      {"C:\\song.mp3", "C:\\"},
      {"C:\\Musik\\", "C:\\"},
      {"C:\\Musik\\Rock\\song.mp3", "C:\\Musik\\Rock\\"},
      {"C:\\Musik\\Rock\\\\", "C:\\Musik\\Rock\\"},
      {"song.mp3", ""},
      {"Musik\\song.mp3", "Musik\\"},
      {"\\song.mp3", "\\"},
      {"\\\\", "\\"},
      {"a\\b", "a\\"},
      {"C:\\M\xC3\xBCsik\\\xC3\xA4", "C:\\M\xC3\xBCsik\\"},  // a final two-byte character
      {"C:\\\xC3\xA4\\", "C:\\"},
  };
  for (const ParentRow& row : rows) {
    const std::string path = row.path;
    EXPECT_EQ(ParentPath(path), row.parent) << row.path;
    EXPECT_EQ(path, row.path);  // not changed
  }
}

class FindTest : public MediaTest {
 protected:
  platform::ListBox list{"Liste", {0, 0, 1000, 1000}, 0};
  platform::ComboBox combo{"Kombi", {0, 0, 1000, 300}, 1};
};

TEST_F(FindTest, FindInListIsAPrefixSearchIgnoringCase) {
  list.AddItem("ABCD");
  list.AddItem("XYZ");
  EXPECT_EQ(FindInList(list, "abc"), 0);
  EXPECT_EQ(FindInList(list, "ABCD"), 0);
  EXPECT_EQ(FindInList(list, "xYz"), 1);
  EXPECT_EQ(FindInList(list, "BCD"), -1);    // inside, not at the start
  EXPECT_EQ(FindInList(list, "ABCDE"), -1);  // longer than the entry
  if (!testsupport::runningUnderWine()) {    // wine's list box finds nothing for ""
    EXPECT_EQ(FindInList(list, ""), 0);      // every entry begins with the empty text
  }
}

TEST_F(FindTest, FindInListOnAnEmptyListGivesMinusOne) {
  EXPECT_EQ(FindInList(list, "abc"), -1);
  EXPECT_EQ(FindInList(list, ""), -1);
}

TEST_F(FindTest, FindInListGivesTheFirstMatchOfTheWholeList) {
  list.AddItem("mv=b");
  list.AddItem("mv=a");
  list.AddItem("MV=a");
  EXPECT_EQ(FindInList(list, "MV="), 0);
  EXPECT_EQ(FindInList(list, "mv=A"), 1);
}

TEST_F(FindTest, FindInListComparesUmlautsWithoutRegardToCase) {
  if (testsupport::runningUnderWine())
    GTEST_SKIP() << "wine's list box ignores the case of ASCII letters only";
  list.AddItem("!media-audio=c:\\\xC3\xA4rzte");                     // ä
  EXPECT_EQ(FindInList(list, "!MEDIA-AUDIO=C:\\\xC3\x84"), 0);       // Ä
  EXPECT_EQ(FindInList(list, "!media-audio=c:\\\xE2\x82\xAC"), -1);  // €
}

TEST_F(FindTest, FindInListSendsTheTextInWindows1252) {
  // "€" is byte 0x80 in Windows-1252 and comes back as "€"; a character that the
  // code page lacks is sent as "?" and then matches only a "?".
  list.AddItem("\xE2\x82\xAC 5");
  list.AddItem("? 7");
  EXPECT_EQ(FindInList(list, "\xE2\x82\xAC"), 0);
  EXPECT_EQ(FindInList(list, "\xE2\x84\xA2"), -1);  // ™ exists in Windows-1252; not listed
  EXPECT_EQ(FindInList(list, "\xCE\xA9 7"), 1);     // Ω is not in Windows-1252
}

TEST_F(FindTest, FindInListNeverReportsAMatchBeyond32767AsMissing) {
  // Index 65535 narrowed plainly to 16 bits would read -1.
  for (int i = 0; i < 65535; ++i) list.AddItem("x");
  list.AddItem("ziel");
  list.AddItem("y");
  EXPECT_EQ(FindInList(list, "ziel"), std::numeric_limits<int16_t>::max());
  EXPECT_EQ(FindInList(list, "y"), std::numeric_limits<int16_t>::max());
  EXPECT_EQ(FindInList(list, "x"), 0);
  EXPECT_EQ(FindInList(list, "fehlt"), -1);
}

TEST_F(FindTest, FindListEntryExactFindsTheWholeEntryOnly) {
  list.AddItem("xyz");
  list.AddItem("abcd");
  EXPECT_EQ(FindListEntry(list, "ABCD", -1, true), 1);
  EXPECT_EQ(FindListEntry(list, "ABC", -1, true), -1);
  EXPECT_EQ(FindListEntry(list, "ABC", -1, false), 1);
}

TEST_F(FindTest, FindListEntryStartsAfterTheStartIndexAndWraps) {
  for (const char* e : {"rot", "gelb", "Rot", "blau", "ROT"}) list.AddItem(e);
  EXPECT_EQ(FindListEntry(list, "rot", -1, false), 0);
  EXPECT_EQ(FindListEntry(list, "rot", 0, false), 2);
  EXPECT_EQ(FindListEntry(list, "rot", 2, true), 4);
  EXPECT_EQ(FindListEntry(list, "rot", 4, false), 0);           // wrapped to the top
  EXPECT_EQ(FindListEntry(list, "gelb", 1, true), 1);           // the start entry comes last
  EXPECT_EQ(FindListEntry(list, "gr\xC3\xBCn", 3, false), -1);  // one round, then none
}

TEST_F(FindTest, FindListEntryWorksOnComboBoxes) {
  combo.AddItem("Jazz");
  combo.AddItem("Rock");
  combo.AddItem("Rockabilly");
  EXPECT_EQ(FindListEntry(combo, "ROCK", -1, false), 1);
  EXPECT_EQ(FindListEntry(combo, "ROCK", 1, false), 2);
  EXPECT_EQ(FindListEntry(combo, "rockabilly", -1, true), 2);
  EXPECT_EQ(FindListEntry(combo, "rockab", -1, true), -1);
  EXPECT_EQ(FindListEntry(combo, "Pop", -1, false), -1);
}

TEST_F(FindTest, FindListEntryOnAnyOtherKindOfControlGivesZero) {
  // File1 lists files and Label1 has a caption, yet neither is searched.
  rootC.file("abc.avi");
  form->File1.setPath("C:\\");
  ASSERT_EQ(form->File1.ListCount(), 1);
  const platform::Control* others[] = {&form->Label1, &form->File1, &form->Dir1, &form->Drive1};
  for (const platform::Control* control : others) {
    EXPECT_EQ(FindListEntry(*control, "abc", -1, false), 0) << control->name();
    EXPECT_EQ(FindListEntry(*control, "zzz", -1, true), 0) << control->name();
  }
  platform::CommandButton button("Knopf", {0, 0, 10, 10}, 0, "abc");
  platform::PictureBox picture("Bild", {0, 0, 10, 10}, 1);
  EXPECT_EQ(FindListEntry(button, "abc", -1, false), 0);
  EXPECT_EQ(FindListEntry(picture, "", -1, true), 0);
}

}  // namespace
