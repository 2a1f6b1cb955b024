// Where the scan log goes: the choice between the program's folder and the user's
// own, and the rules that name the user's own folder. The machine's folders are
// tried for real in scanner/InstalledProgramTest.cpp.
#include <gtest/gtest.h>

#include <optional>
#include <set>
#include <string>
#include <vector>

#include "platform/runtime/LogFolder.h"

namespace {

class FakeFolders final : public platform::FolderSystem {
 public:
  bool mayCreateFilesIn(const std::string& folder) override { return writable.count(folder) > 0; }
  std::optional<std::string> userProgramFolder() override { return own; }
  bool createFolders(const std::string& folder) override {
    created.push_back(folder);
    return canCreate;
  }

  std::set<std::string> writable;
  std::optional<std::string> own;
  bool canCreate = true;
  std::vector<std::string> created;
};

constexpr const char* kProgram = "C:\\usr\\bin";
constexpr const char* kOwn = "C:\\home\\anna\\.local\\share\\rozozovuvor-ororuzi";

TEST(LogFolder, TheUsersFolderOnlyWhenTheProgramsCannotBeWrittenAndItCan) {
  struct Case {
    const char* name;
    bool programWritable;
    std::optional<std::string> own;
    bool canCreate;
    bool ownWritable;
    std::string expected;
    bool expectCreated;
  };
  const Case cases[] = {
      // A program in a folder of the user's own never makes a second folder.
      {"program folder writable", true, kOwn, true, true, kProgram, false},
      {"installed", false, kOwn, true, true, kOwn, true},
      {"no home folder", false, std::nullopt, true, true, kProgram, false},
      {"user folder cannot be created", false, kOwn, false, true, kProgram, true},
      // e.g. left behind by another user, or on a read-only file system
      {"user folder not writable", false, kOwn, true, false, kProgram, true},
  };
  for (const Case& c : cases) {
    FakeFolders folders;
    if (c.programWritable) folders.writable.insert(kProgram);
    if (c.ownWritable) folders.writable.insert(kOwn);
    folders.own = c.own;
    folders.canCreate = c.canCreate;
    EXPECT_EQ(platform::logFolder(kProgram, folders), c.expected) << c.name;
    EXPECT_EQ(folders.created.size(), c.expectCreated ? 1u : 0u) << c.name;
  }
}

TEST(LogFolder, WithoutTheMachinesFoldersTheLogStaysInTheProgramFolder) {
  platform::setFolderSystem(nullptr);
  EXPECT_EQ(platform::logFolder("P:\\fehlt"), "P:\\fehlt");
}

TEST(LogFolder, LinuxUsersFolderFollowsXdgDataHomeOnlyWhenItIsAbsolute) {
  struct Case {
    std::optional<std::string_view> xdg;
    std::string_view home;
    std::optional<std::string> expected;
  };
  const Case cases[] = {
      {std::nullopt, "/home/anna", "/home/anna/.local/share/rozozovuvor-ororuzi"},
      {"", "/home/anna", "/home/anna/.local/share/rozozovuvor-ororuzi"},
      {"daten", "/home/anna", "/home/anna/.local/share/rozozovuvor-ororuzi"},
      {"/srv/anna", "/home/anna", "/srv/anna/rozozovuvor-ororuzi"},
      {"/srv/anna//", "/home/anna/", "/srv/anna/rozozovuvor-ororuzi"},
      {std::nullopt, "/home/anna/", "/home/anna/.local/share/rozozovuvor-ororuzi"},
      {"/", "/home/anna", "/rozozovuvor-ororuzi"},
      {"/srv/anna", "", "/srv/anna/rozozovuvor-ororuzi"},
      // No home, or a relative one, would put the log wherever the program was started.
      {std::nullopt, "", std::nullopt},
      {"daten", "anna", std::nullopt},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(platform::xdgProgramFolder(c.xdg, c.home), c.expected)
        << "XDG_DATA_HOME=" << (c.xdg ? std::string(*c.xdg) : "(unset)") << " HOME=" << c.home;
  }
}

TEST(LogFolder, WindowsUsersFolderIsBelowAnAbsoluteLocalAppData) {
  struct Case {
    std::string_view base;
    std::optional<std::string> expected;
  };
  const Case cases[] = {
      {"C:\\Users\\anna\\AppData\\Local", "C:\\Users\\anna\\AppData\\Local\\Rozozovuvor-Ororuzi"},
      {"C:\\Users\\anna\\AppData\\Local\\", "C:\\Users\\anna\\AppData\\Local\\Rozozovuvor-Ororuzi"},
      {"D:\\", "D:\\Rozozovuvor-Ororuzi"},
      {"\\\\server\\profiles\\anna", "\\\\server\\profiles\\anna\\Rozozovuvor-Ororuzi"},
      {"", std::nullopt},
      {"AppData\\Local", std::nullopt},
      {"C:AppData", std::nullopt},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(platform::localAppDataProgramFolder(c.base), c.expected) << c.base;
  }
}

}  // namespace
