// The mount table, read with libmount.
#include <fcntl.h>
#include <libmount.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <memory>

#include "platform/os/Os.h"

namespace platform::os {

namespace {

struct TableUnref {
  void operator()(libmnt_table* table) const { mnt_unref_table(table); }
};
struct IterFree {
  void operator()(libmnt_iter* iter) const { mnt_free_iter(iter); }
};
struct FileClose {
  void operator()(FILE* f) const { std::fclose(f); }
};

std::string orEmpty(const char* s) {
  return s ? s : "";
}

}  // namespace

// libmount reads /proc/self/mountinfo rows such as
//   61 26 8:17 /photos /srv/my\040photos rw,nosuid shared:34 - ext4 /dev/sdb1 rw
// (mount id, parent id, major:minor, root within the file system, mount point,
// options, optional fields up to "-", type, source) and undoes the octal escapes.
std::vector<MountRow> parseMountTable(std::string_view text) {
  std::vector<MountRow> rows;
  if (text.empty()) return rows;
  std::string copy(text);
  std::unique_ptr<FILE, FileClose> stream(fmemopen(copy.data(), copy.size(), "r"));
  std::unique_ptr<libmnt_table, TableUnref> table(mnt_new_table());
  std::unique_ptr<libmnt_iter, IterFree> iter(mnt_new_iter(MNT_ITER_FORWARD));
  if (!stream || !table || !iter) return rows;
  // A malformed line is skipped; the rest of the table still counts.
  mnt_table_set_parser_errcb(table.get(), [](libmnt_table*, const char*, int) { return 1; });
  if (mnt_table_parse_stream(table.get(), stream.get(), "mountinfo") != 0) return rows;
  libmnt_fs* fs = nullptr;
  while (mnt_table_next_fs(table.get(), iter.get(), &fs) == 0) {
    // libmount guesses the format from the first line; an fstab-like text has no
    // device numbers or roots, so only mountinfo rows are taken.
    if (!mnt_fs_is_kernel(fs) || !mnt_fs_get_target(fs)) continue;
    MountRow m;
    m.id = mnt_fs_get_id(fs);
    m.parentId = mnt_fs_get_parent_id(fs);
    const dev_t device = mnt_fs_get_devno(fs);
    m.major = major(device);
    m.minor = minor(device);
    m.root = orEmpty(mnt_fs_get_root(fs));
    m.target = mnt_fs_get_target(fs);
    m.fsType = orEmpty(mnt_fs_get_fstype(fs));
    m.source = orEmpty(mnt_fs_get_source(fs));
    m.netfs = mnt_fs_is_netfs(fs) != 0;
    m.pseudofs = mnt_fs_is_pseudofs(fs) != 0;
    rows.push_back(std::move(m));
  }
  return rows;
}

SystemDriveInfo systemDriveInfo() {
  SystemDriveInfo info;
  // /proc files report a size of 0: read to the end.
  std::string text;
  const int fd = ::open("/proc/self/mountinfo", O_RDONLY | O_CLOEXEC);
  if (fd >= 0) {
    char chunk[16384];
    for (;;) {
      const ssize_t n = ::read(fd, chunk, sizeof chunk);
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) break;
      text.append(chunk, static_cast<size_t>(n));
    }
    ::close(fd);
  }
  info.mounts = parseMountTable(text);
  info.sysfsRoot = "/sys";
  return info;
}

// statx must neither trigger an automount nor wait for a network server.
bool mountPointIsFolder(const std::string& hostPath) {
  if (hostPath == "/") return true;
  struct statx st {};
  if (::statx(AT_FDCWD, hostPath.c_str(),
              AT_SYMLINK_NOFOLLOW | AT_NO_AUTOMOUNT | AT_STATX_DONT_SYNC, STATX_TYPE, &st) != 0) {
    return true;
  }
  return S_ISDIR(st.stx_mode);
}

NativeError mountPointIdentity(const std::string& hostPath, Identity& out) {
  struct statx st {};
  if (::statx(AT_FDCWD, hostPath.c_str(),
              AT_SYMLINK_NOFOLLOW | AT_NO_AUTOMOUNT | AT_STATX_DONT_SYNC, STATX_INO | STATX_TYPE,
              &st) != 0) {
    return errno;
  }
  out = Identity{};
  out.device = makedev(st.stx_dev_major, st.stx_dev_minor);
  out.inode = st.stx_ino;
  return 0;
}

}  // namespace platform::os
