// An independent listing of a host folder, written as the scan log writes it, to
// hold the program's log against. It walks with the system calls themselves
// (openat, readdir, fstatat without following links), reads the mount table and
// writes names in the log's code page with code of its own, not with the
// program's libraries.
#pragma once

#include <map>
#include <set>
#include <string>
#include <string_view>
#include <vector>

namespace e2e {

struct Listing {
  // One line per entry that is not a directory, in the log's form and code page:
  // "C:\usr\bin\ls" for /usr/bin/ls. Sorted.
  std::vector<std::string> lines;
  // Folders that could not be read, with the reason.
  std::vector<std::string> problems;
};

// A row of the machine's mount table (/proc/self/mountinfo), escapes undone.
struct TableRow {
  std::string target;  // "/mnt/data"
  std::string type;    // "ext4"
  std::string source;  // "/dev/sdb1"
};
std::vector<TableRow> mountTable();
// Every mount point of the table.
std::set<std::string> mountPoints();

// A host name as the log writes it, in Windows-1252: a character of valid UTF-8 as
// its byte in the code page ("?" where it has none); "\", control characters and
// all else (bytes of an old 8-bit name, the program's own escape characters
// U+F000..U+F0FF) byte by byte: "?" below 0x80 and where the code page defines no
// character, else the byte itself.
std::string nameInLog(std::string_view hostName);

// Lists every non-directory below `hostFolder` (an absolute path without a
// trailing "/"), staying on its file system as the scan does: a subdirectory on
// another device or on which something is mounted is not entered. `logFolder` is
// the folder as the log names it ("C:\usr", in the log's bytes); each name below
// it is written with nameInLog.
Listing listFilesAsLogLines(const std::string& hostFolder, const std::string& logFolder);

// The differences between two sorted multisets of lines: what only `a` has and what
// only `b` has, each with a count.
struct Difference {
  std::map<std::string, int> onlyInA;
  std::map<std::string, int> onlyInB;
  bool empty() const { return onlyInA.empty() && onlyInB.empty(); }
};
Difference compareSorted(const std::vector<std::string>& a, const std::vector<std::string>& b);

}  // namespace e2e
