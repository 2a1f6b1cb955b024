// GETmediaDIRECTORIES: the drive scan followed by the media list file.
#include <stdexcept>

#include "MediaTestSupport.h"
#include "platform/Error.h"
#include "platform/runtime/FileHandles.h"
#include "platform/runtime/Runtime.h"

namespace {

using mediatest::MediaTest;
using Entries = std::vector<std::string>;

TEST_F(MediaTest, DriveEntriesComeDriveByDriveThenTheFileLinesInFileOrder) {
  rootC.dir("!media-video-C");
  rootD.dir("!media-audio-D");
  writeMediaList("mv=zwei\r\n!media-audio=E:\\Musik\r\nmv=eins\r\n");
  app::ScanDrives = {"D:\\", "C:\\"};
  form->GETmediaDIRECTORIES(form->ListMediaDirectories);
  EXPECT_EQ(entries(form->ListMediaDirectories),
            (Entries{"!media-audio=d:\\!media-audio-d", "!media-video=c:\\!media-video-c",
                     "mv=zwei", "!media-audio=E:\\Musik", "mv=eins"}));
  // MainDir1 shows the root of the last scan drive.
  EXPECT_EQ(form->MainDir1.Path(), "C:\\");
}

TEST_F(MediaTest, FileLinesAreTakenAsReadWhateverTheirCase) {
  writeMediaList(
      "!MEDIA-AUDIO=D:\\Musik\r\n"
      "!media-slides=E:\\Bilder\r\n"  // any word after "!media-"
      "Mv=Film\r\n"
      "!Media-\r\n");  // the beginning of the entries above: left out
  app::ScanDrives.clear();
  form->GETmediaDIRECTORIES(form->ListMediaDirectories);
  EXPECT_EQ(entries(form->ListMediaDirectories),
            (Entries{"!MEDIA-AUDIO=D:\\Musik", "!media-slides=E:\\Bilder", "Mv=Film"}));

  // A bare prefix is a line like any other: taken when no entry begins with it.
  writeMediaList("MV=\r\n!Media-\r\n");
  form->GETmediaDIRECTORIES(form->ListMediaDirectories);
  EXPECT_EQ(entries(form->ListMediaDirectories), (Entries{"MV=", "!Media-"}));
}

TEST_F(MediaTest, OtherLinesOfTheFileAreIgnored) {
  writeMediaList(
      "\r\n"
      " mv=mit Blank davor\r\n"
      "\t!media-audio=tab\r\n"
      "media-audio=ohne Ausrufezeichen\r\n"
      "!media=ohne Bindestrich\r\n"
      "mv-falsch\r\n"
      "m\r\n"
      "Kommentar mv=x\r\n");
  form->GETmediaDIRECTORIES(form->ListMediaDirectories);
  EXPECT_EQ(form->ListMediaDirectories.ListCount(), 0);
}

TEST_F(MediaTest, TheFileIsReadInWindows1252WithCrLfALoneCrAndNoFinalLineEnd) {
  writeMediaList(std::string("!media-audio=D:\\") + mediatest::kAnsiAUmlaut +
                 "rzte\r\nmv=eins\rmv=zwei\r\n!media-video=D:\\\x80uro\r\nmv=letzte");
  form->GETmediaDIRECTORIES(form->ListMediaDirectories);
  EXPECT_EQ(entries(form->ListMediaDirectories),
            (Entries{"!media-audio=D:\\\xC3\x84rzte", "mv=eins", "mv=zwei",
                     "!media-video=D:\\\xE2\x82\xACuro", "mv=letzte"}));
}

TEST_F(MediaTest, AFileWithLinuxLineEndsIsReadLineByLineToo) {
  writeMediaList("mv=eins\nmv=zwei\n\n!media-image=D:\\Bilder\n");
  form->GETmediaDIRECTORIES(form->ListMediaDirectories);
  EXPECT_EQ(entries(form->ListMediaDirectories),
            (Entries{"mv=eins", "mv=zwei", "!media-image=D:\\Bilder"}));
}

TEST_F(MediaTest, ALineEqualToADriveEntryApartFromCaseIsLeftOut) {
  rootC.dir("!media-audio-Rock");
  writeMediaList("!MEDIA-AUDIO=C:\\!MEDIA-AUDIO-ROCK\r\n");
  form->GETmediaDIRECTORIES(form->ListMediaDirectories);
  EXPECT_EQ(entries(form->ListMediaDirectories), Entries{"!media-audio=c:\\!media-audio-rock"});
}

TEST_F(MediaTest, UmlautsCountAsEqualApartFromCaseToo) {
  if (testsupport::runningUnderWine())
    GTEST_SKIP() << "wine's list box ignores the case of ASCII letters only";
  rootC.dir("!media-audio-\xC3\x84rzte");
  writeMediaList(std::string("!MEDIA-AUDIO=C:\\!MEDIA-AUDIO-") + mediatest::kAnsiAUmlaut +
                 "RZTE\r\n!media-audio=c:\\!media-audio-" + mediatest::kAnsiaUmlaut +
                 "rzte-live\r\n");
  form->GETmediaDIRECTORIES(form->ListMediaDirectories);
  EXPECT_EQ(entries(form->ListMediaDirectories),
            (Entries{"!media-audio=c:\\!media-audio-\xC3\xA4rzte",
                     "!media-audio=c:\\!media-audio-\xC3\xA4rzte-live"}));
}

TEST_F(MediaTest, ThePrefixSearchDecidesWhatADuplicateIs) {
  rootC.dir("!media-audio-rock");
  writeMediaList(
      "!media-audio=c:\\!media\r\n"                  // the beginning of an entry: left out
      "!media-audio=c:\\!media-audio-rock-live\r\n"  // longer than the entry: taken
      "!media-audio=c:\\!media-audio-rock-live\r\n"  // the second of two equal lines
      "!MEDIA-AUDIO=C:\\!MEDIA-AUDIO-ROCK-LIVE\r\n"  // equal apart from case
      "mv=a\r\n"
      "mv=ab\r\n"  // begins with no entry ("mv=a" is shorter): taken
      "mv=\r\n");  // the beginning of "mv=a": left out
  form->GETmediaDIRECTORIES(form->ListMediaDirectories);
  EXPECT_EQ(entries(form->ListMediaDirectories),
            (Entries{"!media-audio=c:\\!media-audio-rock",
                     "!media-audio=c:\\!media-audio-rock-live", "mv=a", "mv=ab"}));
}

TEST_F(MediaTest, EachCallStartsFromAnEmptyList) {
  rootC.dir("!media-video");
  writeMediaList("mv=x\r\n");
  form->ListMediaDirectories.AddItem("alt");
  form->GETmediaDIRECTORIES(form->ListMediaDirectories);
  form->GETmediaDIRECTORIES(form->ListMediaDirectories);
  EXPECT_EQ(entries(form->ListMediaDirectories),
            (Entries{"!media-video=c:\\!media-video", "mv=x"}));

  std::filesystem::remove(rootC.path() / "!media-video");
  writeMediaList("");
  form->GETmediaDIRECTORIES(form->ListMediaDirectories);
  EXPECT_EQ(form->ListMediaDirectories.ListCount(), 0);
}

TEST_F(MediaTest, AnEmptyFileLeavesExactlyTheDriveEntries) {
  rootC.dir("!media-image");
  rootD.dir("!media-audio");
  writeMediaList("");
  form->GETmediaDIRECTORIES(form->ListMediaDirectories);
  EXPECT_EQ(entries(form->ListMediaDirectories),
            (Entries{"!media-image=c:\\!media-image", "!media-audio=d:\\!media-audio"}));
}

TEST_F(MediaTest, WithoutScanDrivesOnlyTheFileIsRead) {
  rootC.dir("!media-image");
  writeMediaList("mv=nur die Datei\r\n");
  app::ScanDrives.clear();
  form->ListMediaDirectories.AddItem("alt");
  form->GETmediaDIRECTORIES(form->ListMediaDirectories);
  EXPECT_EQ(entries(form->ListMediaDirectories), Entries{"mv=nur die Datei"});
}

TEST_F(MediaTest, TheFileIsFoundOnTheDriveItsPathNames) {
  rootD.file("Listen/medien.txt", "mv=von D\r\n");
  app::MediaListFileName = "D:\\Listen\\medien.txt";
  form->GETmediaDIRECTORIES(form->ListMediaDirectories);
  EXPECT_EQ(entries(form->ListMediaDirectories), Entries{"mv=von D"});
}

TEST_F(MediaTest, AMissingFileFailsWith53AfterTheDriveEntries) {
  rootC.dir("!media-audio");
  rootD.dir("!media-video");
  form->ListMediaDirectories.AddItem("alt");
  try {
    form->GETmediaDIRECTORIES(form->ListMediaDirectories);
    FAIL() << "no error";
  } catch (const platform::RuntimeError& e) {
    EXPECT_EQ(e.number(), 53);
  }
  EXPECT_EQ(entries(form->ListMediaDirectories),
            (Entries{"!media-audio=c:\\!media-audio", "!media-video=d:\\!media-video"}));
  EXPECT_EQ(platform::FreeFile(), 1) << "a handle was left open";
}

TEST_F(MediaTest, AFileThatIsAFolderFailsAndLeavesNoHandleOpen) {
  rootC.dir("medienliste.txt");
  EXPECT_THROW(form->GETmediaDIRECTORIES(form->ListMediaDirectories), platform::RuntimeError);
  EXPECT_EQ(platform::FreeFile(), 1);
}

TEST_F(MediaTest, ADriveThatCannotBeListedStopsTheRunBeforeLaterDrivesAndTheFile) {
  rootC.dir("!media-audio");
  rootD.dir("!media-video");
  writeMediaList("mv=x\r\n");
  platform::setSystemDrives(platform::DriveTable::fromDrives({
      {'C', rootC.path().string(), platform::DRIVE_FIXED, "ext4", "/dev/x"},
      {'D', rootD.path().string(), platform::DRIVE_FIXED, "ext4", "/dev/y"},
      {'E', (rootD.path() / "weg").string(), platform::DRIVE_REMOTE, "nfs4", "server:/weg"},
  }));
  app::ScanDrives = {"C:\\", "E:\\", "D:\\"};
  try {
    form->GETmediaDIRECTORIES(form->ListMediaDirectories);
    FAIL() << "no error";
  } catch (const platform::RuntimeError& e) {
    EXPECT_EQ(e.number(), 76);
  }
  EXPECT_EQ(entries(form->ListMediaDirectories), Entries{"!media-audio=c:\\!media-audio"});
  EXPECT_EQ(platform::FreeFile(), 1);
}

// A view that fails on the n-th change of its list stands in for a list control
// that cannot take another entry.
class FailingView : public platform::ControlView {
 public:
  explicit FailingView(int failAt) : m_failAt(failAt) {}
  void modelChanged(const platform::Control&, platform::Property what) override {
    if (what == platform::Property::Items && ++m_changes == m_failAt) {
      platform::raiseError(7);
    }
  }

 private:
  int m_failAt;
  int m_changes = 0;
};

TEST_F(MediaTest, AListErrorWhileTheFileIsReadPassesOnAndClosesTheFile) {
  writeMediaList("mv=1\r\nmv=2\r\nmv=3\r\n");
  FailingView view(3);  // the Clear, "mv=1", then "mv=2" fails
  form->ListMediaDirectories.attachView(&view);
  try {
    form->GETmediaDIRECTORIES(form->ListMediaDirectories);
    FAIL() << "no error";
  } catch (const platform::RuntimeError& e) {
    EXPECT_EQ(e.number(), 7);
  }
  form->ListMediaDirectories.attachView(nullptr);
  // The entry that the failing notice was about is in the model already.
  EXPECT_EQ(entries(form->ListMediaDirectories), (Entries{"mv=1", "mv=2"}));
  EXPECT_EQ(platform::FreeFile(), 1) << "the media list file was left open";
  // The same file can be read again at once.
  form->GETmediaDIRECTORIES(form->ListMediaDirectories);
  EXPECT_EQ(entries(form->ListMediaDirectories), (Entries{"mv=1", "mv=2", "mv=3"}));
}

}  // namespace
