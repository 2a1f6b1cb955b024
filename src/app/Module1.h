// The start-up module: Main and the program-wide variables.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace app {

// Roots of the drives a scan covers ("C:\", "D:\"), built once by Main.
extern std::vector<std::string> ScanDrives;
// The scan log's full path, fixed at start-up, and its handle while open.
extern std::string LogFileName;
extern int16_t LogFileNumber;
// Directories entered and files listed by the current scan.
extern int32_t DirsFound;
extern int32_t FilesFound;
// The media catalogue's list file (a view path), set once at start-up.
extern std::string MediaListFileName;

// Name of the media list file in the program's folder.
inline constexpr const char* kMediaListName = "medienliste.txt";

// Builds ScanDrives, creates the main window and shows it; returns at once.
void Main();

}  // namespace app
