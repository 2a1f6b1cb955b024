// What waits to be read ahead of the walk, in the walk's order, and the bounds on
// what is read and not yet taken. No threads of its own: every operation is called
// with the pool's lock held (ReaderPool::m).
//
// - Once a directory is read, its subdirectories join the queue as one group, the
//   one the walk enters first at the back. Groups come out in the walk's order
//   (WalkOrder), and so do the siblings within a group, so the heap holds one entry
//   per directory read, not one per subdirectory.
// - A drive root's folders that the walk enters last (kEarlyFolders) are read first
//   while the drives answer from memory: a big one (a folder of 50,000 files) read
//   in its turn kept one reader busy at the very end of a warm scan while the others
//   had nothing left and the walk waited (5 to 8 % of the scan).
// - Bounds: at most `limit` listings (the pacing's) and kMaxAheadBytes of names
//   and paths are read ahead and not yet taken. When the walk has to ask for a
//   folder still queued (it is "behind"), twice the listings; and when it asks
//   while the readers are held back at the bound, the readers get credit for two
//   reads a reader past it: what fills the bound then lies far along the walk
//   (read while the folders it enters next were not known yet), and without the
//   credit the walk read each folder of a cold disk itself, one after the other
//   (2.2 s instead of 0.9 s in one cold round of six).
// - Readers held back at the bounds start again once the walk has taken half of
//   what waits: in runs, not with a wake-up for every directory.
//
// Tasks leave the queue by being read ahead (next), taken by the walk (take), or
// dropped (dropDrive, clear).
#pragma once

#include <cstddef>
#include <memory>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "platform/reading/ReadTask.h"
#include "platform/text/PathBytes.h"

namespace platform {

class ReadAheadQueue {
 public:
  // Names and paths read ahead and not yet taken, at most: 4 MiB keeps a headless
  // scan's peak near 20 MiB (23 MiB cold) against its budget of 32 MiB; a bound
  // of bytes of its own for the early folders made no measurable difference.
  static constexpr size_t kMaxAheadBytes = size_t{4} << 20;
  // A drive root's folders read first (see above).
  static constexpr size_t kEarlyFolders = 32;

  // Adds the subdirectory tasks of `parent`, just read, unless a task of the same
  // host path waits already. Returns how many joined.
  size_t add(ReadTask& parent);
  // The next task to read ahead, counted against the bounds, or nullptr when none
  // is queued or the bounds allow none now. `earlyFoldersFirst`: the drives answer
  // steadily from memory (DrivePacing::steadilyFromMemory).
  std::shared_ptr<ReadTask> next(size_t limit, bool earlyFoldersFirst);
  // A read-ahead task has finished: its bytes count while it waits to be taken.
  void finished(ReadTask& task);

  // What the walk asking for `host` found: the task (null when none was queued)
  // and whom that wakes.
  enum class Wake { None, OneReader, AllReaders };
  struct Taken {
    std::shared_ptr<ReadTask> task;
    Wake wake = Wake::None;
  };
  // Takes the task of `host` out of the queue for the walk. A task still queued
  // stays queued in the heap (it is read on demand now, and passed over there).
  // `readers`: the readers wanted now.
  Taken take(std::string_view host, size_t limit, unsigned readers);

  // A reader went idle while tasks wait but the bounds allow none.
  void holdBack() { m_heldBack = true; }
  bool hasQueued() const { return !m_heap.empty(); }

  // Drops every task of the drive: those queued are never read, those read are
  // never taken, and none counts against the bounds any more.
  void dropDrive(char drive);
  // The walk ended: drops every task.
  void clear();
  // Tasks taken on demand stay in the heap until they come to its top: when they
  // outnumber the waiting ones, the heap is made anew without them.
  void compact();

  size_t countAhead() const { return m_count; }
  size_t bytesAhead() const { return m_bytes; }
  size_t known() const { return m_known.size(); }

 private:
  using Siblings = std::vector<std::shared_ptr<ReadTask>>;
  static bool heapLess(const Siblings& a, const Siblings& b);
  std::shared_ptr<ReadTask> countIn(std::shared_ptr<ReadTask> t, size_t count);
  void release(ReadTask& t);

  std::vector<Siblings> m_heap;  // the group whose next task the walk enters first on top
  size_t m_inHeap = 0;           // tasks in the heap, those taken on demand since among them
  Siblings m_earlyFolders;       // the last one at the back
  // Every task queued or read ahead and not taken, by host path; each key is its
  // task's own request.host, which stays as it is while the task is here.
  std::unordered_map<std::string_view, std::shared_ptr<ReadTask>, pathbytes::TailHash> m_known;
  size_t m_count = 0;       // read-ahead tasks running or done and not taken
  size_t m_bytes = 0;       // their bytes, once done
  size_t m_credit = 0;      // reads allowed past the bound of listings
  bool m_heldBack = false;  // a reader went idle at the bounds
  bool m_behind = false;    // the walk asked for a folder still waiting to be read
};

}  // namespace platform
