// The scan log: its name and the lines a scan writes into it.
//
// The log is a text file in the ANSI code page (Windows-1252 on Linux) with CR LF
// line ends in the program's folder (or the user's own folder for the program,
// platform/LogFolder.h). A scan writes it under a temporary name beside
// it (created anew, never through a link, readable by its owner only) and gives it
// the log's own name only when the scan ends by completing or by a cancel, after
// its content is on the disk. So a file under the log's name is always a whole
// scan, and a scan that never ends (killed, logged out, the disk full) leaves the
// previous log as it was.
// Every failure to open, write or close it is raised as ScanLogError, so the walk,
// which passes over problems with single directories, can never swallow it.
#pragma once

#include <string>
#include <string_view>

#include "platform/Error.h"

namespace scanner {

inline constexpr std::string_view kLogHeader = "HALVEK-ROZOZOVUVOR-ORORUZI-PROTOKOLL: ";
inline constexpr std::string_view kCancelLine =
    "SCANVORGANG WURDE MANUELL ABGEBROCHEN! NICHT VOLLSTÄNDIG!";
inline constexpr std::string_view kNoteLines[3] = {
    "HINWEIS: Es konnten nicht alle Dateien erfasst werden, ",
    "da Sie beim Ausführen des Scanners nicht als ",
    "Administrator dieses PC angemeldet waren! ",
};

class ScanLogError : public platform::RuntimeError {
 public:
  using platform::RuntimeError::RuntimeError;
};

// appPath + "\" (unless it ends in one) + "protokoll-MM-DD-YYYY-HH-MM-SS.txt".
std::string scanLogName(const std::string& appPath, const std::string& date,
                        const std::string& time);
// The name a scan writes under until it ends: "-UNVOLLSTÄNDIG" before ".txt",
// and for attempt > 1 a number after it ("...-UNVOLLSTÄNDIG-2.txt").
std::string scanLogTemporaryName(const std::string& logName, int attempt = 1);

// Creates a new temporary file beside LogFileName on the next free handle
// (LogFileNumber); an entry already under that name is never touched.
void openScanLog();
void writeScanLogLine(std::string_view line);
// Writes the three note lines.
void writeNoteLines();
// Ends a whole scan: puts the content on the disk and gives it LogFileName,
// replacing the previous log. A closed log is no error.
void closeScanLog();
// Closes the log after a failure, leaving it under its temporary name. Never raises.
void abandonScanLog();
// The temporary file the current (or last) scan writes.
const std::string& scanLogTemporaryPath();
// The message shown when the log fails: names the file and says what happened to
// it and why, by the step that failed.
std::string scanLogFailureMessage(const platform::RuntimeError& error);

}  // namespace scanner
