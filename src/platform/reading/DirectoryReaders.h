// The reader threads as the lists see them: every directory call that can wait on
// a drive runs on a reader, never on the thread that runs the windows.
//
// That thread hands a read (or a short call such as a directory's identity) to
// the pool and waits for it. While it waits it keeps the windows alive
// (UiHost::keepAlive: repaints, and the cancel click and close request that end a
// scan), and it waits at most the deadline: a drive that has not answered for 30 s
// is given up. Then:
// - the read waited for fails with error 71, and so does every later read or call
//   of that drive, at once, until the next walk of that drive begins;
// - the readers stuck on that drive are abandoned (never joined, so that ending
//   the program never waits for them) and others take their place;
// - the drive's reads still queued, asked for or read ahead, are dropped: never
//   read, never waited for (ReadAheadQueue::dropDrive).
//
// During a walk (WalkReadAhead) the pool also reads ahead, in the walk's order
// (ReadAheadQueue.h), so that the walk mostly finds its listings ready. Only
// directories the walk will enter are read: a folder on which another mount sits
// is no subdirectory, and a folder that cannot be read has none.
//
// The parts: WalkOrder (the order), ReadAheadQueue (what waits, and the bounds),
// DrivePacing (how many readers), ReaderPool (the threads), DirectoryRead (one
// read), SharedDirectory (the descriptor budget), and this front.
//
// Threads: every call here is made on the thread that runs the windows (the
// walk's), except counters(), which any thread may call.
#pragma once

#include <chrono>
#include <functional>
#include <memory>
#include <string>

#include "platform/reading/DirectoryRead.h"
#include "platform/reading/ReaderPool.h"

namespace platform {

class DriveTable;

class DirectoryReaders {
 public:
  // A drive that has not answered for this long is given up.
  static constexpr std::chrono::milliseconds kDeadline{30000};
  // How often a waiting window thread keeps its windows alive: 50 repaints a
  // second at most, where the eye asks for 5 to 10.
  static constexpr std::chrono::milliseconds kKeepAliveInterval{20};
  // How long a waiting window thread watches a running read before it sleeps: a
  // read from memory mostly ends within microseconds, and a sleep and its wake-up
  // cost two thread switches.
  static constexpr std::chrono::microseconds kWatchRunning{50};

  // The process's pool; lives until the process ends (never destroyed, so that
  // abandoned readers never touch a destroyed pool).
  static DirectoryReaders& process();

  // The directory read now, or the listing the read-ahead has ready.
  // `walkEntersIt`: the walk is entering this directory and will enter its
  // subdirectories next (only during a walk): they are read ahead. Waits as the
  // header says; raises 71 for a drive given up, 68 when the program ended during
  // the wait.
  ReadResult read(ReadRequest request, std::shared_ptr<const DriveTable> drives, bool walkEntersIt);
  // Runs a call that can wait on the drive of `viewPath` on a reader and waits for
  // it in the same way. The call must own what it uses: when its drive is given
  // up it may still run long after this returned.
  void call(const std::string& viewPath, std::function<void()> fn);

  // Read-ahead for a walk of the drive of `viewPath`: it begins anew there (the
  // drive is asked again even if it was given up before) and ends with endWalk.
  void beginWalk(const std::string& viewPath);
  void endWalk();

  // Test hooks: read-ahead off (every read on demand), another deadline, a fixed
  // number of reader threads (0: as many as the pacing wants).
  void setReadAhead(bool on);
  void setDeadline(std::chrono::milliseconds deadline);
  void setThreads(unsigned threads);

  using Counters = ReaderCounters;
  Counters counters() const;

 private:
  DirectoryReaders();
  std::shared_ptr<ReadTask> takeAhead(const std::string& host);
  std::shared_ptr<ReadTask> demand(ReadRequest request, std::shared_ptr<const DriveTable> drives,
                                   bool walkEntersIt);
  void wait(Lock& lk, const std::shared_ptr<ReadTask>& t, const std::string& viewPath);
  void giveUp(char drive);

  std::shared_ptr<ReaderPool> m_pool;
};

// The walk of a drive from `viewPath`: the pool reads ahead while it lasts.
class WalkReadAhead {
 public:
  explicit WalkReadAhead(const std::string& viewPath) {
    DirectoryReaders::process().beginWalk(viewPath);
  }
  ~WalkReadAhead() { DirectoryReaders::process().endWalk(); }
  WalkReadAhead(const WalkReadAhead&) = delete;
  WalkReadAhead& operator=(const WalkReadAhead&) = delete;
};

}  // namespace platform
