// Directories over openat, fstat and getdents64.
#include <dirent.h>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstddef>

#include "platform/os/Os.h"

namespace platform::os {

namespace {

int64_t nanoseconds(const struct timespec& t) {
  return static_cast<int64_t>(t.tv_sec) * 1000000000 + t.tv_nsec;
}

void fill(const struct stat& st, Identity& out) {
  out.device = st.st_dev;
  out.inode = st.st_ino;
  out.modifiedNs = nanoseconds(st.st_mtim);
  out.changedNs = nanoseconds(st.st_ctim);
  out.removed = st.st_nlink == 0;
}

// Opens `rest` below `baseFd`, piece by piece when it is longer than the system's
// path limit, so that a tree of any depth can be listed. -1 with errno on failure.
int openRelative(int baseFd, std::string_view rest, int flags) {
  flags |= O_DIRECTORY | O_CLOEXEC;
  int current = ::dup(baseFd);
  if (current < 0) return -1;
  size_t pos = 0;
  while (pos < rest.size()) {
    size_t end = rest.size();
    if (end - pos >= PATH_MAX - 1) {
      end = rest.rfind('/', pos + PATH_MAX - 2);
      if (end == std::string::npos || end <= pos) {
        ::close(current);
        errno = ENAMETOOLONG;
        return -1;
      }
    }
    const std::string piece(rest.substr(pos, end - pos));
    const bool last = end >= rest.size();
    const int next =
        ::openat(current, piece.c_str(), last ? flags : (O_PATH | O_DIRECTORY | O_CLOEXEC));
    const int saved = errno;
    ::close(current);
    if (next < 0) {
      errno = saved;
      return -1;
    }
    if (last) return next;
    current = next;
    pos = end + 1;
  }
  return current;
}

int openPath(const std::string& host, int flags) {
  if (host.size() < PATH_MAX - 1) return ::open(host.c_str(), flags | O_DIRECTORY | O_CLOEXEC);
  const int root = ::open("/", O_PATH | O_DIRECTORY | O_CLOEXEC);
  if (root < 0) return -1;
  const int fd = openRelative(root, std::string_view(host).substr(1), flags);
  const int saved = errno;
  ::close(root);
  errno = saved;
  return fd;
}

NativeError adopt(int fd, Directory& out) {
  if (fd < 0) return errno;
  out.close();
  out.m_handle = fd;
  out.m_open = true;
  return 0;
}

// The longest entry one read can return: header, a name of 255 bytes and its NUL,
// rounded up to 8 bytes.
constexpr size_t kLongestEntry = (offsetof(struct dirent64, d_name) + 256 + 7) / 8 * 8;

}  // namespace

bool Directory::holdsDescriptor() const {
  return m_open;
}

void Directory::close() {
  if (m_open) ::close(static_cast<int>(m_handle));
  m_handle = -1;
  m_open = false;
}

NativeError openDirectory(const std::string& hostPath, Directory& out) {
  return adopt(openPath(hostPath, O_RDONLY), out);
}

NativeError openDirectoryAt(const Directory& base, std::string_view relative, Directory& out) {
  const int fd = static_cast<int>(base.m_handle);
  if (relative.size() < PATH_MAX - 1 && relative.find('/') == std::string_view::npos) {
    const std::string name(relative);
    return adopt(::openat(fd, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC), out);
  }
  return adopt(openRelative(fd, relative, O_RDONLY | O_NOFOLLOW), out);
}

NativeError openParent(const Directory& dir, Directory& out) {
  return adopt(::openat(static_cast<int>(dir.m_handle), "..", O_RDONLY | O_DIRECTORY | O_CLOEXEC),
               out);
}

NativeError identity(const Directory& dir, Identity& out) {
  struct stat st;
  if (::fstat(static_cast<int>(dir.m_handle), &st) != 0) return errno;
  fill(st, out);
  return 0;
}

NativeError identityOfPath(const std::string& hostPath, Identity& out) {
  struct stat st;
  if (hostPath.size() < PATH_MAX - 1) {
    if (::stat(hostPath.c_str(), &st) != 0) return errno;
  } else {
    Directory dir;
    if (const NativeError e = adopt(openPath(hostPath, O_PATH), dir)) return e;
    if (::fstat(static_cast<int>(dir.m_handle), &st) != 0) return errno;
  }
  if (!S_ISDIR(st.st_mode)) return ENOTDIR;
  fill(st, out);
  return 0;
}

NativeError readEntries(Directory& dir, bool fillsEachRead, std::vector<Entry>& out) {
  const int fd = static_cast<int>(dir.m_handle);
  struct stat self;
  if (::fstat(fd, &self) != 0) return errno;
  alignas(8) thread_local char buffer[64 * 1024];
  for (;;) {
    const ssize_t n = ::getdents64(fd, buffer, sizeof buffer);
    if (n < 0) {
      if (errno == EINTR) continue;
      return errno;
    }
    if (n == 0) break;
    for (ssize_t off = 0; off < n;) {
      const auto* entry = reinterpret_cast<const struct dirent64*>(buffer + off);
      off += entry->d_reclen;
      const char* name = entry->d_name;
      if (name[0] == '.' && (name[1] == '\0' || (name[1] == '.' && name[2] == '\0'))) continue;
      unsigned char type = entry->d_type;
      // The entry's type comes with the read on most file systems.
      if (type == DT_UNKNOWN) {
        struct stat child;
        if (::fstatat(fd, name, &child, AT_SYMLINK_NOFOLLOW) == 0) {
          // Another file system mounted here is not part of this directory's.
          if (S_ISDIR(child.st_mode) && child.st_dev != self.st_dev) continue;
          type = S_ISDIR(child.st_mode) ? DT_DIR : DT_REG;
        } else if (errno == ENOENT) {
          continue;  // gone since the read
        }
      }
      out.push_back(Entry{name, type == DT_DIR});
    }
    if (fillsEachRead && static_cast<size_t>(n) + kLongestEntry <= sizeof buffer) break;
  }
  return 0;
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

}  // namespace platform::os
