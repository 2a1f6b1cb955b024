// The reader threads and the state they share with the walk's thread.
//
// Locks: one mutex, `m`, guards every field of ReaderPool below it (the demands,
// the read-ahead queue, the pacing, the readers' books, the walk, the drives given
// up). It is held for a fraction of a microsecond at a time, by the walk and the
// readers alike, tens of thousands of times a second; nothing that can wait on a
// drive ever runs under it. RootDevices has a lock of its own, and
// ClosingDirectories another, taken after `m` where both are held.
//
// Threads:
// - the walk's thread (the one that runs the windows) hands tasks over and waits
//   for them (DirectoryReaders.h);
// - readers (run) take a task under the lock, perform it without the lock, and
//   finish it under the lock: Queued -> Running -> Done (ReadTask.h);
// - a reader whose drive was given up while it waited in the system is abandoned:
//   it no longer counts, another takes its place, and whatever it returns with is
//   thrown away. It is never joined: ending the program must not wait for a drive.
//
// Why as many readers as there are: DrivePacing says how many are wanted, from
// what the drives do: about one a core while reads come from memory, several a
// core while they wait on a drive. Only as many live as are wanted: idle ones
// would take turns at the work, each with its buffers out of the processor's
// caches. Fewer wanted: the last ones retire once their task is done.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "platform/reading/DrivePacing.h"
#include "platform/reading/ReadAheadQueue.h"
#include "platform/reading/ReadTask.h"
#include "platform/reading/SharedDirectory.h"

namespace platform {

// What the pool has done, for tests and the benchmark.
struct ReaderCounters {
  uint64_t aheadRead = 0;    // listings read ahead
  uint64_t aheadTaken = 0;   // of them, taken by the walk
  uint64_t aheadMissed = 0;  // reads of a walk that the read-ahead did not know
  uint64_t waits = 0;        // reads and calls the window thread waited for
  uint64_t waitedNs = 0;     // how long it waited for them in all
  uint64_t givenUp = 0;      // drives given up
  uint64_t mostAtOnce = 0;   // the most tasks the readers worked on at once
};

// A reader thread's standing, read and written under the pool's lock.
struct Reader {
  bool abandoned = false;  // its drive was given up while it waited on it
  bool retired = false;    // fewer readers wanted
  std::shared_ptr<ReadTask> task;
};

using Lock = std::unique_lock<std::mutex>;

// Takes the pool's lock: a short spin before sleeping on it spares the two thread
// switches that a sleep costs, for a lock held so briefly.
void lockSoon(Lock& lk);

struct ReaderPool {
  // A reader's stack: a read keeps its buffers in thread-local storage, and its
  // deepest calls (sorting a listing) take a few kilobytes.
  static constexpr size_t kReaderStack = 512 * 1024;

  explicit ReaderPool(unsigned cores);

  std::mutex m;
  std::condition_variable work;  // the readers wait for tasks
  std::condition_variable done;  // the walk's thread waits for a result

  // --- guarded by m ---
  std::deque<std::shared_ptr<ReadTask>> demands;  // asked for now, first come first
  ReadAheadQueue queue;
  DrivePacing pacing;
  std::vector<std::shared_ptr<Reader>> readers;   // alive and counted
  std::vector<std::shared_ptr<Reader>> retiring;  // retired, at work on a last task
  unsigned cores = 1;
  unsigned wanted = 0;      // readers wanted now (the pacing's, or a test's)
  unsigned running = 0;     // readers at work on a task
  unsigned idle = 0;        // readers waiting for work
  bool readAheadOn = true;  // tests turn the read-ahead off
  bool walking = false;
  uint64_t walk = 0;                   // counts walks: tasks of an ended one are stale
  uint32_t nextRootRank = UINT32_MAX;  // for folders the walk asks for itself
  const ReadTask* waiting = nullptr;   // what the walk's thread waits for
  std::string givenUp;                 // the letters of the drives given up
  std::vector<LetGo> toClose;          // let go of by other threads, for a reader to close
  std::chrono::milliseconds deadline{30000};
  ReaderCounters counters;

  // --- their own locks, or none ---
  std::atomic<uint64_t> made{0};  // places made in the walk's order
  RootDevices roots;

  // Starts readers until as many live as are wanted.
  void startReaders(const std::shared_ptr<ReaderPool>& self);
  // Retires readers until no more live than are wanted; wakes every idle one.
  void retireReaders();
  // The readers at work on `drive` are stuck there: abandoned, and not counted.
  void abandonReadersOf(char drive);
  // Wakes a reader for new work, only when one waits: a wake-up is a system call,
  // and the walk hands over tens of thousands of directories a second.
  void wakeReader() {
    if (idle > 0) work.notify_one();
  }
  // Takes over what other threads let go of, for a reader to close.
  void handOverClosing();
  // Counts a finished read with the pacing, and starts or retires readers when it
  // changed its mind.
  void countRead(bool waited, const std::shared_ptr<ReaderPool>& self);

  // A process forked from this one (the tests' children) has none of the readers:
  // its pool starts readers of its own. Once per process.
  static void keepThroughForks(ReaderPool* pool);

  // The body of a reader thread. Takes the lock itself.
  static void run(const std::shared_ptr<ReaderPool>& self, const std::shared_ptr<Reader>& me);

 private:
  std::shared_ptr<ReadTask> next();
  void perform(ReadTask& t);  // without the lock
  void finish(const std::shared_ptr<ReadTask>& t, bool readerGoesOn);
};

}  // namespace platform
