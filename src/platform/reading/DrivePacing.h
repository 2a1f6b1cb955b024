// How hard the readers press the drives, from what the drives do rather than what
// they are called. Pure: the reader pool feeds it every read and asks it how many
// readers and listings ahead it wants.
//
// Two states, told from a window of the last 32 reads:
// - answers from memory (the page cache, a warm disk): every read is CPU work, so
//   about one reader a core; more only take turns on the cores, each with its
//   buffers out of the caches. The readers may go far ahead: a reader far ahead
//   costs only memory, and the walk's stalls at a big folder are filled with reads
//   further along.
// - waits on the drive (a cold disk's seeks, a share's round trips): the drive
//   answers sooner the more questions it has at once, so more readers; but only
//   near the walk, so that the folder it needs next is not queued at the drive
//   behind thousands of others.
// It switches to waiting as soon as 4 of the last 32 reads waited, and back only
// once 256 reads in a row came from memory: a few slow reads in a warm scan (a
// preempted reader) must not flip it, a cold scan's first warm stretch should not
// either.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>

namespace platform {

// Whether a read took longer than the system takes to answer from memory (some
// ten microseconds, and a microsecond or two an entry), so that the drive was
// asked: a disk answers in a tenth of a millisecond at best, a share in a round
// trip.
bool waitedOnDrive(std::chrono::steady_clock::duration took, size_t entries);

// The readers of a machine with `cores` cores.
struct ReaderCounts {
  // While reads come from memory: a reader a core, two to eight. On the 2-core VM
  // of the benchmark a warm scan was about 8 % faster with two readers than with
  // four.
  unsigned fromMemory = 2;
  // While reads wait on the drive: sixteen a core, sixteen to sixty-four. On the
  // benchmark's VM (5 alternating rounds each) 32 against the 8 before: the cold
  // tree 0.78 -> 0.73 s, the share at 1 ms each way 1.71 -> 1.39 s and at 5 ms
  // 6.86 -> 5.39 s; 64 were slower than 32 on the cold tree (0.80 against 0.72 s).
  // sshfs answers ten requests at once (the threads of its FUSE loop): more
  // readers keep those ten busy, they cannot put more on the wire.
  unsigned waiting = 32;
  static ReaderCounts forCores(unsigned cores);
};

class DrivePacing {
 public:
  // Listings read ahead and not yet taken by the walk, at most: 4,096 while reads
  // come from memory; 256 while they wait (4,096 made a cold scan 2.3 times
  // slower: the folder the walk needs next queued behind the others at the disk).
  static constexpr size_t kMaxAheadFromMemory = 4096;
  static constexpr size_t kMaxAheadWaiting = 256;
  // A whole window of reads from memory before a drive root's last folders are
  // read first: a cold scan's first reads come before any is seen to wait.
  static constexpr unsigned kWindow = 32;
  // Slow reads in the window that make the drives count as waiting, and reads in a
  // row from memory before they count as answering from memory again. Chosen for
  // the reasons above; no measurement of these two is recorded.
  static constexpr int kSlowToWait = 4;
  static constexpr unsigned kFastToMemory = 256;

  explicit DrivePacing(ReaderCounts counts) : m_counts(counts) {}

  enum class Change { None, StartedWaiting, AnswersFromMemory };
  // Counts one finished read; says when the state changed with it.
  Change record(bool waited);

  bool fromMemory() const { return m_fromMemory; }
  // From memory, and the whole window of reads said so.
  bool steadilyFromMemory() const {
    return m_fromMemory && m_slow == 0 && m_readsSinceChange >= kWindow;
  }
  unsigned readersWanted() const { return m_fromMemory ? m_counts.fromMemory : m_counts.waiting; }
  size_t aheadLimit() const { return m_fromMemory ? kMaxAheadFromMemory : kMaxAheadWaiting; }
  const ReaderCounts& counts() const { return m_counts; }
  void setCounts(ReaderCounts counts) { m_counts = counts; }

 private:
  ReaderCounts m_counts;
  bool m_fromMemory = true;
  uint32_t m_slow = 0;  // one bit for each of the last 32 reads: it waited on its drive
  unsigned m_readsSinceChange = 0;
};

}  // namespace platform
