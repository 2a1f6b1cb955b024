#include "platform/HostDirectory.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <new>

#include "platform/Drives.h"
#include "platform/Error.h"
#include "platform/Text.h"

namespace platform {

namespace {

uint64_t g_epoch = 1;
DirectoryStats g_stats;

// The directories on the current path, outermost first.
std::vector<std::shared_ptr<DirectoryListing>>& keptListings() {
  static std::vector<std::shared_ptr<DirectoryListing>> kept;
  return kept;
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

 private:
  int m_fd;
};

// Opens a directory by host path. Paths longer than the system's limit are opened
// piece by piece relative to the previous piece, so a tree of any depth can be
// listed. Returns -1 with errno set on failure.
int openDirectory(const std::string& host, int flags) {
  flags |= O_DIRECTORY | O_CLOEXEC;
  if (host.size() < PATH_MAX - 1) return ::open(host.c_str(), flags);
  Fd current(::open("/", O_PATH | O_DIRECTORY | O_CLOEXEC));
  if (current.get() < 0) return -1;
  size_t pos = 1;
  while (pos < host.size()) {
    size_t end = host.size();
    if (end - pos >= PATH_MAX - 1) {
      end = host.rfind('/', pos + PATH_MAX - 2);
      if (end == std::string::npos || end <= pos) {
        errno = ENAMETOOLONG;
        return -1;
      }
    }
    const std::string piece = host.substr(pos, end - pos);
    const bool last = end >= host.size();
    const int next = ::openat(current.get(), piece.c_str(), last ? flags : (O_PATH | O_DIRECTORY | O_CLOEXEC));
    if (next < 0) return -1;
    if (last) return next;
    current.reset(next);
    pos = end + 1;
  }
  return ::dup(current.get());
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

std::shared_ptr<DirectoryListing> readDirectory(const std::string& viewPath, const std::string& host) {
  Fd fd(openDirectory(host, O_RDONLY));
  if (fd.get() < 0) raiseForErrno(errno, viewPath);
  struct stat st;
  if (::fstat(fd.get(), &st) != 0) raiseForErrno(errno, viewPath);

  auto listing = std::make_shared<DirectoryListing>();
  listing->viewPath = viewPath;
  listing->hostPath = host;
  listing->device = st.st_dev;
  listing->inode = st.st_ino;
  listing->mtimeNs = nanoseconds(st.st_mtim);
  listing->ctimeNs = nanoseconds(st.st_ctim);
  listing->checkedEpoch = g_epoch;

  const DriveTable& drives = systemDrives();
  std::string childHost = host == "/" ? std::string("/") : host + "/";
  const size_t childBase = childHost.size();

  alignas(8) static char buffer[64 * 1024];
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
      if (type == DT_UNKNOWN || type == DT_DIR) {
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
  }
  auto less = [](const std::string& a, const std::string& b) { return listOrderLess(a, b); };
  std::sort(listing->subdirs.begin(), listing->subdirs.end(), less);
  std::sort(listing->files.begin(), listing->files.end(), less);
  ++g_stats.reads;
  return listing;
}

bool isAncestorOrSelf(const std::string& ancestor, const std::string& path) {
  if (path.size() < ancestor.size() || path.compare(0, ancestor.size(), ancestor) != 0) return false;
  return path.size() == ancestor.size() || ancestor == "/" || path[ancestor.size()] == '/';
}

}  // namespace

std::string driveCurrentDirectory(char letter) {
  const char upper = static_cast<char>(letter >= 'a' && letter <= 'z' ? letter - 32 : letter);
  std::string root = std::string(1, upper) + ":\\";
  std::string cwd(PATH_MAX, '\0');
  if (!::getcwd(cwd.data(), cwd.size())) return root;
  cwd.resize(std::char_traits<char>::length(cwd.c_str()));
  const std::string view = systemDrives().hostToView(cwd);
  return view.size() >= 2 && view[0] == upper ? view : root;
}

std::string normalizeViewPath(const std::string& path, const std::string& base) {
  std::string p = Replace(path, "/", "\\");
  std::string start;
  if (p.size() >= 2 && p[1] == ':' && std::isalpha(static_cast<unsigned char>(p[0]))) {
    const char letter = static_cast<char>(std::toupper(static_cast<unsigned char>(p[0])));
    if (p.size() >= 3 && p[2] == '\\') {
      start = p;
      start[0] = letter;
    } else {
      start = driveCurrentDirectory(letter) + "\\" + p.substr(2);
    }
  } else if (!p.empty() && p[0] == '\\') {
    if (base.size() < 2) raiseError(err::kPathNotFound, path);
    start = base.substr(0, 2) + p;
  } else {
    if (base.size() < 2) raiseError(err::kPathNotFound, path);
    start = base + "\\" + p;
  }
  // Resolve the components after "X:\".
  std::vector<std::string> parts;
  size_t pos = 3;
  while (pos <= start.size()) {
    size_t end = start.find('\\', pos);
    if (end == std::string::npos) end = start.size();
    std::string part = start.substr(pos, end - pos);
    if (part == "..") {
      if (!parts.empty()) parts.pop_back();
    } else if (!part.empty() && part != ".") {
      parts.push_back(std::move(part));
    }
    pos = end + 1;
  }
  std::string result = start.substr(0, 3);
  for (size_t i = 0; i < parts.size(); ++i) {
    if (i > 0) result += '\\';
    result += parts[i];
  }
  return result;
}

std::shared_ptr<const DirectoryListing> listDirectory(const std::string& viewPath, bool reread) {
  const auto host = systemDrives().viewToHost(viewPath);
  if (!host) raiseError(err::kDeviceUnavailable, viewPath);
  auto& kept = keptListings();
  // Keep only the listings of this directory and its ancestors.
  kept.erase(std::remove_if(kept.begin(), kept.end(),
                            [&](const auto& l) { return !isAncestorOrSelf(l->hostPath, *host); }),
             kept.end());
  auto found = std::find_if(kept.begin(), kept.end(), [&](const auto& l) { return l->hostPath == *host; });
  if (found != kept.end() && !reread) {
    DirectoryListing& listing = **found;
    if (listing.checkedEpoch == g_epoch) {
      ++g_stats.reuses;
      return *found;
    }
    struct stat st;
    if (!statDirectory(*host, st)) raiseForErrno(errno, viewPath);
    if (sameIdentity(listing, st)) {
      listing.checkedEpoch = g_epoch;
      ++g_stats.reuses;
      return *found;
    }
  }
  std::shared_ptr<DirectoryListing> fresh;
  try {
    fresh = readDirectory(viewPath, *host);
  } catch (const std::bad_alloc&) {
    raiseError(err::kListFull, viewPath);
  }
  if (found != kept.end()) {
    *found = fresh;
  } else {
    kept.push_back(fresh);
  }
  return fresh;
}

void nextDirectoryEpoch() { ++g_epoch; }

DirectoryStats directoryStats() { return g_stats; }

}  // namespace platform
