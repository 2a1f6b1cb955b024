// The Windows user interface of the form runtime: each form a top-level window of
// its own class, each control the system's own (STATIC, BUTTON, LISTBOX,
// COMBOBOX), the message loop behind DoEvents, MessageBoxW for MsgBox, WM_CLOSE
// as the close request. The counterpart of the Qt host on Linux.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include <windows.h>

#include "platform/runtime/Runtime.h"

namespace win32ui {

class FormWindow;

class Win32Host final : public platform::UiHost {
 public:
  Win32Host();
  ~Win32Host() override;
  Win32Host(const Win32Host&) = delete;
  Win32Host& operator=(const Win32Host&) = delete;

  // Runs the message loop until the program ends; 0 at once if it has ended. Keys
  // go through the dialog navigation (IsDialogMessage) in both loops.
  int exec();

  // Dispatches every message waiting in the queue (PeekMessage/DispatchMessage).
  void doEvents() override;
  void keepAlive() override { doEvents(); }
  // MessageBoxW with the prompt, OK only, titled with the program's name.
  void msgBox(const std::string& prompt) override;
  // Creates the form's window on first show (controls included) and shows it.
  void showForm(platform::Form& form) override;
  // GetDoubleClickTime.
  std::chrono::milliseconds doubleClickInterval() const override;
  // Destroys every window and ends the message loop.
  void end() override;

 private:
  void dispatch(MSG& msg);

  std::vector<std::unique_ptr<FormWindow>> m_windows;
  HWND m_owner = nullptr;  // the hidden owner of the dialog forms: no task-bar button
  bool m_ended = false;
};

}  // namespace win32ui
