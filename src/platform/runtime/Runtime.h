// Runtime services of the form runtime: App.Path, the date and time texts,
// DoEvents and its epoch, MsgBox and End. File handles: FileHandles.h.
//
// The user interface behind DoEvents, MsgBox, End and showing a form is a UiHost:
// the Qt event loop in the program, a scripted one in tests.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <string>

namespace platform {

class Form;

struct AppObject {
  // The program's folder as a view path ("C:\opt\rozozovuvor"), without a final
  // "\" unless it is a drive root.
  std::string Path;
};
extern AppObject App;

// The folder of the program file, as a view path (the drive root of C: when the
// system cannot tell).
std::string executableFolder();

// --- date and time ----------------------------------------------------------------

using Clock = std::function<std::chrono::system_clock::time_point()>;
// Replaces the clock (tests); an empty function restores the system clock.
void setClock(Clock clock);
// The local date as "MM-DD-YYYY" and the local time as "HH:MM:SS", whatever the
// regional settings.
std::string DateText();
std::string TimeText();

// A clock that never goes back, for measuring how long apart two things happened;
// tests may replace it (an empty function restores the system's).
using MonotonicClock = std::function<std::chrono::steady_clock::time_point()>;
void setMonotonicClock(MonotonicClock clock);
std::chrono::steady_clock::time_point monotonicNow();

// --- yields ---------------------------------------------------------------------------

// Each yield (DoEvents) and each user action begins a new epoch: what was read
// from a disk in an earlier one is checked against the disk again before reuse.
void nextYieldEpoch();
uint64_t yieldEpoch();

// --- user interface ------------------------------------------------------------------

class UiHost {
 public:
  virtual ~UiHost() = default;
  // Dispatches every pending window event, then returns.
  virtual void doEvents() = 0;
  // Keeps the windows alive while the thread that runs them waits for a drive:
  // they repaint, and the cancel click and the close request run as they would in
  // a yield. Not a yield of the program's own (nothing is counted, no epoch).
  virtual void keepAlive() {}
  // A modal box with the prompt, one OK button and no title of its own.
  virtual void msgBox(const std::string& prompt) = 0;
  // Shows the form without waiting for it to close.
  virtual void showForm(Form& form) = 0;
  // The longest time between the two clicks of a double-click, as the user set it
  // in the system.
  virtual std::chrono::milliseconds doubleClickInterval() const {
    return std::chrono::milliseconds(500);
  }
  // The program ends: every file is closed already. May return; from then on
  // nothing of the program may run.
  virtual void end() = 0;
};

// The host in charge; nullptr installs the headless one (no events, message boxes
// printed to stderr).
void setUiHost(UiHost* host);
UiHost& uiHost();

void DoEvents();
void MsgBox(const std::string& prompt);
// Closes every file and ends the program. If the host returns, programEnded() is
// true from then on and callers must unwind without doing anything more.
void End();
bool programEnded();
// Tests start a new program run in the same process.
void resetProgramEnded();

}  // namespace platform
