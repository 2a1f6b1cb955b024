#include "platform/Drives.h"

#include <fcntl.h>
#include <libmount.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>

#include <algorithm>
#include <array>
#include <filesystem>
#include <fstream>
#include <memory>
#include <unordered_map>

#include "platform/PathBytes.h"
#include "platform/Text.h"

namespace platform {
namespace {

// One row of the mount table, as fromMountInfo needs it. libmount reads
// /proc/self/mountinfo rows such as
//   61 26 8:17 /photos /srv/my\040photos rw,nosuid shared:34 - ext4 /dev/sdb1 rw
// (mount id, parent id, major:minor, root within the file system, mount point,
// options, optional fields up to "-", type, source) and undoes the octal escapes.
struct Mount {
  int id = 0;
  int parentId = 0;
  dev_t device = 0;
  std::string root;
  std::string target;
  std::string fsType;
  std::string source;
  bool netfs = false;
  bool pseudofs = false;
};

struct TableUnref {
  void operator()(libmnt_table* table) const { mnt_unref_table(table); }
};
struct IterFree {
  void operator()(libmnt_iter* iter) const { mnt_free_iter(iter); }
};

std::string orEmpty(const char* s) {
  return s ? s : "";
}

// Every row of the table in table order; nothing when it cannot be read.
std::vector<Mount> readMounts(const std::string& path) {
  std::vector<Mount> mounts;
  std::unique_ptr<libmnt_table, TableUnref> table(mnt_new_table());
  std::unique_ptr<libmnt_iter, IterFree> iter(mnt_new_iter(MNT_ITER_FORWARD));
  if (!table || !iter) return mounts;
  // A malformed line is skipped; the rest of the table still counts.
  mnt_table_set_parser_errcb(table.get(), [](libmnt_table*, const char*, int) { return 1; });
  if (mnt_table_parse_file(table.get(), path.c_str()) != 0) return mounts;

  libmnt_fs* fs = nullptr;
  while (mnt_table_next_fs(table.get(), iter.get(), &fs) == 0) {
    // libmount guesses the format from the first line; an fstab-like file has no
    // device numbers or roots, so only mountinfo rows are taken.
    if (!mnt_fs_is_kernel(fs) || !mnt_fs_get_target(fs)) continue;
    Mount m;
    m.id = mnt_fs_get_id(fs);
    m.parentId = mnt_fs_get_parent_id(fs);
    m.device = mnt_fs_get_devno(fs);
    m.root = orEmpty(mnt_fs_get_root(fs));
    m.target = mnt_fs_get_target(fs);
    m.fsType = orEmpty(mnt_fs_get_fstype(fs));
    m.source = orEmpty(mnt_fs_get_source(fs));
    m.netfs = mnt_fs_is_netfs(fs) != 0;
    m.pseudofs = mnt_fs_is_pseudofs(fs) != 0;
    mounts.push_back(std::move(m));
  }
  return mounts;
}

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
bool isRemovable(const Mount& m, const std::string& sysDir) {
  namespace fs = std::filesystem;
  std::error_code ec;
  fs::path dir = fs::path(sysDir) / "dev" / "block" /
                 (std::to_string(major(m.device)) + ":" + std::to_string(minor(m.device)));
  if (!fs::exists(dir, ec) && m.source.starts_with("/dev/")) {
    dir = fs::path(sysDir) / "class" / "block" / fs::path(m.source).filename();
  }
  // "<partition>/.." is resolved by the kernel after following the symbolic link.
  if (fs::exists(dir / "partition", ec)) dir /= "..";
  return readsOne(dir / "removable");
}

// The drive type of a mount, or nothing for a mount that is no drive.
std::optional<DriveType> classify(const Mount& m, const std::string& sysDir) {
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
  explicit MountTree(const std::vector<Mount>& mounts) : m_mounts(mounts) {
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

  const std::vector<Mount>& m_mounts;
  std::unordered_map<int, size_t> m_byId;
};

// Only folders are drive roots; a mountinfo row does not say whether a file (a
// container's /etc/hosts) or a folder is mounted, so the mount point is asked.
// statx must neither trigger an automount nor wait for a network server; a mount
// point that cannot be asked (a sample table's) counts as a folder.
bool isFolder(const std::string& target) {
  if (target == "/") return true;
  struct statx st {};
  if (statx(AT_FDCWD, target.c_str(), AT_SYMLINK_NOFOLLOW | AT_NO_AUTOMOUNT | AT_STATX_DONT_SYNC,
            STATX_TYPE, &st) != 0) {
    return true;
  }
  return S_ISDIR(st.stx_mode);
}

struct Candidate {
  const Mount* mount;
  DriveType type;
};

// A bind mount shows files that another drive shows already when both come from
// the same device and the other's root (mountinfo field 4) is the same folder or one
// above it. Of equal roots the first mount point keeps its letter; "/" always does.
bool isReachableElsewhere(const std::vector<Candidate>& sorted, size_t k) {
  const Mount& x = *sorted[k].mount;
  if (x.target == "/") return false;
  for (size_t j = 0; j < sorted.size(); ++j) {
    const Mount& y = *sorted[j].mount;
    if (j == k || y.device != x.device || !isPathPrefix(y.root, x.root)) continue;
    if (y.root != x.root || j < k) return true;
  }
  return false;
}

char upperAscii(char c) {
  return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}
bool isAsciiLetter(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

// Collapses repeated slashes and drops a trailing one; a relative path is taken
// from "/". Nothing else ("." or "..") is resolved.
std::string normalizeHostPath(std::string_view path) {
  std::string out = "/";
  out.reserve(path.size() + 1);
  for (char c : path) {
    if (c == '/' && out.back() == '/') continue;
    out += c;
  }
  if (out.size() > 1 && out.back() == '/') out.pop_back();
  return out;
}

}  // namespace

// --- DriveTable ------------------------------------------------------------------

DriveTable DriveTable::fromMountInfo(const std::string& mountInfoPath, const std::string& sysDir) {
  const std::vector<Mount> mounts = readMounts(mountInfoPath);
  const MountTree tree(mounts);
  DriveTable table;
  std::vector<Candidate> candidates;
  for (size_t i = 0; i < mounts.size(); ++i) {
    const Mount& m = mounts[i];
    if (m.target != "/") table.m_mountPoints.insert(m.target);
    const std::optional<DriveType> type = classify(m, sysDir);
    if (type && !tree.isHidden(i) && isFolder(m.target)) candidates.push_back({&m, *type});
  }

  // Letters follow the mount points in byte order, so that they stay put from run
  // to run; "/" sorts first and is C:.
  std::stable_sort(
      candidates.begin(), candidates.end(),
      [](const Candidate& a, const Candidate& b) { return a.mount->target < b.mount->target; });
  char next = 'D';
  for (size_t k = 0; k < candidates.size(); ++k) {
    const Mount& m = *candidates[k].mount;
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

DriveTable DriveTable::fromSystem() {
  return fromMountInfo("/proc/self/mountinfo", "/sys");
}

DriveTable DriveTable::fromDrives(std::vector<Drive> drives, std::vector<std::string> mountPoints) {
  DriveTable table;
  for (Drive& d : drives) d.letter = upperAscii(d.letter);
  std::stable_sort(drives.begin(), drives.end(),
                   [](const Drive& a, const Drive& b) { return a.letter < b.letter; });
  for (std::string& p : mountPoints) {
    if (p != "/") table.m_mountPoints.insert(std::move(p));
  }
  for (const Drive& d : drives) {
    if (d.mountPoint != "/") table.m_mountPoints.insert(d.mountPoint);
  }
  table.m_drives = std::move(drives);
  return table;
}

std::string DriveTable::hostToView(std::string_view hostPath) const {
  const std::string path = normalizeHostPath(hostPath);
  const Drive* best = nullptr;
  for (const Drive& d : m_drives) {
    if (isPathPrefix(d.mountPoint, path) &&
        (!best || d.mountPoint.size() > best->mountPoint.size())) {
      best = &d;
    }
  }
  const std::string_view mountPoint = best ? std::string_view(best->mountPoint) : "/";

  std::string view;
  view.reserve(path.size() + 3);
  view += best ? best->letter : 'C';
  view += ":\\";
  std::string_view rest = std::string_view(path).substr(mountPoint.size());
  if (rest.starts_with('/')) rest.remove_prefix(1);
  // Printable ASCII without "\" maps byte for byte: only the separators change.
  if (std::all_of(rest.begin(), rest.end(),
                  [](char ch) { return ch >= 0x20 && ch < 0x7F && ch != '\\'; })) {
    const size_t base = view.size();
    view += rest;
    std::replace(view.begin() + static_cast<std::ptrdiff_t>(base), view.end(), '/', '\\');
    return view;
  }
  while (!rest.empty()) {
    const size_t slash = rest.find('/');
    appendHostNameAsView(view, rest.substr(0, slash));
    if (slash == std::string_view::npos) break;
    view += '\\';
    rest.remove_prefix(slash + 1);
  }
  return view;
}

std::optional<std::string> DriveTable::viewToHost(std::string_view viewPath) const {
  if (viewPath.size() < 2 || !isAsciiLetter(viewPath[0]) || viewPath[1] != ':') return std::nullopt;
  std::string host;
  if (const Drive* d = byLetter(viewPath[0])) {
    host = d->mountPoint;
  } else if (upperAscii(viewPath[0]) == 'C') {
    host = "/";  // C: is "/" even when the table could not be read
  } else {
    return std::nullopt;
  }
  // The view's names never hold "\" (it is escaped) nor "/" (no host name does), so
  // both split. "C:name" has no current folder to be relative to: it is below C:\.
  std::string_view rest = viewPath.substr(2);
  // Most paths hold no escaped byte (every escape starts with the byte 0xEF): then
  // the names are the host names and only the separators change.
  if (rest.find('\xEF') == std::string_view::npos) {
    while (!rest.empty() && (rest.front() == '\\' || rest.front() == '/')) rest.remove_prefix(1);
    if (rest.empty()) return host;
    if (host.back() != '/') host += '/';
    const size_t base = host.size();
    host.resize(base + rest.size());
    // A path in the lists' normal form (the walk's always are): only the
    // separators change.
    if (!pathbytes::mayNeedNormalizing(rest) && rest.back() != '\\') {
      pathbytes::copyWithSlashes(host.data() + base, rest);
      return host;
    }
    // Else one pass: "\" becomes "/", and repeated or trailing separators, which
    // name the same folder, are dropped.
    char* out = host.data() + base;
    bool afterSeparator = true;  // host ends in "/" here
    for (const char ch : rest) {
      const bool separator = ch == '\\' || ch == '/';
      if (separator && afterSeparator) continue;
      *out++ = separator ? '/' : ch;
      afterSeparator = separator;
    }
    host.resize(static_cast<size_t>(out - host.data()));
    if (host.size() > 1 && host.back() == '/') host.pop_back();
    return host;
  }
  while (!rest.empty()) {
    const size_t sep = rest.find_first_of("\\/");
    const std::string_view name = rest.substr(0, sep);
    if (!name.empty()) {
      if (host.back() != '/') host += '/';
      host += viewNameToHost(name);
    }
    if (sep == std::string_view::npos) break;
    rest.remove_prefix(sep + 1);
  }
  return host;
}

// --- kernel32 ------------------------------------------------------------------------

uint32_t GetLogicalDriveStringsA(uint32_t nBufferLength, char* lpBuffer) {
  // Windows answers from the drives as they are now: a stick plugged in since the
  // last call shows up.
  if (!systemDrivesInstalled()) reloadSystemDrives();
  const std::vector<Drive>& drives = systemDrives().drives();
  const auto length = static_cast<uint32_t>(4 * drives.size());  // "X:\" and a NUL each
  // As on Windows, the size needed counts the final NUL too, so a caller can tell
  // "did not fit" (result > nBufferLength) from success (result < nBufferLength).
  if (lpBuffer == nullptr || nBufferLength < length + 1) return length + 1;
  char* out = lpBuffer;
  for (const Drive& d : drives) {
    *out++ = d.letter;
    *out++ = ':';
    *out++ = '\\';
    *out++ = '\0';
  }
  *out = '\0';
  return length;
}

uint32_t GetDriveTypeA(const char* lpRootPathName) {
  std::string root;
  if (lpRootPathName) {
    root = lpRootPathName;
  } else {
    // Windows takes the root of the current folder.
    std::error_code ec;
    const std::filesystem::path cwd = std::filesystem::current_path(ec);
    root = systemDrives().hostToView(ec ? "/" : cwd.native()).substr(0, 3);
  }
  const bool rootForm =
      (root.size() == 2 || (root.size() == 3 && (root[2] == '\\' || root[2] == '/')));
  if (!rootForm || !isAsciiLetter(root[0]) || root[1] != ':') return DRIVE_NO_ROOT_DIR;
  const Drive* drive = systemDrives().byLetter(root[0]);
  return drive ? drive->type : DRIVE_NO_ROOT_DIR;
}

}  // namespace platform
