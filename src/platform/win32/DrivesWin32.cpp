// Drive letters of Windows: the system's own. Paths are native Windows paths, so a
// view path is the host path; a table of given drives (tests) maps letters onto
// folders, as the Linux table maps them onto mount points.
#include <algorithm>
#include <optional>

#include "platform/Drives.h"
#include "platform/Text.h"
#include "platform/win32/Win32Util.h"

namespace platform {

namespace {

char upperAscii(char c) {
  return c >= 'a' && c <= 'z' ? static_cast<char>(c - 32) : c;
}
bool isAsciiLetter(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}
bool isSeparator(char c) {
  return c == '\\' || c == '/';
}

// "c:/a//b\" -> "C:\a\b"; a root keeps its "\".
std::string normalizeNative(std::string_view path) {
  std::string out;
  out.reserve(path.size());
  for (char ch : path) {
    if (isSeparator(ch)) {
      if (!out.empty() && out.back() == '\\' && out.size() > 2) continue;
      out += '\\';
    } else {
      out += ch;
    }
  }
  if (out.size() >= 2 && out[1] == ':') out[0] = upperAscii(out[0]);
  if (out.size() > 3 && out.back() == '\\') out.pop_back();
  return out;
}

// Is `folder` the path itself or one of its ancestors? Without regard to the case
// of ASCII letters, as the file system compares them.
bool isFolderPrefix(std::string_view folder, std::string_view path) {
  while (folder.size() > 3 && isSeparator(folder.back())) folder.remove_suffix(1);
  if (path.size() < folder.size()) return false;
  for (size_t i = 0; i < folder.size(); ++i) {
    const char a = isSeparator(folder[i]) ? '\\' : upperAscii(folder[i]);
    const char b = isSeparator(path[i]) ? '\\' : upperAscii(path[i]);
    if (a != b) return false;
  }
  return path.size() == folder.size() || isSeparator(folder.back()) ||
         isSeparator(path[folder.size()]);
}

}  // namespace

DriveTable DriveTable::fromMountInfo(const std::string&, const std::string&) {
  return DriveTable{};  // Windows has no mount table; fromSystem asks kernel32
}

DriveTable DriveTable::fromSystem() {
  std::vector<Drive> drives;
  wchar_t buffer[512] = {};
  const DWORD n = ::GetLogicalDriveStringsW(static_cast<DWORD>(std::size(buffer) - 1), buffer);
  for (const wchar_t* root = buffer; n > 0 && n < std::size(buffer) && *root;
       root += wcslen(root) + 1) {
    if (root[0] > 0x7F || !isAsciiLetter(static_cast<char>(root[0]))) continue;
    Drive d;
    d.letter = upperAscii(static_cast<char>(root[0]));
    d.mountPoint = std::string{d.letter, ':', '\\'};
    d.type = static_cast<DriveType>(::GetDriveTypeW(root));
    drives.push_back(std::move(d));
  }
  return fromDrives(std::move(drives));
}

DriveTable DriveTable::fromDrives(std::vector<Drive> drives, std::vector<std::string> mountPoints) {
  DriveTable table;
  for (Drive& d : drives) d.letter = upperAscii(d.letter);
  std::stable_sort(drives.begin(), drives.end(),
                   [](const Drive& a, const Drive& b) { return a.letter < b.letter; });
  for (std::string& p : mountPoints) table.m_mountPoints.insert(normalizeNative(p));
  for (const Drive& d : drives) {
    if (d.mountPoint.size() > 3) table.m_mountPoints.insert(normalizeNative(d.mountPoint));
  }
  table.m_drives = std::move(drives);
  return table;
}

std::string DriveTable::hostToView(std::string_view hostPath) const {
  const std::string path = normalizeNative(hostPath);
  const Drive* best = nullptr;
  for (const Drive& d : m_drives) {
    if (isFolderPrefix(d.mountPoint, path) &&
        (!best || d.mountPoint.size() > best->mountPoint.size())) {
      best = &d;
    }
  }
  if (!best) return path;
  std::string_view rest =
      std::string_view(path).substr(std::min(path.size(), best->mountPoint.size()));
  while (!rest.empty() && rest.front() == '\\') rest.remove_prefix(1);
  std::string view{best->letter, ':', '\\'};
  view += rest;
  return view;
}

std::optional<std::string> DriveTable::viewToHost(std::string_view viewPath) const {
  if (viewPath.size() < 2 || !isAsciiLetter(viewPath[0]) || viewPath[1] != ':') return std::nullopt;
  const Drive* d = byLetter(viewPath[0]);
  if (!d) return std::nullopt;
  std::string_view rest = viewPath.substr(2);
  while (!rest.empty() && isSeparator(rest.front())) rest.remove_prefix(1);
  std::string host = d->mountPoint;
  if (!rest.empty()) {
    if (!isSeparator(host.back())) host += '\\';
    host += rest;
  }
  return normalizeNative(host);
}

// --- kernel32 ------------------------------------------------------------------------

uint32_t GetLogicalDriveStringsA(uint32_t nBufferLength, char* lpBuffer) {
  if (!systemDrivesInstalled()) {
    // The drives as they are now; the lists follow the same snapshot.
    reloadSystemDrives();
    return ::GetLogicalDriveStringsA(nBufferLength, lpBuffer);
  }
  // A table installed by a test answers as the system would.
  const std::vector<Drive>& drives = systemDrives().drives();
  const auto length = static_cast<uint32_t>(4 * drives.size());
  if (lpBuffer == nullptr || nBufferLength < length + 1) return length + 1;
  char* out = lpBuffer;
  for (const Drive& d : drives) {
    *out++ = d.letter;
    *out++ = ':';
    *out++ = '\\';
    *out++ = '\0';
  }
  *out = '\0';
  return length;
}

uint32_t GetDriveTypeA(const char* lpRootPathName) {
  if (!systemDrivesInstalled()) return ::GetDriveTypeA(lpRootPathName);
  const std::string root = lpRootPathName ? lpRootPathName : "";
  const bool rootForm = root.size() == 2 || (root.size() == 3 && isSeparator(root[2]));
  if (!rootForm || !isAsciiLetter(root[0]) || root[1] != ':') return 1;  // no root directory
  const Drive* drive = systemDrives().byLetter(root[0]);
  return drive ? static_cast<uint32_t>(drive->type) : 1u;
}

}  // namespace platform
