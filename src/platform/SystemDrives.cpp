// The process-wide drive snapshot that the kernel32 calls and the lists share.
#include <optional>

#include "platform/Drives.h"

namespace platform {

namespace {

struct SystemDrives {
  std::optional<DriveTable> table;
  bool installed = false;  // set by setSystemDrives: the kernel32 calls answer from it
};

// The snapshot belongs to the thread that runs the forms, as the controls do.
SystemDrives& systemState() {
  static SystemDrives state;
  return state;
}

}  // namespace

const DriveTable& systemDrives() {
  SystemDrives& state = systemState();
  if (!state.table) state.table = DriveTable::fromSystem();
  return *state.table;
}

void setSystemDrives(DriveTable table) {
  SystemDrives& state = systemState();
  state.table = std::move(table);
  state.installed = true;
}

void reloadSystemDrives() {
  SystemDrives& state = systemState();
  state.table = DriveTable::fromSystem();
  state.installed = false;
}

bool systemDrivesInstalled() { return systemState().installed; }

}  // namespace platform
