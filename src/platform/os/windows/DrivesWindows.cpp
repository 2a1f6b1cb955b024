// The lettered drives of Windows, from kernel32.
#include "platform/os/Os.h"
#include "platform/os/windows/Wide.h"

namespace platform::os {

SystemDriveInfo systemDriveInfo() {
  SystemDriveInfo info;
  wchar_t buffer[512] = {};
  const DWORD n = ::GetLogicalDriveStringsW(static_cast<DWORD>(std::size(buffer) - 1), buffer);
  for (const wchar_t* root = buffer; n > 0 && n < std::size(buffer) && *root;
       root += wcslen(root) + 1) {
    const wchar_t c = root[0];
    if (!((c >= L'A' && c <= L'Z') || (c >= L'a' && c <= L'z'))) continue;
    info.letters.push_back(LetteredDrive{static_cast<char>(c), ::GetDriveTypeW(root)});
  }
  return info;
}

// Windows has no mount table.
std::vector<MountRow> parseMountTable(std::string_view) {
  return {};
}
bool mountPointIsFolder(const std::string&) {
  return true;
}
NativeError mountPointIdentity(const std::string&, Identity&) {
  return ERROR_NOT_SUPPORTED;
}

}  // namespace platform::os
