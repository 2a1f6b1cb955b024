#include "HostListing.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fstream>
#include <iterator>
#include <sstream>

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

// The characters of the Windows-1252 bytes 0x80..0x9F. The five bytes the code
// page leaves unused stand, as on Windows, for the C1 controls of their value.
constexpr char32_t kHigh1252[32] = {0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
                                    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

char byteIn1252(char32_t c) {
  if (c < 0x80 || (c >= 0xA0 && c <= 0xFF)) return static_cast<char>(c);
  const auto* at = std::find(std::begin(kHigh1252), std::end(kHigh1252), c);
  return at == std::end(kHigh1252) ? '?' : static_cast<char>(0x80 + (at - kHigh1252));
}

// The length of the valid UTF-8 sequence at `i` (its character in `c`), 0 where
// none starts there: no overlong forms, surrogates or values beyond U+10FFFF.
size_t utf8At(std::string_view s, size_t i, char32_t& c) {
  const auto b = static_cast<unsigned char>(s[i]);
  const size_t n = b < 0x80 ? 1 : b < 0xC2 ? 0 : b < 0xE0 ? 2 : b < 0xF0 ? 3 : b < 0xF5 ? 4 : 0;
  if (n == 0 || i + n > s.size()) return 0;
  c = n == 1 ? b : b & (0x7F >> n);
  for (size_t k = 1; k < n; ++k) {
    const auto t = static_cast<unsigned char>(s[i + k]);
    if ((t & 0xC0) != 0x80) return 0;
    c = (c << 6) | (t & 0x3F);
  }
  constexpr char32_t kLeast[] = {0, 0, 0x80, 0x800, 0x10000};
  return c < kLeast[n] || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF) ? 0 : n;
}

class Walker {
 public:
  // `mountId`: the mount of the starting folder, 0 where the kernel gives none.
  Walker(Listing& listing, dev_t device, uint64_t mountId, const std::set<std::string>& mounts)
      : m_listing(listing), m_device(device), m_mountId(mountId), m_mounts(mounts) {}

  // `fd` is an open descriptor of the folder; it is closed here.
  void walk(int fd, const std::string& hostPath, const std::string& logPath) {
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
        m_listing.lines.push_back(logPath + "\\" + nameInLog(name));
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
      walk(child, childHost, logPath + "\\" + nameInLog(name));
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

// A row: id, parent, device, root, mount point, options, optional fields up to
// "-", type, source, super options.
std::vector<TableRow> mountTable() {
  std::vector<TableRow> rows;
  std::ifstream in("/proc/self/mountinfo");
  for (std::string line; std::getline(in, line);) {
    std::istringstream fields(line);
    std::string id, parent, device, root, target, options, field, type, source;
    if (!(fields >> id >> parent >> device >> root >> target >> options)) continue;
    while (fields >> field && field != "-") {
    }
    if (fields >> type >> source)
      rows.push_back({unescapeOctal(target), type, unescapeOctal(source)});
  }
  return rows;
}

std::set<std::string> mountPoints() {
  std::set<std::string> result;
  for (const TableRow& row : mountTable()) result.insert(row.target);
  return result;
}

std::string nameInLog(std::string_view hostName) {
  std::string out;
  for (size_t i = 0; i < hostName.size();) {
    char32_t c = 0;
    const size_t n = utf8At(hostName, i, c);
    if (n > 0 && c >= 0x20 && c != 0x7F && c != '\\' && (c < 0xF000 || c > 0xF0FF)) {
      out += byteIn1252(c);
      i += n;
      continue;
    }
    for (const size_t end = i + std::max<size_t>(n, 1); i < end; ++i) {
      const auto b = static_cast<unsigned char>(hostName[i]);
      out += b >= 0xA0 || (b >= 0x80 && kHigh1252[b - 0x80] >= 0xA0) ? static_cast<char>(b) : '?';
    }
  }
  return out;
}

Listing listFilesAsLogLines(const std::string& hostFolder, const std::string& logFolder) {
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
  Walker(listing, st.st_dev, mountId, mounts).walk(fd, hostFolder, logFolder);
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
