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

int g_argc = 1;
char g_name[] = "qt_tests";
char* g_argv[] = {g_name, nullptr};

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
  if (!theHost()) theHost() = std::make_unique<qtui::QtHost>(g_argc, g_argv);
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
  auto timer = std::make_shared<QTimer>();
  auto waited = std::make_shared<QElapsedTimer>();
  waited->start();
  timer->setInterval(10);
  QObject::connect(timer.get(), &QTimer::timeout, [timer, waited, action, timeoutMs] {
    if (QWidget* modal = QApplication::activeModalWidget()) {
      timer->stop();
      action(*modal);
    } else if (waited->elapsed() > timeoutMs) {
      timer->stop();
    }
  });
  timer->start();
}

}  // namespace qttest
