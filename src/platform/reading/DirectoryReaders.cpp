#include "platform/reading/DirectoryReaders.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <bit>
#include <condition_variable>
#include <deque>
#include <iterator>
#include <mutex>
#include <new>
#include <optional>
#include <thread>
#include <unordered_map>
#include <vector>

#include "platform/Error.h"
#include "platform/drives/Drives.h"
#include "platform/runtime/Runtime.h"
#include "platform/text/PathBytes.h"
#include "platform/text/Text.h"

namespace platform {

namespace {

std::atomic<size_t> g_openDescriptors{0};

// How many of a drive root's folders are read before the rest of the read-ahead.
constexpr size_t kEarlyFolders = 32;

// Descriptors made room for before the readers start: the read-ahead keeps the
// directories of up to kMaxAheadFromMemory listings open, the walk those on its path.
constexpr size_t kReservedDescriptors = 2 * DirectoryReaders::kMaxAheadFromMemory;

// Set on the reader threads.
thread_local bool t_reader = false;

// Directories let go of on other threads, closed by a reader: closing one frees
// what the system built for reading it (on ext4 the whole index of a big folder),
// work that the walk need not wait for, and a close may wait on a drive. Never
// destroyed: directories are let go of until the process ends.
struct Closing {
  std::mutex m;
  std::vector<os::Directory> dirs;
};

Closing& closing() {
  static auto* pending = new Closing;
  return *pending;
}

// File systems whose directory reads fill the buffer as far as the entries go.
// Network, FUSE and stacked file systems make no such promise.
bool fillsReads(std::string_view fsType) {
  return fsType == "ext4" || fsType == "ext3" || fsType == "ext2" || fsType == "xfs" ||
         fsType == "btrfs" || fsType == "tmpfs";
}

// Whether a read took longer than the system takes to answer from memory (some ten
// microseconds, and a microsecond or two an entry), so that the drive was asked: a
// disk answers in a tenth of a millisecond at best, a share in a round trip.
bool waitedOnDrive(std::chrono::steady_clock::duration took, size_t entries) {
  return took > std::chrono::microseconds(60) + entries * std::chrono::microseconds(2);
}

// Whether a subdirectory lies on another mount than its parent that the drive's
// walk must not enter. Told by the mount id, so that a btrfs subvolume (a device
// of its own, the same mount) is an ordinary folder; a mount that the table walks
// as part of its drive (no letter left for it) is entered. Without mount ids the
// device tells, except on btrfs, whose subvolumes have devices of their own.
bool crossesMount(const DirectoryListing& child, const DirectoryListing& parent,
                  const ReadRequest& r, char letter, const DriveTable& drives) {
  if (child.mountId != 0 && parent.mountId != 0) {
    return child.mountId != parent.mountId && !drives.walksInto(r.host);
  }
  if (child.device == parent.device || drives.walksInto(r.host)) return false;
  const Drive* drive = drives.byLetter(letter);
  return !drive || drive->fsType != "btrfs";
}

char driveOf(const std::string& viewPath) {
  const char c = viewPath.empty() ? '?' : viewPath[0];
  return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}

// A place in the walk's order, close enough to keep the readers where the walk
// will be next: the ranks from the walk's first directory down to this one, where a
// directory's subdirectories rank from the last (0, entered first) to the first;
// earlier in the walk is lexicographically smaller. Only the first kRanks levels
// are kept, so that a comparison costs the same however deep the tree: below them
// the one made later comes first, which is the walk's order again for a chain and
// near it otherwise. The order only decides what is read first, never what is read.
struct Order {
  static constexpr uint32_t kRanks = 16;
  std::array<uint32_t, kRanks> ranks{};
  uint32_t depth = 0;
  uint64_t made = 0;  // when it was made, counted
};

bool earlier(const Order& a, const Order& b) {
  const uint32_t n = std::min({a.depth + 1, b.depth + 1, Order::kRanks});
  for (uint32_t i = 0; i < n; ++i) {
    if (a.ranks[i] != b.ranks[i]) return a.ranks[i] < b.ranks[i];
  }
  if (n < Order::kRanks && a.depth != b.depth) return a.depth < b.depth;  // one holds the other
  return a.made > b.made;
}

}  // namespace

SharedDirectory::SharedDirectory(os::Directory dir)
    : m_dir(std::move(dir)), m_counted(m_dir.holdsDescriptor()) {
  if (m_counted) ++g_openDescriptors;
}

SharedDirectory::~SharedDirectory() {
  if (m_counted && !t_reader) {
    Closing& c = closing();
    try {
      const std::lock_guard lk(c.m);
      c.dirs.push_back(std::move(m_dir));
      return;  // counted until a reader closes it
    } catch (const std::bad_alloc&) {
      // closed here, then
    }
  }
  m_dir.close();
  if (m_counted) --g_openDescriptors;
}

namespace {

void closeAll(std::vector<os::Directory>& dirs) {
  for (os::Directory& dir : dirs) {
    dir.close();
    --g_openDescriptors;
  }
  dirs.clear();
}

}  // namespace

size_t SharedDirectory::openCount() {
  return g_openDescriptors.load(std::memory_order_relaxed);
}

// --- the pool ---------------------------------------------------------------------------

namespace {

using Lock = std::unique_lock<std::mutex>;

// One step of a short busy wait: tells the processor so where it can.
inline void relax() {
#if defined(__x86_64__) || defined(__i386__)
  __builtin_ia32_pause();
#else
  std::this_thread::yield();
#endif
}

// Takes the pool's lock. It is held for a fraction of a microsecond at a time, by
// the walk and the readers alike, tens of thousands of times a second: a short spin
// before sleeping on it spares the two thread switches that a sleep costs.
void lockSoon(Lock& lk) {
  for (int i = 0; i < 1000; ++i) {
    if (lk.try_lock()) return;
    if (i % 100 == 99) std::this_thread::yield();
  }
  lk.lock();
}

struct Task {
  enum class Kind { Read, Call };
  enum class Status { Queued, Running, Done, Dropped };
  Kind kind = Kind::Read;
  Status status = Status::Queued;
  std::atomic<bool> finished{false};  // status is Done; read without the lock
  char drive = '?';
  ReadRequest request;
  std::shared_ptr<const DriveTable> drives;
  Order order;             // where the walk enters it; read-ahead only
  bool ahead = false;      // queue its subdirectories when read
  bool counted = false;    // counts against the read-ahead's bounds
  bool readAhead = false;  // read before the walk asked for it
  uint64_t walk = 0;
  std::function<void()> fn;
  ReadResult result;
  size_t bytes = 0;
  // The device of its drive's root, once known: handed down to its subdirectories,
  // so that only the first read of a walk asks for it.
  std::optional<uint64_t> rootDevice;
  // Its view path is plain (isPlainViewPath): its subdirectories' host paths follow
  // from its own without mapping their whole view paths.
  bool plain = false;
  std::vector<std::shared_ptr<Task>> subdirectories;  // to read ahead, made by its reader
};

struct Worker {
  bool abandoned = false;  // its drive was given up while it waited on it
  bool retired = false;    // fewer threads wanted
  std::shared_ptr<Task> task;
};

}  // namespace

struct DirectoryReaders::State {
  std::mutex m;
  std::condition_variable work;  // the readers wait for tasks
  std::condition_variable done;  // the window's thread waits for a result

