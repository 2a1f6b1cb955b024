#include "platform/drives/Drives.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "platform/drives/MountTable.h"
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

// The machine as a sample table describes it: every mount point is a folder
// unless named in `files`, and no folder can be asked for its identity.
MountProbe sampleMachine(std::vector<std::string> files = {}) {
  MountProbe probe;
  probe.isFolder = [files = std::move(files)](const std::string& path) {
    return std::find(files.begin(), files.end(), path) == files.end();
  };
  probe.identity = [](const std::string&, uint64_t&, uint64_t&) { return 1; };
  return probe;
}

class DriveTableTest : public ::testing::Test {
 protected:
  DriveTable load(const std::string& rows) {
    return drivesOfMountTable(rows, sysDir(), sampleMachine());
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
      // RAM disks, a zram device whatever its file system: no user's drive
      {"tmpfs", "tmpfs", std::nullopt},
      {"ramfs", "ramfs", std::nullopt},
      {"ext4", "/dev/zram1", std::nullopt},
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
      // views of files that other drives hold: union views, desktop bridges,
      // snapshots, AppImages
      {"fuse.portal", "portal", std::nullopt},
      {"fuse.gvfsd-fuse", "gvfsd-fuse", std::nullopt},
      {"fuse.kio-fuse", "kio-fuse", std::nullopt},
      {"fuse.mergerfs", "disk1:disk2", std::nullopt},
      {"aufs", "none", std::nullopt},
      {"zfs", "tank/home@daily-2024-05-01", std::nullopt},
      {"fuse.Obsidian-1.5.3.AppImage", "Obsidian-1.5.3.AppImage", std::nullopt},
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
      {"fuse.gocryptfs", "/home/anna/.cipher", DRIVE_FIXED},  // the only plain view of them
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

TEST_F(DriveClassification, RemovableDisksAndThePartitionsAndVolumesOnThemFromSysfs) {
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
  // Device-mapper devices (opened LUKS volumes, LVM volumes) name the devices under
  // them in slaves/ and are never removable themselves: dm-0 is a LUKS volume on
  // the stick, dm-1 one on the fixed disk, dm-2 an LVM volume inside dm-0, dm-3
  // spans the stick and the fixed disk, dm-4 and dm-5 name each other.
  const std::vector<std::pair<int, std::vector<std::string>>> mapped = {
      {0, {"../../../../usb/block/sdb/sdb1"}},
      {1, {"../../../../pci/block/sda/sda2"}},
      {2, {"../../dm-0"}},
      {3, {"../../../../usb/block/sdb/sdb1", "../../../../pci/block/sda/sda2"}},
      {4, {"../../dm-5"}},
      {5, {"../../dm-4"}}};
  for (const auto& [n, slaves] : mapped) {
    const std::string dm = "dm-" + std::to_string(n);
    m_temp.file("sys/devices/virtual/block/" + dm + "/removable", "0\n");
    m_temp.file("sys/devices/virtual/block/" + dm + "/dm/name", "luks-" + dm + "\n");
    m_temp.dir("sys/devices/virtual/block/" + dm + "/slaves");
    for (const std::string& slave : slaves) {
      fs::create_directory_symlink(
          slave, sys / "devices/virtual/block" / dm / "slaves" / fs::path(slave).filename());
    }
    fs::create_directory_symlink("../../devices/virtual/block/" + dm,
                                 sys / "dev/block" / ("254:" + std::to_string(n)));
    fs::create_directory_symlink("../../devices/virtual/block/" + dm, sys / "class/block" / dm);
  }

  const DriveTable table =
      load(kExt4Root + row(30, 20, "8:17", "/", "/media/stick", "vfat", "/dev/sdb1") +
           row(31, 20, "8:16", "/", "/media/whole", "exfat", "/dev/sdb") +
           row(32, 20, "8:2", "/", "/mnt/data", "ext4", "/dev/sda2") +
           row(33, 20, "11:0", "/", "/media/cd", "iso9660", "/dev/sr0") +
           row(34, 20, "0:45", "/", "/media/btrfs", "btrfs", "/dev/sdb1") +
           row(35, 20, "259:1", "/", "/mnt/nvme", "ext4", "/dev/nvme0n1p1") +
           row(36, 20, "254:13", "/", "/mnt/crypt", "ext4", "/dev/mapper/crypt") +
           row(37, 20, "254:0", "/", "/media/luks", "ext4", "/dev/mapper/luks-dm-0") +
           row(38, 20, "254:1", "/", "/mnt/luks", "ext4", "/dev/mapper/luks-dm-1") +
           row(39, 20, "254:2", "/", "/media/lvm-in-luks", "xfs", "/dev/mapper/luks-dm-2") +
           row(40, 20, "254:3", "/", "/mnt/stick-and-disk", "ext4", "/dev/mapper/luks-dm-3") +
           row(41, 20, "254:4", "/", "/mnt/loop", "ext4", "/dev/mapper/luks-dm-4") +
           row(42, 20, "0:46", "/", "/media/btrfs-luks", "btrfs", "/dev/mapper/luks-dm-0"));
  // The disks a scan covers first, then removable and CD-ROM drives.
  EXPECT_EQ(describe(table), (Lines{
                                 "C: / 3",
                                 "D: /mnt/crypt 3",  // not in sysfs
                                 "E: /mnt/data 3",   // partition of a fixed disk
                                 "F: /mnt/loop 3",   // slaves that loop: no disk found
                                 "G: /mnt/luks 3",   // LUKS on the fixed disk
                                 "H: /mnt/nvme 3",
                                 "I: /mnt/stick-and-disk 3",  // not all of it removable
                                 "J: /media/btrfs 2",       // anonymous device, found by its source
                                 "K: /media/btrfs-luks 2",  // the same, by the mapper's name
                                 "L: /media/cd 5",    // a disc in a removable drive is a CD-ROM
                                 "M: /media/luks 2",  // LUKS on the stick's partition
                                 "N: /media/lvm-in-luks 2",  // LVM inside that LUKS volume
                                 "O: /media/stick 2",        // partition of a removable disk
                                 "P: /media/whole 2",
                             }));
}

// --- reading the table ---------------------------------------------------------------

using DriveTableRead = DriveTableTest;

TEST_F(DriveTableRead, EscapedMountPointsAndOptionalFields) {
  const DriveTable table = load(
      kExt4Root + row(30, 20, "0:31", "/", "/mnt/my\\040disk", "xfs", "/dev/sdb1", "") +
      row(31, 20, "0:32", "/", "/mnt/back\\134slash", "xfs", "/dev/sdb2", "master:3 shared:4") +
      row(32, 20, "0:33", "/", "/mnt/line\\012break", "xfs", "/dev/sdb3", "propagate_from:2") +
      row(33, 20, "0:34", "/", "/mnt/a\\040-\\040b", "ext4", "/dev/sdc1") +
      row(34, 20, "0:35", "/", "/mnt/tab\\011stop", "nfs", "my\\040source"));
  EXPECT_EQ(describe(table), (Lines{
                                 "C: / 3",
                                 "D: /mnt/a - b 3",
                                 "E: /mnt/back\\slash 3",
                                 "F: /mnt/line\nbreak 3",
                                 "G: /mnt/my disk 3",
                                 "H: /mnt/tab\tstop 4",
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

TEST_F(DriveTableRead, ChrootWithoutRootRowStillHasC) {
  // A plain chroot: the mount holding its "/" lies outside it and is not shown.
  const DriveTable table = load(row(30, 1, "0:50", "/", "/mnt/data", "ext4", "/dev/sdb1") +
                                row(31, 1, "0:20", "/", "/proc", "proc", "proc"));
  EXPECT_EQ(describe(table), (Lines{"C: / 3", "D: /mnt/data 3"}));
  EXPECT_EQ(table.hostToView("/etc"), "C:\\etc");
  EXPECT_TRUE(table.isMountPoint("/mnt/data"));
  EXPECT_TRUE(table.isMountPoint("/proc"));
}

TEST_F(DriveTableRead, DisksBeyondZAreWalkedAsPartOfTheirDrive) {
  // 30 disks below /mnt, 3 sticks, a disk below a RAM disk, a share at the end.
  std::string rows = kExt4Root;
  for (int i = 0; i < 30; ++i) {
    const std::string n = (i < 10 ? "0" : "") + std::to_string(i);
    rows += row(30 + i, 20, "8:" + std::to_string(16 * (i + 1)), "/", "/mnt/m" + n, "ext4",
                "/dev/disk" + n);
  }
  m_temp.file("sys/dev/block/65:1/removable", "1\n");
  rows += row(70, 20, "65:1", "/", "/media/stick", "vfat", "/dev/sdz1");
  rows += row(71, 20, "0:90", "/", "/scratch", "tmpfs", "tmpfs");
  rows += row(72, 71, "8:241", "/", "/scratch/disk", "ext4", "/dev/sdp1");
  rows += row(73, 20, "0:91", "/", "/zz/share", "nfs4", "server:/share");
  const DriveTable table = load(rows);
  ASSERT_EQ(table.drives().size(), 24u);
  // Letters go to the drives a scan covers first; the stick gets none, nor does
  // the RAM disk. The disk below the RAM disk, which no other drive's walk
  // reaches, gets one before those that C: walks into.
  const Lines drives = describe(table);
  EXPECT_EQ(drives[1], "D: /mnt/m00 3");
  EXPECT_EQ(drives[22], "Y: /mnt/m21 3");
  EXPECT_EQ(drives[23], "Z: /scratch/disk 3");
  for (const char* point : {"/mnt/m22", "/mnt/m29", "/zz/share"}) {
    EXPECT_FALSE(table.isMountPoint(point)) << point;
    EXPECT_TRUE(table.walksInto(point)) << point;
  }
  EXPECT_EQ(table.hostToView("/mnt/m29/f"), "C:\\mnt\\m29\\f");
  // What no scan covers, and the lettered drives, stay out of the walk.
  for (const char* point : {"/mnt/m21", "/media/stick", "/scratch", "/scratch/disk"}) {
    EXPECT_TRUE(table.isMountPoint(point)) << point;
    EXPECT_FALSE(table.walksInto(point)) << point;
  }
}

TEST_F(DriveTableRead, CoveredMountsGetNoLetter) {
  const DriveTable table = load(
      // a child listed before its parent: the table order alone proves nothing
      row(60, 61, "8:49", "/", "/srv/a/b", "ext4", "/dev/sdh1") + kExt4Root +
      // stacked on the same point: the one on top counts
      row(30, 20, "8:17", "/", "/mnt/x", "ext4", "/dev/sdb1") +
      row(31, 30, "0:40", "/", "/mnt/x", "tmpfs", "tmpfs") +
      row(32, 20, "0:43", "/", "/mnt/w", "tmpfs", "tmpfs") +
      row(33, 32, "8:18", "/", "/mnt/w", "ext4", "/dev/sdb2") +
      // the same point, both on the root file system: the later one is on top
      row(40, 20, "8:33", "/", "/mnt/y", "ext4", "/dev/sdc1") +
      row(41, 20, "0:41", "/", "/mnt/y", "nfs", "server:/y") +
      // a folder above mounted over later hides what was mounted inside it
      row(50, 20, "8:65", "/", "/mnt/z/inner", "ext4", "/dev/sde1") +
      row(51, 20, "0:42", "/", "/mnt/z", "tmpfs", "tmpfs") +
      row(61, 20, "8:50", "/", "/srv/a", "ext4", "/dev/sdh2"));
  EXPECT_EQ(describe(table),
            (Lines{"C: / 3", "D: /mnt/w 3", "E: /mnt/y 4", "F: /srv/a 3", "G: /srv/a/b 3"}));
  EXPECT_TRUE(table.isMountPoint("/mnt/x"));
  EXPECT_TRUE(table.isMountPoint("/mnt/z"));
}

TEST_F(DriveTableRead, ContentReachableThroughAnotherDriveGetsNoLetter) {
  // The machine finds every folder it is asked for as the same one, but for a
  // folder deleted since it was bound and one replaced since by another folder of
  // the same disk; what it is asked is kept.
  std::vector<std::string> asked;
  MountProbe probe = sampleMachine();
  probe.identity = [&](const std::string& path, uint64_t& device, uint64_t& inode) {
    asked.push_back(path);
    device = 2049;
    inode = path == "/home/anna/swap" ? 3 : 2;
    return path == "/home/anna/old" ? ENOENT : 0;
  };
  const DriveTable table = drivesOfMountTable(
      kExt4Root +
          // a folder of the root file system bound elsewhere
          row(30, 20, "8:1", "/home/anna/share", "/srv/share", "ext4", "/dev/sda1") +
          // one device at two points: the first in mount-point order keeps its letter
          row(31, 20, "8:17", "/", "/media/b", "ext4", "/dev/sdb1") +
          row(32, 20, "8:17", "/", "/media/a", "ext4", "/dev/sdb1") +
          // a folder of that device, bound at a point that sorts before both
          row(33, 20, "8:17", "/photos", "/aaa", "ext4", "/dev/sdb1") +
          // the same root on another device is other content
          row(34, 20, "8:33", "/photos", "/mnt/p", "ext4", "/dev/sdc1") +
          // folders bound and deleted since: marked so in the table, or not found
          row(35, 20, "8:1", "/home/anna/tmp//deleted", "/srv/tmp", "ext4", "/dev/sda1") +
          row(36, 20, "8:1", "/home/anna/old", "/srv/old", "ext4", "/dev/sda1") +
          // a folder bound and replaced since by another one of the same disk
          row(42, 20, "8:1", "/home/anna/swap", "/srv/swap", "ext4", "/dev/sda1") +
          // one share at two points, told from the table alone
          row(37, 20, "0:70", "/", "/mnt/nas", "nfs4", "nas:/export") +
          row(38, 20, "0:70", "/", "/srv/nas", "nfs4", "nas:/export") +
          // a folder of that share bound elsewhere (listed twice: a share is not
          // asked), and two exports of one NFSv3 server file system, both shown as "/"
          row(39, 20, "0:70", "/photos", "/media/photos", "nfs4", "nas:/export") +
          row(40, 20, "0:71", "/", "/mnt/v3a", "nfs", "nas:/export/a") +
          row(41, 20, "0:71", "/", "/mnt/v3b", "nfs", "nas:/export/b"),
      sysDir(), probe);
  EXPECT_EQ(describe(table),
            (Lines{"C: / 3", "D: /media/a 3", "E: /media/photos 4", "F: /mnt/nas 4", "G: /mnt/p 3",
                   "H: /mnt/v3a 4", "I: /mnt/v3b 4", "J: /srv/old 3", "K: /srv/swap 3",
                   "L: /srv/tmp 3"}));
  for (const char* point : {"/srv/share", "/media/b", "/aaa", "/srv/nas"}) {
    EXPECT_TRUE(table.isMountPoint(point)) << point;
  }
  // Of a share only its mount points may be asked: a lookup inside one waits for
  // the server.
  for (const std::string& path : asked) {
    for (const char* share : {"/mnt/nas", "/srv/nas", "/media/photos", "/mnt/v3a", "/mnt/v3b"}) {
      EXPECT_FALSE(mounts::isPathPrefix(share, path) && path != share) << path;
    }
  }
}

TEST_F(DriveTableRead, OnlyFoldersAreDriveRoots) {
  const fs::path hosts = m_temp.file("etc/hosts", "127.0.0.1 localhost\n");
  const fs::path share = m_temp.dir("my share");
  // Asks this machine, whose temporary folder holds the two mount points.
  const DriveTable table = drivesOfMountTable(
      kExt4Root +
          row(30, 20, "254:0", "/containers/1/hosts", escaped(hosts.string()), "ext4", "/dev/vdb") +
          row(31, 20, "254:1", "/home/share", escaped(share.string()), "ext4", "/dev/vdc"),
      sysDir(), MountProbe::machine());
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
      {"missing", drivesOfMountInfoFile((m_temp.path() / "missing").string(), sysDir())},
      {"a folder", drivesOfMountInfoFile(m_temp.dir("folder").string(), sysDir())},
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

// --- tables of real kinds of machines ------------------------------------------------

// A sample machine under platform/mounts/: its table, the mount points that are
// files, and its sysfs tree, whose symbolic links are kept as files naming their
// target (made links again in a temporary copy).
class DriveSamples : public ::testing::Test {
 protected:
  DriveTable load(const std::string& name) {
    const fs::path samples = RZ_MOUNT_SAMPLES;
    std::vector<std::string> files;
    for (const std::string& line :
         split(testsupport::readFile(samples / (name + ".files")), '\n')) {
      if (!line.empty()) files.push_back(line);
    }
    const fs::path sys = m_temp.path() / name;
    if (fs::exists(samples / "sys" / name)) copySysfs(samples / "sys" / name, sys);
    return drivesOfMountTable(testsupport::readFile(samples / (name + ".mountinfo")), sys.string(),
                              sampleMachine(files));
  }

  static std::vector<std::string> split(const std::string& text, char separator) {
    std::vector<std::string> out(1);
    for (char c : text) {
      if (c == separator) {
        out.emplace_back();
      } else {
        out.back() += c;
      }
    }
    return out;
  }

  static void copySysfs(const fs::path& from, const fs::path& to) {
    for (const auto& entry : fs::recursive_directory_iterator(from)) {
      const fs::path target = to / fs::relative(entry.path(), from);
      if (entry.is_directory()) {
        fs::create_directories(target);
        continue;
      }
      const std::string content = testsupport::readFile(entry.path());
      if (content.starts_with("../")) {
        fs::create_directory_symlink(content.substr(0, content.find_last_not_of("\n") + 1), target);
      } else {
        fs::copy_file(entry.path(), target);
      }
    }
  }

  testsupport::TempDir m_temp;
};

TEST_F(DriveSamples, EachMachineShowsTheDrivesItsUserKnows) {
  struct Sample {
    std::string name;
    Lines drives;
    std::string why;
    Lines leftOut = {};  // folders no walk enters (their files are listed elsewhere or nowhere)
  };
  const std::string deployment =
      "/sysroot/ostree/deploy/fedora/deploy/"
      "f534c6a994f8c040af685dbffb94f8d37d61dd5162c5e43acde1a98c55d43b6c.0";
  const std::vector<Sample> samples = {
      {"ubuntu2404-desktop",
       {"C: / 3", "D: /boot/efi 3", "E: /home 3", "F: /media/anna/STICK 2"},
       "the system, the EFI partition and /home are the disks; the stick comes last; snaps, "
       "RAM disks, gvfs and the portal are no drives",
       {"/snap/firefox/4451", "/var/snap/firefox/common/host-hunspell", "/run/user/1000/doc"}},
      {"ubuntu2404-desktop-nostick",
       {"C: / 3", "D: /boot/efi 3", "E: /home 3"},
       "without the stick the disks keep their letters"},
      {"fedora40-btrfs",
       {"C: / 3", "D: /boot 3", "E: /boot/efi 3", "F: /home 3"},
       "the subvolumes / and /home of one btrfs device are two drives"},
      {"wsl2",
       {"C: / 3", "D: /mnt/c 4", "E: /mnt/d 4"},
       "the Linux disk and the Windows drives C: and D: over 9p; WSL's own mounts, the second "
       "view of the Linux disk and the /init file are none",
       {"/mnt/wslg/distro", "/usr/lib/wsl/drivers", "/usr/lib/wsl/lib", "/init"}},
      {"autofs-nfs-server",
       {"C: / 3", "D: /boot 3", "E: /data 4", "F: /home/anna 4", "G: /home/bert 4",
        "H: /home/carla 4", "I: /mnt/projekte 4", "J: /net/files.example.com/export/software 4"},
       "every home share, the CIFS share over its automount and /net's share are drives",
       {"/home", "/net", "/var/lib/nfs/rpc_pipefs"}},
      {"autofs-nfs-server-onlyanna",
       {"C: / 3", "D: /boot 3", "E: /data 4", "F: /home/anna 4", "G: /mnt/projekte 4",
        "H: /net/files.example.com/export/software 4"},
       "the homes not mounted now are no drives"},
      {"autofs-nfs3-server",
       {"C: / 3", "D: /boot 3", "E: /data 4", "F: /home/anna 4", "G: /home/bert 4",
        "H: /home/carla 4", "I: /mnt/projekte 4", "J: /net/files.example.com/export/software 4"},
       "NFSv3 shows every home of one server file system as its root: three homes, not one"},
      {"lvm-xfs-server",
       {"C: / 3", "D: /boot 3", "E: /boot/efi 3", "F: /home 3", "G: /srv/data 3", "H: /tmp 3",
        "I: /var 3", "J: /var/log 3", "K: /var/log/audit 3"},
       "each LVM volume once; /var/tmp is /tmp again, the upload and chroot binds show folders "
       "that /srv/data and /var list",
       {"/var/tmp", "/srv/sftp/anna/upload", "/var/named/chroot/var/named"}},
      {"raspberry-pi",
       {"C: / 3", "D: /boot/firmware 3", "E: /media/pi/Backup 3", "F: /media/pi/USB-STICK 2"},
       "the SD card's partitions and the USB SSD are disks, the stick is removable"},
      {"live-usb",
       {"C: / 3", "D: /media/ubuntu/Daten 3", "E: /cdrom 5", "F: /rofs 5"},
       "the live system and the installed disk are scanned, the boot medium and its image are "
       "CD-ROMs"},
      {"container",
       {"C: / 3", "D: /data 3", "E: /src 3"},
       "the container's root and its two folder volumes; the files bound in and the masks of "
       "/proc and /sys are none",
       {"/etc/hosts", "/proc/kcore", "/sys/firmware"}},
      {"silverblue40",
       {"C: / 3", "D: /boot 3", "E: /boot/efi 3", "F: /sysroot 3", "G: /usr 3", "H: /var/home 3"},
       "/sysroot holds every deployment: it lists /var's files, but not the running deployment, "
       "which is C: (and /usr, which lies in it)",
       {"/var", deployment}},
      {"edge-covered-bind",
       {"C: / 3", "D: /mnt/data 3", "E: /srv/photos 3"},
       "the photos folder of /mnt/data is covered by a RAM disk: only /srv/photos shows it"},
      {"edge-dedupe-partner-out-of-letters",
       {"C: / 3", "D: /srv/data 3"},
       "the RAM disks take no letters; /aaa/photos is listed in /srv/data",
       {"/aaa/photos"}},
  };
  for (const Sample& sample : samples) {
    SCOPED_TRACE(sample.name + ": " + sample.why);
    const DriveTable table = load(sample.name);
    EXPECT_EQ(describe(table), sample.drives);
    for (const Drive& d : table.drives()) {
      if (d.mountPoint != "/") {
        EXPECT_TRUE(table.isMountPoint(d.mountPoint)) << d.mountPoint;
      }
    }
    for (const std::string& folder : sample.leftOut) {
      EXPECT_TRUE(table.isMountPoint(folder)) << folder;
    }
  }
}

// The walk of one mount shows another's folder only where nothing is mounted on
// the way to it.
TEST(DriveDuplicates, WhereTheWalkOfOneMountShowsAnother) {
  const auto mount = [](const std::string& device, const std::string& root,
                        const std::string& target) {
    os::MountRow m;
    m.major = static_cast<unsigned>(std::stoul(device.substr(0, device.find(':'))));
    m.minor = static_cast<unsigned>(std::stoul(device.substr(device.find(':') + 1)));
    m.root = root;
    m.target = target;
    return m;
  };
  const os::MountRow root = mount("8:1", "/", "/");  // the root file system
  struct Case {
    std::string what;
    os::MountRow shown, walked;
    std::vector<std::string> mounted;
    std::optional<std::string> expected;
  };
  const std::vector<Case> cases = {
      {"a folder of / bound elsewhere",
       mount("8:1", "/srv/x", "/mnt/x"),
       root,
       {"/mnt/x"},
       "/srv/x"},
      {"the same root at two places",
       mount("8:1", "/", "/media/b"),
       mount("8:1", "/", "/media/a"),
       {"/media/a", "/media/b"},
       "/media/a"},
      {"a subvolume in the top level",
       mount("0:40", "/@home", "/home"),
       mount("0:40", "/", "/mnt/top"),
       {"/home", "/mnt/top"},
       "/mnt/top/@home"},
      {"a folder inside a bound folder",
       mount("0:40", "/a/b/c", "/x"),
       mount("0:40", "/a", "/y"),
       {"/x", "/y"},
       "/y/b/c"},
      {"another device", mount("8:2", "/srv/x", "/mnt/x"), root, {}, {}},
      {"a wider root never shows in a narrower one",
       mount("8:1", "/", "/mnt/all"),
       mount("8:1", "/srv", "/srv"),
       {},
       {}},
      {"a root that only starts alike",
       mount("8:1", "/srv/xy", "/m"),
       mount("8:1", "/srv/x", "/n"),
       {},
       {}},
      {"covered by a RAM disk",
       mount("8:17", "/photos", "/srv/photos"),
       mount("8:17", "/", "/mnt/data"),
       {"/mnt/data/photos"},
       {}},
      {"a mount on a folder on the way", mount("8:1", "/srv/x/y", "/m"), root, {"/srv"}, {}},
      {"a folder left out of the walk", mount("8:1", "/srv/x/y", "/m"), root, {"/srv/x"}, {}},
      {"bound onto itself", mount("8:1", "/srv/x", "/srv/x"), root, {"/srv/x"}, {}},
      {"mounts beside the way do not count",
       mount("8:1", "/srv/x", "/mnt/x"),
       root,
       {"/srv/xy", "/srv/x/inner", "/mnt/x"},
       "/srv/x"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const auto isMounted = [&](std::string_view p) {
      return std::find(c.mounted.begin(), c.mounted.end(), p) != c.mounted.end();
    };
    EXPECT_EQ(mounts::whereWalkShows(c.shown, c.walked, isMounted), c.expected);
  }
}

TEST_F(DriveTableRead, KubernetesNodeKeepsEveryVolumeAndNoPlumbing) {
  // 40 pods: each a sandbox shm, a rootfs overlay, a network namespace and a
  // service-account tmpfs; every pod an NFS volume, every second a CSI disk mounted
  // once for the node and bound again into the pod.
  std::string rows = kExt4Root + row(21, 20, "0:25", "/", "/run", "tmpfs", "tmpfs");
  std::vector<std::string> volumes, plumbing, binds;
  int id = 100;
  for (int p = 0; p < 40; ++p) {
    const std::string n = std::to_string(p);
    const std::string pod = "/var/lib/kubelet/pods/uid-" + n + "/volumes";
    const std::string shm = "/run/containerd/sandboxes/s" + n + "/shm";
    const std::string rootfs = "/run/containerd/k8s.io/c" + n + "/rootfs";
    const std::string netns = "/run/netns/cni-" + n;
    const std::string token = pod + "/kubernetes.io~projected/kube-api-access";
    rows += row(id++, 21, "0:" + std::to_string(200 + p), "/", shm, "tmpfs", "shm");
    rows += row(id++, 21, "0:" + std::to_string(300 + p), "/", rootfs, "overlay", "overlay");
    rows += row(id++, 21, "0:4", "net:[4026" + n + "]", netns, "nsfs", "nsfs");
    rows += row(id++, 20, "0:" + std::to_string(400 + p), "/", token, "tmpfs", "tmpfs");
    plumbing.insert(plumbing.end(), {shm, rootfs, netns, token});
    const std::string nfs = pod + "/kubernetes.io~nfs/data";
    rows += row(id++, 20, "0:" + std::to_string(500 + p), "/", nfs, "nfs4", "nas:/v" + n);
    volumes.push_back(nfs);
    if (p % 2 == 0) {
      const std::string device = "259:" + std::to_string(p + 1);
      const std::string global = "/var/lib/kubelet/plugins/csi/pv" + n + "/globalmount";
      const std::string bind = pod + "/kubernetes.io~csi/pv" + n + "/mount";
      rows += row(id++, 20, device, "/", global, "ext4", "/dev/nvme1n" + n);
      rows += row(id++, 20, device, "/", bind, "ext4", "/dev/nvme1n" + n);
      volumes.push_back(global);
      binds.push_back(bind);
    }
  }
  const DriveTable table = load(rows);
  ASSERT_EQ(table.drives().size(), 24u);
  // Every volume is scanned once: with a letter, or as part of C:.
  for (const std::string& v : volumes) {
    EXPECT_NE(table.byLetter(table.hostToView(v)[0])->mountPoint == v, table.walksInto(v)) << v;
  }
  for (const std::string& p : plumbing) {
    EXPECT_TRUE(table.isMountPoint(p)) << p;
    EXPECT_EQ(table.hostToView(p + "/x")[0], 'C') << p;
  }
  for (const std::string& b : binds) EXPECT_TRUE(table.isMountPoint(b)) << b;
}

TEST_F(DriveTableRead, BtrfsTopLevelMountedBesideItsSubvolumes) {
  const std::string root = row(20, 1, "0:40", "/@", "/", "btrfs", "/dev/sda2");
  const std::string home = row(21, 20, "0:40", "/@home", "/home", "btrfs", "/dev/sda2");
  const std::string top = row(22, 20, "0:40", "/", "/mnt/top", "btrfs", "/dev/sda2");
  // /home is listed in D:\@home; the folder of C:'s subvolume in D: is left out.
  const DriveTable table = load(root + home + top);
  EXPECT_EQ(describe(table), (Lines{"C: / 3", "D: /mnt/top 3"}));
  EXPECT_TRUE(table.isMountPoint("/home"));
  EXPECT_TRUE(table.isMountPoint("/mnt/top/@"));
  EXPECT_FALSE(table.isMountPoint("/mnt/top/@home"));
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
  // The walk's mapper, which takes over what a path shares with the last one, in
  // both orders: every case follows another that shares some of it.
  const auto shared = std::make_shared<const DriveTable>(table);
  ViewPathMapper mapper;
  for (int round = 0; round < 2; ++round) {
    for (size_t i = 0; i < cases.size(); ++i) {
      const auto& [view, host] = cases[round == 0 ? i : cases.size() - 1 - i];
      const std::string* mapped = mapper.map(shared, view);
      EXPECT_EQ(mapped ? std::optional<std::string>(*mapped) : std::nullopt, host) << view;
    }
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
  const auto shared = std::make_shared<const DriveTable>(table);
  ViewPathMapper mapper;
  std::vector<std::pair<std::string, std::string>> walked;  // down, then up again
  std::string view = "D:";
  std::string host = "/mnt/daten";
  for (int level = 0; level < 30; ++level) {
    const std::string name = std::string(static_cast<size_t>(level % 9 + 1), 'n') + ".x";
    view += "\\" + name;
    host += "/" + name;
    EXPECT_EQ(table.viewToHost(view), host);
    EXPECT_EQ(table.viewToHost(view + "\\"), host);
    walked.emplace_back(view, host);
  }
  for (size_t i = walked.size(); i-- > 0;) walked.push_back(walked[i]);
  // Beside each folder a sibling, one with an escaped byte, its "." and its "\".
  for (const auto& [v, h] : walked) {
    EXPECT_EQ(*mapper.map(shared, v), h) << v;
    EXPECT_EQ(*mapper.map(shared, v + "\\b"), h + "/b") << v;
    EXPECT_EQ(*mapper.map(shared, v + "\\a\xEF\x81\x9C"), h + "/a\\") << v;
    EXPECT_EQ(*mapper.map(shared, v + "\\."), h + "/.") << v;
    EXPECT_EQ(*mapper.map(shared, v + "\\"), h) << v;
  }
  // Another table: nothing of the last one's mapping is taken over.
  const auto other = std::make_shared<const DriveTable>(
      DriveTable::fromDrives({{'C', "/", DRIVE_FIXED, "ext4", "/dev/sda1"},
                              {'D', "/srv/anders", DRIVE_FIXED, "ext4", "/dev/sdc1"}}));
  EXPECT_EQ(*mapper.map(shared, view), host);
  EXPECT_EQ(*mapper.map(other, view),
            "/srv/anders" + host.substr(std::string("/mnt/daten").size()));
  EXPECT_EQ(table.viewToHost("C:\\\\abcdefghij//k\\"), "/abcdefghij/k");
  EXPECT_EQ(table.viewToHost("C:\\abcdefgh\\.\\ijklmnop"), "/abcdefgh/./ijklmnop");
  EXPECT_EQ(table.viewToHost("D:\\"), "/mnt/daten");
}

}  // namespace
