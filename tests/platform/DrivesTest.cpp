#include "platform/Drives.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "support/TestSupport.h"

using namespace platform;
namespace fs = std::filesystem;

namespace {

// One mountinfo row. `root` and `target` are written as the kernel writes them
// (octal escapes for space, tab, newline and backslash).
std::string row(int id, int parent, const std::string& device, const std::string& root,
                const std::string& target, const std::string& type, const std::string& source,
                const std::string& optional = "shared:1") {
  return std::to_string(id) + " " + std::to_string(parent) + " " + device + " " + root + " " +
         target + " rw,relatime " + optional + (optional.empty() ? "" : " ") + "- " + type + " " +
         source + " rw\n";
}

const std::string kExt4Root = row(20, 1, "8:1", "/", "/", "ext4", "/dev/sda1");

// Escapes a path the way mountinfo shows it.
std::string escaped(const std::string& path) {
  std::string out;
  for (char c : path) {
    switch (c) {
      case ' ': out += "\\040"; break;
      case '\t': out += "\\011"; break;
      case '\n': out += "\\012"; break;
      case '\\': out += "\\134"; break;
      default: out += c;
    }
  }
  return out;
}

// "D: /mnt/data 3" for every lettered drive, in letter order.
std::vector<std::string> describe(const DriveTable& table) {
  std::vector<std::string> out;
  for (const Drive& d : table.drives()) {
    out.push_back(std::string(1, d.letter) + ": " + d.mountPoint + " " + std::to_string(d.type));
  }
  return out;
}

using Lines = std::vector<std::string>;

class DriveTableTest : public ::testing::Test {
 protected:
  DriveTable load(const std::string& rows) {
    const fs::path file = m_temp.file("mountinfo", rows);
    return DriveTable::fromMountInfo(file.string(), sysDir());
  }
  std::string sysDir() const { return (m_temp.path() / "sys").string(); }

  testsupport::TempDir m_temp;
};

// --- classification ----------------------------------------------------------------

using DriveClassification = DriveTableTest;

TEST_F(DriveClassification, RootIsAlwaysADriveWhateverItsType) {
  struct Case {
    std::string type, source;
    DriveType expected;
  };
  const std::vector<Case> cases = {
      {"overlay", "overlay", DRIVE_FIXED},  // a container
      {"ext4", "/dev/sda1", DRIVE_FIXED},
      {"btrfs", "/dev/nvme0n1p2", DRIVE_FIXED},
      {"tmpfs", "tmpfs", DRIVE_FIXED},  // a live system's root is no RAM disk
      {"nfs4", "server:/export/root", DRIVE_REMOTE},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.type);
    const DriveTable table = load(row(20, 1, "0:30", "/", "/", c.type, c.source));
    ASSERT_EQ(table.drives().size(), 1u);
    const Drive& root = table.drives()[0];
    EXPECT_EQ(root.letter, 'C');
    EXPECT_EQ(root.mountPoint, "/");
    EXPECT_EQ(root.type, c.expected);
    EXPECT_EQ(root.fsType, c.type);
    EXPECT_EQ(root.source, c.source);
    EXPECT_FALSE(table.isMountPoint("/"));
  }
}

