// The scan run: the start/cancel button, one whole scan, and the close request.
#include <string>

#include "app/Module1.h"
#include "platform/reading/DirectoryReaders.h"
#include "platform/runtime/Runtime.h"
#include "platform/text/Text.h"
#include "scanner/FormSpurlauf.h"
#include "scanner/ScanLog.h"
#include "scanner/standards.h"

namespace scanner {

namespace {
constexpr const char* kStart = "start";
constexpr const char* kCancel = "abbrechen";
}  // namespace

void FormSpurlauf::CommandStartCancel_Click() {
  const std::string caption = CommandStartCancel.Caption();
  const auto now = platform::monotonicNow();
  // The second click of a double-click on "start" belongs to the first one, during
  // the scan it started or after a scan so short that it is over already.
  const bool secondHalf =
      m_startClicked && now - m_startClick < platform::uiHost().doubleClickInterval();
  if (caption == kStart) {
    if (secondHalf) return;
    m_startClicked = true;
    m_startClick = now;
    CommandStartCancel.setCaption(kCancel);
    SPURlaufDRIVES();
  } else if (caption == kCancel) {
    if (secondHalf) return;
    // Arrives during a yield of the walk: nothing of the scan may run after this.
    SearchFlag = false;
    finishCancelledScan();
    platform::End();
  }
}

void FormSpurlauf::Form_QueryUnload(bool& /*cancel*/) {
  if (CommandStartCancel.Caption() == kCancel) {
    SearchFlag = false;
    finishCancelledScan();
  }
  platform::End();
}

void FormSpurlauf::finishCancelledScan() {
  try {
    writeScanLogLine(kCancelLine);
    if (LabelHinweis.Visible()) writeNoteLines();
    closeScanLog();
  } catch (const platform::RuntimeError& e) {
    abandonScanLog();
    platform::MsgBox(scanLogFailureMessage(e));
  }
  CommandStartCancel.setCaption(kStart);
}

void FormSpurlauf::abortOnLogFailure(const platform::RuntimeError& error, bool opened) {
  SearchFlag = false;
  abandonScanLog();
  AddStatusLine(opened ? "Protokolldatei konnte nicht geschrieben werden - Scan beendet, "
                         "Protokoll unvollständig."
                       : "Protokolldatei konnte nicht angelegt werden - kein Scan.");
  platform::MsgBox(scanLogFailureMessage(error));
  CommandStartCancel.setCaption(kStart);
}

void FormSpurlauf::SPURlaufDRIVES() {
  LabelHinweis.setVisible(false);
  ListStatus.Clear();
  app::FilesFound = 0;
  app::DirsFound = 0;

  try {
    openScanLog();
  } catch (const platform::RuntimeError& e) {
    abortOnLogFailure(e, false);
    return;
  }
  try {
    writeScanLogLine(std::string(kLogHeader) + platform::DateText() + " " + platform::TimeText());
  } catch (const platform::RuntimeError& e) {
    abortOnLogFailure(e, true);
    return;
  }

  AddStatusLine("SCAN-START: " + platform::DateText() + " " + platform::TimeText());
  std::string letters;
  for (const std::string& root : app::ScanDrives) letters += platform::Left(root, 1) + ", ";
  AddStatusLine("Gefundene Festplatten: " + platform::Left(letters, platform::Len(letters) - 2));

  for (const std::string& root : app::ScanDrives) {
    AddStatusLine("Festplatte " + root + " wird gescannt...");
    try {
      // Each drive is asked afresh, even one that did not answer in the last scan.
      const platform::WalkReadAhead readAhead(root);
      INITIALIZESEARCH(root, "*.*");
    } catch (const ScanLogError& e) {
      if (!platform::programEnded()) abortOnLogFailure(e, true);
      return;
    } catch (const DriveGivenUp&) {
      SearchFlag = false;
    } catch (const platform::RuntimeError& e) {
      // The drive itself could not be listed (denied, gone, not ready): say so,
      // mark the log incomplete and go on with the next one.
      SearchFlag = false;
      if (platform::programEnded()) return;
      if (e.number() == platform::err::kDiskNotReady) {
        reportNotAnswering(root);
      } else if (e.number() == platform::err::kAccessDenied) {
        reportDirectoryDenied(root);
      } else {
        reportUnreadable("Festplatte " + root +
                         " konnte nicht gelesen werden: " + platform::errorDescription(e.number()));
      }
    }
    if (platform::programEnded()) return;
  }

  AddStatusLine("SCAN-ENDE: " + platform::DateText() + " " + platform::TimeText());
  try {
    if (LabelHinweis.Visible()) writeNoteLines();
    closeScanLog();
  } catch (const platform::RuntimeError& e) {
    abortOnLogFailure(e, true);
    return;
  }
  CommandStartCancel.setCaption(kStart);
}

void FormSpurlauf::INITIALIZESEARCH(const std::string& StartPath,
                                    const std::string& Dateiendungen) {
  if (StartPath.empty()) return;
  const std::string drive = platform::Left(StartPath, 2);
  try {
    Drive1.setDrive(drive);
  } catch (const platform::RuntimeError&) {
    // The drive list followed; only its handler failed, on the drive's current
    // directory. The start path below is what counts, unless the program ended
    // while the handler waited for the drive.
    if (platform::programEnded() || Drive1.Drive() != platform::UCase(drive)) throw;
  }
  Dir1.setPath(StartPath);
  File1.setPattern(Dateiendungen);
  if (File1.ListCount() > 0) File1.setListIndex(0);
  StartSearch();
}

void FormSpurlauf::StartSearch() {
  SearchFlag = true;
  const std::string path = Dir1.Path();
  Dir1.Refresh();
  File1.Refresh();
  WalkDirectory(path, "");
  SearchFlag = false;
}

}  // namespace scanner
