// Drive tables: the lettered drives, the mapping between host and view paths, the
// process-wide snapshot, and kernel32's answers from it.
//
// Host paths come in two styles. Linux paths ("/mnt/daten/a") lie below mount
// points that get letters; Windows paths are view paths already ("D:\a"), and a
// test's table may map letters onto folders as the Linux table maps them onto
// mount points.
#include <algorithm>
#include <optional>

#include "platform/drives/Drives.h"

#include "platform/drives/MountTable.h"
#include "platform/os/Os.h"
#include "platform/text/PathBytes.h"
#include "platform/text/Text.h"

namespace platform {

namespace {

bool posixPaths() {
  return os::kSeparator == '/';
}

char upperAscii(char c) {
  return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}
bool isAsciiLetter(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

// True when `ancestor` is `path` or one of its folders, compared by whole components.
bool isPathPrefix(std::string_view ancestor, std::string_view path) {
  if (ancestor == "/") return path.starts_with('/');
  return path.starts_with(ancestor) &&
         (path.size() == ancestor.size() || path[ancestor.size()] == '/');
}

// Collapses repeated slashes and drops a trailing one; a relative path is taken
// from "/". Nothing else ("." or "..") is resolved.
std::string normalizeHostPath(std::string_view path) {
  std::string out = "/";
  out.reserve(path.size() + 1);
  for (char c : path) {
    if (c == '/' && out.back() == '/') continue;
    out += c;
  }
  if (out.size() > 1 && out.back() == '/') out.pop_back();
  return out;
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

// A mount point or folder in the table's normal form.
std::string normalizeHost(std::string_view path) {
  return posixPaths() ? normalizeHostPath(path) : normalizeNative(path);
}

}  // namespace

DriveTable DriveTable::fromSystem() {
  os::SystemDriveInfo info = os::systemDriveInfo();
  if (info.letters.empty()) return drivesOfMounts(info.mounts, info.sysfsRoot);
  std::vector<Drive> drives;
  for (const os::LetteredDrive& d : info.letters) {
    Drive drive;
    drive.letter = upperAscii(d.letter);
    drive.mountPoint = std::string{drive.letter, ':', '\\'};
    drive.type = static_cast<DriveType>(d.type);
    drives.push_back(std::move(drive));
  }
  return fromDrives(std::move(drives));
}

DriveTable DriveTable::fromDrives(std::vector<Drive> drives, std::vector<std::string> mountPoints) {
  DriveTable table;
  for (Drive& d : drives) d.letter = upperAscii(d.letter);
  std::stable_sort(drives.begin(), drives.end(),
                   [](const Drive& a, const Drive& b) { return a.letter < b.letter; });
  const auto isRoot = [](const std::string& p) {
    return p == "/" || (p.size() <= 3 && p.size() >= 2 && p[1] == ':');
  };
  for (const std::string& p : mountPoints) {
    if (!isRoot(p)) table.addMountPoint(normalizeHost(p));
  }
  for (const Drive& d : drives) {
    if (!isRoot(d.mountPoint)) table.addMountPoint(normalizeHost(d.mountPoint));
  }
  table.m_drives = std::move(drives);
  return table;
}

const Drive* DriveTable::byLetter(char letter) const {
  const char upper = upperAscii(letter);
  for (const Drive& d : m_drives) {
    if (d.letter == upper) return &d;
  }
  return nullptr;
}

bool DriveTable::isMountPoint(std::string_view hostPath) const {
  return hostPath.size() <= m_longestMountPoint &&
         m_mountPoints.find(hostPath) != m_mountPoints.end();
}

void DriveTable::addMountPoint(std::string hostPath) {
  m_longestMountPoint = std::max(m_longestMountPoint, hostPath.size());
  m_mountPoints.insert(std::move(hostPath));
}

bool DriveTable::walksInto(std::string_view hostPath) const {
  return !m_walkedInto.empty() && m_walkedInto.find(hostPath) != m_walkedInto.end();
}

std::string DriveTable::hostToView(std::string_view hostPath) const {
  return posixPaths() ? posixHostToView(hostPath) : windowsHostToView(hostPath);
}

std::optional<std::string> DriveTable::viewToHost(std::string_view viewPath) const {
  return posixPaths() ? posixViewToHost(viewPath) : windowsViewToHost(viewPath);
}

std::string DriveTable::posixHostToView(std::string_view hostPath) const {
  const std::string path = normalizeHostPath(hostPath);
  const Drive* best = nullptr;
  for (const Drive& d : m_drives) {
    if (isPathPrefix(d.mountPoint, path) &&
        (!best || d.mountPoint.size() > best->mountPoint.size())) {
      best = &d;
    }
  }
  const std::string_view mountPoint = best ? std::string_view(best->mountPoint) : "/";

  std::string view;
  view.reserve(path.size() + 3);
  view += best ? best->letter : 'C';
  view += ":\\";
  std::string_view rest = std::string_view(path).substr(mountPoint.size());
  if (rest.starts_with('/')) rest.remove_prefix(1);
  // Printable ASCII without "\" maps byte for byte: only the separators change.
  if (std::all_of(rest.begin(), rest.end(),
                  [](char ch) { return ch >= 0x20 && ch < 0x7F && ch != '\\'; })) {
    const size_t base = view.size();
    view += rest;
    std::replace(view.begin() + static_cast<std::ptrdiff_t>(base), view.end(), '/', '\\');
    return view;
  }
  while (!rest.empty()) {
    const size_t slash = rest.find('/');
    appendHostNameAsView(view, rest.substr(0, slash));
    if (slash == std::string_view::npos) break;
    view += '\\';
    rest.remove_prefix(slash + 1);
  }
  return view;
}

std::optional<std::string> DriveTable::posixViewToHost(std::string_view viewPath) const {
  if (viewPath.size() < 2 || !isAsciiLetter(viewPath[0]) || viewPath[1] != ':') return std::nullopt;
  std::string host;
  if (const Drive* d = byLetter(viewPath[0])) {
    host = d->mountPoint;
  } else if (upperAscii(viewPath[0]) == 'C') {
    host = "/";  // C: is "/" even when the table could not be read
  } else {
    return std::nullopt;
  }
  // The view's names never hold "\" (it is escaped) nor "/" (no host name does), so
  // both split. "C:name" has no current folder to be relative to: it is below C:\.
  std::string_view rest = viewPath.substr(2);
  // Most paths hold no escaped byte (every escape starts with the byte 0xEF): then
  // the names are the host names and only the separators change.
  if (rest.find('\xEF') == std::string_view::npos) {
    while (!rest.empty() && (rest.front() == '\\' || rest.front() == '/')) rest.remove_prefix(1);
    if (rest.empty()) return host;
    if (host.back() != '/') host += '/';
    const size_t base = host.size();
    host.resize(base + rest.size());
    // A path in the lists' normal form (the walk's always are): only the
    // separators change.
    if (!pathbytes::mayNeedNormalizing(rest) && rest.back() != '\\') {
      pathbytes::copyWithSlashes(host.data() + base, rest);
      return host;
    }
    // Else one pass: "\" becomes "/", and repeated or trailing separators, which
    // name the same folder, are dropped.
    char* out = host.data() + base;
    bool afterSeparator = true;  // host ends in "/" here
    for (const char ch : rest) {
      const bool separator = ch == '\\' || ch == '/';
      if (separator && afterSeparator) continue;
      *out++ = separator ? '/' : ch;
      afterSeparator = separator;
    }
    host.resize(static_cast<size_t>(out - host.data()));
    if (host.size() > 1 && host.back() == '/') host.pop_back();
    return host;
  }
  while (!rest.empty()) {
    const size_t sep = rest.find_first_of("\\/");
    const std::string_view name = rest.substr(0, sep);
    if (!name.empty()) {
      if (host.back() != '/') host += '/';
      host += viewNameToHost(name);
    }
    if (sep == std::string_view::npos) break;
    rest.remove_prefix(sep + 1);
  }
  return host;
}

bool isPlainViewPath(std::string_view viewPath) {
  return posixPaths() && pathbytes::isNormalViewPath(viewPath) &&
         viewPath.find('\xEF') == std::string_view::npos;
}

bool isPlainViewName(std::string_view name) {
  return name.find('\xEF') == std::string_view::npos;
}

const std::string* ViewPathMapper::map(const std::shared_ptr<const DriveTable>& table,
                                       std::string_view viewPath) {
  if (m_plain && m_table == table && viewPath.size() > 3) {
    const size_t shared = pathbytes::commonPrefix(viewPath, m_view);
    const std::string_view rest = viewPath.substr(shared);
    if (shared >= 3 && pathbytes::isNormalViewPath(viewPath, shared) && isPlainViewName(rest)) {
      m_host.resize(m_hostBase + shared - 3);
      const size_t at = m_host.size();
      m_host.resize(at + rest.size());
      pathbytes::copyWithSlashes(m_host.data() + at, rest);
      m_view.resize(shared);
      m_view += rest;
      return &m_host;
    }
  }
  std::optional<std::string> host = table->viewToHost(viewPath);
  m_plain = false;
  if (!host) return nullptr;
  m_host = std::move(*host);
  // A root's host path (the mount point) has no "/" yet before the names below it.
  if (viewPath.size() > 3 && isPlainViewPath(viewPath)) {
    m_plain = true;
    m_table = table;
    m_view.assign(viewPath);
    m_hostBase = m_host.size() - (viewPath.size() - 3);
  }
  return &m_host;
}

std::string DriveTable::windowsHostToView(std::string_view hostPath) const {
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

std::optional<std::string> DriveTable::windowsViewToHost(std::string_view viewPath) const {
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

// --- the process-wide snapshot --------------------------------------------------------

namespace {

struct SystemDrives {
  // Shared with the reader threads, which may still use a table replaced since.
  std::shared_ptr<const DriveTable> table;
  bool installed = false;  // set by setSystemDrives: the kernel32 calls answer from it
};

// The snapshot belongs to the thread that runs the forms, as the controls do.
SystemDrives& systemState() {
  static SystemDrives state;
  return state;
}

}  // namespace

const DriveTable& systemDrives() {
  return *systemDrivesShared();
}

const std::shared_ptr<const DriveTable>& systemDrivesShared() {
  SystemDrives& state = systemState();
  if (!state.table) state.table = std::make_shared<const DriveTable>(DriveTable::fromSystem());
  return state.table;
}

void setSystemDrives(DriveTable table) {
  SystemDrives& state = systemState();
  state.table = std::make_shared<const DriveTable>(std::move(table));
  state.installed = true;
}

void reloadSystemDrives() {
  SystemDrives& state = systemState();
  state.table = std::make_shared<const DriveTable>(DriveTable::fromSystem());
  state.installed = false;
}

bool systemDrivesInstalled() {
  return systemState().installed;
}

// --- kernel32 ------------------------------------------------------------------------

uint32_t GetLogicalDriveStringsA(uint32_t nBufferLength, char* lpBuffer) {
  // Windows answers from the drives as they are now: a stick plugged in since the
  // last call shows up.
  if (!systemDrivesInstalled()) reloadSystemDrives();
  const std::vector<Drive>& drives = systemDrives().drives();
  const auto length = static_cast<uint32_t>(4 * drives.size());  // "X:\" and a NUL each
  // As on Windows, the size needed counts the final NUL too, so a caller can tell
  // "did not fit" (result > nBufferLength) from success (result < nBufferLength).
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
  std::string root;
  if (lpRootPathName) {
    root = lpRootPathName;
  } else {
    // Windows takes the root of the current folder.
    const std::string cwd = os::currentDirectory();
    root =
        systemDrives().hostToView(cwd.empty() ? std::string(1, os::kSeparator) : cwd).substr(0, 3);
  }
  const bool rootForm =
      (root.size() == 2 || (root.size() == 3 && (root[2] == '\\' || root[2] == '/')));
  if (!rootForm || !isAsciiLetter(root[0]) || root[1] != ':') return DRIVE_NO_ROOT_DIR;
  const Drive* drive = systemDrives().byLetter(root[0]);
  return drive ? drive->type : DRIVE_NO_ROOT_DIR;
}

}  // namespace platform
