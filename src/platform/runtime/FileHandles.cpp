// The file handles of the runtime: numbers, buffering, lines in the ANSI code page
// with CR LF. The system only opens, reads, writes, flushes and closes.
#include "platform/runtime/FileHandles.h"

#include <atomic>
#include <condition_variable>
#include <map>
#include <memory>
#include <mutex>
#include <system_error>
#include <thread>

#include "platform/Error.h"
#include "platform/drives/Drives.h"
#include "platform/os/Os.h"
#include "platform/runtime/Runtime.h"
#include "platform/text/Text.h"

namespace platform {

namespace {

std::atomic<FlushToDisk> g_flushToDisk{nullptr};

os::NativeError flushFileToDisk(os::File& file) {
  const FlushToDisk flush = g_flushToDisk.load(std::memory_order_acquire);
  return flush ? flush(file) : os::flushToDisk(file);
}

constexpr int16_t kMaxFileNumber = 511;
constexpr size_t kOutputBuffer = 256 * 1024;
// Each time this much more is written out, a file is flushed to its disk in the
// background.
constexpr size_t kFlushEvery = 32 * kOutputBuffer;

// Flushes an output file to its disk on a thread of its own while the file grows,
// so that the disk (and, in a virtual machine, the host's disk below it) stores it
// as it is written: closing a log of tens of megabytes to disk then waits for the
// last part only. Merely starting the write-out is not enough: the final flush
// still waited for the host to store the whole file (60 ms for 100 MB here).
class BackgroundFlush {
 public:
  explicit BackgroundFlush(os::File& file) : m_file(file) {}
  ~BackgroundFlush() { finish(); }
  BackgroundFlush(const BackgroundFlush&) = delete;
  BackgroundFlush& operator=(const BackgroundFlush&) = delete;

  // One flush more, once the one that runs (if any) is done.
  void request() {
    {
      const std::lock_guard<std::mutex> lock(m_mutex);
      m_requested = true;
    }
    if (!m_thread.joinable()) {
      try {
        m_thread = std::thread([this] { run(); });
      } catch (const std::system_error&) {
        return;  // no thread to spare: the final flush does it all
      }
    }
    m_changed.notify_one();
  }

  // Waits for a flush that runs (one only asked for is left to the caller's final
  // flush); the first failure of any of them, which the system reports only once.
  os::NativeError finish() {
    if (m_thread.joinable()) {
      {
        const std::lock_guard<std::mutex> lock(m_mutex);
        m_stop = true;
      }
      m_changed.notify_one();
      m_thread.join();
    }
    return m_error;
  }

 private:
  void run() {
    std::unique_lock<std::mutex> lock(m_mutex);
    for (;;) {
      m_changed.wait(lock, [this] { return m_requested || m_stop; });
      if (m_stop) return;
      m_requested = false;
      lock.unlock();
      const os::NativeError e = flushFileToDisk(m_file);
      lock.lock();
      if (e && !m_error) m_error = e;
    }
  }

