// The view of one control model: a widget on the form's window that mirrors the
// model. The model tells the view what changed; the view notes it and posts itself
// to the update queue, which applies the notes to the widget at a human rate.
#pragma once

#include <QMetaObject>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "platform/controls/Control.h"

class QWidget;

namespace qtui {

class UpdateQueue;

class View : public platform::ControlView {
 public:
  // Attaches itself to `control`. The widget is made by the derived class,
  // owned by the form's window.
  View(platform::Control& control, UpdateQueue& queue);
  // Leaves the queue, cuts the widget's signals and detaches from the model, if
  // the model still lives.
  ~View() override;
  View(const View&) = delete;
  View& operator=(const View&) = delete;

  platform::Control& control() const { return m_control; }
  QWidget* widget() const { return m_widget; }
  // False once the model was destroyed (its handle no longer names it).
  bool modelAlive() const;

  void modelChanged(const platform::Control& control, platform::Property what) final;
  // Brings the widget in line with the model for what changed since the last time.
  void applyPending();
  // Brings the widget in line with the model for everything.
  void applyAll();

 protected:
  using Changes = uint32_t;
  static constexpr Changes bit(platform::Property p) { return Changes{1} << static_cast<int>(p); }
  static constexpr Changes kAll = ~Changes{0};

  // Geometry, colours, look and signals; called once by the derived constructor.
  void setWidget(QWidget* widget);
  // Keeps a connection to cut when the view goes (the widget outlives the view
  // for a moment while its window is torn down).
  void keep(QMetaObject::Connection connection) { m_connections.push_back(connection); }
  // Runs a model event handler for a user action (click, selection) unless the
  // program has ended or the model is gone.
  void dispatch(const std::function<void()>& handler) const;

  // The kind's own part of applying: caption, items, scrolling, ...
  virtual void apply(Changes what) = 0;
  // True while the view writes into its widget, so that the widget's signals are
  // not taken for user actions.
  bool applying() const { return m_applying; }

 private:
  friend class UpdateQueue;

  platform::Control& m_control;
  platform::Hwnd m_hwnd;
  UpdateQueue& m_queue;
  QWidget* m_widget = nullptr;
  std::vector<QMetaObject::Connection> m_connections;
  Changes m_pending = 0;
  bool m_queued = false;
  bool m_applying = false;
};

// Makes the view (and its widget, a child of `parent`) for a control of any kind.
std::unique_ptr<View> createView(platform::Control& control, QWidget* parent, UpdateQueue& queue);

}  // namespace qtui
