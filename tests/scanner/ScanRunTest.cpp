// A whole scan as the user runs it: the log's lines, the status lines, cancel and
// close, a second scan, and the failures of the log and of whole drives.
#include <chrono>
#include <filesystem>

#include "scanner/ScanFixture.h"

namespace scantest {
namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::IsEmpty;

TEST_F(ScanTest, ExampleTreeGivesItsFourLinesInWalkOrder) {
  makeExampleTree();
  auto& form = scan();
  EXPECT_THAT(logLines(), ElementsAre(kHeader, "C:\\B\\B1\\x.txt", "C:\\B\\b.txt", "C:\\A\\a.txt",
                                      "C:\\r.txt"));
  EXPECT_EQ(app::DirsFound, 4);
  EXPECT_EQ(app::FilesFound, 4);
  EXPECT_EQ(form.LabelAnzahlVerzeichnisse.Caption(), "4");
  EXPECT_EQ(form.LabelAnzahldateien.Caption(), "4");
  EXPECT_EQ(form.CommandStartCancel.Caption(), "start");
  EXPECT_FALSE(form.LabelHinweis.Visible());
  EXPECT_EQ(host.ends, 0);
  EXPECT_EQ(host.yields, 4);  // one per directory
  EXPECT_THAT(statusLines(),
              ElementsAre("SCAN-START: 12-06-2026 14:05:09", "Gefundene Festplatten: C",
                          "Festplatte C:\\ wird gescannt...", "SCAN-ENDE: 12-06-2026 14:05:09"));
  // The log file ends with the CR LF of its last line and has no byte-order mark.
  const std::string bytes = testsupport::readFile(logPath());
  EXPECT_EQ(bytes.substr(0, 4), "HALV");
  EXPECT_EQ(bytes.substr(bytes.size() - 2), "\r\n");
}

TEST_F(ScanTest, EmptyDirectoriesAndRootWithoutFilesWriteNothing) {
  c.dir("leer");
  c.dir("a/b/c");
  scan();
  EXPECT_THAT(logLines(), ElementsAre(kHeader));
  EXPECT_EQ(app::DirsFound, 5);
  EXPECT_EQ(app::FilesFound, 0);
}

TEST_F(ScanTest, CancelAtTheYieldOnEnteringAStopsEverything) {
  makeExampleTree();
  // Directories are entered as C:\, C:\B, C:\B\B1, C:\A.
  host.atYield(4, [] { scanner::mainWindow()->CommandStartCancel.click(); });
  auto& form = scan();
  EXPECT_THAT(logLines(), ElementsAre(kHeader, "C:\\B\\B1\\x.txt", "C:\\B\\b.txt", kCancel));
  EXPECT_EQ(host.ends, 1);
  EXPECT_TRUE(platform::programEnded());
  EXPECT_EQ(host.yields, 4);  // nothing of the walk ran after the cancel
  EXPECT_EQ(form.CommandStartCancel.Caption(), "start");
  EXPECT_EQ(statusLines().back(), "Festplatte C:\\ wird gescannt...");
}

TEST_F(ScanTest, CancelWithTwoDrivesWalksNoFurtherDrive) {
  useDrives({'C', 'D'});
  app::ScanDrives = {"C:\\", "D:\\"};
  c.file("c.txt");
  d.file("d.txt");
  host.atYield(1, [] { scanner::mainWindow()->CommandStartCancel.click(); });
  scan();
  EXPECT_THAT(logLines(), ElementsAre(kHeader, kCancel));
  EXPECT_EQ(host.yields, 1);
  EXPECT_EQ(statusLines().back(), "Festplatte C:\\ wird gescannt...");
}

// A disk that cannot make the log durable: the log's name promises a whole scan,
// so nothing takes it, whether the scan completed or was cancelled.
platform::os::NativeError flushFails(platform::os::File&) {
  return testsupport::kDiskFullError;
}

TEST_F(ScanTest, ALogThatCannotBeFlushedToDiskNeverTakesItsName) {
  makeExampleTree();
  platform::setFlushToDisk(flushFails);
  for (const bool cancel : {false, true}) {
    platform::resetProgramEnded();
    scanner::destroyMainWindow();
    host.messages.clear();
    if (cancel)
      host.atYield(host.yields + 2, [] { scanner::mainWindow()->CommandStartCancel.click(); });
    scan();
    EXPECT_FALSE(std::filesystem::exists(logPath())) << cancel;
    EXPECT_TRUE(std::filesystem::exists(temporaryPath())) << cancel;
    ASSERT_EQ(host.messages.size(), 1u) << cancel;
    EXPECT_THAT(host.messages[0], HasSubstr("unter diesem Namen wurde nichts abgelegt")) << cancel;
    std::filesystem::remove(temporaryPath());
  }
}

TEST_F(ScanTest, CloseRequestDuringAScanEndsLikeACancel) {
  makeExampleTree();
  host.atYield(2, [] { scanner::mainWindow()->requestClose(); });
  scan();
  EXPECT_THAT(logLines(), ElementsAre(kHeader, kCancel));
  EXPECT_EQ(host.ends, 1);
}

TEST_F(ScanTest, CloseRequestWhileIdleWritesNothing) {
  makeExampleTree();
  auto& form = start();
  form.requestClose();
  EXPECT_EQ(host.ends, 1);
  EXPECT_FALSE(std::filesystem::exists(logPath()));
}

TEST_F(ScanTest, CloseRequestAfterACompletedScanLeavesTheLogAsItWas) {
  makeExampleTree();
  auto& form = scan();
  const std::string before = testsupport::readFile(logPath());
  form.requestClose();
  EXPECT_EQ(host.ends, 1);
  EXPECT_EQ(testsupport::readFile(logPath()), before);
}

TEST_F(ScanTest, SecondScanRewritesTheSameLog) {
  makeExampleTree();
  auto& form = scan();
  const std::string firstName = app::LogFileName;
  c.file("A/neu.txt");
  std::filesystem::remove(c.path() / "r.txt");
  form.ListStatus.AddItem("alt");
  form.CommandStartCancel.click();
  EXPECT_EQ(app::LogFileName, firstName);
  EXPECT_THAT(logLines(), ElementsAre(kHeader, "C:\\B\\B1\\x.txt", "C:\\B\\b.txt", "C:\\A\\a.txt",
                                      "C:\\A\\neu.txt"));
  EXPECT_EQ(statusLines().front(), "SCAN-START: 12-06-2026 14:05:09");
  EXPECT_EQ(app::FilesFound, 4);
  EXPECT_EQ(host.ends, 0);
}

TEST_F(ScanTest, StatusLinesOfTwoDrives) {
  useDrives({'C', 'D'});
  app::ScanDrives = {"C:\\", "D:\\"};
  c.file("c.txt");
  d.file("sub/d.txt");
  scan();
  EXPECT_THAT(statusLines(),
              ElementsAre("SCAN-START: 12-06-2026 14:05:09", "Gefundene Festplatten: C, D",
                          "Festplatte C:\\ wird gescannt...", "Festplatte D:\\ wird gescannt...",
                          "SCAN-ENDE: 12-06-2026 14:05:09"));
  EXPECT_THAT(logLines(), ElementsAre(kHeader, "C:\\c.txt", "D:\\sub\\d.txt"));
}

TEST_F(ScanTest, NoScanDriveGivesTheHeaderOnly) {
  app::ScanDrives.clear();
  auto& form = scan();
  EXPECT_THAT(logLines(), ElementsAre(kHeader));
  EXPECT_THAT(statusLines(),
              ElementsAre("SCAN-START: 12-06-2026 14:05:09",
                          "Gefundene Festplatten: ", "SCAN-ENDE: 12-06-2026 14:05:09"));
  EXPECT_EQ(form.CommandStartCancel.Caption(), "start");
}

TEST_F(ScanTest, DriveThatIsGoneIsReportedAndTheLogMarkedIncomplete) {
  useDrives({'C', 'D'});
  app::ScanDrives = {"D:\\", "C:\\"};
  c.file("c.txt");
  std::filesystem::remove_all(d.path());
  auto& form = scan();
  EXPECT_THAT(logLines(), ElementsAre(kHeader, "C:\\c.txt", kNote1, kNote2, kNote3));
  const auto lines = statusLines();
  ASSERT_EQ(lines.size(), 6u);
  EXPECT_EQ(lines[3], "Festplatte D:\\ konnte nicht gelesen werden: Pfad nicht gefunden");
  EXPECT_EQ(lines[4], "Festplatte C:\\ wird gescannt...");
  EXPECT_TRUE(form.LabelHinweis.Visible());
  EXPECT_EQ(form.CommandStartCancel.Caption(), "start");
  EXPECT_THAT(host.messages, IsEmpty());
}

TEST_F(ScanTest, LogThatCannotBeCreatedSaysNoFileExists) {
  platform::App.Path = "P:\\fehlt";  // no such folder
  makeExampleTree();
  auto& form = scan();
  ASSERT_EQ(host.messages.size(), 1u);
  const std::string& message = host.messages[0];
  EXPECT_NE(message.find("P:\\fehlt\\protokoll-12-06-2026-14-05-09.txt konnte nicht angelegt"),
            std::string::npos)
      << message;
  EXPECT_NE(message.find("Den Ordner P:\\fehlt gibt es nicht"), std::string::npos) << message;
  EXPECT_EQ(message.find("unvollst"), std::string::npos) << message;
  EXPECT_EQ(statusLines().back(), "Protokolldatei konnte nicht angelegt werden - kein Scan.");
  EXPECT_EQ(form.CommandStartCancel.Caption(), "start");
  EXPECT_EQ(host.ends, 0);
  EXPECT_EQ(app::DirsFound, 0);
}

// The log stands under its own name only once the scan has ended; until then the
// scan writes under a name that says it is incomplete.
TEST_F(ScanTest, LogTakesItsNameOnlyWhenTheScanEnds) {
  makeExampleTree();
  bool logDuring = true;
  bool temporaryDuring = false;
  host.atYield(3, [&] {
    logDuring = std::filesystem::exists(logPath());
    temporaryDuring = std::filesystem::exists(temporaryPath());
  });
  scan();
  EXPECT_FALSE(logDuring);
  EXPECT_TRUE(temporaryDuring);
  EXPECT_FALSE(std::filesystem::exists(temporaryPath()));
  EXPECT_EQ(logLines().size(), 5u);
}

TEST_F(ScanTest, SecondScanLeavesTheFirstLogWholeUntilItEnds) {
  makeExampleTree();
  auto& form = scan();
  const std::string first = testsupport::readFile(logPath());
  c.file("A/neu.txt");
  std::string during;
  host.atYield(host.yields + 2, [&] { during = testsupport::readFile(logPath()); });
  form.CommandStartCancel.click();
  EXPECT_EQ(during, first);
  EXPECT_EQ(logLines().size(), 6u);
}

TEST_F(ScanTest, CancelledScanReplacesThePreviousLog) {
  makeExampleTree();
  auto& form = scan();
  host.atYield(host.yields + 1, [&] {
    platform::setMonotonicClock(
        [] { return std::chrono::steady_clock::time_point{} + std::chrono::hours(2); });
    form.CommandStartCancel.click();
  });
  platform::setMonotonicClock(
      [] { return std::chrono::steady_clock::time_point{} + std::chrono::hours(1); });
  form.CommandStartCancel.click();
  platform::setMonotonicClock({});
  EXPECT_THAT(logLines(), ElementsAre(kHeader, kCancel));
  EXPECT_FALSE(std::filesystem::exists(temporaryPath()));
}

// A scan over before the second click of a double-click comes: that click starts
// no second scan; a click after the double-click time does.
TEST_F(ScanTest, DoubleClickAfterAShortScanStartsNoSecondOne) {
  makeExampleTree();
  auto now = std::chrono::steady_clock::time_point{} + std::chrono::hours(1);
  platform::setMonotonicClock([&now] { return now; });
  auto& form = scan();
  now += std::chrono::milliseconds(200);
  form.CommandStartCancel.click();
  EXPECT_EQ(host.yields, 4);
  now += std::chrono::milliseconds(400);
  form.CommandStartCancel.click();
  EXPECT_EQ(host.yields, 8);
  EXPECT_EQ(logLines().size(), 5u);
}

// A double-click on "start": its second click comes during the scan it started and
// belongs to it; a click after the system's double-click time cancels.
TEST_F(ScanTest, SecondClickOfADoubleClickOnStartDoesNotCancel) {
  struct Case {
    int afterMs;
    bool cancels;
  };
  for (const Case& t : {Case{0, false}, Case{499, false}, Case{500, true}, Case{2000, true}}) {
    SCOPED_TRACE(t.afterMs);
    makeExampleTree();
    auto now = std::chrono::steady_clock::time_point{} + std::chrono::hours(1);
    platform::setMonotonicClock([&now] { return now; });
    host.atYield(host.yields + 2, [&] {
      now += std::chrono::milliseconds(t.afterMs);
      scanner::mainWindow()->CommandStartCancel.click();
    });
    platform::resetProgramEnded();
    scanner::destroyMainWindow();
    auto& form = scan();
    platform::setMonotonicClock({});
    if (t.cancels) {
      EXPECT_THAT(logLines(), ElementsAre(kHeader, kCancel));
      EXPECT_TRUE(platform::programEnded());
    } else {
      EXPECT_EQ(logLines().size(), 5u);
      EXPECT_EQ(form.CommandStartCancel.Caption(), "start");
      EXPECT_FALSE(platform::programEnded());
    }
  }
}

TEST_F(ScanTest, ProgramFolderOnADriveRootGetsOneBackslash) {
  platform::App.Path = "P:\\";
  start();
  EXPECT_EQ(app::LogFileName, "P:\\protokoll-12-06-2026-14-05-09.txt");
}

}  // namespace
}  // namespace scantest
