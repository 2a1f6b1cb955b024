// scan_window: the program as a person runs it, with the Qt window: the window is
// shown, "start" is clicked once the event loop runs, and the program quits when
// the scan has completed and its final counts are painted. Run it on an X server
// (Xvfb) or with QT_QPA_PLATFORM=offscreen.
//
//   scan_window --root TREE --out DIR    TREE as drive C:, the log in DIR
//   scan_window --machine --out DIR      the machine's own scan drives
//
// Prints what scan_headless prints; the seconds run from the click to the end of
// the scan.
#include <QCoreApplication>
#include <QTimer>
#include <chrono>

#include "BenchSetup.h"
#include "platform/qt/QtHost.h"
#include "platform/runtime/Runtime.h"
#include "scanner/FormSpurlauf.h"

int main(int argc, char** argv) {
  const char* program = "scan_window";
  const bench::Options options = bench::parseOptions(argc, argv, program);

  qtui::QtHost host(argv[0]);
  platform::setUiHost(&host);
  bench::prepareScan(options, program);

  scanner::FormSpurlauf& form = scanner::createMainWindow();
  form.INITIALIZE();

  int code = 1;
  QTimer::singleShot(0, [&] {
    const auto start = std::chrono::steady_clock::now();
    // The whole scan runs inside the click, as it does for a person.
    form.CommandStartCancel.click();
    const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
    // The final counts reach the window, then the program ends as on a close
    // request while idle.
    host.flush();
    QCoreApplication::processEvents();
    code = bench::reportScan(program, took.count());
    platform::End();
  });
  host.exec();
  return code;
}
