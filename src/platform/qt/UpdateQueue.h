// Coalesces model changes and applies them to the widgets at a human rate.
//
// A scan changes the counter labels and the hidden lists once per directory, tens
// of thousands of times a second; pushing every change into a widget and painting
// it would cost more than the scan itself. The views only note what changed and
// post themselves here; the queue applies the notes at most every `interval`, and
// always within `interval` of the last change, so the final state always shows.
#pragma once

#include <QElapsedTimer>
#include <QTimer>
#include <chrono>
#include <vector>

namespace qtui {

class View;

class UpdateQueue {
 public:
  explicit UpdateQueue(std::chrono::milliseconds interval);
  ~UpdateQueue();
  UpdateQueue(const UpdateQueue&) = delete;
  UpdateQueue& operator=(const UpdateQueue&) = delete;

  // `view` has changes to apply. Cheap: a flag test, and a timer start when the
  // queue was empty.
  void post(View& view);
  // `view` goes away: forget it.
  void remove(View& view);
  // Applies every pending change now.
  void flush();
  bool empty() const { return m_pending.empty(); }
  // Drops everything pending (program end).
  void stop();

  std::chrono::milliseconds interval() const { return m_interval; }

 private:
  std::chrono::milliseconds m_interval;
  std::vector<View*> m_pending;
  QTimer m_timer;
  QElapsedTimer m_sinceFlush;
};

}  // namespace qtui
