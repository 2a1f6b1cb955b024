#include "app/cdsubs.h"

#include "platform/drives/Drives.h"

namespace app {

std::vector<std::string> ListScanDrives() {
  // 255 characters, every one NUL; what the call does not fill stays NUL.
  std::string buffer(255, '\0');
  platform::GetLogicalDriveStringsA(255, buffer.data());

  // Up to and including the last backslash: that drops the trailing NULs.
  const size_t last = buffer.rfind('\\');
  const std::string text = last == std::string::npos ? std::string() : buffer.substr(0, last + 1);

  std::vector<std::string> result;
  if (text.empty()) return result;
  size_t pos = 0;
  for (;;) {
    const size_t end = text.find('\0', pos);
    const std::string piece =
        text.substr(pos, end == std::string::npos ? std::string::npos : end - pos);
    const uint32_t type = platform::GetDriveTypeA(piece.c_str());
    if (type == platform::DRIVE_FIXED || type == platform::DRIVE_REMOTE) result.push_back(piece);
    if (end == std::string::npos) break;
    pos = end + 1;
  }
  return result;
}

}  // namespace app
