// Drive letters and the paths below them.
//
// A DriveTable is a snapshot: the lettered drives of the machine, their drive
// types as GetDriveTypeA reports them, the folders the walk must not cross into
// and the mounts without a letter that it walks as part of the drive holding
// them. It maps paths between the host and the view: on Linux from
// "/home/anna/Bild.jpg" to "C:\home\anna\Bild.jpg" (C: is the mount that holds
// "/"; the drives a scan covers follow as D:, E:, ... in the order of their mount
// points, then removable and CD-ROM drives, at most Z:); on Windows a view path is
// the host path, its letters the system's.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

#include "platform/text/PathBytes.h"

namespace platform {

namespace os {
struct MountRow;
}

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

struct MountProbe;

class DriveTable {
 public:
  DriveTable() = default;

  // The machine's drives as the system reports them now (its mount table, or its
  // lettered drives). Asks no drive anything that can block.
  static DriveTable fromSystem();
  // A table of given drives (tests); `mountPoints` are further mounts without a letter.
  static DriveTable fromDrives(std::vector<Drive> drives,
                               std::vector<std::string> mountPoints = {});

  // Lettered drives in letter order.
  const std::vector<Drive>& drives() const { return m_drives; }
  const Drive* byLetter(char letter) const;  // upper or lower case; nullptr if none

  // True when the walk must not enter `hostPath`: another drive or a mount that no
  // scan covers is mounted there, or the folder shows what another drive lists
  // already. "/" never.
  bool isMountPoint(std::string_view hostPath) const;
  // The length of the longest path isMountPoint knows: the folders of a deeper
  // tree need no lookup.
  size_t longestMountPoint() const { return m_longestMountPoint; }
  // True when a mount without a letter (a drive a scan covers, beyond Z:) is
  // mounted on `hostPath`: the walk of the drive holding it goes on into it.
  bool walksInto(std::string_view hostPath) const;

  // "/home/anna" -> "C:\home\anna"; a drive root gives "D:\". Names are mapped with
  // hostNameToView. A path below no lettered drive falls under C: ("/" is C:).
  // On Windows "c:/a//b" -> "C:\a\b"; a path below no drive is returned as it is.
  std::string hostToView(std::string_view hostPath) const;
  // "C:\home\anna" or "c:/home/anna" -> "/home/anna"; "D:" or "D:\" -> the mount
  // point of D:. nullopt for a path without a known drive letter (on Linux C: is
  // "/" even when the table has no drives).
  std::optional<std::string> viewToHost(std::string_view viewPath) const;

 private:
  // Builds the table of a mount table (MountTable.h).
  friend DriveTable drivesOfMounts(const std::vector<os::MountRow>& mounts,
                                   const std::string& sysDir, const MountProbe& probe);

  std::string posixHostToView(std::string_view hostPath) const;
  std::optional<std::string> posixViewToHost(std::string_view viewPath) const;
  std::string windowsHostToView(std::string_view hostPath) const;
  std::optional<std::string> windowsViewToHost(std::string_view viewPath) const;

  // Looked up once per subdirectory during a walk: no temporary string for it.
  using PathSet = std::unordered_set<std::string, pathbytes::TailHash, std::equal_to<>>;
  std::vector<Drive> m_drives;
  void addMountPoint(std::string hostPath);
  PathSet m_mountPoints;
  size_t m_longestMountPoint = 0;
  PathSet m_walkedInto;
};

// A view path whose host path is its own bytes below the drive's mount point, each
// "\" made "/" (Linux): in the lists' normal form, no escaped byte. The
// host path of its subdirectory `name` (no escaped byte either) is then its own
// host path, "/", name.
bool isPlainViewPath(std::string_view viewPath);
bool isPlainViewName(std::string_view name);

// Maps the view paths of a walk one after the other, as DriveTable::viewToHost
// does. Each differs from the last one only at its end, so where both are plain
// the host path of the part they share is taken over, not mapped again.
class ViewPathMapper {
 public:
  // The host path, valid until the next call; nullptr where viewToHost gives none.
  const std::string* map(const std::shared_ptr<const DriveTable>& table, std::string_view viewPath);

 private:
  bool m_plain = false;  // the last path was plain
  std::shared_ptr<const DriveTable> m_table;
  std::string m_view;
  std::string m_host;
  size_t m_hostBase = 0;  // where the view's names begin in m_host
};

// The process-wide snapshot that the kernel32 calls and the list controls use.
// It is read from the machine on first use; tests install their own.
const DriveTable& systemDrives();
// The same snapshot, for work that may outlive its replacement (the readers).
const std::shared_ptr<const DriveTable>& systemDrivesShared();
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
