// App.Path and the files of the file handles over POSIX calls.
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

#include "platform/Drives.h"
#include "platform/Error.h"
#include "platform/Runtime.h"
#include "platform/SystemFile.h"

namespace platform {

std::string executableFolder() {
  std::string buffer(4096, '\0');
  for (;;) {
    const ssize_t n = readlink("/proc/self/exe", buffer.data(), buffer.size());
    if (n < 0) return systemDrives().hostToView("/");
    if (static_cast<size_t>(n) < buffer.size()) {
      buffer.resize(static_cast<size_t>(n));
      break;
    }
    buffer.resize(buffer.size() * 2);
  }
  const size_t slash = buffer.rfind('/');
  std::string folder = slash == 0 || slash == std::string::npos ? "/" : buffer.substr(0, slash);
  return systemDrives().hostToView(folder);
}

// --- files ------------------------------------------------------------------------------

namespace systemfile {

namespace {

std::string hostPathOf(const std::string& path) {
  auto host = systemDrives().viewToHost(path);
  if (!host) raiseError(err::kPathNotFound, path);
  return *host;
}

int openErrorNumber(int e, bool output) {
  if (e == ENOENT && !output) return err::kFileNotFound;
  if (e == EACCES || e == EPERM || e == EROFS) return err::kPathFileAccess;
  return errorNumberFromErrno(e);
}

}  // namespace

Handle openForOutput(const std::string& path) {
  const std::string host = hostPathOf(path);
  const int fd = ::open(host.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd < 0) raiseError(openErrorNumber(errno, true), path);
  return fd;
}

void readWhole(const std::string& path, std::string& content) {
  const std::string host = hostPathOf(path);
  const int fd = ::open(host.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) raiseError(openErrorNumber(errno, false), path);
  char chunk[65536];
  for (;;) {
    const ssize_t n = ::read(fd, chunk, sizeof chunk);
    if (n < 0) {
      if (errno == EINTR) continue;
      const int e = errno;
      ::close(fd);
      raiseError(e == EISDIR ? err::kPathFileAccess : errorNumberFromErrno(e), path);
    }
    if (n == 0) break;
    content.append(chunk, static_cast<size_t>(n));
  }
  ::close(fd);
}

void writeAll(Handle file, std::string_view data, const std::string& path) {
  while (!data.empty()) {
    const ssize_t n = ::write(static_cast<int>(file), data.data(), data.size());
    if (n < 0) {
      if (errno == EINTR) continue;
      raiseError(errorNumberFromErrno(errno), path);
    }
    data.remove_prefix(static_cast<size_t>(n));
  }
}

int close(Handle file) {
  return ::close(static_cast<int>(file)) == 0 ? 0 : errorNumberFromErrno(errno);
}

}  // namespace systemfile

}  // namespace platform
