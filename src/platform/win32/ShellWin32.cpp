// shell32's ShellExecuteA itself. The texts are handed over in the ANSI code page.
#include "platform/Shell.h"
#include "platform/Text.h"
#include "platform/win32/Win32Util.h"

#include <shellapi.h>

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

long ShellExecuteA(Hwnd hwnd, const std::string& lpOperation, const std::string& lpFile,
                   const std::string& lpParameters, const std::string& lpDirectory, int nShowCmd) {
  // A test's launcher sees what shell32 would have been given.
  if (launcher()) {
    return launcher()({lpOperation, lpFile, lpParameters, lpDirectory}) ? 42 : 2;
  }
  const std::string operation = toAnsi(lpOperation);
  const std::string file = toAnsi(lpFile);
  const std::string parameters = toAnsi(lpParameters);
  const std::string directory = toAnsi(lpDirectory);
  HINSTANCE result = ::ShellExecuteA(reinterpret_cast<HWND>(hwnd), operation.c_str(), file.c_str(),
                                     parameters.c_str(), directory.c_str(), nShowCmd);
  return static_cast<long>(reinterpret_cast<INT_PTR>(result));
}

}  // namespace platform
