// Files over CreateFileW, ReadFile, WriteFile, FlushFileBuffers and MoveFileExW.
#include <algorithm>

#include "platform/os/Os.h"
#include "platform/os/windows/Wide.h"

namespace platform::os {

namespace {

HANDLE handleOf(const File& file) {
  return reinterpret_cast<HANDLE>(file.m_handle);
}

NativeError adopt(HANDLE h, File& out) {
  if (h == INVALID_HANDLE_VALUE) return static_cast<NativeError>(::GetLastError());
  out.m_handle = reinterpret_cast<intptr_t>(h);
  return 0;
}

NativeError lastError() {
  return static_cast<NativeError>(::GetLastError());
}

}  // namespace

NativeError createFile(const std::string& hostPath, File& out) {
  return adopt(::CreateFileW(win32::longPath(hostPath).c_str(), GENERIC_WRITE, FILE_SHARE_READ,
                             nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr),
               out);
}

NativeError createNewFile(const std::string& hostPath, File& out) {
  // CREATE_NEW fails on any existing entry, a link included. The folder's
  // permissions decide who else may read it; no other process may open it while
  // it is being written.
  return adopt(::CreateFileW(win32::longPath(hostPath).c_str(), GENERIC_WRITE, FILE_SHARE_READ,
                             nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr),
               out);
}

NativeError openFile(const std::string& hostPath, File& out) {
  return adopt(::CreateFileW(win32::longPath(hostPath).c_str(), GENERIC_READ,
                             FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                             FILE_ATTRIBUTE_NORMAL, nullptr),
               out);
}

NativeError readFile(File& file, char* buffer, size_t size, size_t& got) {
  DWORD n = 0;
  const DWORD chunk = static_cast<DWORD>(std::min<size_t>(size, 1u << 30));
  if (!::ReadFile(handleOf(file), buffer, chunk, &n, nullptr)) return lastError();
  got = n;
  return 0;
}

NativeError writeFile(File& file, std::string_view data) {
  while (!data.empty()) {
    const DWORD chunk = static_cast<DWORD>(std::min<size_t>(data.size(), 1u << 30));
    DWORD written = 0;
    if (!::WriteFile(handleOf(file), data.data(), chunk, &written, nullptr)) return lastError();
    data.remove_prefix(written);
  }
  return 0;
}

NativeError flushToDisk(File& file) {
  return ::FlushFileBuffers(handleOf(file)) ? 0 : lastError();
}

NativeError closeFile(File& file) {
  if (!file.isOpen()) return 0;
  const HANDLE h = handleOf(file);
  file.m_handle = -1;
  return ::CloseHandle(h) ? 0 : lastError();
}

NativeError renameReplacing(const std::string& from, const std::string& to) {
  return ::MoveFileExW(win32::longPath(from).c_str(), win32::longPath(to).c_str(),
                       MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)
             ? 0
             : lastError();
}

// MOVEFILE_WRITE_THROUGH makes the rename durable already.
NativeError syncFolder(const std::string&) {
  return 0;
}

}  // namespace platform::os
