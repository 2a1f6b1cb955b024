// Scans of a real network share: sshfs mounting a folder that OpenSSH's
// sftp-server serves over loopback TCP, through the benchmark's latency proxy
// (bench/SshfsShare.h), in a private mount namespace. The share as the mount table
// types it is drive D:, scanned before C:. Its server dies or stops answering in
// the middle of a scan.
#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <fstream>

#include "SshfsShare.h"
#include "platform/drives/MountTable.h"
#include "scanner/ScanFixture.h"

namespace scantest {
namespace {

namespace fs = std::filesystem;
using ::testing::ElementsAre;
using ::testing::ElementsAreArray;
using ::testing::IsEmpty;
using testsupport::sorted;

constexpr int kCannotShare = 78;

// A scan that waits for a stopped server for good is ended after this: the
// server is killed, every wait ends with an error and the test fails on its log.
constexpr unsigned kWatchdogSeconds = 30;
volatile pid_t g_server = -1;
void killServer(int) {
  ::kill(g_server, SIGKILL);
}

// What find lists below `folder` that is no directory, as log lines of drive D:
// ("D:\Bilder\a.jpg", in Windows-1252 as iconv writes it).
std::vector<std::string> findListing(const fs::path& folder) {
  const std::string command =
      "cd '" + folder.string() + "' && find . ! -type d | iconv -f UTF-8 -t WINDOWS-1252";
  std::vector<std::string> lines;
  FILE* pipe = ::popen(command.c_str(), "r");
  if (!pipe) return lines;
  char buffer[4096];
  while (std::fgets(buffer, sizeof buffer, pipe)) {
    std::string line = buffer;
    if (!line.empty() && line.back() == '\n') line.pop_back();
    line.replace(0, 1, "D:");  // "./a/b" -> "D:/a/b"
    std::replace(line.begin(), line.end(), '/', '\\');
    lines.push_back(line);
  }
  ::pclose(pipe);
  return sorted(lines);
}

class ShareScanTest : public ScanTest {
 protected:
  // Mounts `served` as a share at D: (with `latency` each way) in a child with
  // mounts of its own, runs `work` there and keeps its status lines and what the
  // mount table says of D: ("4 fuse.sshfs": a network drive of type fuse.sshfs).
  // Returns why the machine cannot, empty when it ran.
  std::string withShare(std::chrono::microseconds latency,
                        const std::function<void(bench::SshfsShare&)>& work) {
    const int rc = testsupport::runWithPrivateMounts([&] {
      bench::SshfsShare share;
      const std::string why =
          share.start({RZ_SHARE_PROXY, served.path().string(), d.path().string(), latency, {}});
      if (!why.empty()) {
        std::ofstream(result("why")) << why;
        return kCannotShare;
      }
      const auto table = platform::drivesOfMountInfoFile("/proc/self/mountinfo");
      const auto found =
          std::find_if(table.drives().begin(), table.drives().end(),
                       [&](const auto& drive) { return drive.mountPoint == d.path(); });
      if (found == table.drives().end()) return 4;
      std::ofstream(result("type")) << found->type << " " << found->fsType;
      platform::setSystemDrives(platform::DriveTable::fromDrives({
          {'C', c.path().string(), platform::DRIVE_FIXED, "ext4", "x"},
          {'D', d.path().string(), found->type, found->fsType, found->source},
          {'P', prog.path().string(), platform::DRIVE_FIXED, "ext4", "x"},
      }));
      app::ScanDrives = {"D:\\", "C:\\"};
      g_server = share.serverPid();
      ::signal(SIGALRM, killServer);
      ::alarm(kWatchdogSeconds);
      work(share);
      ::alarm(0);
      std::ofstream status(result("status"), std::ios::binary);
      for (const std::string& line : statusLines()) status << line << "\n";
      return 0;
    });
    if (rc == testsupport::kNoPrivateMounts)
      return "this machine allows no private mount namespace";
    if (rc == kCannotShare) return testsupport::readFile(result("why"));
    EXPECT_EQ(rc, 0) << "the child failed";
    EXPECT_EQ(testsupport::readFile(result("type")), "4 fuse.sshfs");
    return {};
  }

