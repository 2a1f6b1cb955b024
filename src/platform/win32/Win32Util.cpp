#include "platform/win32/Win32Util.h"
#include "platform/Error.h"

namespace platform::win32 {

std::wstring widen(std::string_view utf8) {
  if (utf8.empty()) return {};
  const int size = static_cast<int>(utf8.size());
  const int n = ::MultiByteToWideChar(CP_UTF8, 0, utf8.data(), size, nullptr, 0);
  std::wstring out(static_cast<size_t>(n), L'\0');
  ::MultiByteToWideChar(CP_UTF8, 0, utf8.data(), size, out.data(), n);
  return out;
}

std::string narrow(std::wstring_view utf16) {
  if (utf16.empty()) return {};
  const int size = static_cast<int>(utf16.size());
  const int n = ::WideCharToMultiByte(CP_UTF8, 0, utf16.data(), size, nullptr, 0, nullptr, nullptr);
  std::string out(static_cast<size_t>(n), '\0');
  ::WideCharToMultiByte(CP_UTF8, 0, utf16.data(), size, out.data(), n, nullptr, nullptr);
  return out;
}

std::wstring longPath(const std::string& path) {
  std::wstring wide = widen(path);
  for (wchar_t& ch : wide) {
    if (ch == L'/') ch = L'\\';
  }
  if (wide.starts_with(L"\\\\?\\")) return wide;
  if (wide.starts_with(L"\\\\")) return L"\\\\?\\UNC\\" + wide.substr(2);
  if (wide.size() >= 2 && wide[1] == L':') {
    if (wide.size() == 2) wide += L'\\';
    return L"\\\\?\\" + wide;
  }
  return wide;
}

int errorNumberFromWin32(DWORD error) {
  switch (error) {
    case ERROR_FILE_NOT_FOUND: return err::kFileNotFound;
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_NAME:
    case ERROR_BAD_PATHNAME:
    case ERROR_DIRECTORY:
    case ERROR_FILENAME_EXCED_RANGE: return err::kPathNotFound;
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
    case ERROR_WRITE_PROTECT: return err::kPathFileAccess;
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

}  // namespace platform::win32
