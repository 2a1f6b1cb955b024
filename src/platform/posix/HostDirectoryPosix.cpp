#include "platform/HostDirectory.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstddef>
#include <new>

#include "platform/Drives.h"
#include "platform/Error.h"
#include "platform/Text.h"

namespace platform {

namespace {

DirectoryStats g_stats;

// A kept listing and, while the descriptor budget allows, its directory open, so
// that a child is opened relative to it and a check costs one fstat: paths are
// never resolved from "/" again, however deep the tree.
struct Kept {
  std::shared_ptr<DirectoryListing> listing;
  size_t pathLength = 0;  // its host path is the first pathLength bytes of g_keptPath
  int fd = -1;
};

// Host path of the innermost kept listing; the others are its ancestors, so one
// string serves them all and deep trees do not cost a copy of the path per level.
std::string g_keptPath;

// The directories on the current path, outermost first: each is an ancestor of
// the next.
std::vector<Kept>& keptListings() {
  static std::vector<Kept> kept;
  return kept;
}

size_t descriptorBudget() {
  static const size_t budget = [] {
    struct rlimit limit {};
    if (::getrlimit(RLIMIT_NOFILE, &limit) != 0) return size_t{16};
    // Desktops start programs with a soft limit of 1024 and a far higher hard one;
    // a deep tree wants a descriptor per level, so take what we may.
    const rlim_t wanted = 65536;
    const rlim_t hard = limit.rlim_max == RLIM_INFINITY ? wanted : std::min(limit.rlim_max, wanted);
    if (limit.rlim_cur != RLIM_INFINITY && limit.rlim_cur < hard) {
      struct rlimit raised = limit;
      raised.rlim_cur = hard;
      if (::setrlimit(RLIMIT_NOFILE, &raised) == 0) limit = raised;
    }
    if (limit.rlim_cur == RLIM_INFINITY) return static_cast<size_t>(wanted / 2);
    return limit.rlim_cur > 256 ? static_cast<size_t>(limit.rlim_cur / 2) : size_t{16};
  }();
  return budget;
}

size_t g_keptFds = 0;

void closeKept(Kept& k) {
  if (k.fd >= 0) {
    ::close(k.fd);
    --g_keptFds;
    k.fd = -1;
  }
}

class Fd {
 public:
  explicit Fd(int fd = -1) : m_fd(fd) {}
  ~Fd() {
    if (m_fd >= 0) ::close(m_fd);
  }
  Fd(const Fd&) = delete;
  Fd& operator=(const Fd&) = delete;
  int get() const { return m_fd; }
  void reset(int fd) {
    if (m_fd >= 0) ::close(m_fd);
    m_fd = fd;
  }
  int release() {
    const int fd = m_fd;
    m_fd = -1;
    return fd;
  }

