// Errors, the program's own path, the working folder and the shell on Windows.
#include "platform/Error.h"
#include "platform/os/Os.h"
#include "platform/os/windows/Wide.h"

#include <shellapi.h>

namespace platform::os {

const char kSeparator = '\\';
const bool kHostNamesAreBytes = false;

int errorNumber(NativeError error) {
  switch (static_cast<DWORD>(error)) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_NAME:
    case ERROR_BAD_PATHNAME:
    case ERROR_DIRECTORY:
    case ERROR_FILENAME_EXCED_RANGE: return err::kPathNotFound;
    case ERROR_ACCESS_DENIED: return err::kPermissionDenied;
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
    case ERROR_WRITE_PROTECT:
    case ERROR_FILE_EXISTS:
    case ERROR_ALREADY_EXISTS: return err::kPathFileAccess;
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL: return err::kDiskFull;
    case ERROR_TOO_MANY_OPEN_FILES: return err::kTooManyFiles;
    case ERROR_NOT_ENOUGH_MEMORY:
    case ERROR_OUTOFMEMORY: return err::kListFull;
    case ERROR_NOT_READY:
    case ERROR_INVALID_DRIVE:
    case ERROR_BAD_NETPATH:
    case ERROR_BAD_NET_NAME:
    case ERROR_NETNAME_DELETED:
    case ERROR_DEV_NOT_EXIST:
    case ERROR_UNEXP_NET_ERR: return err::kDeviceUnavailable;
    default: return err::kDeviceIo;
  }
}

bool isAccessDenied(NativeError error) {
  return static_cast<DWORD>(error) == ERROR_ACCESS_DENIED;
}
bool isNotFound(NativeError error) {
  return static_cast<DWORD>(error) == ERROR_FILE_NOT_FOUND ||
         static_cast<DWORD>(error) == ERROR_PATH_NOT_FOUND;
}
bool isAlreadyExists(NativeError error) {
  return static_cast<DWORD>(error) == ERROR_FILE_EXISTS ||
         static_cast<DWORD>(error) == ERROR_ALREADY_EXISTS;
}

namespace {

// Without the "\\?\" prefix that lifts the length limit.
std::string withoutLongPrefix(std::string path) {
  if (path.starts_with("\\\\?\\UNC\\")) return "\\\\" + path.substr(8);
  if (path.starts_with("\\\\?\\")) path.erase(0, 4);
  return path;
}

}  // namespace

std::string executablePath() {
  std::wstring buffer(MAX_PATH, L'\0');
  for (;;) {
    const DWORD n = ::GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
    if (n == 0) return {};
    if (n < buffer.size()) {
      buffer.resize(n);
      break;
    }
    buffer.resize(buffer.size() * 2);
  }
  return withoutLongPrefix(win32::narrow(buffer));
}

std::string currentDirectory() {
  std::wstring buffer(MAX_PATH, L'\0');
  for (;;) {
    const DWORD n = ::GetCurrentDirectoryW(static_cast<DWORD>(buffer.size()), buffer.data());
    if (n == 0) return {};
    if (n < buffer.size()) {
      buffer.resize(n);
      break;
    }
    buffer.resize(n);
  }
  return withoutLongPrefix(win32::narrow(buffer));
}

long shellExecute(const std::string& operation, const std::string& file,
                  const std::string& parameters, const std::string& directory, int show) {
  HINSTANCE result = ::ShellExecuteA(nullptr, operation.c_str(), file.c_str(), parameters.c_str(),
                                     directory.c_str(), show);
  return static_cast<long>(reinterpret_cast<INT_PTR>(result));
}

}  // namespace platform::os
