#include "platform/reading/ReaderPool.h"

#include <algorithm>
#include <new>
#include <thread>

namespace platform {

void lockSoon(Lock& lk) {
  // A thousand tries (a few microseconds), a yield every hundred: the lock is held
  // for a fraction of a microsecond, so a waiter that sleeps has waited too long.
  for (int i = 0; i < 1000; ++i) {
    if (lk.try_lock()) return;
    if (i % 100 == 99) std::this_thread::yield();
  }
  lk.lock();
}

ReaderPool::ReaderPool(unsigned cpus)
    : pacing(ReaderCounts::forCores(cpus)), cores(std::max(cpus, 1u)) {
  wanted = pacing.readersWanted();
}

void ReaderPool::startReaders(const std::shared_ptr<ReaderPool>& self) {
  while (readers.size() < wanted) {
    auto r = std::make_shared<Reader>();
    readers.push_back(r);
    if (!os::startThread([self, r] { run(self, r); }, kReaderStack)) {
      readers.pop_back();  // no thread to spare: the others do the work
      return;
    }
  }
}

void ReaderPool::retireReaders() {
  while (readers.size() > wanted) {
    readers.back()->retired = true;
    if (readers.back()->task) retiring.push_back(readers.back());
    readers.pop_back();
  }
  work.notify_all();
}

void ReaderPool::abandonReadersOf(char drive) {
  const auto abandon = [this, drive](const std::shared_ptr<Reader>& r) {
    if (!r->task || r->task->drive != drive) return false;
    r->abandoned = true;
    --running;
    return true;
  };
  std::erase_if(readers, abandon);
  std::erase_if(retiring, abandon);
}

void ReaderPool::handOverClosing() {
  ClosingDirectories& c = ClosingDirectories::process();
  const std::lock_guard lk(c.m);
  if (c.dirs.empty()) return;
  if (toClose.empty()) {
    toClose.swap(c.dirs);
  } else {
    for (LetGo& d : c.dirs) toClose.push_back(std::move(d));
    c.dirs.clear();
  }
  // A reader at work closes them when its task is done.
  if (running == 0) wakeReader();
}

void ReaderPool::countRead(bool waited, const std::shared_ptr<ReaderPool>& self) {
  switch (pacing.record(waited)) {
    case DrivePacing::Change::None: return;
    case DrivePacing::Change::StartedWaiting:
      wanted = pacing.readersWanted();
      startReaders(self);
      work.notify_all();
      return;
    case DrivePacing::Change::AnswersFromMemory:
      wanted = pacing.readersWanted();
      retireReaders();  // wakes the readers held back at the bounds, too
      return;
  }
}

std::shared_ptr<ReadTask> ReaderPool::next() {
  while (!demands.empty()) {
    auto t = std::move(demands.front());
    demands.pop_front();
    if (t->status == ReadTask::Status::Queued) return t;
  }
  if (!walking || !readAheadOn || running >= wanted) return nullptr;
  return queue.next(pacing.aheadLimit(), pacing.steadilyFromMemory());
}

void ReaderPool::perform(ReadTask& t) {
  if (t.kind == ReadTask::Kind::Call) {
    t.fn();
    return;
  }
  t.result = readDirectory(t.request, {*t.drives, t.drive, roots, t.rootDevice}, t.bytes);
  if (t.queuesSubdirectories && t.result.listing && !t.result.listing->subdirs.empty()) {
    makeSubdirectoryTasks(t, made);
  }
}

// `readerGoesOn`: the reader that finished it takes the next task itself, so one
// new task fewer needs another reader woken.
void ReaderPool::finish(const std::shared_ptr<ReadTask>& t, bool readerGoesOn) {
  t->finish();
  const bool current = t->walk == walk && walking;
  if (t->kind == ReadTask::Kind::Read) {
    if (t->readBeforeAsked) ++counters.aheadRead;
    if (t->countsAgainstBounds) {
      if (current) {
        queue.finished(*t);
      } else {
        t->countsAgainstBounds = false;  // its walk is over; the bounds were reset
      }
    }
    if (current && readAheadOn && !t->subdirectories.empty()) {
      const size_t queued = queue.add(*t);
      // A chain of folders is read by one reader after the other without a wake-up.
      const size_t room = running < wanted ? wanted - running : 0;
      for (size_t i = readerGoesOn ? 1 : 0; i < queued && i < idle && i < room; ++i) {
        work.notify_one();
      }
    }
    t->subdirectories.clear();
  }
  if (waiting == t.get()) done.notify_one();
}

void ReaderPool::run(const std::shared_ptr<ReaderPool>& self, const std::shared_ptr<Reader>& me) {
  ReaderPool& p = *self;
  markReaderThread();
  std::vector<LetGo> closeNow;
  Lock lk(p.m, std::defer_lock);
  // What other threads let go of, closed outside the lock; taken only between
  // tasks, so that a reader stuck on a drive holds none of them.
  const auto closeHandedOver = [&] {
    closeNow.swap(p.toClose);
    lk.unlock();
    closeLetGo(closeNow);
    lockSoon(lk);
  };
  lockSoon(lk);
  for (;;) {
    if (me->abandoned || me->retired) break;
    std::shared_ptr<ReadTask> t = p.next();
    if (!t) {
      if (!p.toClose.empty()) {
        closeHandedOver();
        continue;
      }
      // Held back at the read-ahead's bounds (not by the readers wanted at once).
      if (p.queue.hasQueued() && p.walking && p.readAheadOn && p.running < p.wanted) {
        p.queue.holdBack();
      }
      ++p.idle;
      p.work.wait(lk);
      --p.idle;
      continue;
    }
    t->start();
    me->task = t;
    ++p.running;
    p.counters.mostAtOnce = std::max<uint64_t>(p.counters.mostAtOnce, p.running);
    lk.unlock();
    const auto start = std::chrono::steady_clock::now();
    p.perform(*t);
    const auto took = std::chrono::steady_clock::now() - start;
    lockSoon(lk);
    me->task.reset();
    // Given up while it waited: nobody wants its answer any more (nor counts it).
    if (me->abandoned) break;
    --p.running;
    if (t->kind == ReadTask::Kind::Read && t->result.listing) {
      const DirectoryListing& l = *t->result.listing;
      p.countRead(waitedOnDrive(took, l.subdirs.size() + l.files.size()), self);
    }
    p.finish(t, !me->retired);
    // Once the task's answer is out.
    if (!p.toClose.empty()) closeHandedOver();
  }
  std::erase(p.retiring, me);
}

namespace {

ReaderPool* g_forking = nullptr;

}  // namespace

void ReaderPool::keepThroughForks(ReaderPool* pool) {
  g_forking = pool;
  os::atFork(
      [] {
        g_forking->m.lock();
        ClosingDirectories::process().m.lock();
      },
      [] {
        ClosingDirectories::process().m.unlock();
        g_forking->m.unlock();
      },
      [] {
        ClosingDirectories::process().m.unlock();
        ReaderPool& p = *g_forking;
        for (const auto& r : p.readers) {
          if (r->task) r->task->status = ReadTask::Status::Dropped;
        }
        p.readers.clear();
        p.retiring.clear();
        p.idle = 0;
        p.running = 0;
        // The parent's readers still count as waiting on the conditions here,
        // where they do not exist: a wake-up could go to one of them. Made anew
        // (the old ones are never destroyed: that would wait for them).
        new (&p.work) std::condition_variable();
        new (&p.done) std::condition_variable();
        p.m.unlock();
      });
}

}  // namespace platform
