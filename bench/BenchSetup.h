// Set-up of a benchmark scan, shared by the headless and the windowed driver.
//
// A scan of a generated tree: drive C: is the tree's root and P: the output
// folder, which holds the program folder (App.Path = "P:\") and so the scan log.
// A tree that is a mount of its own (the network share of share_run) keeps the
// type the machine's mount table gives it ("fuse.sshfs", a network drive).
// A scan of the machine (--machine): the machine's own drive table and scan drives
// (as Main builds them); the program folder is the output folder under whatever
// letter the table gives it. Either way the real main window, walk and log run.
#pragma once

#include <string>

namespace bench {

struct Options {
  bool machine = false;
  std::string root;  // host folder of drive C: (not with --machine)
  std::string out;   // host folder for the scan log; must not lie inside `root`
};

// Reads "--root DIR --out DIR" or "--machine --out DIR"; prints the usage and
// exits on anything else.
Options parseOptions(int argc, char** argv, const char* program);

// Installs the drive table, App.Path and ScanDrives, and prints the drives the
// scan covers. Exits when the output folder cannot serve as the program folder.
void prepareScan(const Options& options, const char* program);

// Prints the outcome of the scan that just ran: the log's host path, the counts,
// the scan's seconds, the directory reads and reuses, the peak resident memory.
// Returns the process's exit code: 0 when the scan completed.
int reportScan(const char* program, double seconds);

}  // namespace bench
