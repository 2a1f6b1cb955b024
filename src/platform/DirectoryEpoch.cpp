// The directory epoch: listings checked within one epoch are trusted without
// looking at the disk again; every yield that passes input begins a new one.
#include "platform/HostDirectory.h"

namespace platform {

namespace {
uint64_t g_epoch = 1;
}  // namespace

void nextDirectoryEpoch() {
  ++g_epoch;
}

uint64_t directoryEpoch() {
  return g_epoch;
}

}  // namespace platform
