// Faults of the walk: a list that cannot grow while a subdirectory is entered,
// work done after a cancel, and a directory that changes while its
// subdirectories are walked.
#include <chrono>
#include <filesystem>
#include <functional>
#include <set>
#include <thread>

#include "platform/Error.h"
#include "platform/os/Os.h"
#include "platform/reading/DirectoryReaders.h"
#include "scanner/ScanFixture.h"
#include "scanner/ScanLog.h"

namespace scantest {
namespace {

using ::testing::ElementsAre;

// Stands in for a directory list that cannot take the entries of `path`: fails
// the first time the list is pointed there.
class ListFullAt : public platform::ControlView {
 public:
  ListFullAt(const platform::DirListBox& list, std::string path)
      : m_list(list), m_path(std::move(path)) {}
  void modelChanged(const platform::Control&, platform::Property what) override {
    if (what == platform::Property::Path && !m_failed && m_list.Path() == m_path) {
      m_failed = true;
      platform::raiseError(7);
    }
  }

 private:
  const platform::DirListBox& m_list;
  std::string m_path;
  bool m_failed = false;
};

TEST_F(ScanTest, ListFullWhileEnteringASubdirectoryGivesOneMessageAndGoesOnWithTheNextDrive) {
  useDrives({'C', 'D'});
  app::ScanDrives = {"C:\\", "D:\\"};
  c.file("A/a.txt");
  c.file("B/b.txt");
  c.file("c.txt");
  d.file("d.txt");
  auto& form = start();
  ListFullAt view(form.Dir1, "C:\\B");  // the first subdirectory the walk enters
  form.Dir1.attachView(&view);
  form.CommandStartCancel.click();
  form.Dir1.attachView(nullptr);
  EXPECT_THAT(host.messages, ElementsAre("You've filled the list box. Abandoning search..."));
  EXPECT_THAT(logLines(), ElementsAre(kHeader, "D:\\d.txt"));
  EXPECT_THAT(statusLines(),
              ElementsAre("SCAN-START: 12-06-2026 14:05:09", "Gefundene Festplatten: C, D",
                          "Festplatte C:\\ wird gescannt...", "Festplatte D:\\ wird gescannt...",
                          "SCAN-ENDE: 12-06-2026 14:05:09"));
  EXPECT_EQ(app::DirsFound, 2);
  EXPECT_EQ(form.CommandStartCancel.Caption(), "start");
}

TEST_F(ScanTest, NothingOfTheWalkRunsAfterTheCancelsYield) {
  makeExampleTree();
  // Directories are entered as C:\, C:\B, C:\B\B1, C:\A; C:\A and C:\B\B1 hold a
  // file each, which the walk lists right after their yield.
  for (int yield = 1; yield <= 4; ++yield) {
    SCOPED_TRACE("cancel at yield " + std::to_string(yield));
    scanner::destroyMainWindow();
    platform::resetProgramEnded();
    auto& form = start();
    struct State {
      int yields, dirs, files;
      std::string dirCaption, fileCaption, log;
    } atCancel{};
    const auto now = [&] {
      return State{host.yields,
                   app::DirsFound,
                   app::FilesFound,
                   form.LabelAnzahlVerzeichnisse.Caption(),
                   form.LabelAnzahldateien.Caption(),
                   testsupport::readFile(logPath())};
    };
    host.atYield(host.yields + yield, [&] {
      form.CommandStartCancel.click();
      atCancel = now();
    });
    form.CommandStartCancel.click();
    const State after = now();
    EXPECT_EQ(after.yields, atCancel.yields);
    EXPECT_EQ(after.dirs, yield);
    EXPECT_EQ(after.dirs, atCancel.dirs);
    EXPECT_EQ(after.files, atCancel.files);
    EXPECT_EQ(after.dirCaption, std::to_string(yield));
    EXPECT_EQ(after.fileCaption, atCancel.fileCaption);
    EXPECT_EQ(after.log, atCancel.log);
    EXPECT_EQ(logLines().back(), "SCANVORGANG WURDE MANUELL ABGEBROCHEN! NICHT VOLLST\xC4NDIG!");
  }
}

TEST_F(ScanTest, DirectoryChangedWhileItsSubdirectoriesAreWalkedListsItsFilesAsTheyAreNow) {
  makeExampleTree();
  // An old time, so the change below gives C:\ another one for sure.
  // (Windows may refuse to set a folder's time.)
  std::error_code ec;
  std::filesystem::last_write_time(
      c.path(), std::filesystem::file_time_type::clock::now() - std::chrono::hours(24 * 365), ec);
  // While C:\B is walked: a file comes and one goes, and a subdirectory comes
  // that sorts first (walked, it would shift which one comes next). The change
  // is then older than the millisecond for which a checked listing is trusted.
  host.atYield(2, [this] {
    c.file("neu.txt");
    std::filesystem::remove(c.path() / "r.txt");
    c.file("0/null.txt");
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  });
  scan();
  EXPECT_THAT(logLines(), ElementsAre(kHeader, "C:\\B\\B1\\x.txt", "C:\\B\\b.txt", "C:\\A\\a.txt",
                                      "C:\\neu.txt"));
  EXPECT_EQ(app::DirsFound, 4);
}

TEST_F(ScanTest, ReadAheadWritesTheLogByteForByteAsTheOneThreadWalk) {
  // Three levels of seven folders (400 in all), names whose order depends on case
  // and umlauts, names that are no view names as they are, two files in each.
  // (Windows names hold neither, and the same count of folders is wanted there.)
  const bool bytes = platform::os::kHostNamesAreBytes;
  const std::vector<std::string> names = {
      "a", "B", "\xC3\xA4", "Zeta", "z", bytes ? "b\\s" : "b s", bytes ? "\xFF" : "~x"};
  std::function<void(const std::string&, int)> make = [&](const std::string& rel, int depth) {
    c.file(rel + "f.txt");
    c.file(rel + "G.TXT");
    if (depth == 3) return;
    for (const std::string& n : names) make(rel + n + std::to_string(depth) + "/", depth + 1);
  };
  make("", 0);
  auto& readers = platform::DirectoryReaders::process();
  const auto before = readers.counters();
  // Fewer descriptors than folders: the readers keep only what the budget allows
  // (a reader or two may find room at once), and the rest is opened by path.
  auto& budget = platform::DescriptorBudget::process();
  budget.setLimit(budget.open() + 16);
  budget.resetMostOpen();
  auto& form = scan();
  EXPECT_LE(budget.mostOpen(), budget.limit() + 16);
  const std::string ahead = testsupport::readFile(logPath());
  // Read ahead for real (how many depends on the machine's speed), and every folder
  // below the root's own was known to the read-ahead before the walk asked for it:
  // the readers name each folder exactly as the walk does.
  EXPECT_GT(readers.counters().aheadTaken - before.aheadTaken, 0u);
  EXPECT_LE(readers.counters().aheadMissed - before.aheadMissed, 7u);

  readers.setReadAhead(false);
  const auto off = readers.counters();
  form.CommandStartCancel.click();  // the second scan rewrites the log
  EXPECT_EQ(readers.counters().aheadRead, off.aheadRead);
  EXPECT_EQ(testsupport::readFile(logPath()), ahead);
  EXPECT_EQ(testsupport::splitCrLf(ahead).size(), 801u);
}

// Folders that change after the read-ahead has read them: each is listed as it was
// then or as it is now, never twice, and nothing fails.
TEST_F(ScanTest, FoldersChangedWhileTheirListingsWaitInTheReadAheadGiveNoDuplicate) {
  c.file("A/alt.txt");
  c.file("B/b.txt");
  c.file("C/C1/c.txt");
  auto& readers = platform::DirectoryReaders::process();
  const auto before = readers.counters().aheadRead;
  host.atYield(1, [&] {
    // C:\ is entered; A, B, C and C1 wait in the read-ahead.
    for (int i = 0; i < 5000 && readers.counters().aheadRead - before < 4; ++i) {
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    c.file("A/neu.txt");
    std::filesystem::remove_all(c.path() / "B");
    c.file("C/C1/c2.txt");
  });
  scan();
  const auto lines = logLines();
  const std::set<std::string> once(lines.begin(), lines.end());
  EXPECT_EQ(once.size(), lines.size()) << testing::PrintToString(lines);
  const std::set<std::string> allowed = {kHeader,        "C:\\C\\C1\\c.txt", "C:\\C\\C1\\c2.txt",
                                         "C:\\B\\b.txt", "C:\\A\\alt.txt",   "C:\\A\\neu.txt"};
  EXPECT_TRUE(std::includes(allowed.begin(), allowed.end(), once.begin(), once.end()))
      << testing::PrintToString(lines);
  EXPECT_TRUE(once.count("C:\\C\\C1\\c.txt") && once.count("C:\\A\\alt.txt"));
  EXPECT_THAT(host.messages, ::testing::IsEmpty());
}

}  // namespace
}  // namespace scantest
