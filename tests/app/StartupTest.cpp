// Start-up: the drive list, the main window's first state, the web pages and the
// chained hidden lists.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "app/Module1.h"
#include "app/cdsubs.h"
#include "platform/drives/Drives.h"
#include "platform/drives/MountTable.h"
#include "platform/runtime/LogFolder.h"
#include "platform/runtime/Runtime.h"
#include "platform/winapi/Shell.h"
#include "scanner/FormSpurlauf.h"
#include "scanner/standards.h"
#include "support/TestSupport.h"

namespace {

using platform::Drive;
using ::testing::ElementsAre;
using ::testing::IsEmpty;

Drive drive(char letter, platform::DriveType type, const std::string& mountPoint = "/tmp") {
  return {letter, mountPoint, type, "x", "x"};
}

TEST(ListScanDrives, KeepsFixedAndNetworkDrivesInLetterOrder) {
  struct Case {
    std::vector<Drive> drives;
    std::vector<std::string> expected;
  };
  using platform::DRIVE_CDROM, platform::DRIVE_FIXED, platform::DRIVE_RAMDISK,
      platform::DRIVE_REMOTE, platform::DRIVE_REMOVABLE;
  const std::vector<Case> cases = {
      {{drive('A', DRIVE_REMOVABLE), drive('C', DRIVE_FIXED), drive('D', DRIVE_CDROM),
        drive('E', DRIVE_REMOVABLE), drive('F', DRIVE_RAMDISK), drive('Z', DRIVE_REMOTE)},
       {"C:\\", "Z:\\"}},
      {{drive('G', DRIVE_REMOTE), drive('D', DRIVE_CDROM), drive('E', DRIVE_FIXED)},
       {"E:\\", "G:\\"}},
      {{drive('A', DRIVE_REMOVABLE), drive('D', DRIVE_CDROM), drive('F', DRIVE_RAMDISK)}, {}},
      {{}, {}},
  };
  for (const Case& c : cases) {
    platform::setSystemDrives(platform::DriveTable::fromDrives(c.drives));
    EXPECT_EQ(app::ListScanDrives(), c.expected);
  }
  platform::setSystemDrives(platform::DriveTable{});
}

class StartupTest : public ::testing::Test {
 protected:
  void SetUp() override {
    platform::resetProgramEnded();
    scanner::destroyMainWindow();
    platform::setSystemDrives(platform::DriveTable::fromDrives(
        {{'C', root.path().string(), platform::DRIVE_FIXED, "ext4", "x"},
         {'D', root.dir("cd").string(), platform::DRIVE_CDROM, "iso9660", "x"}}));
    platform::App.Path = "C:\\programme\\rozo";
    platform::setClock(testsupport::fixedClock(2026, 12, 6, 14, 5, 9));
    platform::setLauncher([this](const std::vector<std::string>& argv) {
      launched.push_back(argv);
      return true;
    });
  }
  void TearDown() override {
    scanner::destroyMainWindow();
    platform::setLauncher({});
    platform::setClock({});
    platform::setSystemDrives(platform::DriveTable{});
  }

