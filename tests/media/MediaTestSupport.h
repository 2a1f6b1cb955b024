// Shared set-up of the media catalogue tests: drives C: and D: on temporary
// folders, the program-wide variables saved and restored, and a fresh window.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "app/Module1.h"
#include "media/MediaBase.h"
#include "platform/controls/ListBox.h"
#include "platform/drives/Drives.h"
#include "support/TestSupport.h"

namespace mediatest {

// Windows-1252 bytes of a few letters, for media list files.
inline constexpr const char* kAnsiAUmlaut = "\xC4";  // Ä
inline constexpr const char* kAnsiaUmlaut = "\xE4";  // ä

class MediaTest : public ::testing::Test {
 protected:
  void SetUp() override {
    m_savedScanDrives = app::ScanDrives;
    m_savedListFile = app::MediaListFileName;
    platform::setSystemDrives(platform::DriveTable::fromDrives({
        {'C', rootC.path().string(), platform::DRIVE_FIXED, "ext4", "/dev/x"},
        {'D', rootD.path().string(), platform::DRIVE_FIXED, "ext4", "/dev/y"},
    }));
    app::ScanDrives = {"C:\\", "D:\\"};
    app::MediaListFileName = "C:\\medienliste.txt";
    form = std::make_unique<media::MediaBase>();
  }

  void TearDown() override {
    form.reset();
    app::ScanDrives = m_savedScanDrives;
    app::MediaListFileName = m_savedListFile;
    platform::reloadSystemDrives();
  }

  // Writes the media list file (raw bytes) at C:\medienliste.txt.
  void writeMediaList(const std::string& bytes) const { rootC.file("medienliste.txt", bytes); }

  static std::vector<std::string> entries(const platform::ItemList& list) { return list.items(); }

  testsupport::TempDir rootC;
  testsupport::TempDir rootD;
  std::unique_ptr<media::MediaBase> form;

 private:
  std::vector<std::string> m_savedScanDrives;
  std::string m_savedListFile;
};

}  // namespace mediatest
