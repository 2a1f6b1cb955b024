// The listing of a host directory, as the drive, directory and file lists read it.
//
// One read of a directory gives both its subdirectories and its files, sorted
// alphabetically without regard to case. Subdirectories are real directories of
// the same drive; files are every other entry (links are never followed, hidden
// entries are listed). Names are view names (hostNameToView).
//
// The listings are kept and reused by the ListingCache (ListingCache.h) while a
// directory is unchanged; listDirectory is what the lists call.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/runtime/Runtime.h"
#include "platform/text/NameList.h"

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

// Lists a directory through the process's listing cache, reusing a kept listing
// while the directory is unchanged. Raises 419 when the directory may not be
// read, 76 when it does not exist (or is not a directory), 68 when its drive is
// unknown, other numbers as the system call failed. `reread` forces a fresh read.
// May block on a drive that does not answer.
std::shared_ptr<const DirectoryListing> listDirectory(const std::string& viewPath,
                                                      bool reread = false);

// A listing checked against the disk since the last yield or user action.
inline bool listingIsCurrent(const DirectoryListing& listing) {
  return listing.checkedEpoch == yieldEpoch();
}

// Counters for tests and the benchmark.
struct DirectoryStats {
  uint64_t reads = 0;   // directories read from disk
  uint64_t reuses = 0;  // listings served from the kept ones
};
DirectoryStats directoryStats();

}  // namespace platform
