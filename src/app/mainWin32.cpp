// Rozozovuvor-Ororuzi on Windows: the same start-up, the system's own windows.
#include "app/Module1.h"
#include "platform/runtime/LogFolder.h"
#include "platform/runtime/Runtime.h"
#include "platform/win32/Win32Host.h"

int main() {
  win32ui::Win32Host host;
  platform::setUiHost(&host);
  platform::App.Path = platform::executableFolder();
  platform::setFolderSystem(&platform::machineFolders());
  app::Main();
  return host.exec();
}
