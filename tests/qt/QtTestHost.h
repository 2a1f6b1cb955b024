// One QtHost for the whole qt_tests process (Qt allows one QApplication per
// process), made before the first test and destroyed after the last.
#pragma once

#include <QPoint>

#include "platform/qt/QtHost.h"

class QWidget;

namespace qttest {

// The shared host; it is also the current UI host while the tests run.
qtui::QtHost& host();

// Presses and releases the left mouse button at `at` (the widget's centre when
// omitted), through Qt's event delivery as a real click would come.
void click(QWidget& widget, QPoint at = QPoint(-1, -1));

// Runs `action` on the first modal widget that shows up within `timeoutMs`
// (e.g. a message box); if none shows up, does nothing.
void whenModalShows(const std::function<void(QWidget&)>& action, int timeoutMs = 2000);

}  // namespace qttest
