// The directory walk on real trees: denied and vanishing directories, links, odd
// names, mounts, and directories that are very large or very deep.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <fstream>
#include <set>

#include "platform/HostDirectory.h"
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

TEST_F(ScanTest, RealMountIsNotCrossed) {
  c.file("a.txt");
  const auto point = c.dir("tmpfs");
  if (::system(("mount -t tmpfs none '" + point.string() + "' 2>/dev/null").c_str()) != 0) {
    GTEST_SKIP() << "this machine does not allow mounting a tmpfs here";
  }
  std::ofstream(point / "drin.txt") << "x";
  scan();  // the drive table knows nothing of this mount: the device number tells
  const auto lines = logLines();
  ::system(("umount '" + point.string() + "'").c_str());
  EXPECT_THAT(lines, ElementsAre(kHeader, "C:\\a.txt"));
}

TEST_F(ScanTest, DriveMountedInsideAnotherIsWalkedAsItsOwnDrive) {
  c.file("a.txt");
  const auto point = c.dir("platte");
  if (::system(("mount -t tmpfs none '" + point.string() + "' 2>/dev/null").c_str()) != 0) {
    GTEST_SKIP() << "this machine does not allow mounting a tmpfs here";
  }
  std::ofstream(point / "d.txt") << "x";
  std::vector<platform::Drive> drives = {
      {'C', c.path().string(), platform::DRIVE_FIXED, "ext4", "x"},
      {'D', point.string(), platform::DRIVE_FIXED, "tmpfs", "x"},
      {'P', prog.path().string(), platform::DRIVE_FIXED, "ext4", "x"}};
  platform::setSystemDrives(platform::DriveTable::fromDrives(drives));
  app::ScanDrives = {"C:\\", "D:\\"};
  scan();
  const auto lines = logLines();
  ::system(("umount '" + point.string() + "'").c_str());
  EXPECT_THAT(lines, ElementsAre(kHeader, "C:\\a.txt", "D:\\d.txt"));
}

TEST_F(ScanTest, VanishingDirectoryIsPassedOverSilently) {
  c.file("A/a.txt");
  c.file("B/b.txt");
  // C:\ is entered first; then C:\B; C:\A vanishes while C:\B is walked.
  host.atYield(2, [this] { std::filesystem::remove_all(c.path() / "A"); });
  auto& form = scan();
  EXPECT_THAT(logLines(), ElementsAre(kHeader, "C:\\B\\b.txt"));
  EXPECT_THAT(host.messages, IsEmpty());
  EXPECT_FALSE(form.LabelHinweis.Visible());
  EXPECT_EQ(statusLines().size(), 4u);
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
// the bottom, using paths relative to each level so any depth can be made.
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

void removeDeepChain(const std::filesystem::path& root, const std::string& name) {
  // Remove from the bottom with relative paths; remove_all would hit the path limit.
  std::vector<int> fds{::open(root.c_str(), O_RDONLY | O_DIRECTORY)};
  while (true) {
    const int next = ::openat(fds.back(), name.c_str(), O_RDONLY | O_DIRECTORY);
    if (next < 0) break;
    fds.push_back(next);
  }
  ::unlinkat(fds.back(), "tief.txt", 0);
  for (size_t i = fds.size() - 1; i > 0; --i) {
    ::close(fds[i]);
    ::unlinkat(fds[i - 1], name.c_str(), AT_REMOVEDIR);
  }
  ::close(fds[0]);
}

TEST_F(ScanTest, PathsLongerThanTheSystemLimitAreWalked) {
  const std::string name(200, 'n');
  makeDeepChain(c.path(), 40, name);  // about 8,000 bytes
  scan();
  removeDeepChain(c.path(), name);
  const auto lines = logLines();
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_GT(lines[1].size(), 8000u);
  EXPECT_EQ(lines[1].substr(lines[1].size() - 9), "\\tief.txt");
  EXPECT_EQ(app::DirsFound, 41);
}

TEST_F(ScanTest, TenThousandLevelsDeepIsWalkedWithoutACrash) {
  makeDeepChain(c.path(), 10000, "t");
  scan();
  removeDeepChain(c.path(), "t");
  EXPECT_EQ(app::DirsFound, 10001);
  EXPECT_EQ(app::FilesFound, 1);
  EXPECT_THAT(host.messages, IsEmpty());
}

}  // namespace
}  // namespace scantest
