// Files over open, read, write, fsync and rename.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "platform/os/Os.h"

namespace platform::os {

namespace {

NativeError adopt(int fd, File& out) {
  if (fd < 0) return errno;
  out.m_handle = fd;
  return 0;
}

int fdOf(const File& file) {
  return static_cast<int>(file.m_handle);
}

}  // namespace

NativeError createFile(const std::string& hostPath, File& out) {
  return adopt(::open(hostPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644), out);
}

NativeError createNewFile(const std::string& hostPath, File& out) {
  return adopt(::open(hostPath.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600),
               out);
}

NativeError openFile(const std::string& hostPath, File& out) {
  return adopt(::open(hostPath.c_str(), O_RDONLY | O_CLOEXEC), out);
}

NativeError readFile(File& file, char* buffer, size_t size, size_t& got) {
  for (;;) {
    const ssize_t n = ::read(fdOf(file), buffer, size);
    if (n >= 0) {
      got = static_cast<size_t>(n);
      return 0;
    }
    if (errno != EINTR) return errno;
  }
}

NativeError writeFile(File& file, std::string_view data) {
  while (!data.empty()) {
    const ssize_t n = ::write(fdOf(file), data.data(), data.size());
    if (n < 0) {
      if (errno == EINTR) continue;
      return errno;
    }
    data.remove_prefix(static_cast<size_t>(n));
  }
  return 0;
}

NativeError flushToDisk(File& file) {
  if (::fsync(fdOf(file)) == 0) return 0;
  // A file that cannot be synced (a device, some FUSE file systems) is as durable
  // as it gets.
  return errno == EINVAL || errno == EROFS ? 0 : errno;
}

NativeError closeFile(File& file) {
  if (!file.isOpen()) return 0;
  const int fd = fdOf(file);
  file.m_handle = -1;
  return ::close(fd) == 0 ? 0 : errno;
}

NativeError renameReplacing(const std::string& from, const std::string& to) {
  return ::rename(from.c_str(), to.c_str()) == 0 ? 0 : errno;
}

NativeError syncFolder(const std::string& hostPath) {
  const int fd = ::open(hostPath.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return errno;
  const int rc = ::fsync(fd);
  const int saved = errno;
  ::close(fd);
  // Some file systems cannot sync a folder; the rename stands all the same.
  return rc == 0 || saved == EINVAL || saved == EROFS ? 0 : saved;
}

}  // namespace platform::os