  fs::path result(const std::string& name) const { return prog.path() / (name + ".txt"); }
  std::vector<std::string> resultLines(const std::string& name) const {
    std::vector<std::string> out;
    std::ifstream in(result(name));
    for (std::string line; std::getline(in, line);) out.push_back(line);
    return out;
  }

  // The log's lines of D:, and C:'s single file c.txt after them.
  std::vector<std::string> shareLines() const {
    const auto lines = logLines();
    const auto firstC = std::find(lines.begin(), lines.end(), "C:\\c.txt");
    EXPECT_NE(firstC, lines.end()) << "C: was not scanned after D:";
    std::vector<std::string> share(lines.begin() + 1, firstC);
    EXPECT_TRUE(std::all_of(share.begin(), share.end(),
                            [](const std::string& line) { return line.starts_with("D:\\"); }));
    return share;
  }

  // Branches a..d, each a chain 30 folders deep with a file at every level, and
  // a file at the top: reading a branch takes 30 round trips one after another,
  // so no read-ahead gets through it before a server that goes away at once.
  void makeDeepBranches() {
    for (const char* branch : {"a", "b", "c", "d"}) {
      std::string path = branch;
      for (int level = 1; level <= 30; ++level) {
        path += "/" + std::to_string(level);
        served.file(path + "/f.txt", "f");
      }
    }
    served.file("oben.txt", "o");
  }

