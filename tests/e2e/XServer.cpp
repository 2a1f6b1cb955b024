#include "XServer.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <cerrno>
#include <stdexcept>

namespace e2e {

namespace {

// A window that is gone between two requests is an answer, not a reason to end
// the test process (Xlib's default handler exits).
int g_lastXError = 0;
int recordXError(Display*, XErrorEvent* event) {
  g_lastXError = event->error_code;
  return 0;
}

std::string readDisplayNumber(int fd, Child& server, Clock::duration timeout) {
  std::string text;
  const auto deadline = Clock::now() + timeout;
  while (text.find('\n') == std::string::npos) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
    if (left <= 0ms) throw std::runtime_error("Xvfb did not report its display in time");
    pollfd p{fd, POLLIN, 0};
    const int r = ::poll(&p, 1, static_cast<int>(left.count()));
    if (r < 0 && errno == EINTR) continue;
    if (r <= 0) continue;
    char buffer[64];
    const ssize_t n = ::read(fd, buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      const auto st = server.waitFor(1s);
      throw std::runtime_error("Xvfb ended before it was ready (" +
                               (st ? describeStatus(*st) : std::string("still running")) + ")");
    }
    text.append(buffer, static_cast<size_t>(n));
  }
  return text.substr(0, text.find('\n'));
}

}  // namespace

XServer::XServer(const std::string& xvfb, const std::filesystem::path& logFile) {
  int fds[2];
  if (::pipe2(fds, O_CLOEXEC) != 0) throw std::runtime_error("pipe2 failed");
  SpawnOptions options;
  options.output = logFile;
  options.passAsFd3 = fds[1];
  // -displayfd: the server takes the first free display number and writes it
  // to descriptor 3 once it accepts connections.
  m_server = Child(
      xvfb, {"-displayfd", "3", "-screen", "0", "1024x768x24", "-nolisten", "tcp", "-noreset"},
      options);
  ::close(fds[1]);
  std::string number;
  try {
    number = readDisplayNumber(fds[0], m_server, 30s);
  } catch (...) {
    ::close(fds[0]);
    throw;
  }
  ::close(fds[0]);
  m_display = ":" + number;

  XSetErrorHandler(recordXError);
  for (int attempt = 0; attempt < 50 && !m_connection; ++attempt) {
    m_connection = XOpenDisplay(m_display.c_str());
    if (!m_connection) ::usleep(100'000);
  }
  if (!m_connection) throw std::runtime_error("cannot connect to Xvfb on " + m_display);
}

XServer::~XServer() {
  if (m_connection) XCloseDisplay(m_connection);
  m_server.stop();
}

WindowState XServer::state(WindowId window) {
  WindowState s;
  XWindowAttributes a{};
  g_lastXError = 0;
  if (!XGetWindowAttributes(m_connection, window, &a) || g_lastXError) return s;
  s.viewable = a.map_state == IsViewable;
  s.width = a.width;
  s.height = a.height;
  ::Window child = 0;
  XTranslateCoordinates(m_connection, window, DefaultRootWindow(m_connection), 0, 0, &s.x, &s.y,
                        &child);
  return s;
}

std::string XServer::title(WindowId window) {
  g_lastXError = 0;
  const Atom utf8 = XInternAtom(m_connection, "UTF8_STRING", False);
  const Atom netName = XInternAtom(m_connection, "_NET_WM_NAME", False);
  Atom type = 0;
  int format = 0;
  unsigned long count = 0, after = 0;
  unsigned char* data = nullptr;
  std::string result;
  if (XGetWindowProperty(m_connection, window, netName, 0, 1024, False, utf8, &type, &format,
                         &count, &after, &data) == Success &&
      data) {
    result.assign(reinterpret_cast<const char*>(data), count);
    XFree(data);
  }
  return result;
}

bool XServer::acceptsDeleteWindow(WindowId window) {
  const Atom deleteWindow = XInternAtom(m_connection, "WM_DELETE_WINDOW", False);
  Atom* protocols = nullptr;
  int count = 0;
  g_lastXError = 0;
  bool found = false;
  if (XGetWMProtocols(m_connection, window, &protocols, &count) && protocols) {
    for (int i = 0; i < count; ++i) found = found || protocols[i] == deleteWindow;
    XFree(protocols);
  }
  return found;
}

void XServer::requestClose(WindowId window) {
  XEvent event{};
  event.xclient.type = ClientMessage;
  event.xclient.window = window;
  event.xclient.message_type = XInternAtom(m_connection, "WM_PROTOCOLS", False);
  event.xclient.format = 32;
  event.xclient.data.l[0] = static_cast<long>(XInternAtom(m_connection, "WM_DELETE_WINDOW", False));
  event.xclient.data.l[1] = CurrentTime;
  g_lastXError = 0;
  XSendEvent(m_connection, window, False, NoEventMask, &event);
  XSync(m_connection, False);
  if (g_lastXError) {
    throw std::runtime_error("the close request could not be sent (X error " +
                             std::to_string(g_lastXError) + ")");
  }
}

}  // namespace e2e
