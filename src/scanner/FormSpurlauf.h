// The main window: the description, the status list, the counters, the note, the
// start/cancel button, the help button and the logo, and the hidden drive,
// directory and file lists through which the scan sees the file system.
#pragma once

#include <chrono>
#include <string>

#include "platform/Error.h"
#include "platform/controls/FileControls.h"
#include "platform/controls/Form.h"
#include "platform/controls/ListBox.h"

namespace scanner {

class FormSpurlauf : public platform::Form {
 public:
  FormSpurlauf();

  // Names the scan log, fills the texts, adds the first status line and shows the
  // window modeless.
  void INITIALIZE();
  // One whole scan of every drive of ScanDrives.
  void SPURlaufDRIVES();
  // Points the hidden lists at StartPath with the file pattern and walks it.
  void INITIALIZESEARCH(const std::string& StartPath, const std::string& Dateiendungen);
  // Walks the directory that Dir1 shows.
  void StartSearch();

  void Command1_Click();
  void CommandStartCancel_Click();
  void Dir1_Change();
  void Drive1_Change();
  void Form_QueryUnload(bool& cancel);
  void Picture1_Click();

  // True while a walk may go on.
  bool SearchFlag = false;

  platform::PictureBox Picture1;
  platform::Label LabelTitel;
  platform::CommandButton Command1;
  platform::Label Label4;
  platform::ListBox ListStatus;
  platform::Label Label3;
  platform::Label LabelAnzahlVerzeichnisse;
  platform::Label Label1;
  platform::Label LabelAnzahldateien;
  platform::Label LabelHinweis;
  platform::Label LabelHalvek;
  platform::CommandButton CommandStartCancel;
  platform::Label Label2;
  platform::DriveListBox Drive1;
  platform::DirListBox Dir1;
  platform::FileListBox File1;

 private:
  // Walks DirPath and everything below it; true (the abandon flag) tells the
  // caller to stop at once: the scan was cancelled, or a list could hold no more.
  bool WalkDirectory(const std::string& DirPath, const std::string& ReturnPath);
  // What a step of the walk tells the level that called it.
  enum class WalkResult {
    GoOn,     // this part is done (or was passed over): go on with the next
    Abandon,  // stop at once and return, every level up to the walk's start
  };
  // Where a level of the walk points Dir1 when it is done: the level above (a
  // prefix of m_walkPath), another path, or nowhere (neither given).
  struct ReturnTo {
    size_t length = std::string::npos;   // of the level above, in m_walkPath
    const std::string* other = nullptr;  // where Dir1 stood instead
  };
  // One level of the walk: the directory whose path is the first `length` bytes
  // of m_walkPath.
  WalkResult walkLevel(size_t length, ReturnTo back);
  const std::string& walkPath(size_t length);
  // Parts of a level in calls of their own: what they need lives outside
  // walkLevel's frame, of which a walk has one a level (10,000 for a chain of
  // folders 10,000 deep). countLevel counts the level and shows it; enterName
  // appends the listing's subdirectory `index` to m_walkPath; levelFailed reports
  // what stopped the level and puts the lists back.
  void countLevel();
  void enterName(const platform::DirectoryListing& listing, size_t index);
  WalkResult levelFailed(size_t length, const ReturnTo& back, const platform::RuntimeError& e);
  void returnTo(const ReturnTo& back);
  // Points Dir1 at a subdirectory; one that cannot be entered is passed over.
  WalkResult enterSubdirectory(const std::string& path);
  void writeFileLines();
  // Cancel and close request: the closing lines, the log closed, caption "start".
  void finishCancelledScan();
  // The log failed (`opened`: after it was created): tell the user, close it, and
  // return to idle.
  void abortOnLogFailure(const platform::RuntimeError& error, bool opened);
  // A folder or drive that exists could not be read: the status line, and the
  // note, so that the log says it is incomplete.
  void reportDirectoryDenied(const std::string& path);
  void reportUnreadable(const std::string& statusLine);
  // A drive that stopped answering while `path` was read: said once, and the walk
  // of that drive ends (DriveGivenUp) without waiting for it again.
  void reportNotAnswering(const std::string& path);
  struct DriveGivenUp {};

  std::string m_line;  // reused for every log line
  // When the click that started the current scan came.
  std::chrono::steady_clock::time_point m_startClick{};
  bool m_startClicked = false;
  // The path of the walk's current directory. Each level's path is a prefix of the
  // next level's, so one string serves all: a deep tree costs no copy per level.
  std::string m_walkPath;
};

// The one main window of the run; nullptr before it is created.
FormSpurlauf* mainWindow();
// Creates the main window (hidden) unless it exists; returns it.
FormSpurlauf& createMainWindow();
// Tests: destroys the main window so that the next run starts afresh.
void destroyMainWindow();

}  // namespace scanner