TEST_F(DriveClassification, FileSystemTypes) {
  struct Case {
    std::string type, source;
    std::optional<DriveType> expected;  // nullopt: no drive
  };
  const std::vector<Case> cases = {
      // RAM disks, a zram device whatever its file system
      {"tmpfs", "tmpfs", DRIVE_RAMDISK},
      {"ramfs", "ramfs", DRIVE_RAMDISK},
      {"ext4", "/dev/zram1", DRIVE_RAMDISK},
      {"ext4", "/dev/zramdisk", DRIVE_FIXED},
      // optical media and read-only images
      {"iso9660", "/dev/sr0", DRIVE_CDROM},
      {"udf", "/dev/sr0", DRIVE_CDROM},
      {"squashfs", "/dev/loop3", DRIVE_CDROM},
      {"erofs", "/dev/loop4", DRIVE_CDROM},
      {"cramfs", "/dev/loop5", DRIVE_CDROM},
      {"fuse.squashfuse", "squashfuse", DRIVE_CDROM},
      // network file systems, libmount's and ours
      {"nfs", "server:/export", DRIVE_REMOTE},
      {"nfs4", "server:/export", DRIVE_REMOTE},
      {"cifs", "//server/share", DRIVE_REMOTE},
      {"smb3", "//server/share", DRIVE_REMOTE},
      {"smbfs", "//server/share", DRIVE_REMOTE},
      {"fuse.sshfs", "anna@host:", DRIVE_REMOTE},  // a source without a slash
      {"sshfs", "anna@host:/home/anna", DRIVE_REMOTE},
      {"9p", "hostshare", DRIVE_REMOTE},
      {"ceph", "10.0.0.1:6789:/", DRIVE_REMOTE},
      {"fuse.ceph-fuse", "ceph-fuse", DRIVE_REMOTE},
      {"glusterfs", "server:/volume", DRIVE_REMOTE},
      {"fuse.glusterfs", "server:/volume", DRIVE_REMOTE},
      {"afs", "AFS", DRIVE_REMOTE},
      {"fuse.rclone", "remote:bucket", DRIVE_REMOTE},
      {"virtiofs", "hostshare", DRIVE_REMOTE},  // libmount calls these pseudo
      {"vboxsf", "Shared", DRIVE_REMOTE},
      // pseudo file systems: no drive
      {"proc", "proc", std::nullopt},
      {"sysfs", "sysfs", std::nullopt},
      {"cgroup", "cgroup", std::nullopt},
      {"cgroup2", "cgroup2", std::nullopt},
      {"devpts", "devpts", std::nullopt},
      {"devtmpfs", "udev", std::nullopt},
      {"mqueue", "mqueue", std::nullopt},
      {"overlay", "overlay", std::nullopt},  // container layers below "/"
      {"autofs", "systemd-1", std::nullopt},
      {"fuse.portal", "portal", std::nullopt},
      {"fuse.gvfsd-fuse", "gvfsd-fuse", std::nullopt},
      // everything else is fixed
      {"ext4", "/dev/sda2", DRIVE_FIXED},
      {"xfs", "/dev/sda3", DRIVE_FIXED},
      {"btrfs", "/dev/sda4", DRIVE_FIXED},
      {"f2fs", "/dev/sda5", DRIVE_FIXED},
      {"ntfs3", "/dev/sda6", DRIVE_FIXED},
      {"fuseblk", "/dev/sda7", DRIVE_FIXED},
      {"exfat", "/dev/sda8", DRIVE_FIXED},
      {"vfat", "/dev/sda9", DRIVE_FIXED},
      {"zfs", "tank/home", DRIVE_FIXED},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.type + " " + c.source);
    const DriveTable table = load(kExt4Root + row(30, 20, "0:60", "/", "/mnt/x", c.type, c.source));
    const Drive* drive = table.byLetter('D');
    if (c.expected) {
      ASSERT_NE(drive, nullptr);
      EXPECT_EQ(drive->type, *c.expected);
      EXPECT_EQ(drive->fsType, c.type);
      EXPECT_EQ(drive->source, c.source);
    } else {
      EXPECT_EQ(drive, nullptr);
    }
    EXPECT_TRUE(table.isMountPoint("/mnt/x"));
  }
}

