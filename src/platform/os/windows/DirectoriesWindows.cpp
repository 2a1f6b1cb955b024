// Directories over GetFileAttributesExW and FindFirstFileExW/FindNextFileW. Paths
// go to the system with the "\\?\" prefix, so depth is not limited by MAX_PATH.
// No handle is held for an open directory: it is its path, and a listing asks the
// system by that path.
#include <memory>

#include "platform/os/Os.h"
#include "platform/os/windows/Wide.h"

namespace platform::os {

namespace {

int64_t fileTime(const FILETIME& t) {
  return static_cast<int64_t>((static_cast<uint64_t>(t.dwHighDateTime) << 32) | t.dwLowDateTime);
}

NativeError attributes(const std::string& path, WIN32_FILE_ATTRIBUTE_DATA& data) {
  if (!::GetFileAttributesExW(win32::longPath(path).c_str(), GetFileExInfoStandard, &data)) {
    return static_cast<NativeError>(::GetLastError());
  }
  if (!(data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) return ERROR_DIRECTORY;
  return 0;
}

std::string joined(const std::string& base, std::string_view relative) {
  std::string path = base;
  if (path.empty() || path.back() != '\\') path += '\\';
  path += relative;
  return path;
}

NativeError openAt(std::string path, Directory& out) {
  WIN32_FILE_ATTRIBUTE_DATA data{};
  if (const NativeError e = attributes(path, data)) return e;
  out.close();
  out.m_path = std::move(path);
  out.m_open = true;
  return 0;
}

}  // namespace

bool Directory::holdsDescriptor() const {
  return false;
}

void Directory::close() {
  m_path.clear();
  m_open = false;
}

NativeError openDirectory(const std::string& hostPath, Directory& out) {
  return openAt(hostPath, out);
}

NativeError openDirectoryAt(const Directory& base, std::string_view relative, Directory& out) {
  return openAt(joined(base.m_path, relative), out);
}

NativeError openParent(const Directory& dir, Directory& out) {
  const size_t slash = dir.m_path.find_last_of('\\');
  if (slash == std::string::npos || dir.m_path.size() <= 3) return ERROR_PATH_NOT_FOUND;
  std::string parent = dir.m_path.substr(0, slash);
  if (parent.size() == 2 && parent[1] == ':') parent += '\\';
  return openAt(std::move(parent), out);
}

NativeError identityOfPath(const std::string& hostPath, Identity& out) {
  WIN32_FILE_ATTRIBUTE_DATA data{};
  if (const NativeError e = attributes(hostPath, data)) return e;
  out = Identity{};
  out.modifiedNs = fileTime(data.ftLastWriteTime);
  out.changedNs = fileTime(data.ftCreationTime);
  return 0;
}

NativeError identity(const Directory& dir, Identity& out) {
  return identityOfPath(dir.m_path, out);
}

NativeError readEntries(Directory& dir, bool, EntrySink& sink) {
  std::wstring pattern = win32::longPath(dir.m_path);
  if (pattern.back() != L'\\') pattern += L'\\';
  pattern += L'*';
  WIN32_FIND_DATAW data;
  HANDLE find = ::FindFirstFileExW(pattern.c_str(), FindExInfoBasic, &data, FindExSearchNameMatch,
                                   nullptr, FIND_FIRST_EX_LARGE_FETCH);
  if (find == INVALID_HANDLE_VALUE) {
    const DWORD error = ::GetLastError();
    // An empty drive root has not even "." and "..".
    if (error == ERROR_FILE_NOT_FOUND || error == ERROR_NO_MORE_FILES) return 0;
    return static_cast<NativeError>(error);
  }
  struct Closer {
    HANDLE find;
    ~Closer() { ::FindClose(find); }
  } closer{find};
  do {
    const wchar_t* name = data.cFileName;
    if (name[0] == L'.' && (name[1] == L'\0' || (name[1] == L'.' && name[2] == L'\0'))) continue;
    // A link, junction or mounted volume is never entered; a folder whose reparse
    // point is no link (cloud files) is.
    const bool directory = walkedAsFolder(data.dwFileAttributes, data.dwReserved0);
    sink.entry(win32::narrow(name), directory);
  } while (::FindNextFileW(find, &data));
  const DWORD error = ::GetLastError();
  return error == ERROR_NO_MORE_FILES ? 0 : static_cast<NativeError>(error);
}

void shareAllocatorPools() {}

namespace {

DWORD WINAPI runThread(void* arg) {
  const std::unique_ptr<std::function<void()>> body(static_cast<std::function<void()>*>(arg));
  (*body)();
  return 0;
}

}  // namespace

bool startThread(std::function<void()> body, size_t stackBytes) {
  auto arg = std::make_unique<std::function<void()>>(std::move(body));
  HANDLE thread = ::CreateThread(nullptr, stackBytes, runThread, arg.get(),
                                 STACK_SIZE_PARAM_IS_A_RESERVATION, nullptr);
  if (thread == nullptr) return false;
  arg.release();  // the thread owns it now
  ::CloseHandle(thread);
  return true;
}

void atFork(void (*)(), void (*)(), void (*)()) {}

// Windows holds no handle for a kept directory.
size_t descriptorBudget() {
  return SIZE_MAX;
}

void reserveDescriptors(size_t) {}

}  // namespace platform::os
