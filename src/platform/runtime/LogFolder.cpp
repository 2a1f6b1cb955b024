#include "platform/runtime/LogFolder.h"

#include "platform/drives/Drives.h"
#include "platform/os/Os.h"

namespace platform {

namespace {

constexpr std::string_view kLinuxFolderName = "rozozovuvor-ororuzi";
constexpr std::string_view kWindowsFolderName = "Rozozovuvor-Ororuzi";

// The program's folder only: what runs before start-up installs the machine's.
class ProgramFolderOnly final : public FolderSystem {
 public:
  bool mayCreateFilesIn(const std::string&) override { return true; }
  std::optional<std::string> userProgramFolder() override { return std::nullopt; }
  bool createFolders(const std::string&) override { return false; }
};

class MachineFolders final : public FolderSystem {
 public:
  bool mayCreateFilesIn(const std::string& folder) override {
    const auto host = systemDrives().viewToHost(folder);
    return host && os::mayCreateFilesIn(*host);
  }
  std::optional<std::string> userProgramFolder() override {
    const os::UserDataPlaces places = os::userDataPlaces();
    const auto host = places.localAppData.empty()
                          ? xdgProgramFolder(places.xdgDataHome, places.home)
                          : localAppDataProgramFolder(places.localAppData);
    if (!host) return std::nullopt;
    // A name the view cannot hold ("?" in place of a "\" or of bytes that are no
    // UTF-8) would name another folder than the one created.
    std::string view = systemDrives().hostToView(*host);
    if (systemDrives().viewToHost(view) != host) return std::nullopt;
    return view;
  }
  bool createFolders(const std::string& folder) override {
    const auto host = systemDrives().viewToHost(folder);
    return host && os::createFolders(*host) == 0;
  }
};

ProgramFolderOnly g_programFolderOnly;
FolderSystem* g_folderSystem = nullptr;

std::string_view withoutTrailing(std::string_view path, char separator) {
  while (path.size() > 1 && path.back() == separator) path.remove_suffix(1);
  return path;
}

std::string joined(std::string_view folder, char separator, std::string_view name) {
  folder = withoutTrailing(folder, separator);
  std::string path(folder);
  if (path.empty() || path.back() != separator) path += separator;
  path += name;
  return path;
}

}  // namespace

FolderSystem& machineFolders() {
  static MachineFolders folders;
  return folders;
}

void setFolderSystem(FolderSystem* system) {
  g_folderSystem = system;
}

FolderSystem& folderSystem() {
  return g_folderSystem ? *g_folderSystem : g_programFolderOnly;
}

std::string logFolder(const std::string& appPath, FolderSystem& system) {
  if (system.mayCreateFilesIn(appPath)) return appPath;
  const auto own = system.userProgramFolder();
  if (own && system.createFolders(*own) && system.mayCreateFilesIn(*own)) return *own;
  return appPath;
}

std::optional<std::string> xdgProgramFolder(std::optional<std::string_view> xdgDataHome,
                                            std::string_view home) {
  if (xdgDataHome && xdgDataHome->starts_with('/'))
    return joined(*xdgDataHome, '/', kLinuxFolderName);
  if (!home.starts_with('/')) return std::nullopt;
  return joined(joined(home, '/', ".local/share"), '/', kLinuxFolderName);
}

std::optional<std::string> localAppDataProgramFolder(std::string_view localAppData) {
  const bool drivePath = localAppData.size() >= 3 && localAppData[1] == ':' &&
                         (localAppData[2] == '\\' || localAppData[2] == '/');
  if (!drivePath && !localAppData.starts_with("\\\\")) return std::nullopt;
  return joined(localAppData, '\\', kWindowsFolderName);
}

}  // namespace platform