  testsupport::TempDir root;
  testsupport::ScriptedHost host;
  std::vector<std::vector<std::string>> launched;
};

TEST_F(StartupTest, FirstStateOfTheWindow) {
  app::Main();
  auto* form = scanner::mainWindow();
  ASSERT_NE(form, nullptr);
  EXPECT_THAT(app::ScanDrives, ElementsAre("C:\\"));
  EXPECT_EQ(app::LogFileName, "C:\\programme\\rozo\\protokoll-12-06-2026-14-05-09.txt");
  EXPECT_EQ(app::MediaListFileName, "C:\\programme\\rozo\\medienliste.txt");
  EXPECT_THAT(form->ListStatus.items(),
              ElementsAre("Bereit zum Scannen der Festplatten - bitte Start-Taste drücken."));
  EXPECT_EQ(form->LabelAnzahlVerzeichnisse.Caption(), "0");
  EXPECT_EQ(form->LabelAnzahldateien.Caption(), "0");
  EXPECT_FALSE(form->LabelHinweis.Visible());
  EXPECT_EQ(form->CommandStartCancel.Caption(), "start");
  EXPECT_EQ(form->LabelTitel.Caption(),
            "Dieses Tool untersucht sämtliche vorhandenen Festplatten und protokolliert sämtliche "
            "gefundenen Dateien in der Protokoll-Datei  "
            "C:\\programme\\rozo\\protokoll-12-06-2026-14-05-09.txt . Die Protokolldatei kann "
            "anschließend  mit einem Texteditor betrachtet werden.");
  EXPECT_EQ(form->LabelHalvek.Caption(),
            "Gratis-Hilfe bei Festplatten-Problemen und viele Tipps und Tricks zu Laufwerken gibt "
            "es auf www.halvek.de! Einfach oben links auf das Logo klicken.");
  EXPECT_EQ(form->LabelHinweis.Caption(),
            "HINWEIS: Es können nicht alle Dateien erfasst werden, da Sie nicht als Administrator "
            "dieses PC angemeldet sind!");
  EXPECT_EQ(form->Caption().rfind("Rozozovuvor-Ororuzi V1.0 ", 0), 0u);
  EXPECT_THAT(host.shown, ElementsAre(form));
  EXPECT_TRUE(form->Visible());
  EXPECT_FALSE(form->Drive1.Visible());
  EXPECT_FALSE(form->Dir1.Visible());
  EXPECT_FALSE(form->File1.Visible());
  // No log exists before the first scan, even where the folder cannot be written.
  EXPECT_FALSE(std::filesystem::exists(root.path() / "programme"));
}

// Records what the window held at the moment it was shown.
class ShowRecordingHost : public testsupport::ScriptedHost {
 public:
  void showForm(platform::Form& form) override {
    auto& f = static_cast<scanner::FormSpurlauf&>(form);
    statusAtShow = f.ListStatus.items();
    titleAtShow = f.LabelTitel.Caption();
    ScriptedHost::showForm(form);
  }
  std::vector<std::string> statusAtShow;
  std::string titleAtShow;
};

TEST_F(StartupTest, WindowIsShownOnlyWithItsFinishedTexts) {
  ShowRecordingHost recording;
  auto& form = scanner::createMainWindow();
  EXPECT_FALSE(form.Visible());
  form.INITIALIZE();
  EXPECT_EQ(recording.statusAtShow.size(), 1u);
  EXPECT_EQ(recording.titleAtShow.find("***"), std::string::npos);
}

// An installed program whose folder the user may not write to.
class InstalledFolders final : public platform::FolderSystem {
 public:
  bool mayCreateFilesIn(const std::string& folder) override { return folder == kOwn; }
  std::optional<std::string> userProgramFolder() override { return kOwn; }
  bool createFolders(const std::string&) override { return true; }
  static constexpr const char* kOwn = "C:\\home\\anna\\.local\\share\\rozozovuvor-ororuzi";
};

TEST_F(StartupTest, InstalledProgramMovesOnlyTheLogAndTheWindowNamesItsFolder) {
  InstalledFolders folders;
  platform::setFolderSystem(&folders);
  app::Main();
  platform::setFolderSystem(nullptr);
  const std::string log =
      "C:\\home\\anna\\.local\\share\\rozozovuvor-ororuzi\\protokoll-12-06-2026-14-05-09.txt";
  EXPECT_EQ(app::LogFileName, log);
  EXPECT_NE(scanner::mainWindow()->LabelTitel.Caption().find("  " + log + " . "),
            std::string::npos);
  EXPECT_EQ(platform::App.Path, "C:\\programme\\rozo");
  EXPECT_EQ(app::MediaListFileName, "C:\\programme\\rozo\\medienliste.txt");
}

TEST_F(StartupTest, UnreadableMountTableStillOpensTheWindow) {
  platform::setSystemDrives(platform::drivesOfMountInfoFile("/nonexistent/mountinfo"));
  app::Main();
  EXPECT_THAT(app::ScanDrives, IsEmpty());
  ASSERT_NE(scanner::mainWindow(), nullptr);
  EXPECT_TRUE(scanner::mainWindow()->Visible());
}

TEST_F(StartupTest, StatusLineBeforeTheWindowExistsCreatesItHidden) {
  scanner::AddStatusLine("früh");
  auto* form = scanner::mainWindow();
  ASSERT_NE(form, nullptr);
  EXPECT_FALSE(form->Visible());
  form->INITIALIZE();
  EXPECT_THAT(
      form->ListStatus.items(),
      ElementsAre("früh", "Bereit zum Scannen der Festplatten - bitte Start-Taste drücken."));
}

TEST_F(StartupTest, HelpButtonAndLogoOpenTheirPagesEvenDuringAScan) {
  root.file("A/a.txt");
  root.file("B/b.txt");
  root.dir("programme/rozo");
  app::Main();
  auto* form = scanner::mainWindow();
  host.atYield(2, [form] {
    form->Command1.click();
    form->Picture1.click();
  });
  form->CommandStartCancel.click();
  ASSERT_EQ(launched.size(), 2u);
  // The opener is given the texts of the call: operation, address, parameters, folder.
  EXPECT_THAT(launched[0],
              ElementsAre("Open", "http://www.halvek.de/c/s/4-0016-439-1.htm", "", "C:\\"));
  EXPECT_THAT(launched[1], ElementsAre("Open", "http://www.halvek.de", "", "C:\\"));
  EXPECT_THAT(host.messages, IsEmpty());
  EXPECT_EQ(app::DirsFound, 5);   // the scan went on: C:\, A, B, programme, rozo
  EXPECT_EQ(app::FilesFound, 3);  // a.txt, b.txt and the log itself
}

TEST_F(StartupTest, HiddenListsFollowBeforeTheAssignmentReturns) {
  root.file("sub/x.txt");
  root.file("y.txt");
  auto& form = scanner::createMainWindow();
  form.Dir1.setPath("C:\\sub");
  EXPECT_EQ(form.File1.Path(), "C:\\sub");
  EXPECT_EQ(form.File1.List(0), "x.txt");
  form.Dir1.setPath("C:\\");
  form.Drive1.setDrive("D:");
  EXPECT_EQ(form.Dir1.Path(), "D:\\");
  EXPECT_EQ(form.File1.Path(), "D:\\");
  form.Drive1.setDrive("C:");
  EXPECT_EQ(form.Dir1.Path(), "C:\\");
  EXPECT_EQ(form.File1.List(0), "y.txt");
}

}  // namespace
