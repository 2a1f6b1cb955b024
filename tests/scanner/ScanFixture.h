// A scan set-up: drive C: (and optionally D:) over temporary folders, the program
// folder on drive P:, a fixed clock, a scripted UI host and a fresh main window.
#pragma once

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <vector>

#include "app/Module1.h"
#include "platform/drives/Drives.h"
#include "platform/reading/DirectoryReaders.h"
#include "platform/runtime/FileHandles.h"
#include "platform/runtime/Runtime.h"
#include "platform/text/Text.h"
#include "scanner/FormSpurlauf.h"
#include "support/TestSupport.h"

namespace scantest {

inline constexpr const char* kLogName = "protokoll-12-06-2026-14-05-09.txt";
// What a scan writes under until it ends (its name in UTF-8, as on the disk).
inline constexpr const char* kTemporaryName =
    "protokoll-12-06-2026-14-05-09-UNVOLLST\xC3\x84NDIG.txt";
// The log's own lines as the bytes of the file (Windows-1252).
inline constexpr const char* kHeader = "HALVEK-ROZOZOVUVOR-ORORUZI-PROTOKOLL: 12-06-2026 14:05:09";
inline constexpr const char* kCancel =
    "SCANVORGANG WURDE MANUELL ABGEBROCHEN! NICHT VOLLST\xC4NDIG!";
inline constexpr const char* kNote1 = "HINWEIS: Es konnten nicht alle Dateien erfasst werden, ";
inline constexpr const char* kNote2 = "da Sie beim Ausf\xFChren des Scanners nicht als ";
inline constexpr const char* kNote3 = "Administrator dieses PC angemeldet waren! ";

class ScanTest : public ::testing::Test {
 protected:
  void SetUp() override {
    platform::resetProgramEnded();
    scanner::destroyMainWindow();
    useDrives({'C'});
    platform::App.Path = "P:\\tools";
    programDir = prog.dir("tools");
    platform::setClock(testsupport::fixedClock(2026, 12, 6, 14, 5, 9));
    // Each click a second after the one before: never the second half of a double-click.
    platform::setMonotonicClock([t = std::chrono::steady_clock::time_point{}]() mutable {
      return t += std::chrono::seconds(1);
    });
    app::ScanDrives = {"C:\\"};
    app::DirsFound = 0;
    app::FilesFound = 0;
  }

  void TearDown() override {
    platform::CloseAll();
    platform::setFlushToDisk(nullptr);
    scanner::destroyMainWindow();
    platform::setClock({});
    platform::setMonotonicClock({});
    platform::setSystemDrives(platform::DriveTable{});
    platform::resetProgramEnded();
    platform::DirectoryReaders::process().setReadAhead(true);
    platform::DirectoryReaders::process().setDeadline(platform::DirectoryReaders::kDeadline);
    platform::DescriptorBudget::process().setLimit(platform::os::descriptorBudget());
  }

  // Letters among C, D map to the folders c and d; P is the program's drive.
  void useDrives(std::vector<char> letters, std::vector<std::string> mountPoints = {}) {
    std::vector<platform::Drive> drives;
    for (char l : letters) {
      const auto& root = l == 'C' ? c : d;
      drives.push_back({l, root.path().string(), platform::DRIVE_FIXED, "ext4", "/dev/test"});
    }
    drives.push_back({'P', prog.path().string(), platform::DRIVE_FIXED, "ext4", "/dev/test"});
    platform::setSystemDrives(platform::DriveTable::fromDrives(drives, mountPoints));
  }

  scanner::FormSpurlauf& start() {
    auto& form = scanner::createMainWindow();
    form.INITIALIZE();
    return form;
  }

  // Starts a scan with a click, as the user does.
  scanner::FormSpurlauf& scan() {
    auto& form = start();
    form.CommandStartCancel.click();
    return form;
  }

  std::filesystem::path logPath() const { return programDir / kLogName; }
  // The name is UTF-8; on Windows a narrow path would be read in the ANSI code page.
  std::filesystem::path temporaryPath() const {
    const std::string name = kTemporaryName;
    return programDir / std::filesystem::path(std::u8string(name.begin(), name.end()));
  }
  // The log's lines as bytes.
  std::vector<std::string> logLines() const {
    return testsupport::splitCrLf(testsupport::readFile(logPath()));
  }
  std::vector<std::string> statusLines() const { return scanner::mainWindow()->ListStatus.items(); }

  // The example tree: C:\A\a.txt, C:\B\B1\x.txt, C:\B\b.txt, C:\r.txt.
  void makeExampleTree() {
    c.file("A/a.txt", "a");
    c.file("B/B1/x.txt", "x");
    c.file("B/b.txt", "b");
    c.file("r.txt", "r");
  }

  testsupport::TempDir c;
  testsupport::TempDir d;
  testsupport::TempDir prog;
  std::filesystem::path programDir;
  testsupport::ScriptedHost host;
};

}  // namespace scantest