  std::deque<std::shared_ptr<Task>> demands;  // asked for now, first come first
  // What waits to be read ahead: for each directory read, its subdirectories, the
  // one the walk enters first at the back. Siblings come out in the walk's order
  // by themselves, so the heap (the walk's next one on top) holds one entry per
  // directory, not one per subdirectory.
  using Siblings = std::vector<std::shared_ptr<Task>>;
  std::vector<Siblings> ahead;
  // The folders of a drive's root that the walk enters last (kEarlyFolders), the
  // last one at the back: read first while the drives answer from memory. A big
  // one (a folder of 50,000 files) would otherwise be read at the end of the scan,
  // by one reader while the others have nothing left to read and the walk waits
  // for it. (Where reads wait on the drive, they keep to the walk's order: the
  // folder it needs next must not queue behind them.)
  Siblings enteredLast;
  // Reads past the bound of listings, granted when the walk asked for a folder not
  // read yet while the readers were held back at the bound: what they hold then
  // lies far along the walk (read while the folders it enters next were not known
  // yet), and without these the walk would read each folder it enters by itself.
  size_t credit = 0;
  size_t aheadQueued = 0;  // tasks in `ahead`, those taken on demand since among them
  // Read-ahead by host path; each key is its task's own request.host, which stays
  // as it is while the task is here.
  std::unordered_map<std::string_view, std::shared_ptr<Task>, pathbytes::TailHash> known;
  size_t aheadCount = 0;  // read-ahead tasks running or done and not taken
  size_t aheadBytes = 0;

