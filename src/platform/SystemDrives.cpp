// What a drive table answers the same way on every system, and the process-wide
// snapshot that the kernel32 calls and the lists share.
#include <optional>

#include "platform/Drives.h"

namespace platform {

const Drive* DriveTable::byLetter(char letter) const {
  const char upper =
      letter >= 'a' && letter <= 'z' ? static_cast<char>(letter - 'a' + 'A') : letter;
  for (const Drive& d : m_drives) {
    if (d.letter == upper) return &d;
  }
  return nullptr;
}

bool DriveTable::isMountPoint(std::string_view hostPath) const {
  return m_mountPoints.find(hostPath) != m_mountPoints.end();
}

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

bool systemDrivesInstalled() {
  return systemState().installed;
}

}  // namespace platform
