// The scan log: its name and the lines a scan writes into it.
//
// The log is a Windows-1252 text file with CR LF line ends in the program's folder
// (or the user's own folder for the program, platform/LogFolder.h).
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

// Opens LogFileName for output on the next free handle (LogFileNumber).
void openScanLog();
void writeScanLogLine(std::string_view line);
// Writes the three note lines.
void writeNoteLines();
// Closes the log; a closed log is no error.
void closeScanLog();
// The message shown when the log fails: names the file and the reason.
std::string scanLogFailureMessage(const platform::RuntimeError& error);

}  // namespace scanner
