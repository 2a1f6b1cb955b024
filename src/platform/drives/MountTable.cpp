// Drive letters over a mount table (Linux): which mounts are drives, of which type,
// which letters they get, and which folders each drive's walk leaves out.
#include "platform/drives/MountTable.h"

#include <algorithm>
#include <array>
#include <filesystem>
#include <fstream>
#include <string>
#include <unordered_map>
#include <unordered_set>

namespace platform {

namespace mounts {

bool isPathPrefix(std::string_view ancestor, std::string_view path) {
  if (ancestor == "/") return path.starts_with('/');
  return path.starts_with(ancestor) &&
         (path.size() == ancestor.size() || path[ancestor.size()] == '/');
}

std::optional<std::string> whereWalkShows(const os::MountRow& shown, const os::MountRow& walked,
                                          const std::function<bool(std::string_view)>& isMounted) {
  if (shown.major != walked.major || shown.minor != walked.minor ||
      !isPathPrefix(walked.root, shown.root)) {
    return std::nullopt;
  }
  std::string_view rest =
      std::string_view(shown.root).substr(walked.root == "/" ? 0 : walked.root.size());
  if (rest == "/") rest = {};
  std::string path = walked.target == "/" && !rest.empty() ? std::string() : walked.target;
  path += rest;
  // Every folder from just below `walked`'s mount point down to the path itself.
  for (std::string_view p = path; p.size() > walked.target.size();) {
    if (isMounted(p)) return std::nullopt;
    const size_t slash = p.rfind('/');
    p = p.substr(0, slash == 0 ? 1 : slash);
  }
  return path;
}

}  // namespace mounts

namespace {

using mounts::isPathPrefix;
using PathSet = std::unordered_set<std::string, pathbytes::TailHash, std::equal_to<>>;

// --- classification -------------------------------------------------------------

template <size_t N>
bool isOneOf(std::string_view s, const std::array<std::string_view, N>& list) {
  return std::find(list.begin(), list.end(), s) != list.end();
}

template <size_t N>
bool isBelowOneOf(std::string_view path, const std::array<std::string_view, N>& folders) {
  return std::any_of(folders.begin(), folders.end(),
                     [&](std::string_view f) { return isPathPrefix(f, path) && path != f; });
}

// Read-only images and optical media.
constexpr auto kImageTypes = std::to_array<std::string_view>(
    {"iso9660", "udf", "squashfs", "erofs", "cramfs", "romfs", "fuse.squashfuse", "fuse.snapfuse"});

// Network and host-shared file systems that libmount (2.38) does not call network
// file systems. It even calls the shared folders of a virtual machine (virtiofs,
// vboxsf) pseudo file systems, though they hold the host's files.
constexpr auto kMoreRemoteTypes = std::to_array<std::string_view>(
    {"sshfs", "ceph", "fuse.ceph", "fuse.ceph-fuse", "fuse.glusterfs", "lustre", "coda", "beegfs",
     "gpfs", "davfs", "fuse.davfs2", "fuse.rclone", "fuse.s3fs", "virtiofs", "vboxsf",
     "fuse.vmhgfs-fuse"});

// Views that show files again which live on other drives: union views and the
// desktop's bridges to its document portal, its virtual folders and containers'
// /proc.
constexpr auto kViewTypes = std::to_array<std::string_view>(
    {"overlay", "aufs", "fuse.mergerfs", "fuse.unionfs", "fuse.unionfs-fuse", "fuse.fuse-overlayfs",
     "fuse.portal", "fuse.gvfsd-fuse", "fuse.gvfs-fuse-daemon", "fuse.kio-fuse", "fuse.lxcfs"});

// The system's own virtual trees: only a disk or a share mounted there (a stick
// below /run/media) is a drive.
constexpr auto kVirtualTrees = std::to_array<std::string_view>({"/proc", "/sys", "/dev", "/run"});

// Container layers and sandbox plumbing, package images.
constexpr auto kPlumbingTrees = std::to_array<std::string_view>(
    {"/var/lib/docker/overlay2", "/var/lib/docker/zfs", "/var/lib/docker/containers",
     "/var/lib/docker/plugins", "/var/lib/containers/storage", "/var/lib/containerd",
     "/usr/lib/wsl", "/snap", "/var/lib/snapd"});

bool isZram(std::string_view source) {
  constexpr std::string_view prefix = "/dev/zram";
  if (!source.starts_with(prefix) || source.size() == prefix.size()) return false;
  return std::all_of(source.begin() + prefix.size(), source.end(),
                     [](char c) { return c >= '0' && c <= '9'; });
}

bool endsWithAppImage(std::string_view s) {
  constexpr std::string_view suffix = ".appimage";
  if (s.size() < suffix.size()) return false;
  return std::equal(suffix.begin(), suffix.end(), s.end() - static_cast<long>(suffix.size()),
                    [](char a, char b) { return a == (b >= 'A' && b <= 'Z' ? b - 'A' + 'a' : b); });
}

// An AppImage runs from a folder /tmp/.mount_<name><random> it mounts itself.
bool isAppImage(const os::MountRow& m) {
  const size_t slash = m.target.rfind('/');
  return std::string_view(m.target).substr(slash + 1).starts_with(".mount_") ||
         endsWithAppImage(m.fsType) || endsWithAppImage(m.source);
}

// A zfs snapshot, mounted by a visit to .zfs/snapshot.
bool isSnapshot(const os::MountRow& m) {
  return (m.fsType == "zfs" && m.source.find('@') != std::string::npos) ||
         m.target.find("/.zfs/snapshot") != std::string::npos;
}

bool readsOne(const std::filesystem::path& file) {
  std::ifstream in(file);
  char c = 0;
  return in.get(c) && c == '1';
}

// Opened LUKS volumes and LVM volumes stack at most a few devices deep (LVM on
// LUKS on md is three); a deeper chain of slaves is a loop.
constexpr int kMaxStackedDevices = 8;

// Whether the disks under the block device folder `dir` are removable. A
// partition's folder holds a "partition" file and sits in its disk's folder, and
// only the disk knows. A device-mapper or md device (an opened LUKS volume, an
// LVM volume, a RAID) names the devices it is built on in slaves/ and is never
// removable itself: it is removable when all of them are.
bool disksAreRemovable(std::filesystem::path dir, int depth) {
  namespace fs = std::filesystem;
  std::error_code ec;
  // "<partition>/.." is resolved by the kernel after following the symbolic link.
  if (fs::exists(dir / "partition", ec)) dir /= "..";
  bool stacked = false;
  for (fs::directory_iterator it(dir / "slaves", ec), end; !ec && it != end; it.increment(ec)) {
    if (depth == kMaxStackedDevices || !disksAreRemovable(it->path(), depth + 1)) return false;
    stacked = true;
  }
  return stacked || readsOne(dir / "removable");
}

// The folder of the device-mapper device called `name` (/dev/mapper/<name>):
// sysfs lists it as dm-<n> with its name in dm/name.
std::filesystem::path mapperDevice(const std::filesystem::path& classBlock, std::string_view name) {
  namespace fs = std::filesystem;
  std::error_code ec;
  for (fs::directory_iterator it(classBlock, ec), end; !ec && it != end; it.increment(ec)) {
    std::ifstream in(it->path() / "dm" / "name");
    std::string line;
    if (std::getline(in, line) && line == name) return it->path();
  }
  return {};
}

// sysfs keeps a folder per block device under dev/block/<major>:<minor>. File
// systems that report an anonymous device (btrfs) are found through their source
// name under class/block, or for /dev/mapper/<name> by the mapper's name.
bool isRemovable(const os::MountRow& m, const std::string& sysDir) {
  namespace fs = std::filesystem;
  constexpr std::string_view kMapper = "/dev/mapper/";
  std::error_code ec;
  fs::path dir = fs::path(sysDir) / "dev" / "block" /
                 (std::to_string(m.major) + ":" + std::to_string(m.minor));
  if (!fs::exists(dir, ec) && m.source.starts_with(kMapper)) {
    dir = mapperDevice(fs::path(sysDir) / "class" / "block", m.source.substr(kMapper.size()));
  } else if (!fs::exists(dir, ec) && m.source.starts_with("/dev/")) {
    dir = fs::path(sysDir) / "class" / "block" / fs::path(m.source).filename();
  }
  return !dir.empty() && disksAreRemovable(dir, 0);
}

bool isRemote(const os::MountRow& m) {
  return m.netfs || isOneOf(m.fsType, kMoreRemoteTypes);
}

// The drive type of a mount, or nothing for a mount that is no user's drive.
std::optional<DriveType> classify(const os::MountRow& m, const std::string& sysDir) {
  // Containers run on overlay, live systems on tmpfs: "/" is always a drive.
  if (m.target == "/") return m.netfs ? DRIVE_REMOTE : DRIVE_FIXED;
  // RAM disks hold nothing that outlives the machine's run.
  if (m.fsType == "tmpfs" || m.fsType == "ramfs" || isZram(m.source)) return std::nullopt;
  if (isOneOf(m.fsType, kViewTypes) || isSnapshot(m) || isAppImage(m)) return std::nullopt;
  if (isBelowOneOf(m.target, kPlumbingTrees)) return std::nullopt;
  if (isBelowOneOf(m.target, kVirtualTrees) && !isRemote(m) && !m.source.starts_with("/dev/"))
    return std::nullopt;
  if (isOneOf(m.fsType, kImageTypes)) return DRIVE_CDROM;
  if (isRemote(m)) return DRIVE_REMOTE;
  if (m.pseudofs) return std::nullopt;
  if (isRemovable(m, sysDir)) return DRIVE_REMOVABLE;
  return DRIVE_FIXED;
}

// --- which mounts can be seen -----------------------------------------------------

class MountTree {
 public:
  explicit MountTree(const std::vector<os::MountRow>& mounts) : m_mounts(mounts) {
    for (size_t i = 0; i < mounts.size(); ++i) {
      m_byId.emplace(mounts[i].id, i);
      m_byTarget[mounts[i].target].push_back(i);
    }
  }

