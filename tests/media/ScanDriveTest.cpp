// Marker directories directly below a drive root (ScanDrive).
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>

#include "MediaTestSupport.h"
#include "platform/Error.h"

namespace {

using mediatest::MediaTest;
using Entries = std::vector<std::string>;

TEST_F(MediaTest, ScanDriveLowerCasesTheWholeEntryWhateverTheCaseOnDisk) {
  rootC.dir("!MEDIA-Video");
  form->ScanDrive("C:", form->ListMediaDirectories);
  EXPECT_EQ(entries(form->ListMediaDirectories), Entries{"!media-video=c:\\!media-video"});
}

TEST_F(MediaTest, ScanDriveTakesEachCategoryWithAnySuffix) {
  rootC.dir("!media-audiobooks");
  rootC.dir("!Media-Image Urlaub 2020");
  rootC.dir("!media-video-Filme");
  rootC.dir("!media-audio");
  form->ScanDrive("C:", form->ListMediaDirectories);
  // In the directory list's order: alphabetical, ignoring case.
  EXPECT_EQ(entries(form->ListMediaDirectories),
            (Entries{"!media-audio=c:\\!media-audio", "!media-audio=c:\\!media-audiobooks",
                     "!media-image=c:\\!media-image urlaub 2020",
                     "!media-video=c:\\!media-video-filme"}));
}

TEST_F(MediaTest, ScanDriveIgnoresNamesThatAreNoMarkers) {
  rootC.dir("media-audio");         // no "!"
  rootC.dir("!media-");             // no category
  rootC.dir("!media-slides");       // not one of the three
  rootC.dir("!media_audio");        // wrong separator
  rootC.dir(" !media-audio");       // blank in front
  rootC.dir("Daten/!media-audio");  // not directly below the root
  rootC.dir("Daten/!media-video/!media-image");
  rootC.file("!media-audio.txt");  // a file, not a directory
  std::filesystem::create_directory_symlink(rootC.path() / "Daten",
                                            rootC.path() / "!media-video-link");
  form->ScanDrive("C:", form->ListMediaDirectories);
  EXPECT_TRUE(entries(form->ListMediaDirectories).empty());
}

TEST_F(MediaTest, ScanDriveOnAnEmptyRootAddsNothingAndLeavesMainDir1OnTheRoot) {
  form->ScanDrive("D:", form->ListMediaDirectories);
  EXPECT_EQ(form->ListMediaDirectories.ListCount(), 0);
  EXPECT_EQ(form->MainDir1.Path(), "D:\\");
}

TEST_F(MediaTest, ScanDriveAppendsWithoutClearingOrLookingForDuplicates) {
  rootC.dir("!media-audio-Rock");
  form->ListMediaDirectories.AddItem("schon da");
  form->ScanDrive("C:", form->ListMediaDirectories);
  form->ScanDrive("C:", form->ListMediaDirectories);
  EXPECT_EQ(entries(form->ListMediaDirectories),
            (Entries{"schon da", "!media-audio=c:\\!media-audio-rock",
                     "!media-audio=c:\\!media-audio-rock"}));
  EXPECT_EQ(form->MainDir1.Path(), "C:\\");
}

TEST_F(MediaTest, ScanDriveSeesAMarkerMadeSinceTheLastScan) {
  form->ScanDrive("C:", form->ListMediaDirectories);
  EXPECT_EQ(form->ListMediaDirectories.ListCount(), 0);
  rootC.dir("!media-image");
  form->ScanDrive("C:", form->ListMediaDirectories);
  EXPECT_EQ(entries(form->ListMediaDirectories), Entries{"!media-image=c:\\!media-image"});
}

TEST_F(MediaTest, ScanDriveLowerCasesUmlauts) {
  rootC.dir("!Media-Audio-\xC3\x84rzte");  // Ä in UTF-8 on disk
  form->ScanDrive("C:", form->ListMediaDirectories);
  EXPECT_EQ(entries(form->ListMediaDirectories),
            Entries{"!media-audio=c:\\!media-audio-\xC3\xA4rzte"});
}

TEST_F(MediaTest, ScanDriveIntoASortedListPlacesEntriesAlphabetically) {
  rootC.dir("!media-video-b");
  rootC.dir("!media-audio-z");
  form->ListVideos.AddItem("!media-image=x");
  form->ScanDrive("C:", form->ListVideos);
  EXPECT_EQ(entries(form->ListVideos), (Entries{"!media-audio=c:\\!media-audio-z", "!media-image=x",
                                                "!media-video=c:\\!media-video-b"}));
}

TEST_F(MediaTest, ScanDriveOfADriveWhoseRootIsGonePassesTheErrorAndKeepsTheList) {
  form->ListMediaDirectories.AddItem("vorher");
  platform::setSystemDrives(platform::DriveTable::fromDrives({
      {'C', rootC.path().string(), platform::DRIVE_FIXED, "ext4", "/dev/x"},
      {'E', (rootD.path() / "weg").string(), platform::DRIVE_REMOTE, "nfs4", "server:/weg"},
  }));
  try {
    form->ScanDrive("E:", form->ListMediaDirectories);
    FAIL() << "no error";
  } catch (const platform::RuntimeError& e) {
    EXPECT_EQ(e.number(), 76);
  }
  EXPECT_EQ(entries(form->ListMediaDirectories), Entries{"vorher"});
}

TEST_F(MediaTest, ScanDriveOfAnUnknownLetterPassesTheError) {
  EXPECT_THROW(form->ScanDrive("Q:", form->ListMediaDirectories), platform::RuntimeError);
  EXPECT_EQ(form->ListMediaDirectories.ListCount(), 0);
}

// A root that the user may not read fails with 419. Checked for real: as root the
// child drops to an unprivileged user first, since root reads every directory.
TEST_F(MediaTest, ScanDriveOfAnUnreadableRootFailsWith419) {
  struct stat tmp {};
  if (::stat(rootD.path().parent_path().c_str(), &tmp) != 0 || (tmp.st_mode & S_IXOTH) == 0) {
    GTEST_SKIP() << "the temporary folder is closed to other users";
  }
  rootC.dir("!media-audio");
  rootD.dir("!media-video");
  ::chmod(rootC.path().c_str(), 0);
  ::chmod(rootD.path().c_str(), 0755);
  ::chmod((rootD.path() / "!media-video").c_str(), 0755);

  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    if (::geteuid() == 0 && (::setgid(65534) != 0 || ::setuid(65534) != 0)) std::_Exit(2);
    try {
      form->ListMediaDirectories.AddItem("vorher");
      form->ScanDrive("D:", form->ListMediaDirectories);  // readable: one entry
      form->ScanDrive("C:", form->ListMediaDirectories);
    } catch (const platform::RuntimeError& e) {
      const bool kept = form->ListMediaDirectories.ListCount() == 2;
      std::_Exit(e.number() == 419 ? (kept ? 0 : 4) : 3);
    } catch (...) {
      std::_Exit(5);
    }
    std::_Exit(6);
  }
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status));
  if (WEXITSTATUS(status) == 2) GTEST_SKIP() << "cannot drop privileges here";
  EXPECT_EQ(WEXITSTATUS(status), 0)
      << "3: other error, 4: list changed, 5: other exception, 6: no error";
}

}  // namespace
