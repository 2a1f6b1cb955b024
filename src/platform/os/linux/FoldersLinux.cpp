// The user's own folders on Linux: the environment, the passwd entry, access(),
// mkdir().
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <vector>

#include "platform/os/Os.h"

namespace platform::os {

namespace {

bool isFolder(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

}  // namespace

UserDataPlaces userDataPlaces() {
  UserDataPlaces places;
  if (const char* xdg = std::getenv("XDG_DATA_HOME")) places.xdgDataHome = xdg;
  if (const char* home = std::getenv("HOME"); home && *home) {
    places.home = home;
    return places;
  }
  std::vector<char> buffer(16384);
  passwd entry{};
  passwd* found = nullptr;
  if (::getpwuid_r(::getuid(), &entry, buffer.data(), buffer.size(), &found) == 0 && found &&
      found->pw_dir)
    places.home = found->pw_dir;
  return places;
}

bool mayCreateFilesIn(const std::string& hostPath) {
  // Creating a file takes write and search permission on the folder.
  return isFolder(hostPath) && ::access(hostPath.c_str(), W_OK | X_OK) == 0;
}

NativeError createFolders(const std::string& hostPath) {
  if (!hostPath.starts_with('/')) return ENOENT;
  for (size_t end = hostPath.find('/', 1);; end = hostPath.find('/', end + 1)) {
    const std::string part = hostPath.substr(0, end);
    // Existing folders are passed over first: mkdir would say EACCES or EROFS for
    // some of them ("/home") rather than EEXIST.
    if (!part.ends_with('/') && !isFolder(part) && ::mkdir(part.c_str(), 0700) != 0 &&
        errno != EEXIST)
      return errno;
    if (end == std::string::npos) break;
  }
  return isFolder(hostPath) ? 0 : ENOTDIR;
}

}  // namespace platform::os