TEST_F(DriveClassification, RemovableDisksAndTheirPartitionsFromSysfs) {
  // A sysfs tree as the kernel lays it out: dev/block/<major>:<minor> links to the
  // device's folder; a partition's folder sits in its disk's folder.
  m_temp.file("sys/devices/pci/block/sda/removable", "0\n");
  m_temp.file("sys/devices/pci/block/sda/sda2/partition", "2\n");
  m_temp.file("sys/devices/usb/block/sdb/removable", "1\n");
  m_temp.file("sys/devices/usb/block/sdb/sdb1/partition", "1\n");
  m_temp.file("sys/devices/usb/block/sr0/removable", "1\n");
  m_temp.dir("sys/dev/block");
  m_temp.dir("sys/class/block");
  const fs::path sys = m_temp.path() / "sys";
  fs::create_directory_symlink("../../devices/pci/block/sda", sys / "dev/block/8:0");
  fs::create_directory_symlink("../../devices/pci/block/sda/sda2", sys / "dev/block/8:2");
  fs::create_directory_symlink("../../devices/usb/block/sdb", sys / "dev/block/8:16");
  fs::create_directory_symlink("../../devices/usb/block/sdb/sdb1", sys / "dev/block/8:17");
  fs::create_directory_symlink("../../devices/usb/block/sr0", sys / "dev/block/11:0");
  fs::create_directory_symlink("../../devices/usb/block/sdb/sdb1", sys / "class/block/sdb1");

  const DriveTable table =
      load(kExt4Root + row(30, 20, "8:17", "/", "/media/stick", "vfat", "/dev/sdb1") +
           row(31, 20, "8:16", "/", "/media/whole", "exfat", "/dev/sdb") +
           row(32, 20, "8:2", "/", "/mnt/data", "ext4", "/dev/sda2") +
           row(33, 20, "11:0", "/", "/media/cd", "iso9660", "/dev/sr0") +
           row(34, 20, "0:45", "/", "/media/btrfs", "btrfs", "/dev/sdb1") +
           row(35, 20, "259:1", "/", "/mnt/nvme", "ext4", "/dev/nvme0n1p1") +
           row(36, 20, "254:3", "/", "/mnt/crypt", "ext4", "/dev/mapper/crypt"));
  EXPECT_EQ(describe(table), (Lines{
                                 "C: / 3",
                                 "D: /media/btrfs 2",  // anonymous device, found by its source
                                 "E: /media/cd 5",     // a disc in a removable drive is a CD-ROM
                                 "F: /media/stick 2",  // partition of a removable disk
                                 "G: /media/whole 2",
                                 "H: /mnt/crypt 3",  // not in sysfs
                                 "I: /mnt/data 3",   // partition of a fixed disk
                                 "J: /mnt/nvme 3",
                             }));
}

// --- reading the table ---------------------------------------------------------------

using DriveTableRead = DriveTableTest;

TEST_F(DriveTableRead, EscapedMountPointsAndOptionalFields) {
  const DriveTable table =
      load(kExt4Root + row(30, 20, "0:31", "/", "/mnt/my\\040disk", "tmpfs", "tmpfs", "") +
           row(31, 20, "0:32", "/", "/mnt/back\\134slash", "tmpfs", "tmpfs", "master:3 shared:4") +
           row(32, 20, "0:33", "/", "/mnt/line\\012break", "tmpfs", "tmpfs", "propagate_from:2") +
           row(33, 20, "0:34", "/", "/mnt/a\\040-\\040b", "ext4", "/dev/sdc1") +
           row(34, 20, "0:35", "/", "/mnt/tab\\011stop", "tmpfs", "my\\040source"));
  EXPECT_EQ(describe(table), (Lines{
                                 "C: / 3",
                                 "D: /mnt/a - b 3",
                                 "E: /mnt/back\\slash 6",
                                 "F: /mnt/line\nbreak 6",
                                 "G: /mnt/my disk 6",
                                 "H: /mnt/tab\tstop 6",
                             }));
  EXPECT_EQ(table.byLetter('D')->fsType, "ext4");
  EXPECT_EQ(table.byLetter('H')->source, "my source");
  EXPECT_TRUE(table.isMountPoint("/mnt/a - b"));
  EXPECT_EQ(table.hostToView("/mnt/my disk/x"), "G:\\x");
  EXPECT_EQ(table.viewToHost("E:\\x"), "/mnt/back\\slash/x");
}

