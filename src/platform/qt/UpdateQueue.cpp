#include "platform/qt/UpdateQueue.h"

#include <algorithm>

#include "platform/qt/View.h"

namespace qtui {

UpdateQueue::UpdateQueue(std::chrono::milliseconds interval) : m_interval(interval) {
  m_timer.setSingleShot(true);
  QObject::connect(&m_timer, &QTimer::timeout, [this] { flush(); });
  m_sinceFlush.start();
}

UpdateQueue::~UpdateQueue() {
  for (View* view : m_pending) view->m_queued = false;
}

void UpdateQueue::post(View& view) {
  if (view.m_queued) return;
  view.m_queued = true;
  m_pending.push_back(&view);
  if (!m_timer.isActive()) {
    // Right away after a quiet spell, else one interval after the last flush.
    const auto wait = m_interval.count() - m_sinceFlush.elapsed();
    m_timer.start(static_cast<int>(std::max<qint64>(0, wait)));
  }
}

void UpdateQueue::remove(View& view) {
  if (!view.m_queued) return;
  view.m_queued = false;
  m_pending.erase(std::remove(m_pending.begin(), m_pending.end(), &view), m_pending.end());
}

void UpdateQueue::flush() {
  m_timer.stop();
  m_sinceFlush.restart();
  std::vector<View*> views;
  views.swap(m_pending);
  for (View* view : views) {
    // Applying never destroys a view; it may only post one again.
    view->m_queued = false;
    view->applyPending();
  }
}

void UpdateQueue::stop() {
  m_timer.stop();
  for (View* view : m_pending) view->m_queued = false;
  m_pending.clear();
}

}  // namespace qtui