 private:
  int m_fd;
};

// Opens the directory `rest` below `baseFd`, piece by piece when it is longer than
// the system's path limit, so a tree of any depth can be listed. Returns -1 with
// errno set on failure.
int openRelative(int baseFd, std::string_view rest, int flags) {
  flags |= O_DIRECTORY | O_CLOEXEC;
  Fd current(::dup(baseFd));
  if (current.get() < 0) return -1;
  size_t pos = 0;
  while (pos < rest.size()) {
    size_t end = rest.size();
    if (end - pos >= PATH_MAX - 1) {
      end = rest.rfind('/', pos + PATH_MAX - 2);
      if (end == std::string::npos || end <= pos) {
        errno = ENAMETOOLONG;
        return -1;
      }
    }
    const std::string piece(rest.substr(pos, end - pos));
    const bool last = end >= rest.size();
    const int next =
        ::openat(current.get(), piece.c_str(), last ? flags : (O_PATH | O_DIRECTORY | O_CLOEXEC));
    if (next < 0) return -1;
    if (last) return next;
    current.reset(next);
    pos = end + 1;
  }
  return current.release();
}

// Opens a directory by host path.
int openDirectory(const std::string& host, int flags) {
  if (host.size() < PATH_MAX - 1) return ::open(host.c_str(), flags | O_DIRECTORY | O_CLOEXEC);
  Fd root(::open("/", O_PATH | O_DIRECTORY | O_CLOEXEC));
  if (root.get() < 0) return -1;
  return openRelative(root.get(), std::string_view(host).substr(1), flags);
}

int64_t nanoseconds(const struct timespec& t) {
  return static_cast<int64_t>(t.tv_sec) * 1000000000 + t.tv_nsec;
}

[[noreturn]] void raiseForErrno(int e, const std::string& viewPath) {
  if (e == EACCES || e == EPERM) raiseError(err::kAccessDenied, viewPath);
  raiseError(errorNumberFromErrno(e), viewPath);
}

bool sameIdentity(const DirectoryListing& l, const struct stat& st) {
  return l.device == st.st_dev && l.inode == st.st_ino && l.mtimeNs == nanoseconds(st.st_mtim) &&
         l.ctimeNs == nanoseconds(st.st_ctim);
}

bool statDirectory(const std::string& host, struct stat& st) {
  if (host.size() < PATH_MAX - 1) return ::stat(host.c_str(), &st) == 0;
  Fd fd(openDirectory(host, O_PATH));
  return fd.get() >= 0 && ::fstat(fd.get(), &st) == 0;
}

// File systems whose directory reads fill the buffer as far as the entries go, so
// that a read leaving room for another entry of any length was the last one. On
// them the final empty read is spared (one system call in two for small
// directories). Network, FUSE and stacked file systems make no such promise. The
// drive's type counts only for directories on the drive's own file system
// (`device`): a share mounted inside a drive is another one.
bool shortReadEndsDirectory(const std::string& viewPath, dev_t device) {
  const Drive* drive = viewPath.empty() ? nullptr : systemDrives().byLetter(viewPath[0]);
  if (!drive) return false;
  const std::string& fs = drive->fsType;
  if (fs != "ext4" && fs != "ext3" && fs != "ext2" && fs != "xfs" && fs != "btrfs" &&
      fs != "tmpfs") {
    return false;
  }
  // The devices of the drive roots, looked up once each.
  static std::vector<std::pair<std::string, dev_t>> roots;
  for (const auto& [mountPoint, rootDevice] : roots) {
    if (mountPoint == drive->mountPoint) return rootDevice == device;
  }
  struct stat st;
  if (::stat(drive->mountPoint.c_str(), &st) != 0) return false;
  roots.emplace_back(drive->mountPoint, st.st_dev);
  return st.st_dev == device;
}

// The longest entry one read can return: header, a name of 255 bytes and its NUL,
// rounded up to 8 bytes.
constexpr size_t kLongestEntry = (offsetof(struct dirent64, d_name) + 256 + 7) / 8 * 8;

// Reads the open directory `fd`; the caller keeps or closes it.
std::shared_ptr<DirectoryListing> readDirectory(const Fd& fd, const std::string& viewPath,
                                                const std::string& host) {
  struct stat st;
  if (::fstat(fd.get(), &st) != 0) raiseForErrno(errno, viewPath);

  auto listing = std::make_shared<DirectoryListing>();
  listing->device = st.st_dev;
  listing->inode = st.st_ino;
  listing->mtimeNs = nanoseconds(st.st_mtim);
  listing->ctimeNs = nanoseconds(st.st_ctim);
  listing->checkedEpoch = directoryEpoch();

  const DriveTable& drives = systemDrives();
  std::string childHost = host == "/" ? std::string("/") : host + "/";
  const size_t childBase = childHost.size();

  alignas(8) static char buffer[64 * 1024];
  const bool shortReadEnds = shortReadEndsDirectory(viewPath, st.st_dev);
  for (;;) {
    const ssize_t n = ::getdents64(fd.get(), buffer, sizeof buffer);
    if (n < 0) {
      if (errno == EINTR) continue;
      raiseForErrno(errno, viewPath);
    }
    if (n == 0) break;
    for (ssize_t off = 0; off < n;) {
      const auto* entry = reinterpret_cast<const struct dirent64*>(buffer + off);
      off += entry->d_reclen;
      const char* name = entry->d_name;
      if (name[0] == '.' && (name[1] == '\0' || (name[1] == '.' && name[2] == '\0'))) continue;
      unsigned char type = entry->d_type;
      struct stat child;
      bool statted = false;
      // The entry's type comes with the read on most file systems. A directory's
      // device is checked when it is entered (listDirectory), not here.
      if (type == DT_UNKNOWN) {
        if (::fstatat(fd.get(), name, &child, AT_SYMLINK_NOFOLLOW) == 0) {
          statted = true;
          type = S_ISDIR(child.st_mode) ? DT_DIR : DT_REG;
        } else if (errno == ENOENT) {
          continue;  // gone since the read
        }
      }
      if (type == DT_DIR) {
        // Another file system mounted here is not part of this drive.
        if (statted && child.st_dev != st.st_dev) continue;
        childHost.resize(childBase);
        childHost += name;
        if (drives.isMountPoint(childHost)) continue;
        listing->subdirs.push_back(hostNameToView(name));
      } else {
        listing->files.push_back(hostNameToView(name));
      }
    }
    if (shortReadEnds && static_cast<size_t>(n) + kLongestEntry <= sizeof buffer) break;
  }
  sortListOrder(listing->subdirs);
  sortListOrder(listing->files);
  ++g_stats.reads;
  return listing;
}

bool isAncestorOrSelf(std::string_view ancestor, std::string_view path) {
  if (path.size() < ancestor.size() || path.compare(0, ancestor.size(), ancestor) != 0)
    return false;
  return path.size() == ancestor.size() || ancestor == "/" || path[ancestor.size()] == '/';
}

// Leaves the innermost kept directory. Its parent gets a descriptor again through
// ".." when it gave its own up, so a walk climbing out of a very deep tree never
// resolves a long path from "/".
void popKept() {
  auto& kept = keptListings();
  Kept& inner = kept.back();
  if (kept.size() >= 2 && kept[kept.size() - 2].fd < 0 && inner.fd >= 0) {
    Kept& parent = kept[kept.size() - 2];
    const int up = ::openat(inner.fd, "..", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    struct stat st;
    if (up >= 0 && ::fstat(up, &st) == 0 && st.st_dev == parent.listing->device &&
        st.st_ino == parent.listing->inode) {
      parent.fd = up;
      ++g_keptFds;
    } else if (up >= 0) {
      ::close(up);
    }
  }
  closeKept(kept.back());
  kept.pop_back();
}

}  // namespace

std::string currentDirectoryView() {
  char cwd[4096];
  if (!::getcwd(cwd, sizeof cwd)) return "C:\\";
  return systemDrives().hostToView(cwd);
}

std::string driveCurrentDirectory(char letter) {
  const char upper = static_cast<char>(letter >= 'a' && letter <= 'z' ? letter - 32 : letter);
  std::string root = std::string(1, upper) + ":\\";
  std::string cwd(PATH_MAX, '\0');
  if (!::getcwd(cwd.data(), cwd.size())) return root;
  cwd.resize(std::char_traits<char>::length(cwd.c_str()));
  const std::string view = systemDrives().hostToView(cwd);
  // Only a folder that really lies on the drive (it maps back to itself).
  if (view.size() < 2 || view[0] != upper || systemDrives().viewToHost(view) != cwd) return root;
  return view;
}

std::shared_ptr<const DirectoryListing> listDirectory(const std::string& viewPath, bool reread) {
  const auto host = systemDrives().viewToHost(viewPath);
  if (!host) raiseError(err::kDeviceUnavailable, viewPath);
  auto& kept = keptListings();
  // Keep only this directory and its ancestors.
  const auto keptPath = [](const Kept& k) {
    return std::string_view(g_keptPath).substr(0, k.pathLength);
  };
  while (!kept.empty() && !isAncestorOrSelf(keptPath(kept.back()), *host)) popKept();
  const bool found = !kept.empty() && keptPath(kept.back()) == *host;
  if (found && !reread) {
    Kept& k = kept.back();
    if (k.listing->checkedEpoch == directoryEpoch()) {
      ++g_stats.reuses;
      return k.listing;
    }
    struct stat st;
    const bool ok =
        k.fd >= 0 ? ::fstat(k.fd, &st) == 0 && st.st_nlink > 0 : statDirectory(*host, st);
    if (!ok) raiseForErrno(k.fd >= 0 ? ENOENT : errno, viewPath);
    if (sameIdentity(*k.listing, st)) {
      k.listing->checkedEpoch = directoryEpoch();
      ++g_stats.reuses;
      return k.listing;
    }
  }

  // Open relative to the kept parent when there is one; never through a link.
  Fd fd;
  const Kept* parent = found ? (kept.size() >= 2 ? &kept[kept.size() - 2] : nullptr)
                             : (kept.empty() ? nullptr : &kept.back());
  const std::string_view parentPath = parent ? keptPath(*parent) : std::string_view();
  const size_t nameStart = parentPath == "/" ? 1 : parentPath.size() + 1;
  const bool directChild =
      parent && host->size() > nameStart && host->find('/', nameStart) == std::string::npos;
  if (directChild && parent->fd >= 0) {
    fd.reset(::openat(parent->fd, host->c_str() + nameStart,
                      O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
  } else {
    // Out of descriptors for every level: start from the deepest kept ancestor
    // that still holds one, not from "/".
    const Kept* base = nullptr;
    for (size_t i = kept.size(); i-- > 0;) {
      if (kept[i].fd >= 0 && !(found && i + 1 == kept.size())) {
        base = &kept[i];
        break;
      }
    }
    const size_t baseLength = base ? base->pathLength : 0;
    if (base && host->size() > baseLength + 1) {
      const size_t from = baseLength == 1 ? 1 : baseLength + 1;
      fd.reset(openRelative(base->fd, std::string_view(*host).substr(from), O_RDONLY));
    } else {
      fd.reset(openDirectory(*host, O_RDONLY));
    }
  }
  if (fd.get() < 0) raiseForErrno(errno, viewPath);

  std::shared_ptr<DirectoryListing> fresh;
  try {
    fresh = readDirectory(fd, viewPath, *host);
  } catch (const std::bad_alloc&) {
    raiseError(err::kListFull, viewPath);
  }
  // Something mounted here since the mount table was read: not part of this drive.
  // (A drive's root is on a device of its own, of course.)
  const bool driveRoot = viewPath.size() == 3;
  if (directChild && !driveRoot && fresh->device != parent->listing->device) {
    raiseError(err::kPathNotFound, viewPath);
  }
  if (found) {
    closeKept(kept.back());
    kept.pop_back();
  }
  // The innermost directories keep their descriptors: when there are too many,
  // the outermost one gives its up (popKept gets it back through "..").
  if (g_keptFds >= descriptorBudget()) {
    for (Kept& outer : kept) {
      if (outer.fd >= 0) {
        closeKept(outer);
        break;
      }
    }
  }
  Kept k{fresh, host->size(), fd.release()};
  if (k.fd >= 0) ++g_keptFds;
  kept.push_back(std::move(k));
  g_keptPath = *host;
  return fresh;
}

DirectoryStats directoryStats() {
  return g_stats;
}

}  // namespace platform