TEST_F(DriveTableRead, LettersFollowMountPointOrderAndEveryMountIsAMountPoint) {
  const std::string rows =
      row(30, 20, "0:50", "/", "/srv/backup", "xfs", "/dev/sdd1") +
      row(21, 20, "0:20", "/", "/proc", "proc", "proc") +
      row(31, 20, "0:51", "/", "/home", "ext4", "/dev/sdc1") + kExt4Root +
      row(32, 20, "0:52", "/", "/mnt/B", "ext4", "/dev/sde1") +
      row(33, 20, "0:53", "/", "/mnt/a", "ext4", "/dev/sdf1") +
      row(34, 21, "0:54", "/", "/proc/sys/fs/binfmt_misc", "binfmt_misc", "binfmt_misc");
  const DriveTable table = load(rows);
  EXPECT_EQ(describe(table),
            (Lines{"C: / 3", "D: /home 3", "E: /mnt/B 3", "F: /mnt/a 3", "G: /srv/backup 3"}));
  EXPECT_EQ(describe(load(rows)), describe(table));  // the same from run to run

  for (const char* point :
       {"/home", "/mnt/B", "/mnt/a", "/srv/backup", "/proc", "/proc/sys/fs/binfmt_misc"}) {
    EXPECT_TRUE(table.isMountPoint(point)) << point;
  }
  for (const char* point : {"/", "/home/", "/mnt", "/proc/sys", "/srv/backup/x", ""}) {
    EXPECT_FALSE(table.isMountPoint(point)) << point;
  }
}

TEST_F(DriveTableRead, TableWithoutRootStillKeepsCForRoot) {
  const DriveTable table = load(row(30, 1, "0:50", "/", "/mnt/data", "ext4", "/dev/sdb1"));
  EXPECT_EQ(describe(table), (Lines{"D: /mnt/data 3"}));
  EXPECT_EQ(table.hostToView("/etc"), "C:\\etc");
}

TEST_F(DriveTableRead, LettersEndAtZ) {
  std::string rows = kExt4Root;
  for (int i = 0; i < 30; ++i) {
    const std::string n = (i < 10 ? "0" : "") + std::to_string(i);
    rows += row(30 + i, 20, "0:" + std::to_string(100 + i), "/", "/mnt/m" + n, "tmpfs", "tmpfs");
  }
  const DriveTable table = load(rows);
  ASSERT_EQ(table.drives().size(), 24u);
  EXPECT_EQ(table.drives().back().letter, 'Z');
  EXPECT_EQ(table.drives().back().mountPoint, "/mnt/m22");
  EXPECT_TRUE(table.isMountPoint("/mnt/m29"));
  EXPECT_EQ(table.hostToView("/mnt/m29/f"), "C:\\mnt\\m29\\f");
}

TEST_F(DriveTableRead, CoveredMountsGetNoLetter) {
  const DriveTable table = load(
      // a child listed before its parent: the table order alone proves nothing
      row(60, 61, "8:49", "/", "/srv/a/b", "ext4", "/dev/sdh1") + kExt4Root +
      // stacked on the same point: the one on top counts
      row(30, 20, "8:17", "/", "/mnt/x", "ext4", "/dev/sdb1") +
      row(31, 30, "0:40", "/", "/mnt/x", "tmpfs", "tmpfs") +
      // the same point, both on the root file system: the later one is on top
      row(40, 20, "8:33", "/", "/mnt/y", "ext4", "/dev/sdc1") +
      row(41, 20, "0:41", "/", "/mnt/y", "nfs", "server:/y") +
      // a folder above mounted over later hides what was mounted inside it
      row(50, 20, "8:65", "/", "/mnt/z/inner", "ext4", "/dev/sde1") +
      row(51, 20, "0:42", "/", "/mnt/z", "tmpfs", "tmpfs") +
      row(61, 20, "8:50", "/", "/srv/a", "ext4", "/dev/sdh2"));
  EXPECT_EQ(describe(table), (Lines{"C: / 3", "D: /mnt/x 6", "E: /mnt/y 4", "F: /mnt/z 6",
                                    "G: /srv/a 3", "H: /srv/a/b 3"}));
  EXPECT_TRUE(table.isMountPoint("/mnt/z/inner"));
}

