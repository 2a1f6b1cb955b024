// One piece of work for the reader threads: a directory to read (asked for by the
// walk or read ahead for it) or a short call that can wait on a drive.
//
// A task's states, and who moves it (every move under the pool's lock):
//
//     Queued ----------- a reader takes it ----------> Running --- it returns ---> Done
//       |                                                 |
//       +-- its drive is given up, or its walk ended -----+-- the process forked --> Dropped
//
// Queued: in the pool's demands (the walk waits for it) or in the read-ahead queue.
// Running: a reader works on it outside the lock; only that reader touches its
// request and result then. A reader stuck on a drive that was given up leaves its
// task Running for good: nobody waits for it any more.
// Done: its result is ready; `finished` says so without the lock (the walk watches
// a running read for a moment before it sleeps).
// Dropped: never read; whoever finds it in a queue passes it over.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "platform/reading/DirectoryRead.h"
#include "platform/reading/WalkOrder.h"

namespace platform {

class DriveTable;

struct ReadTask {
  enum class Kind { Read, Call };
  enum class Status { Queued, Running, Done, Dropped };

  void start() { status = Status::Running; }
  void finish() {
    status = Status::Done;
    finished.store(true, std::memory_order_release);
  }
  // A queued task is passed over from now on; one that runs or ran stays as it is.
  void drop() {
    if (status == Status::Queued) status = Status::Dropped;
  }

  Kind kind = Kind::Read;
  Status status = Status::Queued;
  std::atomic<bool> finished{false};  // status is Done; read without the lock
  char drive = '?';
  uint64_t walk = 0;  // the walk it belongs to (the pool counts walks)

  // A read: what to read, and its result.
  ReadRequest request;
  std::shared_ptr<const DriveTable> drives;
  ReadResult result;
  size_t bytes = 0;  // its paths and names, while it waits to be taken
  // The device of its drive's root, once known: handed down to its subdirectories,
  // so that only the first read of a walk asks for it.
  std::optional<uint64_t> rootDevice;
  // Its view path is plain (isPlainViewPath): its subdirectories' host paths follow
  // from its own without mapping their whole view paths.
  bool plain = false;

  // Read-ahead: where the walk enters it, and what the queue counts.
  WalkOrder order;
  bool queuesSubdirectories = false;  // read ahead its subdirectories once read
  bool countsAgainstBounds = false;   // one of the listings ahead that the queue bounds
  bool readBeforeAsked = false;       // taken from the queue, not asked for by the walk
  std::vector<std::shared_ptr<ReadTask>> subdirectories;  // made by its reader

  // A call.
  std::function<void()> fn;
};

// Makes the tasks for the subdirectories of a read task (after its read, on its
// reader, outside the pool's lock), in the walk's order: the last subdirectory,
// entered first, at the back. Each is opened relative to the directory or to the
// ancestor it was opened from, where the walk will ask by the same host path.
// `made` counts the places made in the walk's order.
void makeSubdirectoryTasks(ReadTask& task, std::atomic<uint64_t>& made);

}  // namespace platform
