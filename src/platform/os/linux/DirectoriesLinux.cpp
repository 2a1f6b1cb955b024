// Directories over openat, fstat and getdents64.
#include <dirent.h>
#include <fcntl.h>
#include <malloc.h>
#include <pthread.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstddef>
#include <memory>

#include "platform/os/Os.h"

namespace platform::os {

namespace {

int64_t nanoseconds(const struct statx_timestamp& t) {
  return static_cast<int64_t>(t.tv_sec) * 1000000000 + t.tv_nsec;
}

// One statx gives the identity and the mount id (kernels before 5.8 leave
// STATX_MNT_ID out of the mask: the mount id stays 0).
int statIdentity(int fd, const char* path, int flags, Identity& out, bool& directory) {
  struct statx st {};
  if (::statx(fd, path, flags, STATX_BASIC_STATS | STATX_MNT_ID, &st) != 0) return errno;
  out = Identity{};
  out.device = makedev(st.stx_dev_major, st.stx_dev_minor);
  out.inode = st.stx_ino;
  out.modifiedNs = nanoseconds(st.stx_mtime);
  out.changedNs = nanoseconds(st.stx_ctime);
  out.removed = st.stx_nlink == 0;
  out.mountId = (st.stx_mask & STATX_MNT_ID) ? st.stx_mnt_id : 0;
  directory = S_ISDIR(st.stx_mode);
  return 0;
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
  bool directory = false;
  return statIdentity(static_cast<int>(dir.m_handle), "", AT_EMPTY_PATH, out, directory);
}

NativeError identityOfPath(const std::string& hostPath, Identity& out) {
  bool directory = false;
  NativeError e = 0;
  if (hostPath.size() < PATH_MAX - 1) {
    e = statIdentity(AT_FDCWD, hostPath.c_str(), 0, out, directory);
  } else {
    Directory dir;
    if ((e = adopt(openPath(hostPath, O_PATH), dir)) != 0) return e;
    e = statIdentity(static_cast<int>(dir.m_handle), "", AT_EMPTY_PATH, out, directory);
  }
  if (e) return e;
  return directory ? 0 : ENOTDIR;
}

NativeError readEntries(Directory& dir, bool fillsEachRead, EntrySink& sink) {
  const int fd = static_cast<int>(dir.m_handle);
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
        // Whether a folder on another mount belongs to this drive is the listing
        // cache's to tell (by mount id and the mount table).
        if (::fstatat(fd, name, &child, AT_SYMLINK_NOFOLLOW) == 0) {
          type = S_ISDIR(child.st_mode) ? DT_DIR : DT_REG;
        } else if (errno == ENOENT) {
          continue;  // gone since the read
        }
      }
      sink.entry(std::string_view(name), type == DT_DIR);
    }
    if (fillsEachRead && static_cast<size_t>(n) + kLongestEntry <= sizeof buffer) break;
  }
  return 0;
}

void shareAllocatorPools() {
  ::mallopt(M_ARENA_MAX, 2);
  // A walk frees on one thread what another made, listing after listing: pools
  // that grow and shrink by a few pages at a time would ask the system each time.
  ::mallopt(M_TOP_PAD, 4 << 20);
  ::mallopt(M_TRIM_THRESHOLD, 16 << 20);
}

namespace {

void* runThread(void* arg) {
  const std::unique_ptr<std::function<void()>> body(static_cast<std::function<void()>*>(arg));
  (*body)();
  return nullptr;
}

}  // namespace

bool startThread(std::function<void()> body, size_t stackBytes) {
  auto arg = std::make_unique<std::function<void()>>(std::move(body));
  pthread_attr_t attr;
  if (::pthread_attr_init(&attr) != 0) return false;
  // The system's least stack holds what the thread keeps of its own (its
  // thread-local buffers) as well.
  const size_t least = PTHREAD_STACK_MIN + 256 * 1024;
  ::pthread_attr_setstacksize(&attr, std::max(stackBytes, least));
  ::pthread_attr_setdetachstate(&attr, PTHREAD_CREATE_DETACHED);
  pthread_t thread;
  const bool started = ::pthread_create(&thread, &attr, runThread, arg.get()) == 0;
  ::pthread_attr_destroy(&attr);
  if (started) arg.release();  // the thread owns it now
  return started;
}

void atFork(void (*prepare)(), void (*parent)(), void (*child)()) {
  ::pthread_atfork(prepare, parent, child);
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

void reserveDescriptors(size_t count) {
  count = std::min(count, descriptorBudget());
  if (count < 2) return;
  const int probe = ::open("/", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (probe < 0) return;
  // The table grows to hold the highest descriptor in use, and never shrinks.
  const int high = ::fcntl(probe, F_DUPFD_CLOEXEC, static_cast<int>(count - 1));
  if (high >= 0) ::close(high);
  ::close(probe);
}

}  // namespace platform::os
