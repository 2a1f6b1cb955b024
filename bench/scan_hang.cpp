// scan_hang: the program in its Qt window while a network share does not answer.
// Run through rz_hanging_share, which mounts the share (its folder "haengt" never
// answers) and then becomes this program:
//
//   rz_hanging_share SHARE rz_error_fs scan_hang --share SHARE --out DIR --mode M
//
// The share is drive D: (a network drive), the only one scanned. Once the walk
// waits for it, the window is asked to repaint at every turn of the event loop and
// the repaints are counted for two seconds. Then, by mode:
//   cancel   "abbrechen" is clicked (queued as a click is);
//   close    the close request comes (queued as the window manager's does);
//   giveup   nothing: the share is given up at the deadline and the scan completes.
// Prints the repaints a second during the wait, how long the program took to end
// after the request (or the scan to complete), and the log's last line.
#include <QApplication>
#include <QCoreApplication>
#include <QEvent>
#include <QTimer>
#include <QWidget>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <functional>
#include <string>

#include "BenchSetup.h"
#include "app/Module1.h"
#include "platform/drives/Drives.h"
#include "platform/qt/QtHost.h"
#include "platform/runtime/Runtime.h"
#include "scanner/FormSpurlauf.h"

namespace {

using Clock = std::chrono::steady_clock;

double since(Clock::time_point t) {
  return std::chrono::duration<double>(Clock::now() - t).count();
}

// Counts the window's repaints (its own paint events, not those of its controls).
class PaintCounter : public QObject {
 public:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() == QEvent::Paint && watched->isWidgetType() &&
        static_cast<QWidget*>(watched)->isWindow()) {
      ++paints;
    }
    return false;
  }
  int paints = 0;
};

// The window's own host, with the keep-alive watched.
class ProbeHost : public platform::UiHost {
 public:
  explicit ProbeHost(qtui::QtHost& qt) : m_qt(qt) {}

  void doEvents() override { m_qt.doEvents(); }
  void msgBox(const std::string& prompt) override { m_qt.msgBox(prompt); }
  void showForm(platform::Form& form) override { m_qt.showForm(form); }
  std::chrono::milliseconds doubleClickInterval() const override {
    return m_qt.doubleClickInterval();
  }

  void keepAlive() override {
    if (!waiting) {
      waiting = true;
      waitBegan = Clock::now();
    }
    // A repaint asked for at every turn: how often the window can show one.
    for (QWidget* w : QApplication::topLevelWidgets()) {
      if (w->isVisible()) w->update();
    }
    if (!requested && since(waitBegan) >= 2.0) {
      repaintsPerSecond = counter.paints / since(waitBegan);
      if (onWaited) onWaited();
      requested = true;
      requestedAt = Clock::now();
    }
    m_qt.keepAlive();
  }

  void end() override {
    endedAt = Clock::now();
    ended = true;
    m_qt.end();
  }

  PaintCounter counter;
  std::function<void()> onWaited;
  bool waiting = false, requested = false, ended = false;
  double repaintsPerSecond = 0;
  Clock::time_point waitBegan, requestedAt, endedAt;

 private:
  qtui::QtHost& m_qt;
};

}  // namespace

int main(int argc, char** argv) {
  std::string share, out, mode;
  for (int i = 1; i + 1 < argc; i += 2) {
    if (std::strcmp(argv[i], "--share") == 0) share = argv[i + 1];
    if (std::strcmp(argv[i], "--out") == 0) out = argv[i + 1];
    if (std::strcmp(argv[i], "--mode") == 0) mode = argv[i + 1];
  }
  if (share.empty() || out.empty() || (mode != "cancel" && mode != "close" && mode != "giveup")) {
    std::fprintf(stderr, "usage: scan_hang --share DIR --out DIR --mode cancel|close|giveup\n");
    return 2;
  }
  qtui::QtHost qt(argv[0]);
  ProbeHost host(qt);
  platform::setUiHost(&host);
  QCoreApplication::instance()->installEventFilter(&host.counter);
  platform::setSystemDrives(platform::DriveTable::fromDrives({
      {'D', share, platform::DRIVE_REMOTE, "fuse.sshfs", "rz-error-fs"},
      {'P', out, platform::DRIVE_FIXED, "ext4", "bench"},
  }));
  app::ScanDrives = {"D:\\"};
  platform::App.Path = "P:\\";

  scanner::FormSpurlauf& form = scanner::createMainWindow();
  form.INITIALIZE();
  host.onWaited = [&] {
    if (mode == "cancel") {
      QTimer::singleShot(0, [&] { form.CommandStartCancel.click(); });
    } else if (mode == "close") {
      for (QWidget* w : QApplication::topLevelWidgets()) {
        if (w->isVisible()) QMetaObject::invokeMethod(w, "close", Qt::QueuedConnection);
      }
    }
  };

  const auto start = Clock::now();
  double scanSeconds = 0;
  QTimer::singleShot(0, [&] {
    form.CommandStartCancel.click();
    scanSeconds = since(start);
    if (!host.ended) platform::End();
  });
  qt.exec();

  std::printf("mode: %s\n", mode.c_str());
  std::printf("repaints_per_second_while_waiting: %.1f\n", host.repaintsPerSecond);
  if (mode == "giveup") {
    std::printf("scan_seconds: %.2f\n", scanSeconds);
    std::printf(
        "completed_after_the_wait_began_s: %.2f\n",
        host.waiting ? std::chrono::duration<double>(host.endedAt - host.waitBegan).count() : 0.0);
  } else {
    std::printf("ended_after_request_s: %.3f\n",
                host.requested && host.ended
                    ? std::chrono::duration<double>(host.endedAt - host.requestedAt).count()
                    : -1.0);
  }
  const auto logHost = platform::systemDrives().viewToHost(app::LogFileName);
  std::ifstream log(logHost ? *logHost : std::string(), std::ios::binary);
  std::string line, last;
  bool cancelLine = false;
  while (std::getline(log, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    cancelLine =
        cancelLine || line == "SCANVORGANG WURDE MANUELL ABGEBROCHEN! NICHT VOLLST\xC4NDIG!";
    last = line;
  }
  std::printf("log_cancellation_line: %s\n", cancelLine ? "yes" : "no");
  std::printf("log_last_line: %s\n", last.c_str());
  return 0;
}
