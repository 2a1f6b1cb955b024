// Reading directories with FindFirstFileExW/FindNextFileW. Paths go to the system
// with the "\\?\" prefix, so depth is not limited by MAX_PATH. A link, junction
// or mounted volume is never entered: it is listed as a file, and a walk stays on
// its drive; a folder whose reparse point is no link (cloud files) is walked
// (walkedAsFolder).
#include <algorithm>
#include <new>
#include <vector>

#include "platform/Drives.h"
#include "platform/Error.h"
#include "platform/HostDirectory.h"
#include "platform/ReparsePoint.h"
#include "platform/Text.h"
#include "platform/win32/Win32Util.h"

namespace platform {

namespace {

DirectoryStats g_stats;

// The listings of the directories on the current path, outermost first.
struct Kept {
  std::string host;
  std::shared_ptr<DirectoryListing> listing;
};

std::vector<Kept>& keptListings() {
  static std::vector<Kept> kept;
  return kept;
}

bool isAncestorOrSelf(std::string_view ancestor, std::string_view path) {
  if (path.size() < ancestor.size() || path.compare(0, ancestor.size(), ancestor) != 0)
    return false;
  return path.size() == ancestor.size() || ancestor.back() == '\\' || path[ancestor.size()] == '\\';
}

int64_t fileTime(const FILETIME& t) {
  return static_cast<int64_t>((static_cast<uint64_t>(t.dwHighDateTime) << 32) | t.dwLowDateTime);
}

[[noreturn]] void raiseForError(DWORD error, const std::string& viewPath) {
  if (error == ERROR_ACCESS_DENIED) raiseError(err::kAccessDenied, viewPath);
  if (error == ERROR_FILE_NOT_FOUND) raiseError(err::kPathNotFound, viewPath);
  raiseError(win32::errorNumberFromWin32(error), viewPath);
}

// The directory's attributes; raises 76 when it is missing or no directory.
WIN32_FILE_ATTRIBUTE_DATA directoryAttributes(const std::wstring& path,
                                              const std::string& viewPath) {
  WIN32_FILE_ATTRIBUTE_DATA data{};
  if (!::GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data)) {
    raiseForError(::GetLastError(), viewPath);
  }
  if (!(data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) raiseError(err::kPathNotFound, viewPath);
  return data;
}

std::shared_ptr<DirectoryListing> readDirectory(const std::wstring& path, const std::string& host,
                                                const std::string& viewPath,
                                                const WIN32_FILE_ATTRIBUTE_DATA& attributes) {
  auto listing = std::make_shared<DirectoryListing>();
  listing->mtimeNs = fileTime(attributes.ftLastWriteTime);
  listing->ctimeNs = fileTime(attributes.ftCreationTime);
  listing->checkedEpoch = directoryEpoch();

  std::wstring pattern = path;
  if (pattern.back() != L'\\') pattern += L'\\';
  pattern += L'*';
  // A folder on which the drive table puts another drive is not part of this one.
  const DriveTable& drives = systemDrives();
  std::string childHost = host.back() == '\\' ? host : host + '\\';
  const size_t childBase = childHost.size();
  WIN32_FIND_DATAW data;
  HANDLE find = ::FindFirstFileExW(pattern.c_str(), FindExInfoBasic, &data, FindExSearchNameMatch,
                                   nullptr, FIND_FIRST_EX_LARGE_FETCH);
  if (find == INVALID_HANDLE_VALUE) {
    const DWORD error = ::GetLastError();
    // An empty drive root has not even "." and "..".
    if (error != ERROR_FILE_NOT_FOUND && error != ERROR_NO_MORE_FILES)
      raiseForError(error, viewPath);
  } else {
    do {
      const wchar_t* name = data.cFileName;
      if (name[0] == L'.' && (name[1] == L'\0' || (name[1] == L'.' && name[2] == L'\0'))) continue;
      const bool directory = walkedAsFolder(data.dwFileAttributes, data.dwReserved0);
      std::string utf8 = win32::narrow(name);
      if (directory) {
        childHost.resize(childBase);
        childHost += utf8;
        if (!drives.isMountPoint(childHost)) listing->subdirs.push_back(std::move(utf8));
      } else {
        listing->files.push_back(std::move(utf8));
      }
    } while (::FindNextFileW(find, &data));
    const DWORD error = ::GetLastError();
    ::FindClose(find);
    if (error != ERROR_NO_MORE_FILES) raiseForError(error, viewPath);
  }
  sortListOrder(listing->subdirs);
  sortListOrder(listing->files);
  ++g_stats.reads;
  return listing;
}

std::string currentDirectoryHost() {
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
  std::string host = win32::narrow(buffer);
  if (host.starts_with("\\\\?\\")) host.erase(0, 4);
  return host;
}

}  // namespace

std::string currentDirectoryView() {
  const std::string host = currentDirectoryHost();
  if (host.empty()) return "C:\\";
  return systemDrives().hostToView(host);
}

std::string driveCurrentDirectory(char letter) {
  const char upper = static_cast<char>(letter >= 'a' && letter <= 'z' ? letter - 32 : letter);
  const std::string root = std::string(1, upper) + ":\\";
  const std::string host = currentDirectoryHost();
  if (host.empty()) return root;
  const std::string view = systemDrives().hostToView(host);
  if (view.size() < 2 || view[0] != upper ||
      systemDrives().viewToHost(view) != systemDrives().viewToHost(host)) {
    return root;
  }
  return view;
}

std::shared_ptr<const DirectoryListing> listDirectory(const std::string& viewPath, bool reread) {
  const auto host = systemDrives().viewToHost(viewPath);
  if (!host) raiseError(err::kDeviceUnavailable, viewPath);
  auto& kept = keptListings();
  while (!kept.empty() && !isAncestorOrSelf(kept.back().host, *host)) kept.pop_back();
  const bool found = !kept.empty() && kept.back().host == *host;
  if (found && !reread && kept.back().listing->checkedEpoch == directoryEpoch()) {
    ++g_stats.reuses;
    return kept.back().listing;
  }

  const std::wstring path = win32::longPath(*host);
  const WIN32_FILE_ATTRIBUTE_DATA attributes = directoryAttributes(path, viewPath);
  if (found && !reread) {
    DirectoryListing& l = *kept.back().listing;
    if (l.mtimeNs == fileTime(attributes.ftLastWriteTime) &&
        l.ctimeNs == fileTime(attributes.ftCreationTime)) {
      l.checkedEpoch = directoryEpoch();
      ++g_stats.reuses;
      return kept.back().listing;
    }
  }
  std::shared_ptr<DirectoryListing> fresh;
  try {
    fresh = readDirectory(path, *host, viewPath, attributes);
  } catch (const std::bad_alloc&) {
    raiseError(err::kListFull, viewPath);
  }
  if (found) kept.pop_back();
  kept.push_back({*host, fresh});
  return fresh;
}

DirectoryStats directoryStats() {
  return g_stats;
}

}  // namespace platform
