// Scans over real file systems mounted in a private mount namespace: btrfs
// subvolumes, more disks than letters, a bind whose origin is covered, and the
// RAM disks and images that are no drives. Each runs in a child process whose
// mounts nobody else sees and that vanish with it.
#include <algorithm>
#include <cstdlib>
#include <fstream>

#include "platform/drives/MountTable.h"
#include "scanner/ScanFixture.h"
#include "support/TestSupport.h"

namespace scantest {
namespace {

namespace fs = std::filesystem;
using ::testing::Contains;
using ::testing::ElementsAre;
using ::testing::ElementsAreArray;
using ::testing::HasSubstr;
using testsupport::sorted;

// The machine does not let the test mount (as for a refused mount namespace).
constexpr int kRefused = testsupport::kNoPrivateMounts;

bool run(const std::string& command) {
  return std::system((command + " >/dev/null 2>&1").c_str()) == 0;
}

std::string quoted(const fs::path& p) {
  return "'" + p.string() + "'";
}

// An empty image file of `megabytes` (sparse) made into a file system by `mkfs`.
bool makeImage(const fs::path& image, int megabytes, const std::string& mkfs) {
  return run("truncate -s " + std::to_string(megabytes) + "M " + quoted(image)) &&
         run(mkfs + " " + quoted(image));
}

bool mountImage(const fs::path& image, const fs::path& at, const std::string& options = "") {
  fs::create_directories(at);
  return run("mount -o loop" + (options.empty() ? "" : "," + options) + " " + quoted(image) + " " +
             quoted(at));
}

void write(const fs::path& file, const std::string& content = "x") {
  fs::create_directories(file.parent_path());
  std::ofstream(file) << content;
}

class MountScanTest : public ScanTest {
 protected:
  // Reads the child's own mount table, scans every drive at or below `base` and
  // writes the host paths of the listed files to a result file (one per line).
  int scanDrivesBelow(const fs::path& base) {
    const platform::DriveTable table = platform::drivesOfMountInfoFile("/proc/self/mountinfo");
    std::vector<std::string> roots;
    std::ofstream drives(result("drives"));
    for (const platform::Drive& drive : table.drives()) {
      // As the program's start-up takes them: fixed and network drives.
      if (!platform::mounts::isPathPrefix(base.string(), drive.mountPoint) ||
          (drive.type != platform::DRIVE_FIXED && drive.type != platform::DRIVE_REMOTE))
        continue;
      roots.push_back(std::string(1, drive.letter) + ":\\");
      drives << drive.mountPoint << "\n";
    }
    std::ofstream walked(result("walked"));
    for (const auto& entry : fs::recursive_directory_iterator(base)) {
      if (entry.is_directory() && table.walksInto(entry.path().string())) {
        walked << entry.path().string() << "\n";
      }
    }
    if (beforeScan) beforeScan(table);
    platform::setSystemDrives(table);
    platform::App.Path = table.hostToView(programDir.string());
    app::ScanDrives = roots;
    scan();
    std::ofstream files(result("files"));
    std::ofstream notes(result("notes"));
    const std::vector<std::string> lines = logLines();
    for (size_t i = 1; i < lines.size(); ++i) {
      const bool fileLine = lines[i].size() > 3 && lines[i][1] == ':' && lines[i][2] == '\\';
      if (fileLine) {
        files << table.viewToHost(lines[i]).value_or("?") << "\n";
      } else {
        notes << lines[i] << "\n";
      }
    }
    std::ofstream status(result("status"));
    for (const std::string& line : statusLines()) status << line << "\n";
    return 0;
  }

  fs::path result(const std::string& name) const { return prog.path() / (name + ".txt"); }
  std::vector<std::string> resultLines(const std::string& name) const {
    std::vector<std::string> out;
    std::ifstream in(result(name));
    for (std::string line; std::getline(in, line);) out.push_back(line);
    return out;
  }