TEST_F(DriveTableRead, ContentReachableThroughAnotherDriveGetsNoLetter) {
  const DriveTable table =
      load(kExt4Root +
           // a folder of the root file system bound elsewhere
           row(30, 20, "8:1", "/home/anna/share", "/srv/share", "ext4", "/dev/sda1") +
           // one device at two points: the first in mount-point order keeps its letter
           row(31, 20, "8:17", "/", "/media/b", "ext4", "/dev/sdb1") +
           row(32, 20, "8:17", "/", "/media/a", "ext4", "/dev/sdb1") +
           // a folder of that device, bound at a point that sorts before both
           row(33, 20, "8:17", "/photos", "/aaa", "ext4", "/dev/sdb1") +
           // the same root on another device is other content
           row(34, 20, "8:33", "/photos", "/mnt/p", "ext4", "/dev/sdc1"));
  EXPECT_EQ(describe(table), (Lines{"C: / 3", "D: /media/a 3", "E: /mnt/p 3"}));
  for (const char* point : {"/srv/share", "/media/b", "/aaa"}) {
    EXPECT_TRUE(table.isMountPoint(point)) << point;
  }
}

TEST_F(DriveTableRead, SubvolumesAreSeparateUnlessTheTopIsMountedToo) {
  const std::string root = row(20, 1, "0:40", "/@", "/", "btrfs", "/dev/sda2");
  const std::string home = row(21, 20, "0:40", "/@home", "/home", "btrfs", "/dev/sda2");
  EXPECT_EQ(describe(load(root + home)), (Lines{"C: / 3", "D: /home 3"}));

  const std::string top = row(22, 20, "0:40", "/", "/mnt/top", "btrfs", "/dev/sda2");
  EXPECT_EQ(describe(load(root + home + top)), (Lines{"C: / 3", "D: /mnt/top 3"}));
}

TEST_F(DriveTableRead, OnlyFoldersAreDriveRoots) {
  const fs::path hosts = m_temp.file("etc/hosts", "127.0.0.1 localhost\n");
  const fs::path share = m_temp.dir("my share");
  const DriveTable table = load(
      kExt4Root +
      row(30, 20, "254:0", "/containers/1/hosts", escaped(hosts.string()), "ext4", "/dev/vdb") +
      row(31, 20, "254:1", "/home/share", escaped(share.string()), "ext4", "/dev/vdc"));
  EXPECT_EQ(describe(table), (Lines{"C: / 3", "D: " + share.string() + " 3"}));
  EXPECT_TRUE(table.isMountPoint(hosts.string()));
}

TEST_F(DriveTableRead, MalformedLinesAreSkipped) {
  const DriveTable table = load(kExt4Root + "this is no mount\n" +
                                row(30, 20, "0:50", "/", "/mnt/data", "ext4", "/dev/sdb1"));
  EXPECT_EQ(describe(table), (Lines{"C: / 3", "D: /mnt/data 3"}));
}

TEST_F(DriveTableRead, UnreadableTableGivesNoDrives) {
  const std::vector<std::pair<std::string, DriveTable>> tables = {
      {"missing", DriveTable::fromMountInfo((m_temp.path() / "missing").string(), sysDir())},
      {"a folder", DriveTable::fromMountInfo(m_temp.dir("folder").string(), sysDir())},
      {"empty", load("")},
      {"fstab", load("/dev/sda1 / ext4 defaults 0 1\nproc /proc proc defaults 0 0\n")},
  };
  for (const auto& [name, table] : tables) {
    SCOPED_TRACE(name);
    EXPECT_TRUE(table.drives().empty());
    EXPECT_FALSE(table.isMountPoint("/proc"));
    EXPECT_EQ(table.hostToView("/x"), "C:\\x");
    EXPECT_EQ(table.hostToView("/"), "C:\\");
    EXPECT_EQ(table.viewToHost("C:"), "/");
    EXPECT_EQ(table.viewToHost("c:\\x"), "/x");
    EXPECT_EQ(table.viewToHost("D:\\"), std::nullopt);
  }
}

