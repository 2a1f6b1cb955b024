// An installed program: its folder cannot be written by the user, so the scan log
// goes to the user's own folder for the program, over the machine's real calls.
// Runs unprivileged, so that the permission bits count also when the tests run as
// root.
#include <sys/stat.h>

#include <cstdlib>
#include <fstream>

#include "platform/runtime/LogFolder.h"
#include "scanner/ScanFixture.h"

namespace scantest {
namespace {

using ::testing::ElementsAre;

unsigned modeOf(const std::filesystem::path& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 ? st.st_mode & 07777 : 0u;
}

TEST_F(ScanTest, ReadOnlyProgramFolderPutsTheLogIntoTheUsersFolderAndTheWindowNamesIt) {
  struct Case {
    const char* name;
    const char* xdgDataHome;           // below the program's drive P:; nullptr: unset
    const char* logFolder;             // the view path expected for the log's folder
    std::vector<const char*> created;  // folders the program makes, mode 0700
  };
  const Case cases[] = {
      {"XDG_DATA_HOME",
       "daten",
       "P:\\daten\\rozozovuvor-ororuzi",
       {"daten", "daten/rozozovuvor-ororuzi"}},
      {"home folder",
       nullptr,
       "P:\\home\\.local\\share\\rozozovuvor-ororuzi",
       {"home/.local", "home/.local/share", "home/.local/share/rozozovuvor-ororuzi"}},
      // Nowhere to go: the log stays in the program's folder and the scan says it failed.
      {"neither writable", "gesperrt", "P:\\tools", {}},
  };
  makeExampleTree();
  ::chmod(programDir.c_str(), 0555);
  prog.dir("home");
  ::chmod(prog.dir("gesperrt").c_str(), 0555);
  const auto resultFile = prog.path() / "result.txt";
  for (const Case& row : cases) {
    SCOPED_TRACE(row.name);
    const int exitCode = testsupport::runUnprivileged({c.path(), prog.path()}, [&] {
      if (row.xdgDataHome)
        ::setenv("XDG_DATA_HOME", (prog.path() / row.xdgDataHome).c_str(), 1);
      else
        ::unsetenv("XDG_DATA_HOME");
      ::setenv("HOME", (prog.path() / "home").c_str(), 1);
      platform::setFolderSystem(&platform::machineFolders());
      auto& form = scan();
      std::ofstream out(resultFile, std::ios::binary);
      out << app::LogFileName << "\r\n"
          << form.LabelTitel.Caption() << "\r\n"
          << host.messages.size() << "\r\n";
      return 0;
    });
    ASSERT_EQ(exitCode, 0);
    const std::string log = std::string(row.logFolder) + "\\" + kLogName;
    const auto result = testsupport::splitCrLf(testsupport::readFile(resultFile));
    ASSERT_EQ(result.size(), 3u);
    EXPECT_EQ(result[0], log);
    EXPECT_NE(result[1].find("  " + log + " . "), std::string::npos) << result[1];
    EXPECT_TRUE(std::filesystem::is_empty(programDir));
    if (row.created.empty()) {
      EXPECT_EQ(result[2], "1");  // the message box naming the log that failed
      continue;
    }
    EXPECT_EQ(result[2], "0");
    for (const char* folder : row.created) EXPECT_EQ(modeOf(prog.path() / folder), 0700u) << folder;
    EXPECT_EQ(modeOf(prog.path() / "home"), 0755u);  // an existing parent is left as it was
    const auto hostLog = prog.path() / row.created.back() / kLogName;
    EXPECT_THAT(
        testsupport::splitCrLf(testsupport::readFile(hostLog)),
        ElementsAre(kHeader, "C:\\B\\B1\\x.txt", "C:\\B\\b.txt", "C:\\A\\a.txt", "C:\\r.txt"));
  }
}

}  // namespace
}  // namespace scantest
