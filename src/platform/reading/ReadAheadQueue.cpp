#include "platform/reading/ReadAheadQueue.h"

#include <algorithm>
#include <iterator>

namespace platform {

bool ReadAheadQueue::heapLess(const Siblings& a, const Siblings& b) {
  return walkedBefore(b.back()->order, a.back()->order);  // the earliest on top
}

size_t ReadAheadQueue::add(ReadTask& parent) {
  Siblings& children = parent.subdirectories;
  std::erase_if(children, [this](const std::shared_ptr<ReadTask>& child) {
    return !m_known.emplace(child->request.host, child).second;
  });
  const size_t queued = children.size();
  const bool driveRoot = parent.request.viewPath.size() == 3;  // "C:\"
  if (driveRoot && queued > 1) {
    const auto last =
        children.begin() + static_cast<ptrdiff_t>(std::min(queued - 1, kEarlyFolders));
    m_earlyFolders.assign(std::make_reverse_iterator(last), children.rend());
  }
  if (queued > 0) {
    m_inHeap += queued;
    m_heap.push_back(std::move(children));
    std::push_heap(m_heap.begin(), m_heap.end(), heapLess);
  }
  children.clear();
  return queued;
}

std::shared_ptr<ReadTask> ReadAheadQueue::countIn(std::shared_ptr<ReadTask> t, size_t count) {
  if (m_count >= count) --m_credit;
  t->countsAgainstBounds = true;
  t->readBeforeAsked = true;
  ++m_count;
  return t;
}

std::shared_ptr<ReadTask> ReadAheadQueue::next(size_t limit, bool earlyFoldersFirst) {
  // Behind the walk, the readers may go past the bounds: what they read ahead so
  // far lies further along the walk than where it is now.
  const size_t count = m_behind ? 2 * limit : limit;
  const auto room = [this, count] {
    return m_bytes < kMaxAheadBytes && (m_count < count || m_credit > 0);
  };
  while (earlyFoldersFirst && !m_earlyFolders.empty() && room()) {
    auto t = std::move(m_earlyFolders.back());
    m_earlyFolders.pop_back();
    if (t->status == ReadTask::Status::Queued) return countIn(std::move(t), count);
  }
  while (!m_heap.empty() && room()) {
    std::pop_heap(m_heap.begin(), m_heap.end(), heapLess);
    Siblings& siblings = m_heap.back();
    auto t = std::move(siblings.back());
    siblings.pop_back();
    --m_inHeap;
    if (siblings.empty()) {
      m_heap.pop_back();
    } else {
      std::push_heap(m_heap.begin(), m_heap.end(), heapLess);
    }
    if (t->status == ReadTask::Status::Queued) return countIn(std::move(t), count);
  }
  return nullptr;
}

void ReadAheadQueue::finished(ReadTask& t) {
  if (t.countsAgainstBounds) m_bytes += t.bytes;
}

void ReadAheadQueue::release(ReadTask& t) {
  if (!t.countsAgainstBounds) return;
  --m_count;
  if (t.status == ReadTask::Status::Done) m_bytes -= t.bytes;
  t.countsAgainstBounds = false;
}

ReadAheadQueue::Taken ReadAheadQueue::take(std::string_view host, size_t limit, unsigned readers) {
  Taken taken;
  const auto it = m_known.find(host);
  if (it == m_known.end()) return taken;
  taken.task = std::move(it->second);
  m_known.erase(it);
  ReadTask& t = *taken.task;
  if (t.countsAgainstBounds) {
    release(t);
    if (m_count <= limit / 2 && m_bytes <= kMaxAheadBytes / 2) {
      m_behind = false;
      if (m_heldBack) {
        m_heldBack = false;
        taken.wake = Wake::AllReaders;
      }
    } else if (m_heldBack && m_behind && m_count <= limit + limit / 2) {
      m_heldBack = false;
      taken.wake = Wake::AllReaders;
    }
  }
  if (t.status == ReadTask::Status::Queued) {
    if (m_heldBack) m_credit = std::max<size_t>(m_credit, 2 * size_t{readers});
    if (!m_behind || m_heldBack) {
      m_behind = true;
      m_heldBack = false;
      taken.wake = Wake::AllReaders;
    } else if (taken.wake == Wake::None) {
      taken.wake = Wake::OneReader;
    }
  }
  return taken;
}

void ReadAheadQueue::dropDrive(char drive) {
  for (auto it = m_known.begin(); it != m_known.end();) {
    ReadTask& t = *it->second;
    if (t.drive != drive) {
      ++it;
      continue;
    }
    release(t);
    t.drop();
    it = m_known.erase(it);
  }
  std::erase_if(m_earlyFolders,
                [drive](const std::shared_ptr<ReadTask>& t) { return t->drive == drive; });
}

void ReadAheadQueue::clear() {
  for (auto& [host, t] : m_known) {
    t->drop();
    t->countsAgainstBounds = false;
  }
  m_known.clear();
  m_heap.clear();
  m_earlyFolders.clear();
  m_credit = 0;
  m_inHeap = 0;
  m_count = 0;
  m_bytes = 0;
  m_behind = false;
}

void ReadAheadQueue::compact() {
  if (m_inHeap <= 2 * m_known.size() + 1024) return;
  m_inHeap = 0;
  std::erase_if(m_heap, [this](Siblings& siblings) {
    std::erase_if(siblings, [](const std::shared_ptr<ReadTask>& a) {
      return a->status != ReadTask::Status::Queued;
    });
    m_inHeap += siblings.size();
    return siblings.empty();
  });
  std::make_heap(m_heap.begin(), m_heap.end(), heapLess);
}

}  // namespace platform