TEST(DriveTableSystem, ReadsThisMachine) {
  if (!fs::exists("/proc/self/mountinfo")) GTEST_SKIP() << "no /proc on this machine";
  const DriveTable table = DriveTable::fromSystem();
  ASSERT_NE(table.byLetter('C'), nullptr);
  EXPECT_EQ(table.byLetter('C')->mountPoint, "/");
  EXPECT_FALSE(table.isMountPoint("/"));
  for (const Drive& d : table.drives()) {
    EXPECT_NE(d.fsType, "proc");
    EXPECT_NE(d.fsType, "sysfs");
    EXPECT_TRUE(fs::is_directory(d.mountPoint)) << d.mountPoint;
  }
}

// --- paths --------------------------------------------------------------------------

DriveTable sampleTable() {
  return DriveTable::fromDrives({{'f', "/media/usb", DRIVE_REMOVABLE, "vfat", "/dev/sdb1"},
                                 {'C', "/", DRIVE_FIXED, "ext4", "/dev/sda1"},
                                 {'E', "/mnt/data/inner", DRIVE_FIXED, "xfs", "/dev/sdd1"},
                                 {'D', "/mnt/data", DRIVE_REMOTE, "nfs4", "server:/data"}},
                                {"/proc", "/", "/mnt/data/bound"});
}

TEST(DrivePaths, FromDrivesSortsAndCollectsMountPoints) {
  const DriveTable table = sampleTable();
  EXPECT_EQ(describe(table),
            (Lines{"C: / 3", "D: /mnt/data 4", "E: /mnt/data/inner 3", "F: /media/usb 2"}));
  ASSERT_NE(table.byLetter('e'), nullptr);
  EXPECT_EQ(table.byLetter('e')->mountPoint, "/mnt/data/inner");
  EXPECT_EQ(table.byLetter('Q'), nullptr);
  EXPECT_EQ(table.byLetter('\\'), nullptr);
  for (const char* point :
       {"/proc", "/mnt/data/bound", "/mnt/data", "/mnt/data/inner", "/media/usb"}) {
    EXPECT_TRUE(table.isMountPoint(point)) << point;
  }
  EXPECT_FALSE(table.isMountPoint("/"));
  EXPECT_FALSE(table.isMountPoint("/media/usb/"));
}

TEST(DrivePaths, HostToView) {
  const DriveTable table = sampleTable();
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"/", "C:\\"},
      {"/home/anna/Bild.jpg", "C:\\home\\anna\\Bild.jpg"},
      {"/mnt/data", "D:\\"},
      {"/mnt/data/x/y", "D:\\x\\y"},
      {"/mnt/data/inner", "E:\\"},  // the longest mount point wins
      {"/mnt/data/inner/z", "E:\\z"},
      {"/mnt/data/innerer", "D:\\innerer"},  // whole components only
      {"/mnt/datax", "C:\\mnt\\datax"},
      {"/mnt/data/bound/f", "D:\\bound\\f"},  // unlettered mounts stay in their drive
      {"/media/usb/DCIM", "F:\\DCIM"},
      {"//mnt//data/./x/", "D:\\.\\x"},  // only slashes are normalised
      {"/mnt/data/", "D:\\"},
      {"", "C:\\"},
      {"/home/a\\b",
       "C:\\home\\a\xEF\x81\x9C"
       "b"},  // "\" is U+F05C
      {"/home/line\nbreak",
       "C:\\home\\line\xEF\x80\x8A"
       "break"},
      {"/home/\xFF", "C:\\home\\\xEF\x83\xBF"},
      {"/home/M\xC3\xBCller", "C:\\home\\M\xC3\xBCller"},
  };
  for (const auto& [host, view] : cases) {
    EXPECT_EQ(table.hostToView(host), view) << host;
  }
}

