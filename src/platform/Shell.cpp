#include "platform/Shell.h"

#include "platform/os/Os.h"

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
  return os::shellExecute(lpOperation, lpFile, lpParameters, lpDirectory, nShowCmd);
}

}  // namespace platform
