#include "QtTestHost.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QMouseEvent>
#include <QTimer>
#include <QWidget>
#include <memory>

namespace qttest {

namespace {

std::unique_ptr<qtui::QtHost>& theHost() {
  static std::unique_ptr<qtui::QtHost> host;
  return host;
}

class QtEnvironment : public testing::Environment {
 public:
  void SetUp() override { host(); }
  void TearDown() override { theHost().reset(); }
};

// gtest owns the environment from here on.
[[maybe_unused]] testing::Environment* const g_environment =
    testing::AddGlobalTestEnvironment(std::make_unique<QtEnvironment>().release());

}  // namespace

qtui::QtHost& host() {
  if (!theHost()) theHost() = std::make_unique<qtui::QtHost>("qt_tests");
  platform::setUiHost(theHost().get());
  return *theHost();
}

void click(QWidget& widget, QPoint at) {
  if (at.x() < 0) at = widget.rect().center();
  const QPointF local(at);
  const QPointF global(widget.mapToGlobal(at));
  QMouseEvent press(QEvent::MouseButtonPress, local, global, Qt::LeftButton, Qt::LeftButton,
                    Qt::NoModifier);
  QApplication::sendEvent(&widget, &press);
  QMouseEvent release(QEvent::MouseButtonRelease, local, global, Qt::LeftButton, Qt::NoButton,
                      Qt::NoModifier);
  QApplication::sendEvent(&widget, &release);
}

void whenModalShows(const std::function<void(QWidget&)>& action, int timeoutMs) {
  // The application owns the timer until it deletes itself: once it has acted or
  // waited long enough.
  auto* timer = new QTimer(QApplication::instance());
  QElapsedTimer waited;
  waited.start();
  timer->setInterval(10);
  QObject::connect(timer, &QTimer::timeout, timer, [timer, waited, action, timeoutMs] {
    if (QWidget* modal = QApplication::activeModalWidget()) {
      timer->stop();
      timer->deleteLater();
      action(*modal);
    } else if (waited.elapsed() > timeoutMs) {
      timer->stop();
      timer->deleteLater();
    }
  });
  timer->start();
}

}  // namespace qttest
