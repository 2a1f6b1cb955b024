#include "platform/drives/ViewPath.h"

#include <cctype>
#include <vector>

#include "platform/Error.h"
#include "platform/drives/Drives.h"
#include "platform/os/Os.h"
#include "platform/text/PathBytes.h"
#include "platform/text/Text.h"

namespace platform {

bool isNormalViewPath(const std::string& path, const std::string& base) {
  // The walk's paths are in normal form already and differ from the list's own
  // path only at their ends: only those are looked at.
  return pathbytes::isNormalViewPath(path, pathbytes::commonPrefix(path, base));
}

std::string normalizeViewPath(const std::string& path, const std::string& base) {
  if (isNormalViewPath(path, base)) return path;
  std::string p = Replace(path, "/", "\\");
  std::string start;
  if (p.size() >= 2 && p[1] == ':' && std::isalpha(static_cast<unsigned char>(p[0]))) {
    const char letter = static_cast<char>(std::toupper(static_cast<unsigned char>(p[0])));
    if (p.size() >= 3 && p[2] == '\\') {
      start = p;
      start[0] = letter;
    } else {
      start = driveCurrentDirectory(letter) + "\\" + p.substr(2);
    }
  } else if (!p.empty() && p[0] == '\\') {
    if (base.size() < 2) raiseError(err::kPathNotFound, path);
    start = base.substr(0, 2) + p;
  } else {
    if (base.size() < 2) raiseError(err::kPathNotFound, path);
    start = base + "\\" + p;
  }
  // Resolve the components after "X:\".
  std::vector<std::string> parts;
  size_t pos = 3;
  while (pos <= start.size()) {
    size_t end = start.find('\\', pos);
    if (end == std::string::npos) end = start.size();
    std::string part = start.substr(pos, end - pos);
    if (part == "..") {
      if (!parts.empty()) parts.pop_back();
    } else if (!part.empty() && part != ".") {
      parts.push_back(std::move(part));
    }
    pos = end + 1;
  }
  std::string result = start.substr(0, 3);
  for (size_t i = 0; i < parts.size(); ++i) {
    if (i > 0) result += '\\';
    result += parts[i];
  }
  return result;
}

std::string currentDirectoryView() {
  const std::string cwd = os::currentDirectory();
  if (cwd.empty()) return "C:\\";
  return systemDrives().hostToView(cwd);
}

std::string driveCurrentDirectory(char letter) {
  const char upper = static_cast<char>(letter >= 'a' && letter <= 'z' ? letter - 32 : letter);
  const std::string root = std::string(1, upper) + ":\\";
  const std::string cwd = os::currentDirectory();
  if (cwd.empty()) return root;
  const std::string view = systemDrives().hostToView(cwd);
  // Only a folder that really lies on the drive (it maps back to itself).
  if (view.size() < 2 || view[0] != upper || systemDrives().viewToHost(view) != cwd) return root;
  return view;
}

}  // namespace platform