TEST(DrivePaths, ViewToHost) {
  const DriveTable table = sampleTable();
  const std::vector<std::pair<std::string, std::optional<std::string>>> cases = {
      {"C:", "/"},
      {"C:\\", "/"},
      {"c:\\home\\anna", "/home/anna"},
      {"C:/home/anna/", "/home/anna"},
      {"C:\\\\home\\\\anna", "/home/anna"},
      {"D:", "/mnt/data"},
      {"D:\\", "/mnt/data"},
      {"d:/x/y", "/mnt/data/x/y"},
      {"E:\\z", "/mnt/data/inner/z"},
      {"C:home", "/home"},  // no current folder per drive: below the root
      {"C:\\home\\a\xEF\x81\x9C"
       "b",
       "/home/a\\b"},
      {"Q:\\", std::nullopt},
      {"A:", std::nullopt},
      {"", std::nullopt},
      {"C", std::nullopt},
      {"\\home", std::nullopt},
      {"/home", std::nullopt},
      {"1:\\", std::nullopt},
      {"CC:\\", std::nullopt},
      {"\xC3\x84:\\", std::nullopt},
  };
  for (const auto& [view, host] : cases) {
    EXPECT_EQ(table.viewToHost(view), host) << view;
  }
}

TEST(DrivePaths, EveryHostPathComesBack) {
  const std::vector<std::string> names = {"plain",
                                          "with space",
                                          "back\\slash",
                                          "line\nbreak",
                                          "cr\rtab\t",
                                          "\xFF\xFE",
                                          "\xC3",  // a cut UTF-8 sequence
                                          "M\xC3\xBCller",
                                          "\xEF\x80\x81",  // U+F001 itself
                                          "C:",
                                          "..",
                                          ".",
                                          "a:b*c?\"<>|",
                                          "\x7F"};
  const DriveTable table = sampleTable();
  for (const DriveTable& t : {table, DriveTable()}) {
    for (const char* base : {"", "/mnt/data", "/mnt/data/inner", "/media/usb", "/proc"}) {
      for (const std::string& name : names) {
        const std::string host = std::string(base) + "/" + name + "/" + name;
        const std::string view = t.hostToView(host);
        EXPECT_EQ(view.find('\n'), std::string::npos) << view;
        EXPECT_EQ(t.viewToHost(view), host) << view;
      }
    }
  }
}

// --- kernel32 ------------------------------------------------------------------------

class DriveKernel32 : public ::testing::Test {
 protected:
  // Leave the machine's table behind, read afresh as a new process would.
  void TearDown() override { reloadSystemDrives(); }
};

TEST_F(DriveKernel32, LogicalDriveStringsBuffer) {
  setSystemDrives(DriveTable::fromDrives({{'C', "/", DRIVE_FIXED, "ext4", "/dev/sda1"},
                                          {'D', "/mnt/d", DRIVE_REMOTE, "nfs", "s:/d"}}));
  const std::string expected("C:\\\0D:\\\0\0", 9);

  std::string buffer(64, 'x');
  EXPECT_EQ(GetLogicalDriveStringsA(64, buffer.data()), 8u);
  EXPECT_EQ(buffer.substr(0, 9), expected);
  EXPECT_EQ(buffer[9], 'x');

  buffer.assign(9, 'x');  // exactly enough
  EXPECT_EQ(GetLogicalDriveStringsA(9, buffer.data()), 8u);
  EXPECT_EQ(buffer, expected);

  buffer.assign(8, 'x');  // one short: the size needed, nothing written
  EXPECT_EQ(GetLogicalDriveStringsA(8, buffer.data()), 9u);
  EXPECT_EQ(buffer, std::string(8, 'x'));
  EXPECT_EQ(GetLogicalDriveStringsA(0, nullptr), 9u);

  // The installed table stays in place.
  EXPECT_EQ(systemDrives().drives().size(), 2u);
  EXPECT_EQ(systemDrives().byLetter('D')->mountPoint, "/mnt/d");

  setSystemDrives(DriveTable());
  buffer.assign(4, 'x');
  EXPECT_EQ(GetLogicalDriveStringsA(4, buffer.data()), 0u);
  EXPECT_EQ(buffer[0], '\0');
  EXPECT_EQ(GetLogicalDriveStringsA(0, nullptr), 1u);
}

