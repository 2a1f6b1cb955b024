#include "platform/reading/DirectoryReaders.h"

#include <algorithm>
#include <thread>

#include "platform/Error.h"
#include "platform/drives/Drives.h"
#include "platform/runtime/Runtime.h"

namespace platform {

namespace {

// Room made for descriptors before the readers start: the read-ahead keeps the
// directories of up to kMaxAheadFromMemory listings open, the walk those on its
// path. Growing the table while threads run stalled the opening thread for
// milliseconds, five times a scan.
constexpr size_t kReservedDescriptors = 2 * DrivePacing::kMaxAheadFromMemory;

char driveOf(const std::string& viewPath) {
  const char c = viewPath.empty() ? '?' : viewPath[0];
  return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}

// One step of a short busy wait: tells the processor so where it can.
inline void relax() {
#if defined(__x86_64__) || defined(__i386__)
  __builtin_ia32_pause();
#else
  std::this_thread::yield();
#endif
}

}  // namespace

DirectoryReaders::DirectoryReaders()
    : m_pool(std::make_shared<ReaderPool>(std::thread::hardware_concurrency())) {
  os::shareAllocatorPools();
  os::reserveDescriptors(kReservedDescriptors);
  ReaderPool::keepThroughForks(m_pool.get());
}

DirectoryReaders& DirectoryReaders::process() {
  static auto* readers = new DirectoryReaders();
  return *readers;
}

// The read-ahead's task of the folder the walk enters now, or null when the
// read-ahead does not know it.
std::shared_ptr<ReadTask> DirectoryReaders::takeAhead(const std::string& host) {
  ReaderPool& p = *m_pool;
  auto taken = p.queue.take(host, p.pacing.aheadLimit(), p.wanted);
  if (!taken.task) return nullptr;
  if (taken.task->status == ReadTask::Status::Done) {
    ++p.counters.aheadTaken;
  } else if (taken.task->status == ReadTask::Status::Queued) {
    p.demands.push_back(taken.task);
  }
  if (taken.wake == ReadAheadQueue::Wake::AllReaders) p.work.notify_all();
  if (taken.wake == ReadAheadQueue::Wake::OneReader) p.wakeReader();
  return taken.task;
}

// A read the walk asks for that the read-ahead did not know.
std::shared_ptr<ReadTask> DirectoryReaders::demand(ReadRequest request,
                                                   std::shared_ptr<const DriveTable> drives,
                                                   bool walkEntersIt) {
  ReaderPool& p = *m_pool;
  auto t = std::make_shared<ReadTask>();
  t->drive = driveOf(request.viewPath);
  t->request = std::move(request);
  t->drives = std::move(drives);
  t->walk = p.walk;
  t->queuesSubdirectories = walkEntersIt && p.walking && p.readAheadOn;
  if (t->queuesSubdirectories) {
    ++p.counters.aheadMissed;
    t->plain = isPlainViewPath(t->request.viewPath);
    t->order = WalkOrder::asked(p.nextRootRank--, p.made++);
  }
  p.demands.push_back(t);
  p.startReaders(m_pool);
  p.wakeReader();
  return t;
}

ReadResult DirectoryReaders::read(ReadRequest request, std::shared_ptr<const DriveTable> drives,
                                  bool walkEntersIt) {
  ReaderPool& p = *m_pool;
  Lock lk(p.m, std::defer_lock);
  lockSoon(lk);
  p.handOverClosing();
  if (p.givenUp.find(driveOf(request.viewPath)) != std::string::npos) {
    raiseError(err::kDiskNotReady, request.viewPath);
  }
  const std::string* named = &request.viewPath;  // the folder, in errors
  std::shared_ptr<ReadTask> t = walkEntersIt ? takeAhead(request.host) : nullptr;
  if (!t) {
    t = demand(std::move(request), std::move(drives), walkEntersIt);
    named = &t->request.viewPath;
  }
  if (t->status != ReadTask::Status::Done) wait(lk, t, *named);
  ReadResult result = std::move(t->result);
  // The heap may still hold the task: only a shell of it.
  // (Moved out, not assigned over: an assigned string would keep its buffer, and a
  // deep folder's path is tens of kilobytes.)
  { const ReadRequest gone = std::move(t->request); }
  t->drives.reset();
  p.queue.compact();
  return result;
}

void DirectoryReaders::call(const std::string& viewPath, std::function<void()> fn) {
  ReaderPool& p = *m_pool;
  const char drive = driveOf(viewPath);
  Lock lk(p.m, std::defer_lock);
  lockSoon(lk);
  p.handOverClosing();
  if (p.givenUp.find(drive) != std::string::npos) raiseError(err::kDiskNotReady, viewPath);
  auto t = std::make_shared<ReadTask>();
  t->kind = ReadTask::Kind::Call;
  t->drive = drive;
  t->request.viewPath = viewPath;
  t->fn = std::move(fn);
  p.demands.push_back(t);
  p.startReaders(m_pool);
  p.wakeReader();
  wait(lk, t, viewPath);
}

// Gives the drive up: its stuck readers abandoned and replaced, its queued reads
// dropped. Called with the pool's lock held.
void DirectoryReaders::giveUp(char drive) {
  ReaderPool& p = *m_pool;
  if (p.givenUp.find(drive) == std::string::npos) p.givenUp += drive;
  ++p.counters.givenUp;
  p.abandonReadersOf(drive);
  p.queue.dropDrive(drive);
  for (auto& t : p.demands) {
    if (t->drive == drive) t->drop();
  }
  p.startReaders(m_pool);
  p.work.notify_all();
}

// Waits for the task, keeping the windows alive, at most the deadline. Called with
// the pool's lock held; gives it up while the windows are kept alive.
void DirectoryReaders::wait(Lock& lk, const std::shared_ptr<ReadTask>& t,
                            const std::string& viewPath) {
  ReaderPool& p = *m_pool;
  ++p.counters.waits;
  const auto start = std::chrono::steady_clock::now();
  auto keepAlive = start + kKeepAliveInterval;
  p.waiting = t.get();
  // However the wait ends (an answer, the deadline, the program's end).
  struct Waiting {
    ReaderPool& p;
    std::chrono::steady_clock::time_point start;
    ~Waiting() {
      p.waiting = nullptr;
      p.counters.waitedNs +=
          static_cast<uint64_t>(std::chrono::duration_cast<std::chrono::nanoseconds>(
                                    std::chrono::steady_clock::now() - start)
                                    .count());
    }
  } guard{p, start};
  // A read that is running now mostly ends within microseconds: watched for a
  // moment before this thread sleeps, but only on a core that no reader needs.
  if (t->status == ReadTask::Status::Running && p.running < p.cores) {
    lk.unlock();
    const auto until = start + kWatchRunning;
    for (unsigned i = 1; !t->finished.load(std::memory_order_acquire); ++i) {
      if (i % 64 == 0 && std::chrono::steady_clock::now() >= until) break;
      relax();
    }
    lockSoon(lk);
  }
  while (t->status != ReadTask::Status::Done) {
    p.done.wait_until(lk, std::min(keepAlive, start + p.deadline));
    if (t->status == ReadTask::Status::Done) break;
    const auto now = std::chrono::steady_clock::now();
    if (now - start >= p.deadline) {
      giveUp(t->drive);
      raiseError(err::kDiskNotReady, viewPath);
    }
    if (now >= keepAlive) {
      lk.unlock();
      uiHost().keepAlive();
      lockSoon(lk);
      keepAlive = std::chrono::steady_clock::now() + kKeepAliveInterval;
      // Ended by a request that the keep-alive let through: nothing more of this.
      if (programEnded()) raiseError(err::kDeviceUnavailable, viewPath);
    }
  }
}

void DirectoryReaders::beginWalk(const std::string& viewPath) {
  ReaderPool& p = *m_pool;
  const std::lock_guard lk(p.m);
  std::erase(p.givenUp, driveOf(viewPath));
  p.walking = true;
  ++p.walk;
}

void DirectoryReaders::endWalk() {
  ReaderPool& p = *m_pool;
  const std::lock_guard lk(p.m);
  p.handOverClosing();
  p.walking = false;
  ++p.walk;
  p.queue.clear();
}

void DirectoryReaders::setReadAhead(bool on) {
  const std::lock_guard lk(m_pool->m);
  m_pool->readAheadOn = on;
}

void DirectoryReaders::setDeadline(std::chrono::milliseconds deadline) {
  const std::lock_guard lk(m_pool->m);
  m_pool->deadline = deadline;
}

void DirectoryReaders::setThreads(unsigned threads) {
  ReaderPool& p = *m_pool;
  const std::lock_guard lk(p.m);
  p.pacing.setCounts(threads > 0 ? ReaderCounts{threads, threads}
                                 : ReaderCounts::forCores(p.cores));
  p.wanted = p.pacing.readersWanted();
  p.retireReaders();
}

DirectoryReaders::Counters DirectoryReaders::counters() const {
  const std::lock_guard lk(m_pool->m);
  return m_pool->counters;
}

}  // namespace platform
