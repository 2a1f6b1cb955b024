// MediaBase: the media directory entries, from the marker directories at the drive
// roots (ScanDrive) and from the media list file (GETmediaDIRECTORIES).
#include <array>
#include <string_view>

#include "app/Module1.h"
#include "media/MediaBase.h"
#include "media/standards.h"
#include "platform/Error.h"
#include "platform/runtime/FileHandles.h"
#include "platform/runtime/Runtime.h"
#include "platform/text/Text.h"

namespace media {

namespace {

// The marker prefixes; the entry prefix of each is the marker followed by "=".
constexpr std::array<std::string_view, 3> kMarkers = {"!media-audio", "!media-video",
                                                      "!media-image"};

// A line of the media list file that becomes an entry: "!media-<anything>" or "mv=",
// ignoring case, from the first character on.
bool isMediaLine(const std::string& line) {
  return platform::LCase(platform::Left(line, 7)) == "!media-" ||
         platform::LCase(platform::Left(line, 3)) == "mv=";
}

}  // namespace

void MediaBase::ScanDrive(const std::string& Driveletter, platform::ListBox& ZielListe) {
  MainDir1.setPath(Driveletter + "\\");
  // Setting the path may serve a listing kept from earlier in this event pass; a
  // marker directory made since then must count, so read the root afresh.
  MainDir1.Refresh();
  const int32_t count = MainDir1.ListCount();
  for (int32_t i = 0; i < count; ++i) {
    const std::string lowerPath = platform::LCase(MainDir1.List(i));
    // "c:\!media-audio-rock": the name follows drive letter, colon and backslash.
    const std::string name = platform::Mid(lowerPath, 4);
    for (std::string_view marker : kMarkers) {
      if (name.starts_with(marker)) ZielListe.AddItem(std::string(marker) + "=" + lowerPath);
    }
  }
}

void MediaBase::GETmediaDIRECTORIES(platform::ListBox& ZielListe) {
  ZielListe.Clear();
  for (const std::string& root : app::ScanDrives) {
    ScanDrive(platform::Left(root, 2), ZielListe);
  }

  // Without scan drives there is nothing to scan, and the file is read all the same.
  const int16_t fileNumber = platform::FreeFile();
  platform::OpenForInput(app::MediaListFileName, fileNumber);
  try {
    while (!platform::Eof(fileNumber)) {
      const std::string line = platform::LineInput(fileNumber);
      // A line is left out when an entry already begins with it: equal apart from
      // case, the beginning of a longer entry, or a repeated line.
      if (isMediaLine(line) && FindInList(ZielListe, line) == -1) ZielListe.AddItem(line);
    }
  } catch (...) {
    // The error belongs to the caller, but the handle must not stay open with it.
    try {
      platform::Close(fileNumber);
    } catch (const platform::RuntimeError&) {
      // The first error is the one to report.
    }
    throw;
  }
  platform::Close(fileNumber);
}

}  // namespace media