  // Runs the child; false (the test skipped) when the machine refuses.
  bool runChild(const std::function<int()>& work) {
    const int rc = testsupport::runWithPrivateMounts(work);
    if (rc == kRefused) return false;
    EXPECT_EQ(rc, 0) << "the child failed";
    return rc == 0;
  }

  std::function<void(const platform::DriveTable&)> beforeScan;
};

const char* const kRefusedReason =
    "this machine does not let a test mount file systems (mount namespace, loop devices or "
    "mkfs missing)";

// One btrfs file system: subvolumes @ and @home, @home/nested inside @home.
bool makeBtrfs(const fs::path& image, const fs::path& scratch) {
  if (!makeImage(image, 160, "mkfs.btrfs -q")) return false;
  if (!mountImage(image, scratch)) return false;
  const bool made = run("btrfs subvolume create " + quoted(scratch / "@")) &&
                    run("btrfs subvolume create " + quoted(scratch / "@home")) &&
                    run("btrfs subvolume create " + quoted(scratch / "@home/nested"));
  write(scratch / "@/a.txt");
  write(scratch / "@/etc/e.txt");
  write(scratch / "@home/h.txt");
  write(scratch / "@home/nested/n.txt");
  write(scratch / "@home/nested/deep/d.txt");
  write(scratch / "top.txt");
  return made && run("umount " + quoted(scratch));
}

TEST_F(MountScanTest, BtrfsSubvolumesAreFoldersOfTheirMount) {
  const fs::path base = c.path();
  const fs::path image = d.path() / "btrfs.img";
  if (!runChild([&] {
        if (!makeBtrfs(image, d.path() / "scratch")) return kRefused;
        if (!mountImage(image, base / "root", "subvol=@") ||
            !mountImage(image, base / "root/home", "subvol=@home"))
          return kRefused;
        return scanDrivesBelow(base);
      })) {
    GTEST_SKIP() << kRefusedReason;
  }
  // The nested subvolume has a device number of its own but is listed in /home.
  EXPECT_THAT(resultLines("drives"),
              ElementsAreArray({(base / "root").string(), (base / "root/home").string()}));
  const std::string b = base.string();
  EXPECT_THAT(
      sorted(resultLines("files")),
      ElementsAreArray({b + "/root/a.txt", b + "/root/etc/e.txt", b + "/root/home/h.txt",
                        b + "/root/home/nested/deep/d.txt", b + "/root/home/nested/n.txt"}));
}

TEST_F(MountScanTest, BtrfsTopLevelMountedTooListsEveryFileOnce) {
  const fs::path base = c.path();
  const fs::path image = d.path() / "btrfs.img";
  if (!runChild([&] {
        if (!makeBtrfs(image, d.path() / "scratch")) return kRefused;
        if (!mountImage(image, base / "root", "subvol=@") ||
            !mountImage(image, base / "root/home", "subvol=@home") ||
            !mountImage(image, base / "top", "subvolid=5"))
          return kRefused;
        return scanDrivesBelow(base);
      })) {
    GTEST_SKIP() << kRefusedReason;
  }
  // The top level shows both subvolumes: they are listed there, once.
  EXPECT_THAT(resultLines("drives"), ElementsAreArray({(base / "top").string()}));
  const std::string b = base.string();
  EXPECT_THAT(sorted(resultLines("files")),
              ElementsAreArray({b + "/top/@/a.txt", b + "/top/@/etc/e.txt", b + "/top/@home/h.txt",
                                b + "/top/@home/nested/deep/d.txt", b + "/top/@home/nested/n.txt",
                                b + "/top/top.txt"}));
}

TEST_F(MountScanTest, MoreDisksThanLettersAreAllListedOnce) {
  constexpr int kDisks = 30;
  const fs::path base = c.path() / "holder";
  const std::string mkfs = "mkfs.ext2 -q -F";
  if (!runChild([&] {
        if (!makeImage(d.path() / "holder.img", 4, mkfs) ||
            !mountImage(d.path() / "holder.img", base))
          return kRefused;
        write(base / "h.txt");
        for (int i = 0; i < kDisks; ++i) {
          const std::string n = (i < 10 ? "0" : "") + std::to_string(i);
          const fs::path image = d.path() / ("disk" + n + ".img");
          if (!makeImage(image, 1, mkfs) || !mountImage(image, base / ("disk" + n)))
            return kRefused;
          write(base / ("disk" + n) / "sub/f.txt");
        }
        // A lettered disk taken away after the table was read.
        beforeScan = [&](const platform::DriveTable&) {
          run("umount " + quoted(base / "disk03"));
          fs::remove(base / "disk03");
        };
        return scanDrivesBelow(base);
      })) {
    GTEST_SKIP() << kRefusedReason;
  }
  const std::vector<std::string> drives = resultLines("drives");
  ASSERT_FALSE(drives.empty()) << "this machine's own drives take every letter";
  EXPECT_EQ(drives[0], base.string());
  ASSERT_THAT(drives, Contains(base.string() + "/disk03"));
  // Those without a letter are walked as part of the holder.
  const std::vector<std::string> walked = resultLines("walked");
  EXPECT_EQ(drives.size() + walked.size(), kDisks + 1u);
  EXPECT_THAT(walked, Contains(base.string() + "/disk29"));

  std::vector<std::string> expected = {base.string() + "/h.txt"};
  for (int i = 0; i < kDisks; ++i) {
    const std::string n = (i < 10 ? "0" : "") + std::to_string(i);
    if (i != 3) expected.push_back(base.string() + "/disk" + n + "/sub/f.txt");
  }
  EXPECT_THAT(sorted(resultLines("files")), ElementsAreArray(sorted(expected)));
  EXPECT_THAT(resultLines("status"), Contains(HasSubstr("konnte nicht gelesen werden")));
  // The disk that went away marks the log incomplete.
  EXPECT_THAT(resultLines("notes"),
              ElementsAre("HINWEIS: Es konnten nicht alle Dateien erfasst werden, ",
                          "da Sie beim Ausf\xFChren des Scanners nicht als ",
                          "Administrator dieses PC angemeldet waren! "));
}

TEST_F(MountScanTest, CoveredBindIsADriveAndRamDisksAndImagesAreLeftOut) {
  const fs::path base = c.path();
  const fs::path data = base / "data";
  if (!runChild([&] {
        const fs::path image = d.path() / "data.img";
        const fs::path squash = d.path() / "image.squashfs";
        write(d.path() / "squash-content/s.txt");
        if (!makeImage(image, 4, "mkfs.ext2 -q -F") || !mountImage(image, data) ||
            !run("mksquashfs " + quoted(d.path() / "squash-content") + " " + quoted(squash) +
                 " -quiet -noappend"))
          return kRefused;
        write(data / "photos/p.jpg");
        write(data / "other/o.txt");
        fs::create_directories(base / "srv/photos");
        fs::create_directories(data / "ram");
        if (!run("mount --bind " + quoted(data / "photos") + " " + quoted(base / "srv/photos")) ||
            !run("mount -t tmpfs none " + quoted(data / "photos")) ||
            !run("mount -t tmpfs none " + quoted(data / "ram")) ||
            !mountImage(squash, data / "image", "ro"))
          return kRefused;
        write(data / "photos/t.txt");  // on the RAM disk that covers the photos
        write(data / "ram/r.txt");
        return scanDrivesBelow(base);
      })) {
    GTEST_SKIP() << kRefusedReason;
  }
  EXPECT_THAT(resultLines("drives"),
              ElementsAreArray({data.string(), (base / "srv/photos").string()}));
  EXPECT_THAT(
      sorted(resultLines("files")),
      ElementsAreArray({data.string() + "/other/o.txt", (base / "srv/photos/p.jpg").string()}));
}

}  // namespace
}  // namespace scantest
