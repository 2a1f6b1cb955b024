// The scan log on a real disk: who may read it, links planted under its coming
// names, a full disk and a folder that may not be written.
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

#include <fstream>

#include "scanner/ScanFixture.h"

namespace scantest {
namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::IsEmpty;

mode_t modeOf(const std::filesystem::path& path) {
  struct stat st {};
  if (::lstat(path.c_str(), &st) != 0) return 0;
  return st.st_mode;
}

TEST_F(ScanTest, LogIsReadableByItsOwnerOnly) {
  makeExampleTree();
  mode_t during = 0;
  host.atYield(2, [&] { during = modeOf(temporaryPath()); });
  scan();
  EXPECT_EQ(during & 07777, 0600u);
  EXPECT_EQ(modeOf(logPath()) & 07777, 0600u);
  EXPECT_TRUE(S_ISREG(modeOf(logPath())));
}

// Someone who may write the program's folder puts links where the coming logs
// will stand; a scan (run as root, say) must write through none of them.
TEST_F(ScanTest, LinksPlantedUnderTheComingNamesAreNeverFollowed) {
  makeExampleTree();
  const auto victim = prog.path() / "opfer.txt";
  std::ofstream(victim) << "unberuehrt";
  std::filesystem::create_symlink(victim, temporaryPath());
  std::filesystem::create_symlink(victim, logPath());
  std::filesystem::create_symlink(
      prog.path() / "neu.txt",
      programDir / "protokoll-12-06-2026-14-05-09-UNVOLLST\xC3\x84NDIG-2.txt");
  auto& form = scan();
  EXPECT_THAT(host.messages, IsEmpty());
  EXPECT_EQ(testsupport::readFile(victim), "unberuehrt");
  EXPECT_FALSE(std::filesystem::exists(prog.path() / "neu.txt"));
  EXPECT_TRUE(S_ISLNK(modeOf(temporaryPath())));  // left as it was
  ASSERT_TRUE(S_ISREG(modeOf(logPath())));        // the link itself was replaced
  EXPECT_EQ(logLines().size(), 5u);
  EXPECT_FALSE(form.LabelHinweis.Visible());
}

TEST_F(ScanTest, EveryTemporaryNameTakenIsReportedAndNothingWritten) {
  makeExampleTree();
  const auto victim = prog.path() / "opfer.txt";
  std::ofstream(victim) << "unberuehrt";
  std::filesystem::create_symlink(victim, temporaryPath());
  for (int i = 2; i <= 10; ++i) {
    std::filesystem::create_symlink(victim, programDir / ("protokoll-12-06-2026-14-05-09-UNVOLLST"
                                                          "\xC3\x84NDIG-" +
                                                          std::to_string(i) + ".txt"));
  }
  scan();
  ASSERT_EQ(host.messages.size(), 1u);
  EXPECT_THAT(host.messages[0], HasSubstr("konnte nicht angelegt werden"));
  EXPECT_THAT(host.messages[0], HasSubstr("gibt es schon"));
  EXPECT_EQ(testsupport::readFile(victim), "unberuehrt");
  EXPECT_FALSE(std::filesystem::exists(logPath()));
}

TEST_F(ScanTest, FolderThatMayNotBeWrittenIsNamedInTheMessage) {
  makeExampleTree();
  ::chmod(programDir.c_str(), 0555);
  const auto messageFile = prog.path() / "meldung.txt";
  const int rc = testsupport::runUnprivileged({c.path(), prog.path()}, [&] {
    scan();
    std::ofstream(messageFile) << (host.messages.empty() ? "" : host.messages[0]);
    return 0;
  });
  ::chmod(programDir.c_str(), 0700);
  ASSERT_EQ(rc, 0);
  const std::string message = testsupport::readFile(messageFile);
  EXPECT_THAT(message, HasSubstr("Der Ordner P:\\tools darf nicht beschrieben werden"));
  EXPECT_THAT(message, HasSubstr("konnte nicht angelegt werden"));
}

// The program's folder on a small tmpfs that the scan fills: the previous log stays
// whole, nothing under the log's name reads as complete, and the message says why.
TEST_F(ScanTest, FullDiskLeavesThePreviousLogWhole) {
  const auto messageFile = prog.path() / "meldung.txt";
  const auto resultFile = prog.path() / "ergebnis.txt";
  c.file("klein.txt");
  const int rc = testsupport::runWithPrivateMounts([&]() -> int {
    if (::mount("none", programDir.c_str(), "tmpfs", 0, "size=64k") != 0) return 3;
    auto& form = scan();
    const std::string first = testsupport::readFile(logPath());
    // The second scan lists 3000 long lines, more than the disk holds.
    for (int i = 0; i < 3000; ++i)
      c.file("viele/datei-mit-einem-langen-namen-" + std::to_string(i));
    form.CommandStartCancel.click();
    std::ofstream(resultFile, std::ios::binary)
        << (testsupport::readFile(logPath()) == first ? "gleich" : "anders") << " "
        << (first.find("C:\\klein.txt\r\n") != std::string::npos ? "ganz" : "kaputt") << " "
        << form.CommandStartCancel.Caption();
    std::ofstream(messageFile, std::ios::binary)
        << (host.messages.size() == 1 ? host.messages[0] : std::to_string(host.messages.size()));
    return 0;
  });
  if (rc == testsupport::kNoPrivateMounts || rc == 3) {
    GTEST_SKIP() << "this machine allows no private mount namespace with a tmpfs";
  }
  ASSERT_EQ(rc, 0);
  EXPECT_EQ(testsupport::readFile(resultFile), "gleich ganz start");
  const std::string message = testsupport::readFile(messageFile);
  EXPECT_THAT(message, HasSubstr("Der Datentr\xC3\xA4ger ist voll"));
  EXPECT_THAT(message, HasSubstr("unter diesem Namen wurde nichts abgelegt"));
}

}  // namespace
}  // namespace scantest
