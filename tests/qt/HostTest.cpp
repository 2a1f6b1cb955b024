// The host itself: the event loop, the end of the program, the update queue.
#include <gtest/gtest.h>

#include <QApplication>
#include <QThread>
#include <QTimer>

#include "QtTestHost.h"
#include "platform/qt/View.h"
#include "platform/runtime/Runtime.h"

namespace {

TEST(QtHost, ExecReturnsWhenTheProgramEnds) {
  qtui::QtHost& host = qttest::host();
  platform::resetProgramEnded();
  QTimer::singleShot(10, [] { platform::End(); });
  EXPECT_EQ(host.exec(), 0);
  EXPECT_TRUE(platform::programEnded());
  // Once ended, the loop does not even start.
  EXPECT_EQ(host.exec(), 0);
  platform::resetProgramEnded();
}

TEST(QtHost, DoEventsLetsPendingEventsThrough) {
  qttest::host();
  platform::resetProgramEnded();
  bool ran = false;
  QTimer::singleShot(0, [&ran] { ran = true; });
  // The pump runs at most once a millisecond; two yields far enough apart.
  for (int i = 0; i < 3 && !ran; ++i) {
    QThread::usleep(1500);
    platform::DoEvents();
  }
  EXPECT_TRUE(ran);
}

TEST(QtHost, NothingRunsAfterTheEnd) {
  qttest::host();
  platform::resetProgramEnded();
  platform::End();
  bool ran = false;
  QTimer::singleShot(0, [&ran] { ran = true; });
  QThread::usleep(1500);
  platform::DoEvents();
  EXPECT_FALSE(ran);
  platform::resetProgramEnded();
  QCoreApplication::processEvents();
}

}  // namespace
