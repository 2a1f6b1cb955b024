// Drive discovery over kernel32.
#pragma once

#include <string>
#include <vector>

namespace app {

// The roots of the fixed (3) and network (4) drives, in the order the system lists
// them; empty when there is none or the system gives no list.
std::vector<std::string> ListScanDrives();

}  // namespace app