  testsupport::TempDir served;
};

// Names the way Windows writes them, links (one to a folder, one to nowhere),
// an empty folder, a folder of 250 files (several reads of the server's
// listing), and a deep one.
TEST_F(ShareScanTest, ShareIsANetworkDriveListedExactlyAsFindListsIt) {
  served.file("a.txt", "a");
  served.file("Bilder/Urlaub 2019/strand.jpg", "j");
  served.file("Bilder/Urlaub 2019/.versteckt", "v");
  served.file(
      "Dokumente/\xC3\x9C"
      "bersicht.txt",
      "u");
  served.file(
      "Dokumente/Stra\xC3\x9F"
      "e/Ma\xC3\x9F.pdf",
      "m");
  served.file(
      "Dokumente/gr\xC3\xB6\xC3\x9F"
      "e.",
      "g");
  for (int i = 0; i < 250; ++i) served.file("viele/f" + std::to_string(1000 + i), "");
  served.file("tief/1/2/3/4/5/6/7/8/unten.txt", "t");
  served.dir("leer");
  fs::create_directory_symlink("Bilder", served.path() / "Verkn\xC3\xBCpfung");
  fs::create_symlink("nirgends", served.path() / "kaputt");
  c.file("c.txt", "c");
  const std::string cannot = withShare(std::chrono::microseconds(300), [&](bench::SshfsShare&) {
    std::ofstream out(result("find"), std::ios::binary);
    for (const std::string& line : findListing(d.path())) out << line << "\n";
    auto& form = scan();
    // The read-ahead's log is byte for byte what a walk reading each folder itself writes.
    const std::string ahead = testsupport::readFile(logPath());
    platform::DirectoryReaders::process().setReadAhead(false);
    form.CommandStartCancel.click();
    std::ofstream(result("same")) << (testsupport::readFile(logPath()) == ahead ? "same" : "other");
  });
  if (!cannot.empty()) GTEST_SKIP() << cannot;
  EXPECT_EQ(testsupport::readFile(result("same")), "same");
  const auto listedByFind = resultLines("find");
  EXPECT_EQ(listedByFind.size(), 259u);  // the links are files to find too
  EXPECT_THAT(sorted(shareLines()), ElementsAreArray(listedByFind));
  EXPECT_EQ(logLines().back(), "C:\\c.txt");  // complete: no note lines
  EXPECT_THAT(resultLines("status"),
              ElementsAre("SCAN-START: 12-06-2026 14:05:09", "Gefundene Festplatten: D, C",
                          "Festplatte D:\\ wird gescannt...", "Festplatte C:\\ wird gescannt...",
                          "SCAN-ENDE: 12-06-2026 14:05:09"));
}

// The server dies as the walk enters D:'s first folder: what was read is listed
// once, the rest of D: is named as unreadable, the log is marked incomplete and
// C: is scanned after it.
TEST_F(ShareScanTest, ShareWhoseServerDiesIsNamedAndTheScanGoesOn) {
  makeDeepBranches();
  c.file("c.txt", "c");
  const std::string cannot = withShare(std::chrono::milliseconds(2), [&](bench::SshfsShare& share) {
    host.atYield(2, [&] { ::kill(share.serverPid(), SIGKILL); });
    scan();
  });
  if (!cannot.empty()) GTEST_SKIP() << cannot;
  const auto all = findListing(served.path());
  const auto listed = sorted(shareLines());
  std::vector<std::string> extra;
  std::set_difference(listed.begin(), listed.end(), all.begin(), all.end(),
                      std::back_inserter(extra));
  EXPECT_THAT(extra, IsEmpty());
  EXPECT_EQ(std::adjacent_find(listed.begin(), listed.end()), listed.end()) << "listed twice";
  EXPECT_LT(listed.size(), all.size()) << "the server died after the scan had read everything";
  const auto lines = logLines();
  EXPECT_THAT(std::vector<std::string>(lines.end() - 4, lines.end()),
              ElementsAre("C:\\c.txt", kNote1, kNote2, kNote3));
  const auto status = resultLines("status");
  EXPECT_TRUE(std::any_of(status.begin(), status.end(), [](const std::string& line) {
    return line.starts_with("Verzeichnis konnte nicht gelesen werden: D:\\");
  })) << testing::PrintToString(status);
  EXPECT_THAT(std::vector<std::string>(status.end() - 2, status.end()),
              ElementsAre("Festplatte C:\\ wird gescannt...", "SCAN-ENDE: 12-06-2026 14:05:09"));
}

// The server stops (SIGSTOP) as the walk enters D:'s first folder: sshfs waits
// for it forever, so the readers give D: up at the deadline, name the folder the
// walk waited for, and the scan completes with C:.
TEST_F(ShareScanTest, ShareWhoseServerStopsAnsweringIsGivenUpAtTheDeadline) {
  makeDeepBranches();
  c.file("c.txt", "c");
  const std::string cannot = withShare(std::chrono::milliseconds(2), [&](bench::SshfsShare& share) {
    platform::DirectoryReaders::process().setDeadline(std::chrono::seconds(1));
    host.atYield(2, [&] { ::kill(share.serverPid(), SIGSTOP); });
    scan();
  });
  if (!cannot.empty()) GTEST_SKIP() << cannot;
  const auto all = findListing(served.path());
  const auto listed = sorted(shareLines());
  EXPECT_TRUE(std::includes(all.begin(), all.end(), listed.begin(), listed.end()));
  EXPECT_LT(listed.size(), all.size());
  const auto lines = logLines();
  EXPECT_THAT(std::vector<std::string>(lines.end() - 4, lines.end()),
              ElementsAre("C:\\c.txt", kNote1, kNote2, kNote3));
  const auto status = resultLines("status");
  ASSERT_GE(status.size(), 6u);
  const std::string gaveUp = status[status.size() - 3];
  EXPECT_TRUE(gaveUp.starts_with("Festplatte D:\\ antwortet nicht beim Lesen von D:\\d\\") &&
              gaveUp.ends_with(" - Rest der Festplatte \xC3\xBC"
                               "bersprungen"))
      << gaveUp;
  EXPECT_THAT(std::vector<std::string>(status.end() - 2, status.end()),
              ElementsAre("Festplatte C:\\ wird gescannt...", "SCAN-ENDE: 12-06-2026 14:05:09"));
}

}  // namespace
}  // namespace scantest
