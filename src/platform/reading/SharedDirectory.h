// An open directory that the listing cache and the reads below it share, counted
// against the process's descriptor budget.
//
// The budget has one owner, DescriptorBudget::process(): every directory kept
// open for later reads (by the readers and by the listing cache alike) is one of
// its descriptors, and both ask it before they keep one. A directory that is not
// kept is closed when its read is done, and its children are opened from a kept
// ancestor or from their full path instead: running out of the budget costs time,
// never a listing.
//
// Threads: any. The counts are atomic; a directory let go of on a thread that is
// no reader is handed to the readers to close (closing frees what the system built
// for reading it, on ext4 the whole index of a big folder, and may wait on a drive).
#pragma once

#include <atomic>
#include <cstddef>
#include <memory>
#include <mutex>
#include <vector>

#include "platform/os/Os.h"

namespace platform {

struct LetGo;
class SharedDirectory;

class DescriptorBudget {
 public:
  // How many directories may be kept open at once.
  explicit DescriptorBudget(size_t limit) : m_limit(limit) {}

  // The process's budget: os::descriptorBudget(), asked once.
  static DescriptorBudget& process();

  // Keeps `dir` open, counted, while the budget has room; nullptr (and `dir`
  // closed with the caller's copy) when it has none.
  std::shared_ptr<const SharedDirectory> keep(os::Directory&& dir);
  // Room for one more kept directory.
  bool hasRoom() const { return open() < limit(); }
  size_t open() const { return m_open.load(std::memory_order_relaxed); }
  // The most directories open at once since the last reset (tests, the benchmark).
  size_t mostOpen() const { return m_mostOpen.load(std::memory_order_relaxed); }
  void resetMostOpen() { m_mostOpen.store(open(), std::memory_order_relaxed); }
  size_t limit() const { return m_limit.load(std::memory_order_relaxed); }
  // Tests: another limit.
  void setLimit(size_t limit) { m_limit.store(limit, std::memory_order_relaxed); }

 private:
  friend class SharedDirectory;
  friend void closeLetGo(std::vector<LetGo>& dirs);
  void taken();
  void released() { m_open.fetch_sub(1, std::memory_order_relaxed); }

  std::atomic<size_t> m_limit;
  std::atomic<size_t> m_open{0};
  std::atomic<size_t> m_mostOpen{0};
};

class SharedDirectory {
 public:
  // Counted against `budget` while it holds a descriptor (see
  // os::Directory::holdsDescriptor); DescriptorBudget::keep asks for room first.
  explicit SharedDirectory(os::Directory dir,
                           DescriptorBudget& budget = DescriptorBudget::process());
  // On a reader: closed at once. Elsewhere handed to the readers to close; counted
  // until then.
  ~SharedDirectory();
  SharedDirectory(const SharedDirectory&) = delete;
  SharedDirectory& operator=(const SharedDirectory&) = delete;
  const os::Directory& get() const { return m_dir; }

 private:
  os::Directory m_dir;
  DescriptorBudget* m_budget;  // null when it holds no descriptor
};

// Marks the calling thread as a reader: directories let go of here are closed at
// once.
void markReaderThread();

// Directories let go of on other threads, waiting for a reader to close them.
// Never destroyed: directories are let go of until the process ends. `m` is taken
// for a moment only, never while a drive is asked.
struct LetGo {
  os::Directory dir;
  DescriptorBudget* budget;  // the budget it counts against until closed
};
struct ClosingDirectories {
  std::mutex m;
  std::vector<LetGo> dirs;  // guarded by m
  static ClosingDirectories& process();
};

// Closes them (on a reader) and gives their descriptors back to their budgets.
void closeLetGo(std::vector<LetGo>& dirs);

}  // namespace platform
