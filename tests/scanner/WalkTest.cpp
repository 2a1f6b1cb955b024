// The directory walk on real trees: denied and vanishing directories, links, odd
// names, mounts, and directories that are very large or very deep.
#include <fcntl.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <fstream>
#include <set>

#include "platform/reading/DirectoryListing.h"
#include "scanner/ScanFixture.h"

namespace scantest {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

// Runs a scan in an unprivileged child and brings back its log and status lines.
struct ChildScan {
  int exitCode = -1;
  std::vector<std::string> log;
  std::vector<std::string> status;
};

class DeniedTest : public ScanTest {
 protected:
  ChildScan scanUnprivileged(const std::function<void(scanner::FormSpurlauf&)>& before = {}) {
    const auto statusFile = prog.path() / "status.txt";
    ChildScan result;
    result.exitCode = testsupport::runUnprivileged({c.path(), d.path(), prog.path()}, [&] {
      auto& form = start();
      if (before) before(form);
      form.CommandStartCancel.click();
      std::ofstream out(statusFile, std::ios::binary);
      for (const auto& line : form.ListStatus.items()) out << line << "\r\n";
      out << (form.LabelHinweis.Visible() ? "visible" : "hidden") << "\r\n";
      return 0;
    });
    result.log = logLines();
    result.status = testsupport::splitCrLf(testsupport::readFile(statusFile));
    return result;
  }
};

TEST_F(DeniedTest, UnreadableSubdirectoryIsSkippedAndEverythingElseListed) {
  c.file("A/a.txt");
  c.file("B/geheim.txt");
  c.file("C/c.txt");
  c.file("r.txt");
  ::chmod((c.path() / "B").c_str(), 0);
  const ChildScan r = scanUnprivileged();
  ASSERT_EQ(r.exitCode, 0);
  EXPECT_THAT(r.log, ElementsAre(kHeader, "C:\\C\\c.txt", "C:\\A\\a.txt", "C:\\r.txt", kNote1,
                                 kNote2, kNote3));
  EXPECT_THAT(r.status,
              ElementsAre("SCAN-START: 12-06-2026 14:05:09", "Gefundene Festplatten: C",
                          "Festplatte C:\\ wird gescannt...", "Zugriff verweigert auf C:\\B",
                          "SCAN-ENDE: 12-06-2026 14:05:09", "visible"));
  // The note lines to the byte, trailing blanks and umlaut included.
  const std::string bytes = testsupport::readFile(logPath());
  EXPECT_NE(bytes.find("HINWEIS: Es konnten nicht alle Dateien erfasst werden, \r\n"
                       "da Sie beim Ausf\xFChren des Scanners nicht als \r\n"
                       "Administrator dieses PC angemeldet waren! \r\n"),
            std::string::npos);
}

TEST_F(DeniedTest, CancelAfterADeniedDirectoryWritesCancelThenNote) {
  c.file("A/a.txt");
  c.dir("Z");
  ::chmod((c.path() / "Z").c_str(), 0);
  // Entered: C:\ (1), then C:\Z is denied, C:\A (2).
  host.atYield(2, [] { scanner::mainWindow()->CommandStartCancel.click(); });
  const ChildScan r = scanUnprivileged();
  ASSERT_EQ(r.exitCode, 0);
  EXPECT_THAT(r.log, ElementsAre(kHeader, kCancel, kNote1, kNote2, kNote3));
}

TEST_F(DeniedTest, UnreadableDriveRootIsReportedAndTheScanCompletes) {
  useDrives({'C', 'D'});
  app::ScanDrives = {"C:\\", "D:\\"};
  c.file("c.txt");
  d.file("d.txt");
  ::chmod(c.path().c_str(), 0);
  const ChildScan r = scanUnprivileged();
  ::chmod(c.path().c_str(), 0700);
  ASSERT_EQ(r.exitCode, 0);
  EXPECT_THAT(r.log, ElementsAre(kHeader, "D:\\d.txt", kNote1, kNote2, kNote3));
  ASSERT_GE(r.status.size(), 4u);
  EXPECT_EQ(r.status[3], "Zugriff verweigert auf C:\\");
  EXPECT_EQ(r.status.back(), "visible");
}

TEST_F(ScanTest, LinksAreListedAsFilesAndNeverFollowed) {
  c.file("A/a.txt");
  std::filesystem::create_directory_symlink(c.path() / "A", c.path() / "A" / "schleife");
  std::filesystem::create_symlink("/nirgendwo", c.path() / "kaputt");
  ::mkfifo((c.path() / "rohr").c_str(), 0600);
  scan();
  EXPECT_THAT(logLines(),
              ElementsAre(kHeader, "C:\\A\\a.txt", "C:\\A\\schleife", "C:\\kaputt", "C:\\rohr"));
  EXPECT_EQ(app::DirsFound, 2);
}

TEST_F(ScanTest, HiddenEntriesAreListedInCaseInsensitiveOrder) {
  c.file(".versteckt");
  c.file("b.txt");
  c.file("A.txt");
  c.file("c.txt");
  c.file(
      "\xC3\x9C"
      "ber.txt");  // Über.txt
  scan();
  EXPECT_THAT(logLines(),
              ElementsAre(kHeader, "C:\\.versteckt", "C:\\A.txt", "C:\\b.txt", "C:\\c.txt",
                          "C:\\\xDC"
                          "ber.txt"));
}

TEST_F(ScanTest, OddNamesCannotSplitOrForgeALogLine) {
  c.file("zeile\nC:\\gefaelscht.txt");
  c.file("back\\slash");
  c.file(std::string("kaputt\xFF\xFE.txt"));
  c.file("\xE6\x97\xA5\xE6\x9C\xAC.txt");  // not in Windows-1252
  c.file(
      "gr\xC3\xBC\xC3\x9F"
      "e.txt");  // grüße.txt
  scan();
  const auto lines = logLines();
  ASSERT_EQ(lines.size(), 6u);
  EXPECT_THAT(std::vector<std::string>(lines.begin() + 1, lines.end()),
              ElementsAre("C:\\back?slash",
                          "C:\\gr\xFC\xDF"
                          "e.txt",
                          "C:\\kaputt\xFF\xFE.txt", "C:\\zeile?C:?gefaelscht.txt", "C:\\??.txt"));
  EXPECT_EQ(app::FilesFound, 5);
}

// Old 8-bit names: each byte is the Windows-1252 character of the same value, so
// that names differing in one byte stay apart; the five bytes 1252 leaves
// undefined are "?".
TEST_F(ScanTest, Latin1NamesKeepTheirBytesInTheLog) {
  for (const char* name : {"caf\xE9", "\xC4rger", "preis\x80", "leer\x81", "x\x9D"}) c.file(name);
  scan();
  EXPECT_THAT(logLines(), ElementsAre(kHeader, "C:\\caf\xE9", "C:\\leer?", "C:\\preis\x80",
                                      "C:\\x?", "C:\\\xC4rger"));
}

// Every byte value of a one-byte name gives a line of its own, except the ones
// the log cannot hold ("\\", control characters, the five undefined).
TEST_F(ScanTest, OneByteNamesCollapseOnlyWhereTheLogCannotHoldThem) {
  int made = 0;
  for (int b = 1; b < 256; ++b) {
    if (b == '/' || b == '.') continue;
    c.file(std::string(1, static_cast<char>(b)));
    ++made;
  }
  scan();
  const auto lines = logLines();
  ASSERT_EQ(lines.size(), static_cast<size_t>(made) + 1);
  const std::set<std::string> distinct(lines.begin() + 1, lines.end());
  // 253 names; 31 control characters, "\\", DEL and five undefined bytes are "?",
  // the same line as the name "?" itself.
  EXPECT_EQ(made, 253);
  EXPECT_EQ(distinct.size(), 253u - 39 + 1);
  EXPECT_EQ(std::count(lines.begin(), lines.end(), "C:\\?"), 31 + 1 + 1 + 5 + 1);
}

TEST_F(ScanTest, MountPointsAreNotCrossed) {
  c.file("a.txt");
  c.file("fremd/b.txt");
  useDrives({'C'}, {(c.path() / "fremd").string()});
  scan();
  EXPECT_THAT(logLines(), ElementsAre(kHeader, "C:\\a.txt"));
  EXPECT_EQ(app::DirsFound, 1);
}

// Mounts a tmpfs at `point` holding `file`, then runs `scan`, all in a child with
// mounts of its own: the mount goes with the child. False when the machine refuses.
bool scanWithTmpfsAt(const std::filesystem::path& point, const std::string& file,
                     const std::function<void()>& scan) {
  const int rc = testsupport::runWithPrivateMounts([&] {
    if (::mount("none", point.c_str(), "tmpfs", 0, nullptr) != 0) {
      return testsupport::kNoPrivateMounts;
    }
    std::ofstream(point / file) << "x";
    scan();
    return 0;
  });
  if (rc == testsupport::kNoPrivateMounts) return false;
  EXPECT_EQ(rc, 0);
  return true;
}

TEST_F(ScanTest, RealMountIsNotCrossed) {
  c.file("a.txt");
  const auto point = c.dir("tmpfs");
  // The drive table knows nothing of this mount: the device number tells.
  if (!scanWithTmpfsAt(point, "drin.txt", [this] { scan(); })) {
    GTEST_SKIP() << "this machine allows no private mount namespace with a tmpfs";
  }
  EXPECT_THAT(logLines(), ElementsAre(kHeader, "C:\\a.txt"));
}

TEST_F(ScanTest, DriveMountedInsideAnotherIsWalkedAsItsOwnDrive) {
  c.file("a.txt");
  const auto point = c.dir("platte");
  std::vector<platform::Drive> drives = {
      {'C', c.path().string(), platform::DRIVE_FIXED, "ext4", "x"},
      {'D', point.string(), platform::DRIVE_FIXED, "tmpfs", "x"},
      {'P', prog.path().string(), platform::DRIVE_FIXED, "ext4", "x"}};
  platform::setSystemDrives(platform::DriveTable::fromDrives(drives));
  app::ScanDrives = {"C:\\", "D:\\"};
  if (!scanWithTmpfsAt(point, "d.txt", [this] { scan(); })) {
    GTEST_SKIP() << "this machine allows no private mount namespace with a tmpfs";
  }
  EXPECT_THAT(logLines(), ElementsAre(kHeader, "C:\\a.txt", "D:\\d.txt"));
}

TEST_F(ScanTest, VanishingDirectoryIsPassedOverSilently) {
  c.file("A/a.txt");
  c.file("B/b.txt");
  // C:\ is entered first; then C:\B; C:\A vanishes while C:\B is walked (and
  // is not read ahead before, which would list it as it was then).
  platform::DirectoryReaders::process().setReadAhead(false);
  host.atYield(2, [this] { std::filesystem::remove_all(c.path() / "A"); });
  auto& form = scan();
  EXPECT_THAT(logLines(), ElementsAre(kHeader, "C:\\B\\b.txt"));
  EXPECT_THAT(host.messages, IsEmpty());
  EXPECT_FALSE(form.LabelHinweis.Visible());
  EXPECT_EQ(statusLines().size(), 4u);
}

// Drive D: on the tests' own FUSE file system (support/ErrorFs.cpp), in a private
// mount namespace: its folder "kaputt" fails with EIO, "weg" with ENXIO.
class BrokenDiskTest : public ScanTest {
 protected:
  // Runs `scanAndReport` in a child with D: mounted; the reason why not where the
  // machine cannot mount it, else empty.
  // `share`: D: is a share, rz_error_fs run with that option ("--haengt": its
  // folder "haengt" never answers; "--langsam": it answers each reading late).
  std::string withBrokenDisk(const std::function<void(pid_t)>& scanAndReport,
                             const char* share = nullptr) {
#ifndef RZ_ERROR_FS
    (void)scanAndReport;
    (void)share;
    return "built without libfuse3 (Debian package libfuse3-dev)";
#else
    if (::access("/dev/fuse", R_OK | W_OK) != 0) return "no /dev/fuse on this machine";
    struct stat before {};
    ::stat(d.path().c_str(), &before);
    const int rc = testsupport::runWithPrivateMounts([&]() -> int {
      const pid_t fs = ::fork();
      if (fs == 0) {
        // What the file system writes ("--spaet": the folders it was asked for).
        const int out = ::open(asked().c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        if (out >= 0 && ::dup2(out, STDOUT_FILENO) >= 0) ::close(out);
        ::execl(RZ_ERROR_FS, RZ_ERROR_FS, d.path().c_str(), share, static_cast<char*>(nullptr));
        _exit(127);
      }
      struct stat now {};
      for (int i = 0; i < 500; ++i) {
        if (::stat(d.path().c_str(), &now) == 0 && now.st_dev != before.st_dev) break;
        ::usleep(10000);
      }
      if (now.st_dev == before.st_dev) return 3;
      const bool failedBefore = ::testing::Test::HasFailure();
      std::vector<platform::Drive> drives = {
          {'C', c.path().string(), platform::DRIVE_FIXED, "ext4", "x"},
          share ? platform::Drive{'D', d.path().string(), platform::DRIVE_REMOTE, "fuse.sshfs",
                                  "rz-error-fs"}
                : platform::Drive{'D', d.path().string(), platform::DRIVE_FIXED, "fuse.rz-error-fs",
                                  "rz-error-fs"},
          {'P', prog.path().string(), platform::DRIVE_FIXED, "ext4", "x"}};
      platform::setSystemDrives(platform::DriveTable::fromDrives(drives));
      app::ScanDrives = {"C:\\", "D:\\"};
      scanAndReport(fs);
      ::kill(fs, SIGKILL);
      ::waitpid(fs, nullptr, 0);
      // A failed expectation of the child's is only printed there.
      return ::testing::Test::HasFailure() && !failedBefore ? 4 : 0;
    });
    if (rc == testsupport::kNoPrivateMounts || rc == 3) {
      return "this machine allows no FUSE mount in a private mount namespace";
    }
    EXPECT_EQ(rc, 0) << "the child scan failed (4: an expectation of its own, above)";
    return {};
#endif
  }

  std::filesystem::path asked() const {
    return prog.path() / "asked.txt";
  }
  // The lines the file system wrote ("--spaet": the folders it was asked for).
  std::vector<std::string> askedLines() const {
    std::vector<std::string> lines;
    std::ifstream in(asked());
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
  }

  // D: a share whose folder haengt never answers, scanned first, then C:; the
  // readers give a drive up after `deadline`.
  std::string withHangingShare(std::chrono::milliseconds deadline,
                               const std::function<void()>& scanAndReport) {
    return withBrokenDisk(
        [&](pid_t) {
          app::ScanDrives = {"D:\\", "C:\\"};
          platform::DirectoryReaders::process().setDeadline(deadline);
          scanAndReport();
        },
        "--haengt");
  }

  // A scan whose D: goes away (its server is killed) when the walk enters it:
  // yields C: (1), D: (2).
  std::string scanWhileDGoesAway() {
    return withBrokenDisk([&](pid_t fs) {
      host.atYield(2, [fs] {
        ::kill(fs, SIGKILL);
        ::waitpid(fs, nullptr, 0);
      });
      report(scan());
    });
  }

  void report(scanner::FormSpurlauf& form) {
    std::ofstream out(prog.path() / "status.txt", std::ios::binary);
    for (const auto& line : form.ListStatus.items()) out << line << "\r\n";
  }
  std::vector<std::string> reported() const {
    return testsupport::splitCrLf(testsupport::readFile(prog.path() / "status.txt"));
  }
};

TEST_F(BrokenDiskTest, FoldersWithIoErrorsAreNamedAndTheLogMarkedIncomplete) {
  c.file("c.txt");
  const std::string cannot = withBrokenDisk([&](pid_t) { report(scan()); });
  if (!cannot.empty()) GTEST_SKIP() << cannot;
  EXPECT_THAT(logLines(), ElementsAre(kHeader, "C:\\c.txt", "D:\\gut\\a.txt", "D:\\gut\\b.txt",
                                      "D:\\z.txt", kNote1, kNote2, kNote3));
  EXPECT_THAT(reported(),
              ElementsAre("SCAN-START: 12-06-2026 14:05:09", "Gefundene Festplatten: C, D",
                          "Festplatte C:\\ wird gescannt...", "Festplatte D:\\ wird gescannt...",
                          "Verzeichnis konnte nicht gelesen werden: D:\\weg (Ger\xC3\xA4t nicht "
                          "verf\xC3\xBCgbar)",
                          "Verzeichnis konnte nicht gelesen werden: D:\\kaputt (Fehler beim Lesen "
                          "oder Schreiben des Datentr\xC3\xA4gers)",
                          "SCAN-ENDE: 12-06-2026 14:05:09"));
}

// The drive's file system goes away in the middle of the scan (its server ends):
// every folder not yet read is named, and the log says it is incomplete.
TEST_F(BrokenDiskTest, DriveThatGoesAwayDuringTheScanMarksTheLogIncomplete) {
  c.file("c.txt");
  // The folders below D: are not read yet when it goes away (none is read ahead).
  platform::DirectoryReaders::process().setReadAhead(false);
  const std::string cannot = scanWhileDGoesAway();
  if (!cannot.empty()) GTEST_SKIP() << cannot;
  const auto lines = logLines();
  ASSERT_GE(lines.size(), 5u);
  EXPECT_EQ(lines[1], "C:\\c.txt");
  EXPECT_THAT(std::vector<std::string>(lines.end() - 3, lines.end()),
              ElementsAre(kNote1, kNote2, kNote3));
  EXPECT_EQ(std::count(lines.begin(), lines.end(), "D:\\gut\\a.txt"), 0);
  // Whichever folder of D: the walk came to first: named with the reason.
  const auto status = reported();
  const std::string prefix = "Verzeichnis konnte nicht gelesen werden: D:\\";
  const std::string reason = " (Ger\xC3\xA4t nicht verf\xC3\xBCgbar)";
  EXPECT_TRUE(std::any_of(status.begin(), status.end(), [&](const std::string& line) {
    return line.rfind(prefix, 0) == 0 && line.size() > reason.size() &&
           line.compare(line.size() - reason.size(), reason.size(), reason) == 0;
  })) << testing::PrintToString(status);
}

// The same with read-ahead: whatever of D: was read before it went away is listed
// once, and a folder that was not is named and marks the log incomplete.
TEST_F(BrokenDiskTest, DriveThatGoesAwayWhileReadAheadListsNothingTwice) {
  c.file("c.txt");
  const std::string cannot = scanWhileDGoesAway();
  if (!cannot.empty()) GTEST_SKIP() << cannot;
  const auto lines = logLines();
  ASSERT_GE(lines.size(), 2u);
  EXPECT_EQ(lines[1], "C:\\c.txt");
  EXPECT_EQ(std::set<std::string>(lines.begin(), lines.end()).size(), lines.size())
      << testing::PrintToString(lines);
  const auto status = reported();
  const bool named = std::any_of(status.begin(), status.end(), [](const std::string& line) {
    return line.find("konnte nicht gelesen werden") != std::string::npos;
  });
  EXPECT_EQ(named, lines.back() == kNote3) << testing::PrintToString(status);
}

// A share that answers each reading 2 ms late: the readers ask it more at once than
// there are cores, and every file of it is listed.
TEST_F(BrokenDiskTest, SlowShareIsAskedForMoreFoldersAtOnceThanThereAreCores) {
  const std::string cannot = withBrokenDisk(
      [&](pid_t) {
        scan();
        std::ofstream(prog.path() / "most.txt")
            << platform::DirectoryReaders::process().counters().mostAtOnce;
      },
      "--langsam");
  if (!cannot.empty()) GTEST_SKIP() << cannot;
  const auto lines = logLines();
  EXPECT_EQ(std::count_if(lines.begin(), lines.end(),
                          [](const std::string& line) {
                            return line.starts_with("D:\\langsam\\") && line.ends_with("\\a.txt");
                          }),
            64);
  const unsigned cores = std::max(2u, std::thread::hardware_concurrency());
  EXPECT_GT(std::stoul(testsupport::readFile(prog.path() / "most.txt")), cores);
}

// D: stops answering when the walk comes to D:\haengt (its server is gone): the
// drive is given up after the deadline, named, the log marked incomplete, and the
// scan goes on with the next drive.
TEST_F(BrokenDiskTest, ShareThatStopsAnsweringIsGivenUpAndTheScanGoesOn) {
  c.file("c.txt");
  const std::string cannot = withHangingShare(std::chrono::seconds(2), [&] {
    auto& form = scan();
    report(form);
    EXPECT_EQ(form.CommandStartCancel.Caption(), "start");
    EXPECT_GT(host.keepAlives, 0);
  });
  if (!cannot.empty()) GTEST_SKIP() << cannot;
  // weg and kaputt come before haengt; gut and D:'s own files are never answered.
  EXPECT_THAT(logLines(), ElementsAre(kHeader, "C:\\c.txt", kNote1, kNote2, kNote3));
  EXPECT_THAT(reported(),
              ElementsAre("SCAN-START: 12-06-2026 14:05:09", "Gefundene Festplatten: D, C",
                          "Festplatte D:\\ wird gescannt...",
                          "Verzeichnis konnte nicht gelesen werden: D:\\weg (Ger\xC3\xA4t nicht "
                          "verf\xC3\xBCgbar)",
                          "Verzeichnis konnte nicht gelesen werden: D:\\kaputt (Fehler beim Lesen "
                          "oder Schreiben des Datentr\xC3\xA4gers)",
                          "Festplatte D:\\ antwortet nicht beim Lesen von D:\\haengt - Rest der "
                          "Festplatte \xC3\xBC"
                          "bersprungen",
                          "Festplatte C:\\ wird gescannt...", "SCAN-ENDE: 12-06-2026 14:05:09"));
}

// "abbrechen" while the walk waits for the share: the click runs during the wait,
// the log gets its cancellation line and the program ends, long before the deadline.
TEST_F(BrokenDiskTest, CancelWhileAShareDoesNotAnswerEndsTheScanAtOnce) {
  c.file("c.txt");
  const std::string cannot = withHangingShare(std::chrono::seconds(5), [&] {
    // Once weg and kaputt are named, the walk waits for haengt.
    host.atKeepAlive([this] {
      if (statusLines().size() < 5) return false;
      scanner::mainWindow()->CommandStartCancel.click();
      return true;
    });
    report(scan());
    EXPECT_EQ(host.ends, 1);
    EXPECT_EQ(platform::DirectoryReaders::process().counters().givenUp, 0u);
  });
  if (!cannot.empty()) GTEST_SKIP() << cannot;
  EXPECT_THAT(logLines(), ElementsAre(kHeader, kCancel, kNote1, kNote2, kNote3));
  EXPECT_EQ(reported().size(), 5u);  // nothing after the cancel
}

// "abbrechen" and the close request while the drive list's change waits for D:
// (it points Dir1 at D:'s root, which answers only when told): D: answers right
// after the end, and no folder of D: is read after it, nor a line written.
TEST_F(BrokenDiskTest, CancelOrCloseWhileTheDriveChangeWaitsReadsNothingOfThatDriveAfterwards) {
  c.file("c.txt");
  // The walk's own reads only: the read-ahead would read the root's subdirectories
  // as soon as it is answered; the end of the walk drops them.
  platform::DirectoryReaders::process().setReadAhead(false);
  for (const bool close : {false, true}) {
    SCOPED_TRACE(close ? "close request" : "click on \"abbrechen\"");
    const std::string cannot = withBrokenDisk(
        [&](pid_t fs) {
          host.atKeepAlive([&] {
            if (askedLines().empty()) return false;  // a wait for C:
            scanner::FormSpurlauf& form = *scanner::mainWindow();
            close ? form.requestClose() : form.CommandStartCancel.click();
            ::kill(fs, SIGUSR1);
            // D:'s root is answered, and the answer reaches the reader.
            for (int i = 0; i < 500 && askedLines().size() < 2; ++i) ::usleep(10000);
            ::usleep(100000);
            return true;
          });
          report(scan());
        },
        "--spaet");
    if (!cannot.empty()) GTEST_SKIP() << cannot;
    EXPECT_THAT(askedLines(), ElementsAre("opendir /", "readdir /"));
    EXPECT_THAT(logLines(), ElementsAre(kHeader, "C:\\c.txt", kCancel));
    EXPECT_THAT(
        reported(),
        ElementsAre("SCAN-START: 12-06-2026 14:05:09", "Gefundene Festplatten: C, D",
                    "Festplatte C:\\ wird gescannt...", "Festplatte D:\\ wird gescannt..."));
  }
}

TEST_F(ScanTest, DirectoryLargerThanSixteenBitCountsIsListedWhole) {
  constexpr int kFiles = 40000;
  const auto big = c.dir("gross");
  for (int i = 0; i < kFiles; ++i) {
    const int fd = ::open((big / ("f" + std::to_string(i))).c_str(), O_CREAT | O_WRONLY, 0644);
    ASSERT_GE(fd, 0);
    ::close(fd);
  }
  scan();
  EXPECT_EQ(app::FilesFound, kFiles);
  EXPECT_EQ(logLines().size(), kFiles + 1u);
  EXPECT_THAT(host.messages, IsEmpty());
}

TEST_F(ScanTest, LongNamesFillingManyReadsAreAllListed) {
  // Names near the longest a file system allows: every read of the directory
  // returns few entries, and one that ends near the buffer's end is not its last.
  constexpr int kFiles = 3000;
  const auto dir = c.dir("lang");
  for (int i = 0; i < kFiles; ++i) {
    const std::string name = std::string(200 + i % 50, 'n') + std::to_string(i);
    const int fd = ::open((dir / name).c_str(), O_CREAT | O_WRONLY, 0644);
    ASSERT_GE(fd, 0);
    ::close(fd);
  }
  scan();
  EXPECT_EQ(app::FilesFound, kFiles);
  EXPECT_EQ(logLines().size(), kFiles + 1u);
}

TEST_F(ScanTest, ManySubdirectoriesAreReadOnceEach) {
  constexpr int kDirs = 3000;
  for (int i = 0; i < kDirs; ++i) c.file("viele/d" + std::to_string(i) + "/x");
  const auto before = platform::directoryStats();
  scan();
  const auto after = platform::directoryStats();
  EXPECT_EQ(app::DirsFound, kDirs + 2);
  // Re-reading the parent after each child would make this quadratic.
  EXPECT_LE(after.reads - before.reads, static_cast<uint64_t>(kDirs + 10));
}

// Builds a chain of `depth` directories named `name` below `root` with a file at
// the bottom, using paths relative to each level so any depth can be made (the
// temporary folder removes it however deep).
void makeDeepChain(const std::filesystem::path& root, int depth, const std::string& name) {
  int fd = ::open(root.c_str(), O_RDONLY | O_DIRECTORY);
  ASSERT_GE(fd, 0);
  for (int i = 0; i < depth; ++i) {
    ASSERT_EQ(::mkdirat(fd, name.c_str(), 0755), 0);
    const int next = ::openat(fd, name.c_str(), O_RDONLY | O_DIRECTORY);
    ::close(fd);
    ASSERT_GE(next, 0);
    fd = next;
  }
  const int file = ::openat(fd, "tief.txt", O_CREAT | O_WRONLY, 0644);
  ::close(file);
  ::close(fd);
}

TEST_F(ScanTest, PathsLongerThanTheSystemLimitAreWalked) {
  const std::string name(200, 'n');
  makeDeepChain(c.path(), 40, name);  // about 8,000 bytes
  scan();
  const auto lines = logLines();
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_GT(lines[1].size(), 8000u);
  EXPECT_EQ(lines[1].substr(lines[1].size() - 9), "\\tief.txt");
  EXPECT_EQ(app::DirsFound, 41);
}

TEST_F(ScanTest, TenThousandLevelsDeepIsWalkedWithoutACrash) {
  makeDeepChain(c.path(), 10000, "t");
  scan();
  EXPECT_EQ(app::DirsFound, 10001);
  EXPECT_EQ(app::FilesFound, 1);
  EXPECT_THAT(host.messages, IsEmpty());
}

}  // namespace
}  // namespace scantest