  // A mount is hidden when another one covers its mount point: one stacked on it at
  // the same point, or a later one on one of the folders above it. A mount on a
  // folder above that is this mount's own parent (or grandparent...) hides nothing,
  // whatever the table order.
  bool isHidden(size_t m) const {
    std::string_view path = m_mounts[m].target;
    for (;;) {
      if (const auto it = m_byTarget.find(path); it != m_byTarget.end()) {
        for (const size_t n : it->second) {
          if (n == m || isBelow(m, n)) continue;
          if (isBelow(n, m) || n > m) return true;
        }
      }
      if (path == "/" || path.empty()) return false;
      const size_t slash = path.rfind('/');
      path = path.substr(0, slash == 0 ? 1 : slash);
    }
  }

 private:
  // True when mount `a` sits on mount `b`, directly or further down the tree.
  bool isBelow(size_t a, size_t b) const {
    size_t steps = 0;  // a broken table must not loop forever
    for (auto it = m_byId.find(m_mounts[a].parentId); it != m_byId.end() && steps < m_mounts.size();
         it = m_byId.find(m_mounts[it->second].parentId), ++steps) {
      if (it->second == b) return true;
    }
    return false;
  }

  const std::vector<os::MountRow>& m_mounts;
  std::unordered_map<int, size_t> m_byId;
  std::unordered_map<std::string_view, std::vector<size_t>> m_byTarget;
};

// --- drives ------------------------------------------------------------------------

struct Candidate {
  const os::MountRow* mount;
  DriveType type;
  // Drives a scan covers come first, then removable and CD-ROM drives.
  int group() const { return type == DRIVE_FIXED || type == DRIVE_REMOTE ? 0 : 1; }
};

bool letterOrder(const Candidate& a, const Candidate& b) {
  if (a.group() != b.group()) return a.group() < b.group();
  return a.mount->target < b.mount->target;
}

// The kernel shows a bound folder that was deleted since as "<folder>//deleted".
bool isDeletedRoot(std::string_view root) {
  return root.ends_with("//deleted");
}

// Does the folder at `path` inside mount `walked` really show what `shown` shows?
// A folder deleted since it was bound is not there to be walked. A share is never
// asked: a lookup inside it waits for its server, so two mounts of a share are the
// same folder when the table gives both the same source and root. On a local file
// system the machine confirms it where it can be asked; else the table's word
// counts unless the folder is not found.
bool sameFolder(const Candidate& shown, const Candidate& walked, const std::string& path,
                const MountProbe& probe) {
  const os::MountRow& s = *shown.mount;
  const os::MountRow& w = *walked.mount;
  if (isDeletedRoot(s.root) || isDeletedRoot(w.root)) return false;
  if (shown.type == DRIVE_REMOTE || walked.type == DRIVE_REMOTE) {
    return s.source == w.source && s.root == w.root;
  }
  if (!probe.identity) return true;
  uint64_t d1 = 0, i1 = 0, d2 = 0, i2 = 0;
  const bool asked = probe.identity(s.target, d1, i1) == 0;
  const os::NativeError atPath = probe.identity(path, d2, i2);
  if (asked) return atPath == 0 && d1 == d2 && i1 == i2;
  return !os::isNotFound(atPath);
}

}  // namespace

MountProbe MountProbe::machine() {
  MountProbe probe;
  probe.isFolder = os::mountPointIsFolder;
  probe.identity = [](const std::string& path, uint64_t& device, uint64_t& inode) {
    os::Identity id;
    const os::NativeError e = os::mountPointIdentity(path, id);
    device = id.device;
    inode = id.inode;
    return e;
  };
  return probe;
}

DriveTable drivesOfMountTable(std::string_view text, const std::string& sysDir,
                              const MountProbe& probe) {
  return drivesOfMounts(os::parseMountTable(text), sysDir, probe);
}

DriveTable drivesOfMounts(const std::vector<os::MountRow>& mounts, const std::string& sysDir,
                          const MountProbe& probe) {
  DriveTable table;
  if (mounts.empty()) return table;
  const MountTree tree(mounts);

  // Every folder with something visible mounted on it; a hidden mount's point is a
  // plain folder of whatever covers it.
  std::unordered_set<std::string_view> mounted;
  std::vector<Candidate> candidates;
  const Candidate* root = nullptr;
  for (size_t i = 0; i < mounts.size(); ++i) {
    const os::MountRow& m = mounts[i];
    if (tree.isHidden(i)) continue;
    mounted.insert(m.target);
    const std::optional<DriveType> type = classify(m, sysDir);
    if (!type || (m.target != "/" && probe.isFolder && !probe.isFolder(m.target))) continue;
    candidates.push_back({&m, *type});
  }
  for (const Candidate& c : candidates) {
    if (c.mount->target == "/") root = &c;
  }

  // A mount whose folder the walk of another kept drive reaches is left out. Wider
  // roots are kept first, so that a bind of a folder yields to the mount of the
  // whole file system; of equal roots the first in letter order stays. The mount
  // of "/" always stays: a wider mount of its file system leaves that folder out.
  std::vector<const Candidate*> order;
  for (const Candidate& c : candidates) order.push_back(&c);
  std::stable_sort(order.begin(), order.end(), [&](const Candidate* a, const Candidate* b) {
    if ((a == root) != (b == root)) return a == root;
    if (a->mount->root.size() != b->mount->root.size())
      return a->mount->root.size() < b->mount->root.size();
    return letterOrder(*a, *b);
  });
  std::vector<std::string> leftOut;  // folders that show what another drive lists
  PathSet leftOutSet;
  const auto isMounted = [&](std::string_view p) {
    return mounted.count(p) > 0 || leftOutSet.find(p) != leftOutSet.end();
  };
  std::unordered_map<uint64_t, std::vector<const Candidate*>> keptByDevice;
  std::vector<Candidate> kept;
  for (const Candidate* x : order) {
    const uint64_t device = (uint64_t{x->mount->major} << 32) | x->mount->minor;
    std::vector<const Candidate*>& sameDevice = keptByDevice[device];
    const bool duplicate =
        x != root && std::any_of(sameDevice.begin(), sameDevice.end(), [&](const Candidate* y) {
          const auto at = mounts::whereWalkShows(*x->mount, *y->mount, isMounted);
          return at && sameFolder(*x, *y, *at, probe);
        });
    if (duplicate) continue;
    if (root && x != root) {
      if (const auto at = mounts::whereWalkShows(*root->mount, *x->mount, isMounted);
          at && sameFolder(*root, *x, *at, probe)) {
        leftOutSet.insert(*at);
        leftOut.push_back(*at);
      }
    }
    sameDevice.push_back(x);
    kept.push_back(*x);
  }

  // C: is the mount of "/"; in a chroot, whose root is a plain folder of a mount
  // the table does not show, "/" still is C:. Letters follow the mount points in
  // byte order, so that they stay put from run to run.
  std::stable_sort(kept.begin(), kept.end(), [](const Candidate& a, const Candidate& b) {
    const bool ra = a.mount->target == "/", rb = b.mount->target == "/";
    if (ra != rb) return ra;
    return letterOrder(a, b);
  });
  if (!root) table.m_drives.push_back(Drive{'C', "/", DRIVE_FIXED, "", ""});
  // Out of letters, a drive a scan covers goes without one when the walk of the
  // drive holding its mount point reaches it (the nearest mount above it is one a
  // scan covers): it is walked as part of that drive.
  std::unordered_set<std::string_view> scanned;
  for (const Candidate& c : kept) {
    if (c.group() == 0) scanned.insert(c.mount->target);
  }
  size_t letters = 'Z' - 'D' + 1;
  std::vector<bool> lettered(kept.size(), false);
  if (scanned.size() - (root ? 1 : 0) > letters) {
    const auto reachedByAWalk = [&](std::string_view target) {
      for (std::string_view p = target; p != "/";) {
        const size_t slash = p.rfind('/');
        p = p.substr(0, slash == 0 ? 1 : slash);
        if (mounted.count(p)) return scanned.count(p) > 0;
      }
      return true;  // "/" is C:
    };
    for (size_t k = 0; k < kept.size() && letters > 0; ++k) {
      const std::string& t = kept[k].mount->target;
      if (t != "/" && kept[k].group() == 0 && !reachedByAWalk(t)) {
        lettered[k] = true;
        --letters;
      }
    }
  }
  for (size_t k = 0; k < kept.size() && letters > 0; ++k) {
    if (!lettered[k] && kept[k].mount->target != "/") {
      lettered[k] = true;
      --letters;
    }
  }
  char next = 'D';
  for (size_t k = 0; k < kept.size(); ++k) {
    const Candidate& c = kept[k];
    const os::MountRow& m = *c.mount;
    if (m.target == "/") {
      table.m_drives.push_back(Drive{'C', "/", c.type, m.fsType, m.source});
    } else if (lettered[k]) {
      table.m_drives.push_back(Drive{next++, m.target, c.type, m.fsType, m.source});
    } else if (c.group() == 0) {
      table.m_walkedInto.insert(m.target);
    }
  }
  for (const std::string_view p : mounted) {
    if (p != "/" && !table.m_walkedInto.count(p)) table.addMountPoint(std::string(p));
  }
  for (std::string& p : leftOut) table.addMountPoint(std::move(p));
  return table;
}

DriveTable drivesOfMountInfoFile(const std::string& mountInfoPath, const std::string& sysDir) {
  std::string text;
  os::File file;
  if (os::openFile(mountInfoPath, file) == 0) {
    char chunk[16384];
    size_t got = 0;
    while (os::readFile(file, chunk, sizeof chunk, got) == 0 && got > 0) text.append(chunk, got);
  }
  return drivesOfMountTable(text, sysDir);
}

}  // namespace platform
