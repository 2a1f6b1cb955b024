// App.Path from the module's own path, and the file handles over CreateFileW,
// ReadFile and WriteFile. Text is converted in the system's ANSI code page.
#include <map>
#include <memory>

#include "platform/Drives.h"
#include "platform/Error.h"
#include "platform/Runtime.h"
#include "platform/Text.h"
#include "platform/win32/Win32Util.h"

namespace platform {

std::string executableFolder() {
  std::wstring buffer(MAX_PATH, L'\0');
  for (;;) {
    const DWORD n = ::GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
    if (n == 0) return "C:\\";
    if (n < buffer.size()) {
      buffer.resize(n);
      break;
    }
    buffer.resize(buffer.size() * 2);
  }
  std::string path = win32::narrow(buffer);
  if (path.starts_with("\\\\?\\")) path.erase(0, 4);
  const size_t slash = path.rfind('\\');
  std::string folder = slash == std::string::npos ? path : path.substr(0, slash);
  if (folder.size() == 2 && folder[1] == ':') folder += '\\';
  return systemDrives().hostToView(folder);
}

// --- file handles ----------------------------------------------------------------------

namespace {

constexpr int16_t kMaxFileNumber = 511;
constexpr size_t kOutputBuffer = 256 * 1024;

struct OpenFile {
  HANDLE handle = INVALID_HANDLE_VALUE;
  bool output = false;
  std::string buffer;  // pending output, or the whole input
  size_t readPos = 0;  // input position
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

std::wstring hostPathOf(const std::string& path) {
  auto host = systemDrives().viewToHost(path);
  if (!host) raiseError(err::kPathNotFound, path);
  return win32::longPath(*host);
}

void checkNumber(int16_t number) {
  if (number < 1 || number > kMaxFileNumber) raiseError(err::kBadFileNameOrNumber);
  if (files().count(number)) raiseError(err::kFileAlreadyOpen);
}

int openErrorNumber(DWORD error, bool output) {
  if (error == ERROR_FILE_NOT_FOUND) return output ? err::kPathNotFound : err::kFileNotFound;
  return win32::errorNumberFromWin32(error);
}

void writeAll(OpenFile& f, std::string_view data) {
  while (!data.empty()) {
    const DWORD chunk = static_cast<DWORD>(std::min<size_t>(data.size(), 1u << 30));
    DWORD written = 0;
    if (!::WriteFile(f.handle, data.data(), chunk, &written, nullptr)) {
      raiseError(win32::errorNumberFromWin32(::GetLastError()), f.path);
    }
    data.remove_prefix(written);
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
  const std::wstring host = hostPathOf(path);
  HANDLE h = ::CreateFileW(host.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) raiseError(openErrorNumber(::GetLastError(), true), path);
  auto f = std::make_unique<OpenFile>();
  f->handle = h;
  f->output = true;
  f->path = path;
  f->buffer.reserve(kOutputBuffer);
  files()[fileNumber] = std::move(f);
}

void OpenForInput(const std::string& path, int16_t fileNumber) {
  checkNumber(fileNumber);
  const std::wstring host = hostPathOf(path);
  HANDLE h = ::CreateFileW(host.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                           OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) raiseError(openErrorNumber(::GetLastError(), false), path);
  auto f = std::make_unique<OpenFile>();
  f->handle = h;
  f->path = path;
  char chunk[65536];
  for (;;) {
    DWORD n = 0;
    if (!::ReadFile(h, chunk, sizeof chunk, &n, nullptr)) {
      const DWORD error = ::GetLastError();
      ::CloseHandle(h);
      raiseError(win32::errorNumberFromWin32(error), path);
    }
    if (n == 0) break;
    f->buffer.append(chunk, n);
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
  if (f->output) {
    try {
      flush(*f);
    } catch (const RuntimeError& e) {
      failure = e.number();
    }
  }
  if (!::CloseHandle(f->handle) && failure == 0 && f->output) {
    failure = win32::errorNumberFromWin32(::GetLastError());
  }
  if (failure != 0) raiseError(failure, f->path);
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
