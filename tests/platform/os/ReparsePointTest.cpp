// Which directory entries a walk enters on Windows, by their attributes and
// reparse tags (the values as Windows defines them in winnt.h).
#include <gtest/gtest.h>

#include <cstdint>

#include "platform/os/Os.h"

using platform::os::walkedAsFolder;

namespace {

constexpr uint32_t kDirectory = 0x10;      // FILE_ATTRIBUTE_DIRECTORY
constexpr uint32_t kReparsePoint = 0x400;  // FILE_ATTRIBUTE_REPARSE_POINT
constexpr uint32_t kArchive = 0x20;        // FILE_ATTRIBUTE_ARCHIVE
constexpr uint32_t kHiddenSystem = 0x2 | 0x4;
constexpr uint32_t kCloudPinned = 0x00080000 | 0x00400000;  // PINNED, RECALL_ON_DATA_ACCESS

struct Row {
  const char* what;
  uint32_t attributes;
  uint32_t tag;
  bool walked;
};

TEST(ReparsePoint, LinksAreNeverFollowedAndCloudFoldersAreWalked) {
  const Row rows[] = {
      {"plain folder", kDirectory, 0, true},
      {"hidden system folder", kDirectory | kHiddenSystem, 0, true},
      {"plain file", kArchive, 0, false},
      // Name surrogates: a walk through them would list another place (or loop).
      {"junction, mount point (MOUNT_POINT)", kDirectory | kReparsePoint, 0xA0000003, false},
      {"folder symbolic link (SYMLINK)", kDirectory | kReparsePoint, 0xA000000C, false},
      {"WSL symbolic link (LX_SYMLINK)", kDirectory | kReparsePoint, 0xA000001D, false},
      {"global reparse (GLOBAL_REPARSE)", kDirectory | kReparsePoint, 0xA0000019, false},
      {"container link (WCI_LINK)", kDirectory | kReparsePoint, 0xA0000027, false},
      {"projected tombstone (PROJFS_TOMBSTONE)", kDirectory | kReparsePoint, 0xA0000022, false},
      {"file symbolic link", kArchive | kReparsePoint, 0xA000000C, false},
      // Folders of their own whose content a filter driver supplies.
      {"OneDrive placeholder (CLOUD)", kDirectory | kReparsePoint, 0x9000001A, true},
      {"cloud files provider 3 (CLOUD_3)", kDirectory | kReparsePoint, 0x9000301A, true},
      {"cloud files provider F (CLOUD_F)", kDirectory | kReparsePoint | kCloudPinned, 0x9000F01A,
       true},
      {"OneDrive (ONEDRIVE)", kDirectory | kReparsePoint, 0x80000021, true},
      {"deduplicated (DEDUP)", kDirectory | kReparsePoint, 0x80000013, true},
      {"container isolation (WCI)", kDirectory | kReparsePoint, 0x80000018, true},
      {"projected file system (PROJFS)", kDirectory | kReparsePoint, 0x9000001C, true},
      {"Azure file sync folder (STORAGE_SYNC_FOLDER)", kDirectory | kReparsePoint, 0x90000027,
       true},
      // Files stay files whatever their tag.
      {"app execution alias (APPEXECLINK)", kArchive | kReparsePoint, 0x8000001B, false},
      {"cloud placeholder file", kArchive | kReparsePoint, 0x9000001A, false},
      {"unix socket (AF_UNIX)", kArchive | kReparsePoint, 0x80000023, false},
      // A reparse point without a tag is not known to be no link.
      {"reparse point, tag not reported", kDirectory | kReparsePoint, 0, false},
  };
  for (const Row& row : rows) {
    EXPECT_EQ(walkedAsFolder(row.attributes, row.tag), row.walked) << row.what;
  }
}

}  // namespace
