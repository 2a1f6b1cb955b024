#include "app/Module1.h"
#include "app/cdsubs.h"
#include "platform/runtime/Runtime.h"
#include "scanner/FormSpurlauf.h"

namespace app {

void Main() {
  ScanDrives = ListScanDrives();
  const std::string& folder = platform::App.Path;
  MediaListFileName =
      folder + (folder.empty() || folder.back() != '\\' ? "\\" : "") + kMediaListName;
  scanner::createMainWindow().INITIALIZE();
}

}  // namespace app
