// The directory walk: depth first, subdirectories from the last list entry to the
// first, then the files of the directory, one log line each.
#include <string>

#include "app/Module1.h"
#include "platform/Error.h"
#include "platform/runtime/Runtime.h"
#include "platform/text/Text.h"
#include "scanner/FormSpurlauf.h"
#include "scanner/ScanLog.h"
#include "scanner/standards.h"

namespace scanner {

namespace {
constexpr const char* kListFullMessage = "You've filled the list box. Abandoning search...";
}  // namespace

void FormSpurlauf::reportDirectoryDenied(const std::string& path) {
  AddStatusLine("Zugriff verweigert auf " + path);
  LabelHinweis.setVisible(true);
}

void FormSpurlauf::reportUnreadable(const std::string& statusLine) {
  AddStatusLine(statusLine);
  LabelHinweis.setVisible(true);
}

void FormSpurlauf::reportNotAnswering(const std::string& path) {
  reportUnreadable("Festplatte " + platform::Left(path, 3) + " antwortet nicht beim Lesen von " +
                   path + " - Rest der Festplatte übersprungen");
}

bool FormSpurlauf::WalkDirectory(const std::string& DirPath, const std::string& ReturnPath) {
  m_walkPath = DirPath;
  ReturnTo back;
  if (!ReturnPath.empty()) back.other = &ReturnPath;
  return walkLevel(DirPath.size(), back) == WalkResult::Abandon;
}

const std::string& FormSpurlauf::walkPath(size_t length) {
  // Deeper levels only ever change what follows this level's path.
  m_walkPath.resize(length);
  return m_walkPath;
}

void FormSpurlauf::enterName(const platform::DirectoryListing& listing, size_t index) {
  if (m_walkPath.back() != '\\') m_walkPath += '\\';
  m_walkPath += listing.subdirs[index];
}

void FormSpurlauf::returnTo(const ReturnTo& back) {
  if (back.other) {
    Dir1.setPath(*back.other);
  } else if (back.length != std::string::npos) {
    Dir1.setPath(walkPath(back.length));
  }
}

void FormSpurlauf::countLevel() {
  ++app::DirsFound;
  LabelAnzahlVerzeichnisse.setCaption(std::to_string(app::DirsFound));
}

FormSpurlauf::WalkResult FormSpurlauf::walkLevel(size_t length, ReturnTo back) {
  countLevel();
  SearchFlag = true;

  platform::DoEvents();
  if (!SearchFlag) return WalkResult::Abandon;

  try {
    // The subdirectories as they were when this level began: a directory that
    // changes during the walk can then neither repeat nor skip a subdirectory.
    const auto listing = Dir1.listing();
    auto number = static_cast<int32_t>(listing->subdirs.size());
    while (number > 0 && SearchFlag) {
      // Where Dir1 stood before the visit: nearly always this level's own path.
      std::string elsewhere;
      const bool atHome = Dir1.Path() == walkPath(length);
      if (!atHome) elsewhere = Dir1.Path();
      Dir1.setPath(walkPath(length));
      enterName(*listing, static_cast<size_t>(number - 1));
      if (enterSubdirectory(m_walkPath) == WalkResult::Abandon) return WalkResult::Abandon;
      WalkResult nested = WalkResult::GoOn;
      if (Dir1.Path() == m_walkPath) {
        nested = walkLevel(m_walkPath.size(),
                           atHome ? ReturnTo{length, nullptr} : ReturnTo{0, &elsewhere});
      }
      --number;
      if (nested == WalkResult::Abandon) return WalkResult::Abandon;
    }
    if (!SearchFlag) return WalkResult::Abandon;

    // Every level lists its own files, whatever a nested level left behind.
    const std::string& here = walkPath(length);
    if (Dir1.Path() != here) Dir1.setPath(here);
    if (File1.Path() != here) File1.setPath(here);
    writeFileLines();
    returnTo(back);
    return WalkResult::GoOn;
  } catch (const ScanLogError&) {
    throw;
  } catch (const platform::RuntimeError& e) {
    return levelFailed(length, back, e);
  }
}

FormSpurlauf::WalkResult FormSpurlauf::levelFailed(size_t length, const ReturnTo& back,
                                                   const platform::RuntimeError& e) {
  // Ended during a wait for the drive: nothing of the scan goes on.
  if (platform::programEnded()) return WalkResult::Abandon;
  if (e.number() == platform::err::kDiskNotReady) {
    reportNotAnswering(walkPath(length));
    throw DriveGivenUp{};
  }
  if (e.number() == platform::err::kListFull) {
    platform::MsgBox(kListFullMessage);
    return WalkResult::Abandon;
  }
  // This level lists nothing more. Only a directory that is gone (deleted since
  // its parent was listed) leaves nothing behind that the log misses.
  if (e.number() == platform::err::kAccessDenied) {
    reportDirectoryDenied(walkPath(length));
  } else if (e.number() != platform::err::kPathNotFound) {
    reportUnreadable("Verzeichnis konnte nicht gelesen werden: " + walkPath(length) + " (" +
                     platform::errorDescription(e.number()) + ")");
  }
  // Put the lists back so the calling level goes on where it was.
  try {
    returnTo(back);
  } catch (const platform::RuntimeError&) {
    // The caller points the lists at its own directory again before going on.
  }
  return WalkResult::GoOn;
}

FormSpurlauf::WalkResult FormSpurlauf::enterSubdirectory(const std::string& path) {
  try {
    Dir1.setPath(path);
    return WalkResult::GoOn;
  } catch (const platform::RuntimeError& e) {
    if (platform::programEnded()) return WalkResult::Abandon;
    switch (e.number()) {
      case platform::err::kDiskNotReady: reportNotAnswering(path); throw DriveGivenUp{};
      case platform::err::kListFull: platform::MsgBox(kListFullMessage); return WalkResult::Abandon;
      case platform::err::kAccessDenied:
        // Only the directory that cannot be read is skipped.
        reportDirectoryDenied(path);
        break;
      case platform::err::kPathNotFound: break;  // gone since its parent was listed
      default:
        reportUnreadable("Verzeichnis konnte nicht gelesen werden: " + path + " (" +
                         platform::errorDescription(e.number()) + ")");
        break;
    }
    return WalkResult::GoOn;
  }
}

void FormSpurlauf::writeFileLines() {
  const int32_t n = File1.ListCount();
  if (n <= 0) return;
  app::FilesFound += n;
  LabelAnzahldateien.setCaption(std::to_string(app::FilesFound));
  const std::string& folder = File1.Path();
  const bool root = !folder.empty() && folder.back() == '\\';
  for (int32_t i = 0; i < n; ++i) {
    m_line.assign(folder);
    if (!root) m_line += '\\';
    const size_t nameStart = m_line.size();
    m_line += File1.List(i);
    // Exactly one "\" per line: a name that holds one (a share may hand such a
    // name over on Windows; on Linux it is escaped already) writes it as "?".
    for (size_t k = m_line.find('\\', nameStart); k != std::string::npos;
         k = m_line.find('\\', k + 1)) {
      m_line[k] = '?';
    }
    writeScanLogLine(m_line);
  }
}

}  // namespace scanner
