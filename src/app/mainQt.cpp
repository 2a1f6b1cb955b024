// Rozozovuvor-Ororuzi: lists every file of the machine's fixed and network drives.
#include "app/Module1.h"
#include "platform/qt/QtHost.h"
#include "platform/runtime/LogFolder.h"
#include "platform/runtime/Runtime.h"

int main(int /*argc*/, char** argv) {
  qtui::QtHost host(argv[0]);
  platform::setUiHost(&host);
  platform::App.Path = platform::executableFolder();
  platform::setFolderSystem(&platform::machineFolders());
  app::Main();
  return host.exec();
}
