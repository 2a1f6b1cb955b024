// App.Path from the module's own path, and the files of the file handles over
// CreateFileW, ReadFile and WriteFile.
#include <algorithm>

#include "platform/Drives.h"
#include "platform/Error.h"
#include "platform/Runtime.h"
#include "platform/SystemFile.h"
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

// --- files ------------------------------------------------------------------------------

namespace systemfile {

namespace {

std::wstring hostPathOf(const std::string& path) {
  auto host = systemDrives().viewToHost(path);
  if (!host) raiseError(err::kPathNotFound, path);
  return win32::longPath(*host);
}

int openErrorNumber(DWORD error, bool output) {
  if (error == ERROR_FILE_NOT_FOUND) return output ? err::kPathNotFound : err::kFileNotFound;
  return win32::errorNumberFromWin32(error);
}

HANDLE handleOf(Handle file) {
  return reinterpret_cast<HANDLE>(file);
}

}  // namespace

Handle openForOutput(const std::string& path) {
  const std::wstring host = hostPathOf(path);
  HANDLE h = ::CreateFileW(host.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) raiseError(openErrorNumber(::GetLastError(), true), path);
  return reinterpret_cast<Handle>(h);
}

void readWhole(const std::string& path, std::string& content) {
  const std::wstring host = hostPathOf(path);
  HANDLE h = ::CreateFileW(host.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                           OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) raiseError(openErrorNumber(::GetLastError(), false), path);
  char chunk[65536];
  for (;;) {
    DWORD n = 0;
    if (!::ReadFile(h, chunk, sizeof chunk, &n, nullptr)) {
      const DWORD error = ::GetLastError();
      ::CloseHandle(h);
      raiseError(win32::errorNumberFromWin32(error), path);
    }
    if (n == 0) break;
    content.append(chunk, n);
  }
  ::CloseHandle(h);
}

void writeAll(Handle file, std::string_view data, const std::string& path) {
  while (!data.empty()) {
    const DWORD chunk = static_cast<DWORD>(std::min<size_t>(data.size(), 1u << 30));
    DWORD written = 0;
    if (!::WriteFile(handleOf(file), data.data(), chunk, &written, nullptr)) {
      raiseError(win32::errorNumberFromWin32(::GetLastError()), path);
    }
    data.remove_prefix(written);
  }
}

int close(Handle file) {
  return ::CloseHandle(handleOf(file)) ? 0 : win32::errorNumberFromWin32(::GetLastError());
}

}  // namespace systemfile

}  // namespace platform
