#include "app/Module1.h"

namespace app {

std::vector<std::string> ScanDrives;
std::string LogFileName;
int16_t LogFileNumber = 0;
int32_t DirsFound = 0;
int32_t FilesFound = 0;
std::string MediaListFileName;

}  // namespace app