TEST_F(DriveKernel32, LogicalDriveStringsOfThisMachine) {
  if (!fs::exists("/proc/self/mountinfo")) GTEST_SKIP() << "no /proc on this machine";
  setSystemDrives(DriveTable());
  reloadSystemDrives();  // back to the machine's table, read afresh on every call
  std::string buffer(4 * 24 + 1, 'x');
  const uint32_t length =
      GetLogicalDriveStringsA(static_cast<uint32_t>(buffer.size()), buffer.data());
  ASSERT_GE(length, 4u);
  EXPECT_EQ(length % 4, 0u);
  EXPECT_EQ(buffer.substr(0, 4), std::string("C:\\\0", 4));
  EXPECT_EQ(length / 4, systemDrives().drives().size());
}

TEST_F(DriveKernel32, DriveType) {
  setSystemDrives(DriveTable::fromDrives({{'C', "/", DRIVE_FIXED, "ext4", "/dev/sda1"},
                                          {'D', "/mnt/d", DRIVE_REMOTE, "nfs", "s:/d"},
                                          {'E', "/media/cd", DRIVE_CDROM, "iso9660", "/dev/sr0"},
                                          {'F', "/media/usb", DRIVE_REMOVABLE, "vfat", "/dev/sdb1"},
                                          {'G', "/tmp", DRIVE_RAMDISK, "tmpfs", "tmpfs"}}));
  const std::vector<std::pair<std::string, uint32_t>> cases = {
      {"C:\\", DRIVE_FIXED},        {"d:\\", DRIVE_REMOTE},      {"E:", DRIVE_CDROM},
      {"F:/", DRIVE_REMOVABLE},     {"g:\\", DRIVE_RAMDISK},     {"H:\\", DRIVE_NO_ROOT_DIR},
      {"", DRIVE_NO_ROOT_DIR},      {"C", DRIVE_NO_ROOT_DIR},    {"C:\\home", DRIVE_NO_ROOT_DIR},
      {"CC:\\", DRIVE_NO_ROOT_DIR}, {"1:\\", DRIVE_NO_ROOT_DIR}, {"\\", DRIVE_NO_ROOT_DIR},
  };
  for (const auto& [root, type] : cases) {
    EXPECT_EQ(GetDriveTypeA(root.c_str()), type) << root;
  }
  // No root at all: the root of the current folder, as on Windows.
  const std::string current = systemDrives().hostToView(fs::current_path().string()).substr(0, 3);
  EXPECT_EQ(GetDriveTypeA(nullptr), GetDriveTypeA(current.c_str()));
  EXPECT_NE(GetDriveTypeA(nullptr), DRIVE_NO_ROOT_DIR);
}

TEST(ViewPaths, HostPathsOfLongAndOddViewPaths) {
  const DriveTable table =
      DriveTable::fromDrives({{'C', "/", DRIVE_FIXED, "ext4", "/dev/sda1"},
                              {'D', "/mnt/daten", DRIVE_FIXED, "ext4", "/dev/sdb1"}});
  std::string view = "D:";
  std::string host = "/mnt/daten";
  for (int level = 0; level < 30; ++level) {
    const std::string name = std::string(static_cast<size_t>(level % 9 + 1), 'n') + ".x";
    view += "\\" + name;
    host += "/" + name;
    EXPECT_EQ(table.viewToHost(view), host);
    EXPECT_EQ(table.viewToHost(view + "\\"), host);
  }
  EXPECT_EQ(table.viewToHost("C:\\\\abcdefghij//k\\"), "/abcdefghij/k");
  EXPECT_EQ(table.viewToHost("C:\\abcdefgh\\.\\ijklmnop"), "/abcdefgh/./ijklmnop");
  EXPECT_EQ(table.viewToHost("D:\\"), "/mnt/daten");
}

}  // namespace
