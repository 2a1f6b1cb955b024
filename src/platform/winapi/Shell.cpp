#include "platform/winapi/Shell.h"

#include "platform/os/Os.h"
#include "platform/text/Text.h"

namespace platform {

namespace {

Launcher& launcher() {
  static Launcher l;
  return l;
}

}  // namespace

void setLauncher(Launcher l) {
  launcher() = std::move(l);
}

long ShellExecuteA(Hwnd, const std::string& lpOperation, const std::string& lpFile,
                   const std::string& lpParameters, const std::string& lpDirectory, int nShowCmd) {
  // A test's launcher sees what shell32 would have been given.
  if (launcher()) return launcher()({lpOperation, lpFile, lpParameters, lpDirectory}) ? 42 : 2;
  // shell32 takes the texts in the ANSI code page, as the program declared them.
  const auto text = [](const std::string& s) { return os::kHasAnsiCodePage ? toAnsi(s) : s; };
  return os::shellExecute(text(lpOperation), text(lpFile), text(lpParameters), text(lpDirectory),
                          nShowCmd);
}

}  // namespace platform
