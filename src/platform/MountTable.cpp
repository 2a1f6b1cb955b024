// Drive letters over a mount table (Linux): which mounts are drives, of which type,
// and which letters they get.
#include <algorithm>
#include <array>
#include <filesystem>
#include <fstream>
#include <optional>
#include <unordered_map>

#include "platform/Drives.h"
#include "platform/os/Os.h"

namespace platform {
namespace {

// --- classification -------------------------------------------------------------

template <size_t N>
bool isOneOf(std::string_view s, const std::array<std::string_view, N>& list) {
  return std::find(list.begin(), list.end(), s) != list.end();
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

// The desktop's document portal shows files again that live on another drive.
constexpr auto kMorePseudoTypes = std::to_array<std::string_view>({"fuse.portal"});

bool isZram(std::string_view source) {
  constexpr std::string_view prefix = "/dev/zram";
  if (!source.starts_with(prefix) || source.size() == prefix.size()) return false;
  return std::all_of(source.begin() + prefix.size(), source.end(),
                     [](char c) { return c >= '0' && c <= '9'; });
}

bool readsOne(const std::filesystem::path& file) {
  std::ifstream in(file);
  char c = 0;
  return in.get(c) && c == '1';
}

// sysfs keeps a folder per block device under dev/block/<major>:<minor>. A
// partition's folder holds a "partition" file and sits in its disk's folder, and
// only the disk knows whether it is removable. File systems that report an
// anonymous device (btrfs) are found through their source name under class/block.
bool isRemovable(const os::MountRow& m, const std::string& sysDir) {
  namespace fs = std::filesystem;
  std::error_code ec;
  fs::path dir = fs::path(sysDir) / "dev" / "block" /
                 (std::to_string(m.major) + ":" + std::to_string(m.minor));
  if (!fs::exists(dir, ec) && m.source.starts_with("/dev/")) {
    dir = fs::path(sysDir) / "class" / "block" / fs::path(m.source).filename();
  }
  // "<partition>/.." is resolved by the kernel after following the symbolic link.
  if (fs::exists(dir / "partition", ec)) dir /= "..";
  return readsOne(dir / "removable");
}

// The drive type of a mount, or nothing for a mount that is no drive.
std::optional<DriveType> classify(const os::MountRow& m, const std::string& sysDir) {
  // Containers run on overlay, live systems on tmpfs: "/" is always a drive.
  if (m.target == "/") return m.netfs ? DRIVE_REMOTE : DRIVE_FIXED;
  if (m.fsType == "tmpfs" || m.fsType == "ramfs" || isZram(m.source)) return DRIVE_RAMDISK;
  if (isOneOf(m.fsType, kImageTypes)) return DRIVE_CDROM;
  if (m.netfs || isOneOf(m.fsType, kMoreRemoteTypes)) return DRIVE_REMOTE;
  if (m.pseudofs || isOneOf(m.fsType, kMorePseudoTypes)) return std::nullopt;
  if (isRemovable(m, sysDir)) return DRIVE_REMOVABLE;
  return DRIVE_FIXED;
}

// --- which mounts may carry a letter ----------------------------------------------

// True when `ancestor` is `path` or one of its folders, compared by whole components.
bool isPathPrefix(std::string_view ancestor, std::string_view path) {
  if (ancestor == "/") return path.starts_with('/');
  return path.starts_with(ancestor) &&
         (path.size() == ancestor.size() || path[ancestor.size()] == '/');
}

class MountTree {
 public:
  explicit MountTree(const std::vector<os::MountRow>& mounts) : m_mounts(mounts) {
    for (size_t i = 0; i < mounts.size(); ++i) m_byId.emplace(mounts[i].id, i);
  }

  // A mount is hidden when another one covers its mount point: one stacked on it at
  // the same point, or a later one on one of the folders above it. A mount on a
  // folder above that is this mount's own parent (or grandparent...) hides nothing,
  // whatever the table order.
  bool isHidden(size_t m) const {
    for (size_t n = 0; n < m_mounts.size(); ++n) {
      if (n == m || !isPathPrefix(m_mounts[n].target, m_mounts[m].target)) continue;
      if (isBelow(m, n)) continue;
      if (isBelow(n, m) || n > m) return true;
    }
    return false;
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
};

struct Candidate {
  const os::MountRow* mount;
  DriveType type;
};

// A bind mount shows files that another drive shows already when both come from
// the same device and the other's root (mountinfo field 4) is the same folder or one
// above it. Of equal roots the first mount point keeps its letter; "/" always does.
bool isReachableElsewhere(const std::vector<Candidate>& sorted, size_t k) {
  const os::MountRow& x = *sorted[k].mount;
  if (x.target == "/") return false;
  for (size_t j = 0; j < sorted.size(); ++j) {
    const os::MountRow& y = *sorted[j].mount;
    if (j == k || y.major != x.major || y.minor != x.minor || !isPathPrefix(y.root, x.root))
      continue;
    if (y.root != x.root || j < k) return true;
  }
  return false;
}

}  // namespace

DriveTable DriveTable::fromMountTable(std::string_view text, const std::string& sysDir) {
  return fromMounts(os::parseMountTable(text), sysDir);
}

DriveTable DriveTable::fromMounts(const std::vector<os::MountRow>& mounts,
                                  const std::string& sysDir) {
  const MountTree tree(mounts);
  DriveTable table;
  std::vector<Candidate> candidates;
  for (size_t i = 0; i < mounts.size(); ++i) {
    const os::MountRow& m = mounts[i];
    if (m.target != "/") table.m_mountPoints.insert(m.target);
    const std::optional<DriveType> type = classify(m, sysDir);
    if (type && !tree.isHidden(i) && os::mountPointIsFolder(m.target))
      candidates.push_back({&m, *type});
  }

  // Letters follow the mount points in byte order, so that they stay put from run
  // to run; "/" sorts first and is C:.
  std::stable_sort(
      candidates.begin(), candidates.end(),
      [](const Candidate& a, const Candidate& b) { return a.mount->target < b.mount->target; });
  char next = 'D';
  for (size_t k = 0; k < candidates.size(); ++k) {
    const os::MountRow& m = *candidates[k].mount;
    if (isReachableElsewhere(candidates, k)) continue;
    char letter = 0;
    if (m.target == "/") {
      if (table.byLetter('C')) continue;
      letter = 'C';
    } else if (next <= 'Z') {
      letter = next++;
    } else {
      break;  // out of letters
    }
    table.m_drives.push_back(Drive{letter, m.target, candidates[k].type, m.fsType, m.source});
  }
  return table;
}

DriveTable DriveTable::fromMountInfo(const std::string& mountInfoPath, const std::string& sysDir) {
  std::string text;
  os::File file;
  if (os::openFile(mountInfoPath, file) == 0) {
    char chunk[16384];
    size_t got = 0;
    while (os::readFile(file, chunk, sizeof chunk, got) == 0 && got > 0) text.append(chunk, got);
  }
  return fromMountTable(text, sysDir);
}

}  // namespace platform
