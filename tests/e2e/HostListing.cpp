#include "HostListing.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fstream>
#include <sstream>

#include "platform/Text.h"

namespace e2e {

namespace {

// Mount points in the table are written with octal escapes ("\040" for a blank).
std::string unescapeOctal(const std::string& s) {
  std::string out;
  for (size_t i = 0; i < s.size(); ++i) {
    if (s[i] == '\\' && i + 3 < s.size() && s[i + 1] >= '0' && s[i + 1] <= '3' && s[i + 2] >= '0' &&
        s[i + 2] <= '7' && s[i + 3] >= '0' && s[i + 3] <= '7') {
      out += static_cast<char>((s[i + 1] - '0') * 64 + (s[i + 2] - '0') * 8 + (s[i + 3] - '0'));
      i += 3;
    } else {
      out += s[i];
    }
  }
  return out;
}

class Walker {
 public:
  // `mountId`: the mount of the starting folder, 0 where the kernel gives none.
  Walker(Listing& listing, dev_t device, uint64_t mountId, const std::set<std::string>& mounts)
      : m_listing(listing), m_device(device), m_mountId(mountId), m_mounts(mounts) {}

  // `fd` is an open descriptor of the folder; it is closed here.
  void walk(int fd, const std::string& hostPath, const std::string& viewPath) {
    DIR* dir = ::fdopendir(fd);
    if (!dir) {
      m_listing.problems.push_back(hostPath + ": " + std::strerror(errno));
      ::close(fd);
      return;
    }
    std::vector<std::pair<std::string, std::string>> subdirs;  // host name, host path
    errno = 0;
    while (const dirent* entry = ::readdir(dir)) {
      const std::string name = entry->d_name;
      if (name == "." || name == "..") continue;
      struct stat st {};
      if (::fstatat(::dirfd(dir), name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) {
        // Gone since the folder was read.
        errno = 0;
        continue;
      }
      const std::string childHost = hostPath + "/" + name;
      if (S_ISDIR(st.st_mode)) {
        if (sameMount(::dirfd(dir), name, st) && !m_mounts.contains(childHost)) {
          subdirs.emplace_back(name, childHost);
        }
      } else {
        m_listing.lines.push_back(
            platform::toAnsi(viewPath + "\\" + platform::hostNameToView(name)));
      }
      errno = 0;
    }
    if (errno != 0) m_listing.problems.push_back(hostPath + ": " + std::strerror(errno));
    for (const auto& [name, childHost] : subdirs) {
      const int child =
          ::openat(::dirfd(dir), name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
      if (child < 0) {
        if (errno != ENOENT) m_listing.problems.push_back(childHost + ": " + std::strerror(errno));
        continue;
      }
      walk(child, childHost, viewPath + "\\" + platform::hostNameToView(name));
    }
    ::closedir(dir);
  }

 private:
  // A btrfs subvolume has a device of its own but belongs to its folder's mount:
  // the mount id tells, where the kernel gives one.
  bool sameMount(int dirFd, const std::string& name, const struct stat& st) const {
    struct statx sx {};
    if (m_mountId != 0 &&
        ::statx(dirFd, name.c_str(), AT_SYMLINK_NOFOLLOW, STATX_MNT_ID, &sx) == 0 &&
        (sx.stx_mask & STATX_MNT_ID)) {
      return sx.stx_mnt_id == m_mountId;
    }
    return st.st_dev == m_device;
  }

  Listing& m_listing;
  dev_t m_device;
  uint64_t m_mountId;
  const std::set<std::string>& m_mounts;
};

}  // namespace

std::set<std::string> mountPoints() {
  std::set<std::string> result;
  std::ifstream in("/proc/self/mountinfo");
  std::string line;
  while (std::getline(in, line)) {
    std::istringstream fields(line);
    std::string id, parent, device, root, mountPoint;
    if (fields >> id >> parent >> device >> root >> mountPoint) {
      result.insert(unescapeOctal(mountPoint));
    }
  }
  return result;
}

Listing listFilesAsLogLines(const std::string& hostFolder, const std::string& viewFolder) {
  Listing listing;
  const int fd = ::open(hostFolder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) {
    listing.problems.push_back(hostFolder + ": " + std::strerror(errno));
    return listing;
  }
  struct stat st {};
  ::fstat(fd, &st);
  const std::set<std::string> mounts = mountPoints();
  struct statx sx {};
  const uint64_t mountId =
      ::statx(fd, "", AT_EMPTY_PATH, STATX_MNT_ID, &sx) == 0 && (sx.stx_mask & STATX_MNT_ID)
          ? sx.stx_mnt_id
          : 0;
  Walker(listing, st.st_dev, mountId, mounts).walk(fd, hostFolder, viewFolder);
  std::sort(listing.lines.begin(), listing.lines.end());
  return listing;
}

Difference compareSorted(const std::vector<std::string>& a, const std::vector<std::string>& b) {
  Difference d;
  size_t i = 0, j = 0;
  while (i < a.size() || j < b.size()) {
    if (j == b.size() || (i < a.size() && a[i] < b[j])) {
      ++d.onlyInA[a[i++]];
    } else if (i == a.size() || b[j] < a[i]) {
      ++d.onlyInB[b[j++]];
    } else {
      ++i;
      ++j;
    }
  }
  return d;
}

}  // namespace e2e