  os::File& m_file;
  std::mutex m_mutex;
  std::condition_variable m_changed;
  bool m_requested = false;
  bool m_stop = false;
  os::NativeError m_error = 0;
  std::thread m_thread;
};

struct OpenFile {
  os::File handle;
  bool output = false;
  std::string buffer;  // pending output, or the whole input
  size_t readPos = 0;  // input position
  std::string path;
  size_t unflushed = 0;             // output written since the last background flush began
  BackgroundFlush flusher{handle};  // done before the handle closes
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

void checkNumber(int16_t number) {
  if (number < 1 || number > kMaxFileNumber) raiseError(err::kBadFileNameOrNumber);
  if (files().count(number)) raiseError(err::kFileAlreadyOpen);
}

std::string hostPathOf(const std::string& path) {
  auto host = systemDrives().viewToHost(path);
  if (!host) raiseError(err::kPathNotFound, path);
  return *host;
}

// The number of a failed open: a file that may not be written or read is 75.
int openErrorNumber(os::NativeError e, bool output) {
  if (os::isNotFound(e) && !output) return err::kFileNotFound;
  if (os::isAlreadyExists(e)) return err::kFileAlreadyExists;
  if (os::isAccessDenied(e)) return err::kPathFileAccess;
  return os::errorNumber(e);
}

void flush(OpenFile& f) {
  if (f.buffer.empty()) return;
  // Written or failed, the pending output is done with (a failure is reported
  // once); the buffer keeps its room for what follows.
  const os::NativeError e = os::writeFile(f.handle, f.buffer);
  f.unflushed += f.buffer.size();
  f.buffer.clear();
  if (e) raiseError(os::errorNumber(e), f.path);
  if (f.unflushed >= kFlushEvery) {
    f.flusher.request();
    f.unflushed = 0;
  }
}

void readWhole(const std::string& path, std::string& content) {
  os::File file;
  if (const os::NativeError e = os::openFile(hostPathOf(path), file)) {
    raiseError(openErrorNumber(e, false), path);
  }
  char chunk[65536];
  for (;;) {
    size_t got = 0;
    if (const os::NativeError e = os::readFile(file, chunk, sizeof chunk, got)) {
      raiseError(openErrorNumber(e, false), path);
    }
    if (got == 0) break;
    content.append(chunk, got);
  }
}

// Opens an output file under `fileNumber`, made by `create` (os::createFile or
// os::createNewFile).
void openForOutput(const std::string& path, int16_t fileNumber,
                   os::NativeError (*create)(const std::string&, os::File&)) {
  checkNumber(fileNumber);
  auto f = std::make_unique<OpenFile>();
  if (const os::NativeError e = create(hostPathOf(path), f->handle)) {
    raiseError(openErrorNumber(e, true), path);
  }
  f->output = true;
  f->path = path;
  f->buffer.reserve(kOutputBuffer);
  files()[fileNumber] = std::move(f);
}

}  // namespace

int16_t FreeFile() {
  for (int16_t n = 1; n <= kMaxFileNumber; ++n) {
    if (!files().count(n)) return n;
  }
  raiseError(err::kTooManyFiles);
}

void OpenForOutput(const std::string& path, int16_t fileNumber) {
  openForOutput(path, fileNumber, os::createFile);
}

void OpenNewForOutput(const std::string& path, int16_t fileNumber) {
  openForOutput(path, fileNumber, os::createNewFile);
}

void OpenForInput(const std::string& path, int16_t fileNumber) {
  checkNumber(fileNumber);
  auto f = std::make_unique<OpenFile>();
  readWhole(path, f->buffer);
  f->path = path;
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

namespace {

// Writes out what is pending, waits for the flushes in the background (a failure
// of one counts: the system reports it once), flushes to the disk when asked, and
// closes; the first failure is raised, after the close.
void closeOutput(OpenFile& f, bool toDisk) {
  int failure = 0;
  try {
    flush(f);
  } catch (const RuntimeError& e) {
    failure = e.number();
  }
  if (const os::NativeError e = f.flusher.finish(); failure == 0 && e) {
    failure = os::errorNumber(e);
  }
  if (toDisk && failure == 0) {
    if (const os::NativeError e = flushFileToDisk(f.handle)) failure = os::errorNumber(e);
  }
  const os::NativeError closeFailure = os::closeFile(f.handle);
  if (failure == 0 && closeFailure) failure = os::errorNumber(closeFailure);
  if (failure != 0) raiseError(failure, f.path);
}

}  // namespace

void Close(int16_t fileNumber) {
  const auto it = files().find(fileNumber);
  if (it == files().end()) return;  // closing a closed handle is no error
  std::unique_ptr<OpenFile> f = std::move(it->second);
  files().erase(it);
  if (f->output) closeOutput(*f, false);  // input was read whole and closed at once
}

void CloseToDisk(int16_t fileNumber) {
  const auto it = files().find(fileNumber);
  if (it == files().end()) raiseError(err::kBadFileNameOrNumber);
  std::unique_ptr<OpenFile> f = std::move(it->second);
  files().erase(it);
  if (f->output) closeOutput(*f, true);
}

void NameReplacing(const std::string& oldPath, const std::string& newPath) {
  const std::string from = hostPathOf(oldPath);
  const std::string to = hostPathOf(newPath);
  if (const os::NativeError e = os::renameReplacing(from, to)) {
    raiseError(os::errorNumber(e), newPath);
  }
  // The file stands under its new name now; a folder that cannot be synced (some
  // network file systems) only leaves the entry to the system's own time.
  const size_t slash = to.find_last_of(os::kSeparator);
  if (slash != std::string::npos) {
    os::syncFolder(slash == 0 ? to.substr(0, 1) : to.substr(0, slash));
  }
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

void setFlushToDisk(FlushToDisk flush) {
  g_flushToDisk.store(flush, std::memory_order_release);
}

}  // namespace platform
