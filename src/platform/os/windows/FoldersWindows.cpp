// The user's own folders on Windows: the known folder LocalAppData, a probe file,
// CreateDirectoryW.
#include "platform/os/Os.h"
#include "platform/os/windows/Wide.h"

// After windows.h.
#include <shlobj.h>

namespace platform::os {

namespace {

bool isFolder(const std::string& path) {
  const DWORD attributes = ::GetFileAttributesW(win32::longPath(path).c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

}  // namespace

UserDataPlaces userDataPlaces() {
  UserDataPlaces places;
  PWSTR path = nullptr;
  if (::SHGetKnownFolderPath(FOLDERID_LocalAppData, KF_FLAG_DEFAULT, nullptr, &path) == S_OK)
    places.localAppData = win32::narrow(path);
  ::CoTaskMemFree(path);
  return places;
}

bool mayCreateFilesIn(const std::string& hostPath) {
  // The access list decides, and the attributes do not show it: try. The probe
  // goes when its handle closes.
  std::string probe = hostPath;
  if (!probe.ends_with('\\')) probe += '\\';
  probe += "~rz-" + std::to_string(::GetCurrentProcessId()) + ".tmp";
  HANDLE h = ::CreateFileW(
      win32::longPath(probe).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
      FILE_ATTRIBUTE_TEMPORARY | FILE_ATTRIBUTE_HIDDEN | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
  if (h == INVALID_HANDLE_VALUE) return false;
  ::CloseHandle(h);
  return true;
}

NativeError createFolders(const std::string& hostPath) {
  // "C:\a\b": C:\a, then C:\a\b; "\\server\share\a": the folders below the share.
  size_t start = 3;
  if (hostPath.starts_with("\\\\")) {
    start = hostPath.find('\\', 2);
    if (start != std::string::npos) start = hostPath.find('\\', start + 1);
    if (start == std::string::npos) return ERROR_PATH_NOT_FOUND;
    ++start;
  }
  for (size_t end = hostPath.find('\\', start);; end = hostPath.find('\\', end + 1)) {
    const std::string part = hostPath.substr(0, end);
    if (!part.ends_with('\\') && !isFolder(part) &&
        !::CreateDirectoryW(win32::longPath(part).c_str(), nullptr) &&
        ::GetLastError() != ERROR_ALREADY_EXISTS)
      return static_cast<NativeError>(::GetLastError());
    if (end == std::string::npos) break;
  }
  return isFolder(hostPath) ? 0 : ERROR_DIRECTORY;
}

}  // namespace platform::os