  std::vector<std::shared_ptr<Worker>> workers;
  std::vector<std::shared_ptr<Worker>> retiring;  // retired, at work on a last task
  unsigned threads = 0;
  // How many readers read ahead at once: `fewest` (a reader a core) while the
  // drives answer from memory, where more would only take turns on the cores; all
  // `threads` while reads wait on a drive (a disk's seeks, a server's round trips),
  // which answers sooner the more questions it has at once.
  unsigned cores = 1;
  unsigned fewest = 0;
  unsigned active = 0;
  // The drives answer from memory (no read of the last 32 waited on its drive).
  // Then a reader far ahead costs only memory, and the walk's stalls at a big
  // folder are filled with reads further along; a drive that makes the readers
  // wait is asked only near the walk, so the folder it needs next is not queued
  // behind thousands of others at the drive.
  bool fromMemory = true;
  unsigned running = 0;    // readers at work on a task
  uint32_t slowReads = 0;  // one bit for each of the last 32 reads: it waited on its drive
  unsigned readsSinceChange = 0;
  unsigned idle = 0;      // readers waiting for work
  bool heldBack = false;  // a reader went idle at the read-ahead's bounds
  bool behind = false;    // the walk asked for a folder still waiting to be read
  bool readAhead = true;
  bool walking = false;
  uint64_t walk = 0;
  uint32_t nextRootRank = UINT32_MAX;
  std::atomic<uint64_t> made{0};       // orders made so far
  const Task* waiting = nullptr;       // what the window's thread waits for
  std::string givenUp;                 // the letters of the drives given up
  std::vector<os::Directory> toClose;  // handed over by other threads (closing())
  std::chrono::milliseconds deadline = kDeadline;
  Counters counters;
  // The devices of the drive roots whose file systems fill each read, asked once each.
  std::vector<std::pair<std::string, uint64_t>> rootDevices;

  static void run(const std::shared_ptr<State>& self, const std::shared_ptr<Worker>& me);

  // Wakes a reader for new work, only when one is waiting: a wake-up is a system
  // call, and the walk hands over tens of thousands of directories a second.
  void wakeReader() {
    if (idle > 0) work.notify_one();
  }

  // Counts a finished read toward the readers wanted. Only as many readers live as
  // are wanted: idle ones would take turns at the work, each with its buffers out
  // of the processor's caches.
  void countRead(bool slow, const std::shared_ptr<State>& self) {
    slowReads = (slowReads << 1) | (slow ? 1u : 0u);
    ++readsSinceChange;
    const int recent = std::popcount(slowReads);
    if (recent >= 4 && fromMemory) {
      fromMemory = false;
      readsSinceChange = 0;
      active = threads;
      ensureWorkers(self);
      work.notify_all();
    } else if (recent == 0 && !fromMemory && readsSinceChange >= 256) {
      fromMemory = true;
      readsSinceChange = 0;
      active = fewest;
      retireWorkers();  // wakes the readers held back at the bounds, too
    }
  }

  size_t aheadLimit() const { return fromMemory ? kMaxAheadFromMemory : kMaxAhead; }

  void retireWorkers() {
    while (workers.size() > active) {
      workers.back()->retired = true;
      if (workers.back()->task) retiring.push_back(workers.back());
      workers.pop_back();
    }
    work.notify_all();
  }

  // What other threads let go of, for the readers to close.
  void handOverClosing() {
    Closing& c = closing();
    const std::lock_guard lk(c.m);
    if (c.dirs.empty()) return;
    if (toClose.empty()) {
      toClose.swap(c.dirs);
    } else {
      for (os::Directory& dir : c.dirs) toClose.push_back(std::move(dir));
      c.dirs.clear();
    }
    // A reader at work closes them when its task is done.
    if (running == 0) wakeReader();
  }

  void ensureWorkers(const std::shared_ptr<State>& self) {
    while (workers.size() < active) {
      auto w = std::make_shared<Worker>();
      workers.push_back(w);
      std::thread([self, w] { run(self, w); }).detach();
    }
  }

  static bool heapLess(const Siblings& a, const Siblings& b) {
    return earlier(b.back()->order, a.back()->order);  // the earliest on top
  }

  std::shared_ptr<Task> next() {
    while (!demands.empty()) {
      auto t = std::move(demands.front());
      demands.pop_front();
      if (t->status == Task::Status::Queued) return t;
    }
    if (!walking || !readAhead || running >= active) return nullptr;
    // Behind the walk (it had to ask for a folder not read yet), the readers may go
    // past the bounds: what they read ahead so far lies further along the walk than
    // where it is now (a big folder that came in after its later siblings' trees).
    const size_t count = behind ? 2 * aheadLimit() : aheadLimit();
    const auto room = [this, count] {
      return aheadBytes < kMaxAheadBytes && (aheadCount < count || credit > 0);
    };
    const auto take = [this, count](std::shared_ptr<Task> t) {
      if (aheadCount >= count) --credit;
      t->counted = true;
      t->readAhead = true;
      ++aheadCount;
      return t;
    };
    // Only once a whole window of reads came from memory: a scan's first reads of a
    // cold disk come before any has been seen to wait.
    const bool answersFromMemory = fromMemory && slowReads == 0 && readsSinceChange >= 32;
    while (answersFromMemory && !enteredLast.empty() && room()) {
      auto t = std::move(enteredLast.back());
      enteredLast.pop_back();
      if (t->status == Task::Status::Queued) return take(std::move(t));
    }
    while (!ahead.empty() && room()) {
      std::pop_heap(ahead.begin(), ahead.end(), heapLess);
      Siblings& siblings = ahead.back();
      auto t = std::move(siblings.back());
      siblings.pop_back();
      --aheadQueued;
      if (siblings.empty()) {
        ahead.pop_back();
      } else {
        std::push_heap(ahead.begin(), ahead.end(), heapLess);
      }
      if (t->status == Task::Status::Queued) return take(std::move(t));
    }
    return nullptr;
  }

