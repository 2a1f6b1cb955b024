// Reading host directories for the drive, directory and file lists.
//
// One read of a directory gives both its subdirectories and its files, sorted
// alphabetically without regard to case. Subdirectories are real directories of
// the same drive; files are every other entry (links are never followed, hidden
// entries are listed). Names are view names (hostNameToView).
//
// The listings are kept and reused by the ListingCache (ListingCache.h) while a
// directory is unchanged; these functions are what the lists call.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/NameList.h"

namespace platform {

struct DirectoryListing {
  NameList subdirs;
  NameList files;
  // The directory's identity when it was read: an unchanged identity means
  // unchanged entries (device and inode are 0 where the system gives none).
  uint64_t device = 0;
  uint64_t inode = 0;
  int64_t mtimeNs = 0;
  int64_t ctimeNs = 0;
  uint64_t mountId = 0;  // 0 where the system gives none
  // On the drive's own local disk file system (ext4, xfs, btrfs, tmpfs): asking an
  // open directory's identity there reads what the system holds in memory, and
  // never waits for a device or a server.
  bool local = false;
  // The epoch in which it was last checked against the disk.
  uint64_t checkedEpoch = 0;
};

// Normalises a view path as the lists show it: "C:\" for a root, no final "\"
// otherwise, upper-case letter, "/" taken as "\". "X:" alone names the drive's
// current directory. A relative path is taken relative to `base`, a path in this
// form (the list's own). Raises 76 for a path without a drive that cannot be
// resolved.
std::string normalizeViewPath(const std::string& path, const std::string& base);
// True when `path` is in that form already (`base` as there).
bool isNormalViewPath(const std::string& path, const std::string& base);

// The current directory of a drive: the process's working directory when it lies
// on that drive, else the drive's root.
std::string driveCurrentDirectory(char letter);

// The process's working directory as a view path ("C:\" when it cannot be read).
std::string currentDirectoryView();

// Lists a directory through the process's listing cache, reusing a kept listing
// while the directory is unchanged. Raises 419 when the directory may not be
// read, 76 when it does not exist (or is not a directory), 68 when its drive is
// unknown, other numbers as the system call failed. `reread` forces a fresh read.
// May block on a drive that does not answer.
std::shared_ptr<const DirectoryListing> listDirectory(const std::string& viewPath,
                                                      bool reread = false);

// A new yield began: kept listings are checked against the disk again before reuse.
void nextDirectoryEpoch();
uint64_t directoryEpoch();
// A listing checked against the disk since the last yield.
inline bool listingIsCurrent(const DirectoryListing& listing) {
  return listing.checkedEpoch == directoryEpoch();
}

// Counters for tests and the benchmark.
struct DirectoryStats {
  uint64_t reads = 0;   // directories read from disk
  uint64_t reuses = 0;  // listings served from the kept ones
};
DirectoryStats directoryStats();

}  // namespace platform
