#include "platform/qt/View.h"

#include <QPalette>
#include <QWidget>

#include "platform/qt/Twips.h"
#include "platform/qt/UpdateQueue.h"
#include "platform/qt/ViewKinds.h"
#include "platform/runtime/UserAction.h"

namespace qtui {

namespace {

QColor toQColor(const platform::Color& c) {
  return {c.red, c.green, c.blue};
}

}  // namespace

View::View(platform::Control& control, UpdateQueue& queue)
    : m_control(control), m_hwnd(control.hwnd()), m_queue(queue) {
  m_control.attachView(this);
}

View::~View() {
  m_queue.remove(*this);
  for (const QMetaObject::Connection& c : m_connections) QObject::disconnect(c);
  if (modelAlive() && m_control.view() == this) m_control.attachView(nullptr);
}

bool View::modelAlive() const {
  return platform::controlFromHwnd(m_hwnd) == &m_control;
}

void View::modelChanged(const platform::Control& /*control*/, platform::Property what) {
  m_pending |= bit(what);
  m_queue.post(*this);
}

void View::applyPending() {
  const Changes what = m_pending;
  m_pending = 0;
  if (what == 0 || !m_widget || !modelAlive()) return;
  m_applying = true;
  if (what & bit(platform::Property::Enabled)) m_widget->setEnabled(m_control.Enabled());
  apply(what);
  if (what & bit(platform::Property::Visible)) m_widget->setVisible(m_control.Visible());
  m_applying = false;
}

void View::applyAll() {
  m_pending = kAll;
  applyPending();
}

void View::setWidget(QWidget* widget) {
  m_widget = widget;
  widget->setObjectName(QString::fromStdString(m_control.name()));
  widget->setGeometry(toPixels(m_control.geometry()));
  if (!m_control.toolTipText.empty()) {
    widget->setToolTip(QString::fromStdString(m_control.toolTipText));
  }
  if (m_control.backColor || m_control.foreColor) {
    // Every role a kind of widget may paint its face or its text with.
    QPalette palette = widget->palette();
    if (m_control.backColor) {
      const QColor back = toQColor(*m_control.backColor);
      for (QPalette::ColorRole role : {QPalette::Window, QPalette::Base, QPalette::Button}) {
        palette.setColor(role, back);
      }
      widget->setAutoFillBackground(true);
    }
    if (m_control.foreColor) {
      const QColor fore = toQColor(*m_control.foreColor);
      for (QPalette::ColorRole role :
           {QPalette::WindowText, QPalette::Text, QPalette::ButtonText}) {
        palette.setColor(role, fore);
      }
    }
    widget->setPalette(palette);
  }
}

void View::dispatch(const std::function<void()>& handler) const {
  if (m_applying || !modelAlive()) return;
  platform::runUserAction(handler);
}

std::unique_ptr<View> createView(platform::Control& control, QWidget* parent, UpdateQueue& queue) {
  std::unique_ptr<View> view;
  switch (control.kind()) {
    case platform::ControlKind::Label:
      view = makeLabelView(static_cast<platform::Label&>(control), parent, queue);
      break;
    case platform::ControlKind::CommandButton:
      view = makeButtonView(static_cast<platform::CommandButton&>(control), parent, queue);
      break;
    case platform::ControlKind::PictureBox:
      view = makePictureView(static_cast<platform::PictureBox&>(control), parent, queue);
      break;
    case platform::ControlKind::ListBox:
      view = makeListBoxView(static_cast<platform::ListBox&>(control), parent, queue);
      break;
    case platform::ControlKind::ComboBox:
      view = makeComboBoxView(static_cast<platform::ComboBox&>(control), parent, queue);
      break;
    case platform::ControlKind::DriveListBox:
      view = makeDriveListView(static_cast<platform::DriveListBox&>(control), parent, queue);
      break;
    case platform::ControlKind::DirListBox:
      view = makeDirListView(static_cast<platform::DirListBox&>(control), parent, queue);
      break;
    case platform::ControlKind::FileListBox:
      view = makeFileListView(static_cast<platform::FileListBox&>(control), parent, queue);
      break;
  }
  view->applyAll();
  return view;
}

}  // namespace qtui
