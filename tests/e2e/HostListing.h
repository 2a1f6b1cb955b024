// An independent listing of a host folder, written as the scan log writes it, to
// hold the program's log against. It walks with the system calls themselves
// (openat, readdir, fstatat without following links), not with the program's
// directory layer.
#pragma once

#include <map>
#include <set>
#include <string>
#include <vector>

namespace e2e {

struct Listing {
  // One line per entry that is not a directory, in the log's form and code page:
  // "C:\usr\bin\ls" for /usr/bin/ls. Sorted.
  std::vector<std::string> lines;
  // Folders that could not be read, with the reason.
  std::vector<std::string> problems;
};

// Every mount point of the machine's mount table (/proc/self/mountinfo).
std::set<std::string> mountPoints();

// Lists every non-directory below `hostFolder` (an absolute path without a
// trailing "/"), staying on its file system as the scan does: a subdirectory on
// another device or on which something is mounted is not entered. `viewFolder` is
// the folder as the program names it ("C:\usr"); each name below it is mapped
// with the program's name mapping (hostNameToView) and written in Windows-1252.
Listing listFilesAsLogLines(const std::string& hostFolder, const std::string& viewFolder);

// The differences between two sorted multisets of lines: what only `a` has and what
// only `b` has, each with a count.
struct Difference {
  std::map<std::string, int> onlyInA;
  std::map<std::string, int> onlyInB;
  bool empty() const { return onlyInA.empty() && onlyInB.empty(); }
};
Difference compareSorted(const std::vector<std::string>& a, const std::vector<std::string>& b);

}  // namespace e2e
