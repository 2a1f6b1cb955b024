// The Qt user interface of the form runtime: the application object, the event
// pump behind DoEvents, the message box, the windows of the forms and the end of
// the program. The only host of the program; tests of the logic use a scripted one.
#pragma once

#include <QElapsedTimer>
#include <array>
#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include "platform/qt/UpdateQueue.h"
#include "platform/runtime/Runtime.h"

class QApplication;

namespace qtui {

class FormWindow;

// The title of a message box that has none of its own, as the classic runtime
// used the project's name.
inline constexpr const char* kApplicationTitle = "Rozozovuvor-Ororuzi";

class QtHost final : public platform::UiHost {
 public:
  // Creates the QApplication (one per process) with the windows' default font.
  // The program takes no command line: Qt is given `programName` (argv[0]; may be
  // null) and no argument, so that none of its own options (-platform, -style,
  // -qwindowtitle, -reverse, ...) acts on the program.
  explicit QtHost(const char* programName);
  // Destroys the windows (detaching them from their forms) and the application;
  // if this is the current host, the headless one takes over.
  ~QtHost() override;
  QtHost(const QtHost&) = delete;
  QtHost& operator=(const QtHost&) = delete;

  // Runs the event loop until the program ends; returns 0 at once if it has
  // ended already.
  int exec();

  // Lets pending input through (at most once a millisecond, see QtHost.cpp);
  // model changes reach the widgets through the update queue.
  void doEvents() override;
  void keepAlive() override;
  // A modal box with the prompt and an OK button, titled kApplicationTitle;
  // returns when it is dismissed.
  void msgBox(const std::string& prompt) override;
  // Creates the form's window on first show, brings it up to date and shows it.
  void showForm(platform::Form& form) override;
  // QApplication::doubleClickInterval().
  std::chrono::milliseconds doubleClickInterval() const override;
  // Hides every window and makes exec() return.
  void end() override;

  // Applies every pending model change to the widgets now.
  void flush();
  // The form's window; nullptr before the form was first shown.
  FormWindow* window(const platform::Form& form) const;
  // Destroys the form's window, detaching it from the form; the next Show makes
  // a new one. For a form that is about to be destroyed.
  void releaseForm(const platform::Form& form);

  UpdateQueue& updates() { return m_updates; }

  // At most this often model changes are pushed to the widgets (and painted).
  static constexpr std::chrono::milliseconds kRepaintInterval{50};
  // At most this often DoEvents runs a pass of the event loop.
  static constexpr std::chrono::microseconds kPumpInterval{1000};

 private:
  void dropDeadWindows();
  bool anyWindowVisible() const;

  // Qt's command line: the program's name only. Declared before m_app, which
  // keeps them for its lifetime.
  std::string m_programName;
  int m_argc = 1;
  std::array<char*, 2> m_argv{};
  std::unique_ptr<QApplication> m_app;
  UpdateQueue m_updates;
  std::vector<std::unique_ptr<FormWindow>> m_windows;
  QElapsedTimer m_clock;
  qint64 m_lastPump = 0;
  bool m_inExec = false;
};

}  // namespace qtui