  bool fillsEachRead(Task& t, uint64_t device, Lock& lk);
  void perform(Task& t);
  void finish(const std::shared_ptr<Task>& t, bool readerGoesOn);
  void prepareSubdirectories(Task& t);
  void giveUp(char drive, const std::shared_ptr<State>& self);
  // `viewPath` names the folder in the errors it raises.
  void wait(Lock& lk, const std::shared_ptr<Task>& t, const std::shared_ptr<State>& self,
            const std::string& viewPath);
};

void DirectoryReaders::State::run(const std::shared_ptr<State>& self,
                                  const std::shared_ptr<Worker>& me) {
  State& s = *self;
  t_reader = true;
  std::vector<os::Directory> closeNow;
  Lock lk(s.m, std::defer_lock);
  // What other threads let go of, closed outside the lock; taken only between
  // tasks, so that a reader stuck on a drive holds none of them.
  const auto closeHandedOver = [&] {
    closeNow.swap(s.toClose);
    lk.unlock();
    closeAll(closeNow);
    lockSoon(lk);
  };
  lockSoon(lk);
  for (;;) {
    if (me->abandoned || me->retired) break;
    std::shared_ptr<Task> t = s.next();
    if (!t) {
      if (!s.toClose.empty()) {
        closeHandedOver();
        continue;
      }
      // Held back at the read-ahead's bounds (not by the readers wanted at once).
      if (!s.ahead.empty() && s.walking && s.readAhead && s.running < s.active) {
        s.heldBack = true;
      }
      ++s.idle;
      s.work.wait(lk);
      --s.idle;
      continue;
    }
    t->status = Task::Status::Running;
    me->task = t;
    ++s.running;
    s.counters.mostAtOnce = std::max<uint64_t>(s.counters.mostAtOnce, s.running);
    lk.unlock();
    const auto start = std::chrono::steady_clock::now();
    s.perform(*t);
    const auto took = std::chrono::steady_clock::now() - start;
    lockSoon(lk);
    me->task.reset();
    // Given up while it waited: nobody wants its answer any more (nor counts it).
    if (me->abandoned) break;
    --s.running;
    if (t->kind == Task::Kind::Read && t->result.listing) {
      const DirectoryListing& l = *t->result.listing;
      s.countRead(waitedOnDrive(took, l.subdirs.size() + l.files.size()), self);
    }
    s.finish(t, !me->retired);
    // Once the task's answer is out.
    if (!s.toClose.empty()) closeHandedOver();
  }
  std::erase(s.retiring, me);
}

// The drive's type counts only for directories on the drive's own file system
// (`device`): a share mounted inside a drive is another one.
bool DirectoryReaders::State::fillsEachRead(Task& t, uint64_t device, Lock& lk) {
  const Drive* drive = t.drives->byLetter(t.drive);
  if (!drive || !fillsReads(drive->fsType)) return false;
  if (!t.rootDevice) {
    lockSoon(lk);
    for (const auto& [mountPoint, rootDevice] : rootDevices) {
      if (mountPoint == drive->mountPoint) t.rootDevice = rootDevice;
    }
    lk.unlock();
  }
  if (!t.rootDevice) {
    os::Identity root;
    if (os::identityOfPath(drive->mountPoint, root) != 0) return false;
    t.rootDevice = root.device;
    lockSoon(lk);
    rootDevices.emplace_back(drive->mountPoint, root.device);
    lk.unlock();
  }
  return *t.rootDevice == device;
}

void DirectoryReaders::State::perform(Task& t) {
  if (t.kind == Task::Kind::Call) {
    t.fn();
    return;
  }
  const ReadRequest& r = t.request;
  ReadResult& out = t.result;
  Lock lk(m, std::defer_lock);
  os::Directory dir;
  out.error =
      r.base && r.host.size() > r.relativeFrom
          ? os::openDirectoryAt(r.base->get(), std::string_view(r.host).substr(r.relativeFrom), dir)
          : os::openDirectory(r.host, dir);
  if (out.error) return;
  os::Identity id;
  if ((out.error = os::identity(dir, id))) return;
  try {
    auto listing = std::make_shared<DirectoryListing>();
    listing->device = id.device;
    listing->inode = id.inode;
    listing->mtimeNs = id.modifiedNs;
    listing->ctimeNs = id.changedNs;
    listing->mountId = id.mountId;
    // What it holds while it waits: its paths and its names.
    t.bytes = r.viewPath.size() + r.host.size();
    listing->local = fillsEachRead(t, id.device, lk);
    // Each name is taken as it is read, as the lists name it, into lists of the
    // reader's own, so that the listing's are made once, sorted, at their size.
    struct Gathered {
      NameList subdirs;
      NameList files;
    };
    struct Sink final : os::EntrySink {
      Task& t;
      Gathered& gathered;
      std::string& childHost;
      size_t childBase;
      Sink(Task& task, Gathered& g, std::string& host)
          : t(task), gathered(g), childHost(host), childBase(host.size()) {}
      void entry(std::string_view name, bool directory) override {
        t.bytes += name.size() + sizeof(uint32_t);
        if (directory && childBase > 0) {
          // A folder on which the table puts another mount is not part of this drive.
          childHost.resize(childBase);
          childHost += name;
          if (t.drives->isMountPoint(childHost)) return;
        }
        NameList& list = directory ? gathered.subdirs : gathered.files;
        if (os::kHostNamesAreBytes) {
          list.emplace([name](std::string& bytes) { appendHostNameAsView(bytes, name); });
        } else {
          list.push_back(name);
        }
      }
    };
    thread_local std::string childHost;  // its capacity kept from read to read
    childHost.clear();                   // empty: no mount point can lie below
    // A subdirectory's path is longer than its parent's.
    if (r.host.size() < t.drives->longestMountPoint()) {
      childHost.assign(r.host);
      if (childHost.back() != os::kSeparator) childHost += os::kSeparator;
    }
    thread_local Gathered gathered;
    const auto moveInto = [](NameList& from, NameList& to) {
      sortListOrder(from, to);
      constexpr size_t kKept = 64 * 1024;
      if (from.bytes() > kKept) {
        from.release();
      } else {
        from.clear();
      }
    };
    gathered.subdirs.clear();
    gathered.files.clear();
    Sink sink(t, gathered, childHost);
    if ((out.error = os::readEntries(dir, listing->local, sink))) return;
    moveInto(gathered.subdirs, listing->subdirs);
    moveInto(gathered.files, listing->files);
    // Something mounted here since the mount table was read: not part of this
    // drive. (A drive's root is on a mount of its own, of course.)
    const bool driveRoot = r.viewPath.size() == 3;
    if (r.parent && !driveRoot && crossesMount(*listing, *r.parent, r, t.drive, *t.drives)) {
      out.outcome = ReadResult::Outcome::OtherMount;
      return;
    }
    out.listing = std::move(listing);
    out.outcome = ReadResult::Outcome::Read;
  } catch (const std::bad_alloc&) {
    out.outcome = ReadResult::Outcome::OutOfMemory;
    return;
  }
  // Kept open for the reads below it while the descriptor budget allows.
  if (SharedDirectory::openCount() < os::descriptorBudget()) {
    out.dir = std::make_shared<SharedDirectory>(std::move(dir));
  }
  if (t.ahead && !out.listing->subdirs.empty()) prepareSubdirectories(t);
}

// The tasks for a directory's subdirectories, made by its reader outside the lock.
void DirectoryReaders::State::prepareSubdirectories(Task& t) {
  const DirectoryListing& listing = *t.result.listing;
  const std::string& parentHost = t.request.host;
  // Opened relative to this directory, or to the ancestor this one was opened from.
  std::shared_ptr<const SharedDirectory> base = t.result.dir;
  size_t relativeFrom =
      parentHost.back() == os::kSeparator ? parentHost.size() : parentHost.size() + 1;
  size_t baseLength = parentHost.size();
  if (!base) {
    base = t.request.base;
    relativeFrom = t.request.relativeFrom;
    baseLength = relativeFrom;
  }
  const size_t n = listing.subdirs.size();
  // A plain folder's task carries no view path (the walk names the folders in its
  // errors): made from the host path for a subdirectory that needs one.
  std::string madeView;
  const std::string* view = &t.request.viewPath;
  const uint64_t madeFirst = made.fetch_add(n);
  t.subdirectories.reserve(n);
  for (size_t i = 0; i < n; ++i) {
    auto child = std::make_shared<Task>();
    child->drive = t.drive;
    const std::string_view name = listing.subdirs[i];
    if (t.plain && isPlainViewName(name)) {
      child->request.host.reserve(parentHost.size() + 1 + name.size());
      child->request.host = parentHost;
      if (parentHost.back() != os::kSeparator) child->request.host += os::kSeparator;
      child->request.host += name;
      child->plain = true;
    } else {
      if (view->empty()) {
        madeView = t.drives->hostToView(parentHost);
        if (driveOf(madeView) != t.drive) continue;  // read when the walk comes
        view = &madeView;
      }
      std::string& childView = child->request.viewPath;
      childView.reserve(view->size() + 1 + name.size());
      childView = *view;
      if (view->back() != '\\') childView += '\\';
      childView += name;
      auto host = t.drives->viewToHost(childView);
      if (!host) continue;
      child->request.host = std::move(*host);
    }
    // The walk asks by the path it maps itself; open relative only where it agrees.
    if (base && (child->plain ||
                 child->request.host.compare(0, baseLength, parentHost, 0, baseLength) == 0)) {
      child->request.base = base;
      child->request.relativeFrom = relativeFrom;
    }
    child->request.parent = t.result.listing;
    child->drives = t.drives;
    child->order = t.order;
    child->order.depth = t.order.depth + 1;
    if (child->order.depth < Order::kRanks) {
      child->order.ranks[child->order.depth] = static_cast<uint32_t>(n - 1 - i);
    }
    child->order.made = madeFirst + i;
    child->ahead = true;
    child->walk = t.walk;
    child->rootDevice = t.rootDevice;
    t.subdirectories.push_back(std::move(child));
  }
}

// `readerGoesOn`: the reader that finished it takes the next task itself, so one
// new task fewer needs another reader woken.
void DirectoryReaders::State::finish(const std::shared_ptr<Task>& t, bool readerGoesOn) {
  t->status = Task::Status::Done;
  t->finished.store(true, std::memory_order_release);
  const bool current = t->walk == walk && walking;
  if (t->kind == Task::Kind::Read) {
    if (t->readAhead) ++counters.aheadRead;
    if (t->counted) {
      if (current) {
        aheadBytes += t->bytes;
      } else {
        t->counted = false;  // its walk is over; endWalk reset the bounds
      }
    }
    if (current && readAhead && !t->subdirectories.empty()) {
      Siblings& children = t->subdirectories;
      std::erase_if(children, [this](const std::shared_ptr<Task>& child) {
        return !known.emplace(child->request.host, child).second;
      });
      const size_t queued = children.size();
      const bool driveRoot = t->request.viewPath.size() == 3;  // "C:\"
      if (driveRoot && queued > 1) {
        const auto last =
            children.begin() + static_cast<ptrdiff_t>(std::min(queued - 1, kEarlyFolders));
        enteredLast.assign(std::make_reverse_iterator(last), children.rend());
      }
      if (queued > 0) {
        aheadQueued += queued;
        ahead.push_back(std::move(children));
        std::push_heap(ahead.begin(), ahead.end(), heapLess);
      }
      // A chain of folders is read by one reader after the other without a wake-up.
      const size_t room = running < active ? active - running : 0;
      for (size_t i = readerGoesOn ? 1 : 0; i < queued && i < idle && i < room; ++i) {
        work.notify_one();
      }
    }
    t->subdirectories.clear();
  }
  if (waiting == t.get()) done.notify_one();
}

void DirectoryReaders::State::giveUp(char drive, const std::shared_ptr<State>& self) {
  if (givenUp.find(drive) == std::string::npos) givenUp += drive;
  ++counters.givenUp;
  // Its readers are stuck in the system: abandoned, and others take their place.
  const auto abandon = [this, drive](const std::shared_ptr<Worker>& w) {
    if (!w->task || w->task->drive != drive) return false;
    w->abandoned = true;
    --running;
    return true;
  };
  std::erase_if(workers, abandon);
  std::erase_if(retiring, abandon);
  for (auto it = known.begin(); it != known.end();) {
    Task& t = *it->second;
    if (t.drive != drive) {
      ++it;
      continue;
    }
    if (t.counted) {
      --aheadCount;
      if (t.status == Task::Status::Done) aheadBytes -= t.bytes;
      t.counted = false;
    }
    if (t.status == Task::Status::Queued) t.status = Task::Status::Dropped;
    it = known.erase(it);
  }
  for (auto& t : demands) {
    if (t->drive == drive && t->status == Task::Status::Queued) t->status = Task::Status::Dropped;
  }
  std::erase_if(enteredLast, [drive](const std::shared_ptr<Task>& t) { return t->drive == drive; });
  ensureWorkers(self);
  work.notify_all();
}

void DirectoryReaders::State::wait(Lock& lk, const std::shared_ptr<Task>& t,
                                   const std::shared_ptr<State>& self,
                                   const std::string& viewPath) {
  ++counters.waits;
  const auto start = std::chrono::steady_clock::now();
  auto keepAlive = start + kKeepAliveInterval;
  waiting = t.get();
  // However the wait ends (an answer, the deadline, the program's end).
  struct Waiting {
    State& s;
    std::chrono::steady_clock::time_point start;
    ~Waiting() {
      s.waiting = nullptr;
      s.counters.waitedNs +=
          static_cast<uint64_t>(std::chrono::duration_cast<std::chrono::nanoseconds>(
                                    std::chrono::steady_clock::now() - start)
                                    .count());
    }
  } guard{*this, start};
  // A read that is running now mostly ends within microseconds: watched for a
  // moment before this thread sleeps, which spares the two thread switches of a
  // sleep and its wake-up; but only on a core that no reader needs.
  if (t->status == Task::Status::Running && running < cores) {
    lk.unlock();
    const auto until = start + kWatchRunning;
    for (unsigned i = 1; !t->finished.load(std::memory_order_acquire); ++i) {
      if (i % 64 == 0 && std::chrono::steady_clock::now() >= until) break;
      relax();
    }
    lockSoon(lk);
  }
  while (t->status != Task::Status::Done) {
    done.wait_until(lk, std::min(keepAlive, start + deadline));
    if (t->status == Task::Status::Done) break;
    const auto now = std::chrono::steady_clock::now();
    if (now - start >= deadline) {
      giveUp(t->drive, self);
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

// --- the calls ----------------------------------------------------------------------------

namespace {

// A forked process (the tests' children) has none of the readers: it starts its own.
DirectoryReaders::State* g_forking = nullptr;

}  // namespace

DirectoryReaders::DirectoryReaders() : m_state(std::make_shared<State>()) {
  const unsigned cores = std::thread::hardware_concurrency();
  // A reader a core (two to eight) while the drives answer from memory; four a
  // core (eight to sixteen) while they make the readers wait: enough questions at
  // once for a cold disk or a share to answer in parallel.
  m_state->threads = std::clamp(4 * cores, 8u, 16u);
  m_state->cores = std::max(cores, 1u);
  m_state->fewest = std::clamp(cores, 2u, 8u);
  m_state->active = m_state->fewest;
  g_forking = m_state.get();
  os::shareAllocatorPools();
  os::reserveDescriptors(kReservedDescriptors);
  os::atFork(
      [] {
        g_forking->m.lock();
        closing().m.lock();
      },
      [] {
        closing().m.unlock();
        g_forking->m.unlock();
      },
      [] {
        closing().m.unlock();
        State& s = *g_forking;
        for (const auto& w : s.workers) {
          if (w->task) w->task->status = Task::Status::Dropped;
        }
        s.workers.clear();
        s.retiring.clear();
        s.idle = 0;
        s.running = 0;
        // The parent's readers still count as waiting on the conditions here,
        // where they do not exist: a wake-up could go to one of them. Made
        // anew (the old ones are never destroyed: that would wait for them).
        new (&s.work) std::condition_variable();
        new (&s.done) std::condition_variable();
        s.m.unlock();
      });
}

DirectoryReaders& DirectoryReaders::process() {
  static DirectoryReaders* readers = new DirectoryReaders();
  return *readers;
}

ReadResult DirectoryReaders::read(ReadRequest request, std::shared_ptr<const DriveTable> drives,
                                  bool ahead) {
  State& s = *m_state;
  const char drive = driveOf(request.viewPath);
  Lock lk(s.m, std::defer_lock);
  lockSoon(lk);
  s.handOverClosing();
  if (s.givenUp.find(drive) != std::string::npos) {
    raiseError(err::kDiskNotReady, request.viewPath);
  }
  std::shared_ptr<Task> t;
  const std::string* named = &request.viewPath;  // the folder, in errors
  const auto it = ahead ? s.known.find(request.host) : s.known.end();
  if (it != s.known.end()) {
    t = std::move(it->second);
    s.known.erase(it);
    if (t->counted) {
      --s.aheadCount;
      if (t->status == Task::Status::Done) s.aheadBytes -= t->bytes;
      t->counted = false;
      // Readers held back at the bounds start again once the walk has taken half
      // of what waits: in runs, not with a wake-up for every directory.
      const size_t limit = s.aheadLimit();
      if (s.aheadCount <= limit / 2 && s.aheadBytes <= kMaxAheadBytes / 2) {
        s.behind = false;
        if (s.heldBack) {
          s.heldBack = false;
          s.work.notify_all();
        }
      } else if (s.heldBack && s.behind && s.aheadCount <= limit + limit / 2) {
        s.heldBack = false;
        s.work.notify_all();
      }
    }
    if (t->status == Task::Status::Done) {
      ++s.counters.aheadTaken;
    } else if (t->status == Task::Status::Queued) {
      s.demands.push_back(t);
      if (s.heldBack) s.credit = std::max<size_t>(s.credit, 2 * s.active);
      if (!s.behind || s.heldBack) {
        s.behind = true;
        s.heldBack = false;
        s.work.notify_all();
      } else {
        s.wakeReader();
      }
    }
  } else {
    t = std::make_shared<Task>();
    t->drive = drive;
    t->request = std::move(request);
    named = &t->request.viewPath;
    t->drives = std::move(drives);
    t->walk = s.walk;
    t->ahead = ahead && s.walking && s.readAhead;
    if (t->ahead) {
      ++s.counters.aheadMissed;
      t->plain = isPlainViewPath(t->request.viewPath);
      t->order.ranks[0] = s.nextRootRank--;
      t->order.made = s.made++;
    }
    s.demands.push_back(t);
    s.ensureWorkers(m_state);
    s.wakeReader();
  }
  if (t->status != Task::Status::Done) s.wait(lk, t, m_state, *named);
  ReadResult result = std::move(t->result);
  // The heap may still hold the task: only a shell of it.
  // (Moved out, not assigned over: an assigned string would keep its buffer, and a
  // deep folder's path is tens of kilobytes.)
  { const ReadRequest gone = std::move(t->request); }
  t->drives.reset();
  // Tasks taken on demand stay in the heap until they come to its top: when they
  // outnumber the waiting ones, the heap is made anew without them.
  if (s.aheadQueued > 2 * s.known.size() + 1024) {
    s.aheadQueued = 0;
    std::erase_if(s.ahead, [&s](State::Siblings& siblings) {
      std::erase_if(siblings, [](const std::shared_ptr<Task>& a) {
        return a->status != Task::Status::Queued;
      });
      s.aheadQueued += siblings.size();
      return siblings.empty();
    });
    std::make_heap(s.ahead.begin(), s.ahead.end(), State::heapLess);
  }
  return result;
}

void DirectoryReaders::call(const std::string& viewPath, std::function<void()> fn) {
  State& s = *m_state;
  const char drive = driveOf(viewPath);
  Lock lk(s.m, std::defer_lock);
  lockSoon(lk);
  s.handOverClosing();
  if (s.givenUp.find(drive) != std::string::npos) raiseError(err::kDiskNotReady, viewPath);
  auto t = std::make_shared<Task>();
  t->kind = Task::Kind::Call;
  t->drive = drive;
  t->request.viewPath = viewPath;
  t->fn = std::move(fn);
  s.demands.push_back(t);
  s.ensureWorkers(m_state);
  s.wakeReader();
  s.wait(lk, t, m_state, viewPath);
}

void DirectoryReaders::beginWalk(const std::string& viewPath) {
  State& s = *m_state;
  std::lock_guard lk(s.m);
  std::erase(s.givenUp, driveOf(viewPath));
  s.walking = true;
  ++s.walk;
}

void DirectoryReaders::endWalk() {
  State& s = *m_state;
  std::lock_guard lk(s.m);
  s.handOverClosing();
  s.walking = false;
  ++s.walk;
  for (auto& [host, t] : s.known) {
    if (t->status == Task::Status::Queued) t->status = Task::Status::Dropped;
    t->counted = false;
  }
  s.known.clear();
  s.ahead.clear();
  s.enteredLast.clear();
  s.credit = 0;
  s.aheadQueued = 0;
  s.aheadCount = 0;
  s.aheadBytes = 0;
  s.behind = false;
}

void DirectoryReaders::setReadAhead(bool on) {
  std::lock_guard lk(m_state->m);
  m_state->readAhead = on;
}

void DirectoryReaders::setDeadline(std::chrono::milliseconds deadline) {
  std::lock_guard lk(m_state->m);
  m_state->deadline = deadline;
}

void DirectoryReaders::setThreads(unsigned threads) {
  State& s = *m_state;
  std::lock_guard lk(s.m);
  s.threads = std::max(threads, 1u);
  s.fewest = s.threads;
  s.active = s.threads;
  s.retireWorkers();
}

DirectoryReaders::Counters DirectoryReaders::counters() const {
  std::lock_guard lk(m_state->m);
  return m_state->counters;
}

}  // namespace platform
