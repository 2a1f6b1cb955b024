// Where the scan log goes: the program's folder, or, when the user may not create
// files there (a program installed in /usr/bin or C:\Program Files), a folder of
// the user's own for this program, the same for every run.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace platform {

// What choosing the folder asks of the system. Paths are view paths.
class FolderSystem {
 public:
  virtual ~FolderSystem() = default;
  // True when the user may create files in the folder (an existing one).
  virtual bool mayCreateFilesIn(const std::string& folder) = 0;
  // The user's own folder for this program; nullopt when the system names none
  // (no home folder) or it cannot be named as a view path.
  virtual std::optional<std::string> userProgramFolder() = 0;
  // Creates the folder and its missing parents, those it creates open to the user
  // alone; true when the folder exists afterwards.
  virtual bool createFolders(const std::string& folder) = 0;
};

// The machine's folders: os::userDataPlaces() named by the rules below, over the
// system's calls.
FolderSystem& machineFolders();
// The folder system the log's place is chosen with: the program installs
// machineFolders() at start-up; until then (and in tests that install none) every
// folder counts as writable, so the log stays in App.Path. nullptr restores that.
void setFolderSystem(FolderSystem* system);
FolderSystem& folderSystem();

// `appPath` when the user may create files there; else the user's own folder,
// created if missing, when the user may create files in it; else `appPath`, and
// opening the log reports the failure.
std::string logFolder(const std::string& appPath, FolderSystem& system = folderSystem());

// The user's own folder on Linux: "<XDG_DATA_HOME>/rozozovuvor-ororuzi", or
// "<home>/.local/share/rozozovuvor-ororuzi" when XDG_DATA_HOME is unset, empty or
// not absolute; nullopt when `home` is not absolute either. Host paths.
std::optional<std::string> xdgProgramFolder(std::optional<std::string_view> xdgDataHome,
                                            std::string_view home);
// The user's own folder on Windows: "<LOCALAPPDATA>\Rozozovuvor-Ororuzi"; nullopt
// unless `localAppData` is an absolute path ("C:\..." or "\\server\...").
std::optional<std::string> localAppDataProgramFolder(std::string_view localAppData);

}  // namespace platform
