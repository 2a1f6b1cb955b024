#include "platform/qt/QtHost.h"

#include <QApplication>
#include <QIcon>
#include <QMessageBox>
#include <QPushButton>
#include <algorithm>

#include "platform/controls/Form.h"
#include "platform/qt/DefaultFont.h"
#include "platform/qt/FormWindow.h"

// DoEvents and painting.
//
// The directory walk calls DoEvents once per directory and sets the counter
// labels just before, tens of thousands of times a second on a tree of small
// directories. Measured with Qt 6.4 on a 2-core machine:
//   - a pass of processEvents() with nothing pending: 2.5 us, offscreen and on
//     Xvfb alike;
//   - one label update plus the event pass that paints it: 25 us offscreen,
//     130 us on Xvfb (more on a real X server with a compositor).
// So DoEvents runs an event pass at most once a millisecond; a call between two
// passes is one monotonic clock read (35 ns in all), and a click or a close
// request is still handled within a millisecond of the walk's next yield. Model
// changes never touch the widgets directly: the views note them and the update
// queue applies them at most every 50 ms, and once more within 50 ms after the
// last change, so the final counts always show. A counter update plus its yield
// costs about 150 ns this way; the widgets repaint about 20 times a second.

namespace qtui {

namespace {

constexpr qint64 kPumpIntervalNs =
    std::chrono::duration_cast<std::chrono::nanoseconds>(QtHost::kPumpInterval).count();

}  // namespace

QtHost::QtHost(const char* programName)
    : m_programName(programName ? programName : "rozozovuvor-ororuzi"),
      m_argv{m_programName.data(), nullptr},
      m_app(std::make_unique<QApplication>(m_argc, m_argv.data())),
      m_updates(kRepaintInterval) {
  QCoreApplication::setApplicationName(QString::fromLatin1(kApplicationTitle));
  // Only End ends the program; a hidden last window does not.
  QApplication::setQuitOnLastWindowClosed(false);
  QApplication::setFont(classicDefaultFont());
  m_clock.start();
  m_lastPump = -kPumpIntervalNs;
}

QtHost::~QtHost() {
  if (&platform::uiHost() == this) platform::setUiHost(nullptr);
  m_windows.clear();
  m_updates.stop();
}

int QtHost::exec() {
  if (platform::programEnded()) return 0;
  m_inExec = true;
  const int code = QApplication::exec();
  m_inExec = false;
  return code;
}

void QtHost::doEvents() {
  if (m_clock.nsecsElapsed() - m_lastPump < kPumpIntervalNs) return;
  QCoreApplication::processEvents(QEventLoop::AllEvents);
  m_lastPump = m_clock.nsecsElapsed();
}

void QtHost::keepAlive() {
  QCoreApplication::processEvents(QEventLoop::AllEvents);
  m_lastPump = m_clock.nsecsElapsed();
}

void QtHost::msgBox(const std::string& prompt) {
  flush();
  QWidget* owner = QApplication::activeWindow();
  if (!owner) {
    for (const auto& w : m_windows) {
      if (w->isVisible()) {
        owner = w.get();
        break;
      }
    }
  }
  QMessageBox box(owner);
  box.setWindowTitle(QString::fromLatin1(kApplicationTitle));
  box.setIcon(QMessageBox::NoIcon);
  box.setTextFormat(Qt::PlainText);
  box.setText(QString::fromStdString(prompt));
  box.setStandardButtons(QMessageBox::Ok);
  box.setDefaultButton(QMessageBox::Ok);
  // A plain OK, whatever the desktop's style puts on dialog buttons.
  box.button(QMessageBox::Ok)->setIcon(QIcon());
  box.exec();
}

void QtHost::showForm(platform::Form& form) {
  dropDeadWindows();
  FormWindow* w = window(form);
  if (!w) {
    m_windows.push_back(std::make_unique<FormWindow>(form, m_updates));
    w = m_windows.back().get();
    // The classic runtime ends a program whose last window was closed.
    w->onClosed = [this] {
      if (!anyWindowVisible()) platform::End();
    };
  }
  flush();
  w->show();
  w->activateWindow();
}

std::chrono::milliseconds QtHost::doubleClickInterval() const {
  return std::chrono::milliseconds(QApplication::doubleClickInterval());
}

void QtHost::end() {
  m_updates.stop();
  for (const auto& w : m_windows) w->hide();
  // Outside exec() there is no loop to leave, and an exit() then would make
  // every later modal loop return at once; exec() sees the end by itself.
  if (m_inExec) QCoreApplication::exit(0);
}

void QtHost::flush() {
  m_updates.flush();
}

FormWindow* QtHost::window(const platform::Form& form) const {
  for (const auto& w : m_windows) {
    if (&w->form() == &form && w->modelAlive()) return w.get();
  }
  return nullptr;
}

void QtHost::releaseForm(const platform::Form& form) {
  std::erase_if(m_windows,
                [&form](const std::unique_ptr<FormWindow>& w) { return &w->form() == &form; });
}

void QtHost::dropDeadWindows() {
  std::erase_if(m_windows, [](const std::unique_ptr<FormWindow>& w) { return !w->modelAlive(); });
}

bool QtHost::anyWindowVisible() const {
  return std::any_of(m_windows.begin(), m_windows.end(),
                     [](const std::unique_ptr<FormWindow>& w) { return w->isVisible(); });
}

}  // namespace qtui
