// Drive letters over the Linux mount table.
//
// A DriveTable is a snapshot: the lettered drives of the machine (C: is always the
// root file system "/", the others follow as D:, E:, ... in the order of their mount
// points, at most Z:), their drive types as GetDriveTypeA reports them, and every
// mount point of the table (lettered or not) so that a walk can refuse to cross
// into another mount. It also maps paths between the host ("/home/anna/Bild.jpg")
// and the view ("C:\home\anna\Bild.jpg").
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

namespace platform {

enum DriveType : uint32_t {
  DRIVE_UNKNOWN = 0,
  DRIVE_NO_ROOT_DIR = 1,
  DRIVE_REMOVABLE = 2,
  DRIVE_FIXED = 3,
  DRIVE_REMOTE = 4,
  DRIVE_CDROM = 5,
  DRIVE_RAMDISK = 6,
};

struct Drive {
  char letter = 'C';       // 'C'..'Z'
  std::string mountPoint;  // host path, "/" or "/mnt/data" (no trailing slash)
  DriveType type = DRIVE_FIXED;
  std::string fsType;  // "ext4", "nfs4", ...
  std::string source;  // "/dev/sda1", "server:/export", ...
};

class DriveTable {
 public:
  DriveTable() = default;

  // Reads a mount table in /proc/self/mountinfo form with libmount and classifies
  // every mount; `sysDir` is the sysfs root ("/sys"), consulted for removable
  // block devices. A table that cannot be read gives a table without drives.
  static DriveTable fromMountInfo(const std::string& mountInfoPath,
                                  const std::string& sysDir = "/sys");
  // The machine's table: /proc/self/mountinfo and /sys.
  static DriveTable fromSystem();
  // A table of given drives (tests); `mountPoints` are further mounts without a letter.
  static DriveTable fromDrives(std::vector<Drive> drives,
                               std::vector<std::string> mountPoints = {});

  // Lettered drives in letter order.
  const std::vector<Drive>& drives() const { return m_drives; }
  const Drive* byLetter(char letter) const;  // upper or lower case; nullptr if none

  // True when something is mounted on `hostPath` (lettered or not), "/" excepted.
  bool isMountPoint(std::string_view hostPath) const;

  // "/home/anna" -> "C:\home\anna"; a drive root gives "D:\". Names are mapped with
  // hostNameToView. A path below no lettered drive falls under C: ("/" is C:).
  std::string hostToView(std::string_view hostPath) const;
  // "C:\home\anna" or "c:/home/anna" -> "/home/anna"; "D:" or "D:\" -> the mount
  // point of D:. nullopt for a path without a known drive letter.
  std::optional<std::string> viewToHost(std::string_view viewPath) const;

 private:
  // Looked up once per subdirectory during a walk: no temporary string for it.
  struct PathHash {
    using is_transparent = void;
    size_t operator()(std::string_view s) const { return std::hash<std::string_view>{}(s); }
  };
  std::vector<Drive> m_drives;
  std::unordered_set<std::string, PathHash, std::equal_to<>> m_mountPoints;
};

// The process-wide snapshot that the kernel32 calls and the list controls use.
// It is read from the machine on first use; tests install their own.
const DriveTable& systemDrives();
void setSystemDrives(DriveTable table);
// Re-reads the machine's table (what a fresh GetLogicalDriveStringsA sees).
void reloadSystemDrives();
// True once a table was installed: the kernel32 calls then answer from it.
bool systemDrivesInstalled();

// kernel32 as the program calls it. GetLogicalDriveStringsA writes "C:\<NUL>D:\<NUL>
// ...<NUL>" into the buffer when it fits and returns the length written without
// the final NUL; when it does not fit it writes nothing and returns the length it
// needs. GetDriveTypeA answers for "X:\" (or "X:"); DRIVE_NO_ROOT_DIR for an
// unknown letter or a malformed root.
uint32_t GetLogicalDriveStringsA(uint32_t nBufferLength, char* lpBuffer);
uint32_t GetDriveTypeA(const char* lpRootPathName);

}  // namespace platform
