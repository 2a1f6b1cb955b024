// Drive discovery over a mount table (Linux): the drive tables it builds, and the
// pieces of it that the tests look at one by one.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/drives/Drives.h"
#include "platform/os/Os.h"

namespace platform {

// What drive discovery asks the machine about the mount points of a table (tests
// answer for a sample machine's table). `isFolder`: whether a mount point is a
// folder (a mounted file is no drive root). `identity`: the device and inode of
// the folder at a path, 0 on success; where it cannot be asked, two mounts of a
// local file system that the table shows as the same folder count as the same
// unless the folder is not found. A share is never asked (a lookup inside it waits
// for its server): two of its mounts are the same folder when the table gives both
// the same source and root (NFSv3 shows every export of one server file system as
// "/", each under its own source).
struct MountProbe {
  std::function<bool(const std::string& hostPath)> isFolder;
  std::function<int(const std::string& hostPath, uint64_t& device, uint64_t& inode)> identity;
  static MountProbe machine();
};

// Classifies every mount of a mount table and gives the drives their letters;
// `sysDir` is the sysfs root ("/sys"), consulted for removable block devices. The
// table as /proc/self/mountinfo text, as parsed rows, or as the path of a file
// holding it; a file that cannot be read gives a table without drives.
DriveTable drivesOfMountTable(std::string_view text, const std::string& sysDir,
                              const MountProbe& probe = MountProbe::machine());
DriveTable drivesOfMounts(const std::vector<os::MountRow>& mounts, const std::string& sysDir,
                          const MountProbe& probe = MountProbe::machine());
DriveTable drivesOfMountInfoFile(const std::string& mountInfoPath,
                                 const std::string& sysDir = "/sys");

namespace mounts {

// True when `ancestor` is `path` or one of its folders, compared by whole components.
bool isPathPrefix(std::string_view ancestor, std::string_view path);

// Where the walk of mount `walked` shows the folder that mount `shown` shows: the
// host path inside `walked`, or nothing when it never does. It does when both
// mount one device, the folder of `walked` (its root) holds that of `shown`, and
// no mount lies on the way from `walked`'s mount point down to that path (the
// path itself included): `isMounted` tells which paths have something mounted on
// them (or are left out of the walk). The directories themselves are not asked.
std::optional<std::string> whereWalkShows(const os::MountRow& shown, const os::MountRow& walked,
                                          const std::function<bool(std::string_view)>& isMounted);

}  // namespace mounts

}  // namespace platform
