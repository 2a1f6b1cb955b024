// App.Path and the file handles over POSIX calls.
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <map>
#include <memory>

#include "platform/Drives.h"
#include "platform/Error.h"
#include "platform/Runtime.h"
#include "platform/Text.h"

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

// --- file handles ----------------------------------------------------------------------

namespace {

constexpr int16_t kMaxFileNumber = 511;
constexpr size_t kOutputBuffer = 256 * 1024;

struct OpenFile {
  int fd = -1;
  bool output = false;
  std::string buffer;    // pending output, or the whole input
  size_t readPos = 0;    // input position
  std::string path;
};

std::map<int16_t, std::unique_ptr<OpenFile>>& files() {
  static std::map<int16_t, std::unique_ptr<OpenFile>> open;
  return open;
}

OpenFile& openFile(int16_t number) {
  const auto it = files().find(number);
  if (it == files().end()) raiseError(err::kBadFileNameOrNumber);
  return *it->second;
}

std::string hostPathOf(const std::string& path) {
  auto host = systemDrives().viewToHost(path);
  if (!host) raiseError(err::kPathNotFound, path);
  return *host;
}

void checkNumber(int16_t number) {
  if (number < 1 || number > kMaxFileNumber) raiseError(err::kBadFileNameOrNumber);
  if (files().count(number)) raiseError(err::kFileAlreadyOpen);
}

int openErrorNumber(int e, bool output) {
  if (e == ENOENT && !output) return err::kFileNotFound;
  if (e == EACCES || e == EPERM || e == EROFS) return err::kPathFileAccess;
  return errorNumberFromErrno(e);
}

// Writes all of `data`; raises on the first failure.
void writeAll(OpenFile& f, std::string_view data) {
  while (!data.empty()) {
    const ssize_t n = ::write(f.fd, data.data(), data.size());
    if (n < 0) {
      if (errno == EINTR) continue;
      raiseError(errorNumberFromErrno(errno), f.path);
    }
    data.remove_prefix(static_cast<size_t>(n));
  }
}

void flush(OpenFile& f) {
  if (f.buffer.empty()) return;
  std::string pending;
  pending.swap(f.buffer);
  writeAll(f, pending);
}

}  // namespace

int16_t FreeFile() {
  for (int16_t n = 1; n <= kMaxFileNumber; ++n) {
    if (!files().count(n)) return n;
  }
  raiseError(err::kTooManyFiles);
}

void OpenForOutput(const std::string& path, int16_t fileNumber) {
  checkNumber(fileNumber);
  const std::string host = hostPathOf(path);
  const int fd = ::open(host.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd < 0) raiseError(openErrorNumber(errno, true), path);
  auto f = std::make_unique<OpenFile>();
  f->fd = fd;
  f->output = true;
  f->path = path;
  f->buffer.reserve(kOutputBuffer);
  files()[fileNumber] = std::move(f);
}

void OpenForInput(const std::string& path, int16_t fileNumber) {
  checkNumber(fileNumber);
  const std::string host = hostPathOf(path);
  const int fd = ::open(host.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) raiseError(openErrorNumber(errno, false), path);
  auto f = std::make_unique<OpenFile>();
  f->fd = fd;
  f->path = path;
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
    f->buffer.append(chunk, static_cast<size_t>(n));
  }
  files()[fileNumber] = std::move(f);
}

void PrintLine(int16_t fileNumber, std::string_view text) {
  OpenFile& f = openFile(fileNumber);
  if (!f.output) raiseError(err::kBadFileMode);
  appendAnsi(f.buffer, text);
  f.buffer.append("\r\n", 2);
  if (f.buffer.size() >= kOutputBuffer) flush(f);
}

std::string LineInput(int16_t fileNumber) {
  OpenFile& f = openFile(fileNumber);
  if (f.output) raiseError(err::kBadFileMode);
  if (f.readPos >= f.buffer.size()) raiseError(err::kInputPastEnd);
  const size_t end = f.buffer.find_first_of("\r\n", f.readPos);
  std::string_view line;
  if (end == std::string::npos) {
    line = std::string_view(f.buffer).substr(f.readPos);
    f.readPos = f.buffer.size();
  } else {
    line = std::string_view(f.buffer).substr(f.readPos, end - f.readPos);
    f.readPos = end + 1;
    if (f.buffer[end] == '\r' && f.readPos < f.buffer.size() && f.buffer[f.readPos] == '\n') {
      ++f.readPos;
    }
  }
  return fromAnsi(line);
}

bool Eof(int16_t fileNumber) {
  OpenFile& f = openFile(fileNumber);
  return f.output || f.readPos >= f.buffer.size();
}

void Close(int16_t fileNumber) {
  const auto it = files().find(fileNumber);
  if (it == files().end()) return;  // closing a closed handle is no error
  std::unique_ptr<OpenFile> f = std::move(it->second);
  files().erase(it);
  int failure = 0;
  std::string detail = f->path;
  if (f->output) {
    try {
      flush(*f);
    } catch (const RuntimeError& e) {
      failure = e.number();
    }
  }
  if (::close(f->fd) != 0 && failure == 0 && f->output) failure = errorNumberFromErrno(errno);
  if (failure != 0) raiseError(failure, detail);
}

void CloseAll() {
  while (!files().empty()) {
    try {
      Close(files().begin()->first);
    } catch (const RuntimeError&) {
      // End closes whatever it can.
    }
  }
}

}  // namespace platform
