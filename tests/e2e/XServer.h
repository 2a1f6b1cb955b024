// A virtual X server (Xvfb) of a test's own, and what the tests ask it directly.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>

#include "Process.h"

struct _XDisplay;

namespace e2e {

using WindowId = unsigned long;

struct WindowState {
  bool viewable = false;
  int x = 0, y = 0;  // on the screen
  int width = 0, height = 0;
};

class XServer {
 public:
  // Starts Xvfb on a display number it chooses itself (-displayfd), so parallel
  // tests never race for one; its messages go to `logFile`. Throws on failure.
  XServer(const std::string& xvfb, const std::filesystem::path& logFile);
  ~XServer();
  XServer(const XServer&) = delete;
  XServer& operator=(const XServer&) = delete;

  // ":7"
  const std::string& display() const { return m_display; }

  WindowState state(WindowId window);
  std::string title(WindowId window);
  // True when the window takes part in the WM_DELETE_WINDOW protocol.
  bool acceptsDeleteWindow(WindowId window);
  // Sends the close request a window manager sends when the user closes a window:
  // a WM_PROTOCOLS client message carrying WM_DELETE_WINDOW. No window manager
  // is needed.
  void requestClose(WindowId window);

 private:
  Child m_server;
  std::string m_display;
  _XDisplay* m_connection = nullptr;
};

}  // namespace e2e
