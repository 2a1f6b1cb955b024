// Drive, directory and file list models over the host file system.
//
// Paths are view paths ("C:\home\anna"). Setting a path reads the directory at
// once, so every failure is raised by the assignment itself (419 for a directory
// that may not be read); the lists keep their previous state then. The change
// event runs inside the assignment, after the list has followed.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/controls/Control.h"
#include "platform/reading/DirectoryListing.h"

namespace platform {

class DriveListBox : public Control {
 public:
  DriveListBox(std::string name, Rect geometry, int tabIndex);

  // "C:": the letter and a colon. Starts on the process's current drive.
  const std::string& Drive() const { return m_drive; }
  // Takes the first two characters ("d:\x" selects D:); error 68 for a letter that
  // names no drive. Raises the change event when the drive differs.
  void setDrive(const std::string& drive);

  // The entries as shown: "C: [/]", "D: [/mnt/daten]", ...
  int32_t ListCount() const;
  std::string List(int32_t index) const;
  int32_t ListIndex() const;

  std::function<void()> onChange;

 private:
  std::string m_drive;
};

class DirListBox : public Control {
 public:
  DirListBox(std::string name, Rect geometry, int tabIndex);

  // Full path; a drive root reads "C:\", any other directory has no final "\".
  // Starts on the process's current directory.
  const std::string& Path() const { return m_path; }
  // Accepts "X:" (that drive's current directory), absolute and relative paths.
  void setPath(const std::string& path);

  // Subdirectories of Path: count, and the full path of each; List(-1) is Path.
  int32_t ListCount() const;
  std::string List(int32_t index) const;
  // -1 after Path was set: the shown directory itself.
  int32_t ListIndex() const { return -1; }
  // Reads the directory from disk again.
  void Refresh();

  // The listing behind ListCount and List: it never changes once made, so a
  // holder sees the directory as it was read even if the list re-reads it.
  std::shared_ptr<const DirectoryListing> listing() const;

  std::function<void()> onChange;

 private:
  void ensureListing() const;

  std::string m_path;
  mutable std::shared_ptr<const DirectoryListing> m_listing;
};

class FileListBox : public Control {
 public:
  FileListBox(std::string name, Rect geometry, int tabIndex, std::string pattern = "*.*");

  const std::string& Path() const { return m_path; }
  void setPath(const std::string& path);

  // Several patterns separated by ";", matched without regard to case; "*.*"
  // matches every name, with or without a dot.
  const std::string& Pattern() const { return m_pattern; }
  void setPattern(std::string pattern);

  int32_t ListCount() const;
  // The bare file name; an empty text outside the list. Valid until the list
  // changes.
  std::string_view List(int32_t index) const;
  int32_t ListIndex() const { return m_listIndex; }
  void setListIndex(int32_t index);  // error 380 outside -1..ListCount-1
  bool Selected(int32_t index) const;
  void setSelected(int32_t index, bool selected);  // error 381 outside the list
  void Refresh();

  const NameList& names() const;

 private:
  void ensureListing() const;
  void applyPattern() const;

  std::string m_path;
  std::string m_pattern;
  mutable std::shared_ptr<const DirectoryListing> m_listing;
  mutable NameList m_filtered;
  mutable bool m_matchAll = true;
  int32_t m_listIndex = -1;
  int32_t m_selected = -1;
};

// Does a file name match a pattern list such as "*.avi;*.mpg"? Without regard to case.
bool matchesPattern(const std::string& name, const std::string& patterns);

}  // namespace platform
