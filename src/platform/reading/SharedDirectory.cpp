#include "platform/reading/SharedDirectory.h"

#include <new>

namespace platform {

namespace {

thread_local bool t_reader = false;

}  // namespace

DescriptorBudget& DescriptorBudget::process() {
  static auto* budget = new DescriptorBudget(os::descriptorBudget());
  return *budget;
}

std::shared_ptr<const SharedDirectory> DescriptorBudget::keep(os::Directory&& dir) {
  if (!hasRoom()) return nullptr;
  return std::make_shared<SharedDirectory>(std::move(dir), *this);
}

void DescriptorBudget::taken() {
  const size_t now = m_open.fetch_add(1, std::memory_order_relaxed) + 1;
  size_t most = m_mostOpen.load(std::memory_order_relaxed);
  while (now > most && !m_mostOpen.compare_exchange_weak(most, now, std::memory_order_relaxed)) {
  }
}

SharedDirectory::SharedDirectory(os::Directory dir, DescriptorBudget& budget)
    : m_dir(std::move(dir)), m_budget(m_dir.holdsDescriptor() ? &budget : nullptr) {
  if (m_budget) m_budget->taken();
}

SharedDirectory::~SharedDirectory() {
  if (m_budget && !t_reader) {
    ClosingDirectories& c = ClosingDirectories::process();
    try {
      const std::lock_guard lk(c.m);
      c.dirs.push_back(LetGo{std::move(m_dir), m_budget});
      return;  // counted until a reader closes it
    } catch (const std::bad_alloc&) {
      // closed here, then
    }
  }
  m_dir.close();
  if (m_budget) m_budget->released();
}

void markReaderThread() {
  t_reader = true;
}

ClosingDirectories& ClosingDirectories::process() {
  static auto* pending = new ClosingDirectories;
  return *pending;
}

void closeLetGo(std::vector<LetGo>& dirs) {
  for (LetGo& d : dirs) {
    d.dir.close();
    d.budget->released();
  }
  dirs.clear();
}

}  // namespace platform
