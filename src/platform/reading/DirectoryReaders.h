// The reader threads: every directory call that can wait on a drive runs on one
// of them, never on the thread that runs the windows.
//
// That thread hands a read (or a short call such as a directory's identity) to
// the pool and waits for it. While it waits it keeps the windows alive
// (UiHost::keepAlive: repaints, and the cancel click and close request that end a
// scan), and it waits at most the deadline: a drive that has not answered for 30 s
// is given up. Its reads fail at once with error 71 from then on, until the next
// walk of that drive begins; the reader thread stuck in the system is abandoned,
// never joined, so that ending the program never waits for it.
//
// During a walk (WalkReadAhead) the pool also reads ahead: once a directory is
// read, its subdirectories are the next ones the walk enters, the last one first,
// depth first. The readers take them in exactly that order, each opened relative
// to its parent, read, mapped and sorted, and keep the finished listings until the
// walk asks for them. Only directories the walk will enter are read: a folder on
// which another mount sits is no subdirectory, and a folder that cannot be read
// has none. At most kMaxAheadFromMemory listings (kMaxAhead while reads wait on
// the drive), and kMaxAheadBytes of names and paths, wait at once; twice as many
// listings while the walk has caught up with the readers.
#pragma once

#include <chrono>
#include <cstddef>
#include <functional>
#include <memory>
#include <string>

#include "platform/os/Os.h"
#include "platform/reading/DirectoryListing.h"

namespace platform {

class DriveTable;

// An open directory shared by the listing cache and the reads below it. Counted
// against the descriptor budget while it holds a descriptor.
class SharedDirectory {
 public:
  explicit SharedDirectory(os::Directory dir);
  ~SharedDirectory();
  SharedDirectory(const SharedDirectory&) = delete;
  SharedDirectory& operator=(const SharedDirectory&) = delete;
  const os::Directory& get() const { return m_dir; }
  // Descriptors held by all shared directories of the process.
  static size_t openCount();

 private:
  os::Directory m_dir;
  bool m_counted;
};

// One directory to read. It is opened at `host`, relative to `base` when there is
// one (host's bytes from `relativeFrom` on are the path below it). `parent` is the
// listing of the directory holding it when it is a direct child: a folder that lies
// on another mount than its parent (mounted since the table was read) is not part
// of the drive.
struct ReadRequest {
  std::string viewPath;
  std::string host;
  std::shared_ptr<const SharedDirectory> base;
  size_t relativeFrom = 0;
  std::shared_ptr<const DirectoryListing> parent;
};

struct ReadResult {
  enum class Outcome { Read, Failed, OtherMount, OutOfMemory };
  Outcome outcome = Outcome::Failed;
  os::NativeError error = 0;  // for Failed
  std::shared_ptr<DirectoryListing> listing;
  std::shared_ptr<const SharedDirectory> dir;  // open while the budget allows
};

class DirectoryReaders {
 public:
  static constexpr size_t kMaxAhead = 256;
  static constexpr size_t kMaxAheadFromMemory = 4096;
  static constexpr size_t kMaxAheadBytes = size_t{4} << 20;
  static constexpr std::chrono::milliseconds kDeadline{30000};
  // How often a waiting window thread keeps its windows alive.
  static constexpr std::chrono::milliseconds kKeepAliveInterval{20};
  // How long a waiting window thread watches a running read before it sleeps.
  static constexpr std::chrono::microseconds kWatchRunning{50};

  // The process's pool; lives until the process ends (never destroyed, so that
  // abandoned readers never touch a destroyed pool).
  static DirectoryReaders& process();

  // The directory read now, or the listing the read-ahead has ready. `ahead`: the
  // walk will enter its subdirectories next (only during a walk). Waits as the
  // class comment says; raises 71 for a drive given up, 68 when the program ended
  // during the wait.
  ReadResult read(ReadRequest request, std::shared_ptr<const DriveTable> drives, bool ahead);
  // Runs a call that can wait on the drive of `viewPath` on a reader and waits for
  // it in the same way. The call must own what it uses: when its drive is given
  // up it may still run long after this returned.
  void call(const std::string& viewPath, std::function<void()> fn);

  // Read-ahead for a walk of the drive of `viewPath`: it begins anew there (the
  // drive is asked again even if it was given up before) and ends with endWalk.
  void beginWalk(const std::string& viewPath);
  void endWalk();

  // Test hooks: read-ahead off (every read on demand), another deadline, a fixed
  // number of reader threads.
  void setReadAhead(bool on);
  void setDeadline(std::chrono::milliseconds deadline);
  void setThreads(unsigned threads);

  struct Counters {
    uint64_t aheadRead = 0;    // listings read ahead
    uint64_t aheadTaken = 0;   // of them, taken by the walk
    uint64_t aheadMissed = 0;  // reads of a walk that the read-ahead did not know
    uint64_t waits = 0;        // reads and calls the window thread waited for
    uint64_t waitedNs = 0;     // how long it waited for them in all
    uint64_t givenUp = 0;      // drives given up
    uint64_t mostAtOnce = 0;   // the most tasks the readers worked on at once
  };
  Counters counters() const;

  struct State;

 private:
  DirectoryReaders();
  std::shared_ptr<State> m_state;
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
