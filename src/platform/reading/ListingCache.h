// The listing cache: the listings of the directories on the walk's current path.
//
// The walk points its lists at the same directories again and again (each level
// returns to its own directory before every visit), so a listing is kept while its
// directory is on the current path and reused while the directory is unchanged:
// within one epoch without asking the disk at all (a yield or a user action begins
// a new epoch), after that when its identity (device, inode, modification and
// change times) is the same. Memory stays bounded by the entries of the
// directories on the current path.
//
// While the descriptor budget (DescriptorBudget::process()) allows, each kept
// directory stays open, so that a child is opened relative to it and a check costs
// one fstat: paths are never resolved from the root again, however deep the tree. When the budget
// runs out the outermost kept directories give their descriptors up and get them back through ".."
// on the way out.
//
// Every call that can wait on a drive (reads, checks, "..") runs on the reader
// threads (DirectoryReaders.h): the cache itself only keeps the books.
#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/os/Os.h"
#include "platform/reading/DirectoryListing.h"
#include "platform/reading/DirectoryReaders.h"

namespace platform {

class DriveTable;

class ListingCache {
 public:
  ListingCache() = default;

  // The listing of the directory at `host` (named `viewPath` in errors). Leaves
  // the kept listings of every directory that is not `host` or one of its
  // ancestors. Raises as listDirectory does. `drives` stays alive for as long as a
  // reader may still use it.
  std::shared_ptr<const DirectoryListing> list(const std::string& viewPath, const std::string& host,
                                               bool reread,
                                               const std::shared_ptr<const DriveTable>& drives);

  const DirectoryStats& stats() const { return m_stats; }

 private:
  struct Kept {
    std::shared_ptr<DirectoryListing> listing;
    size_t pathLength = 0;  // its host path is the first pathLength bytes of m_keptPath
    std::shared_ptr<const SharedDirectory> dir;  // open while the budget allows
  };

  std::string_view keptPath(const Kept& k) const;
  void popKept(const std::string& viewPath, std::string_view host);

  // The directories on the current path, outermost first: each is an ancestor of
  // the next, so one string (the innermost one's host path) serves them all.
  std::vector<Kept> m_kept;
  std::string m_keptPath;
  DirectoryStats m_stats;
  DirectoryReaders& m_readers = DirectoryReaders::process();
};

}  // namespace platform
