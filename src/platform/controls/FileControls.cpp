#include "platform/controls/FileControls.h"

#include "platform/Error.h"
#include "platform/drives/Drives.h"
#include "platform/drives/ViewPath.h"
#include "platform/text/PathBytes.h"
#include "platform/text/Text.h"

namespace platform {

namespace {

// Where a list is pointed: `path` itself when it is in the lists' normal form
// already, else its normal form, kept in `normalized`; `own` is the list's path
// (in that form). The walk's paths differ from a list's own only at their ends, so
// the two are compared once. `same`: `path` is `own`.
const std::string& listTarget(const std::string& path, const std::string& own,
                              std::string& normalized, bool& same) {
  const size_t common = pathbytes::commonPrefix(path, own);
  same = common == path.size() && common == own.size();
  if (!same && !pathbytes::isNormalViewPath(path, common)) {
    normalized = normalizeViewPath(path, own);
  }
  return normalized.empty() ? path : normalized;
}

// Wildcard match of code point sequences: "*" any run, "?" one character.
bool wildcardMatch(const std::u32string& name, const std::u32string& pattern) {
  size_t n = 0;
  size_t p = 0;
  size_t starP = std::u32string::npos;
  size_t starN = 0;
  while (n < name.size()) {
    if (p < pattern.size() && (pattern[p] == U'?' || pattern[p] == name[n])) {
      ++n;
      ++p;
    } else if (p < pattern.size() && pattern[p] == U'*') {
      starP = p++;
      starN = n;
    } else if (starP != std::u32string::npos) {
      p = starP + 1;
      n = ++starN;
    } else {
      return false;
    }
  }
  while (p < pattern.size() && pattern[p] == U'*') ++p;
  return p == pattern.size();
}

std::u32string toCodePoints(std::string_view s) {
  std::u32string out;
  size_t pos = 0;
  while (pos < s.size()) {
    char32_t cp;
    if (!decodeUtf8(s, pos, cp)) cp = static_cast<unsigned char>(s[pos++]);
    out.push_back(cp);
  }
  return out;
}

std::string trim(const std::string& s) {
  const size_t b = s.find_first_not_of(' ');
  if (b == std::string::npos) return {};
  return s.substr(b, s.find_last_not_of(' ') - b + 1);
}

bool matchesAll(const std::string& patterns) {
  const std::string t = trim(patterns);
  return t == "*.*" || t == "*" || t.empty();
}

// A pattern list made ready once: each pattern in lower case, as code points.
class PatternList {
 public:
  explicit PatternList(const std::string& patterns) {
    size_t pos = 0;
    while (pos <= patterns.size()) {
      size_t end = patterns.find(';', pos);
      if (end == std::string::npos) end = patterns.size();
      const std::string one = trim(patterns.substr(pos, end - pos));
      if (one == "*.*" || one == "*") m_any = true;
      if (!one.empty()) m_patterns.push_back(toCodePoints(LCase(one)));
      pos = end + 1;
    }
  }

  bool matches(std::string_view name) const {
    if (m_any) return true;
    const std::u32string lowerName = toCodePoints(LCase(name));
    for (const std::u32string& pattern : m_patterns) {
      if (wildcardMatch(lowerName, pattern)) return true;
    }
    return false;
  }

 private:
  std::vector<std::u32string> m_patterns;
  bool m_any = false;
};

}  // namespace

bool matchesPattern(const std::string& name, const std::string& patterns) {
  return PatternList(patterns).matches(name);
}

// --- DriveListBox ---------------------------------------------------------------------

DriveListBox::DriveListBox(std::string name, Rect geometry, int tabIndex)
    : Control(ControlKind::DriveListBox, std::move(name), geometry, tabIndex),
      m_drive(currentDirectoryView().substr(0, 2)) {}

void DriveListBox::setDrive(const std::string& drive) {
  if (drive.empty()) raiseError(err::kDeviceUnavailable, drive);
  const char letter = static_cast<char>(std::toupper(static_cast<unsigned char>(drive[0])));
  if ((drive.size() >= 2 && drive[1] != ':') || !systemDrives().byLetter(letter)) {
    raiseError(err::kDeviceUnavailable, drive);
  }
  std::string value{letter, ':'};
  if (value == m_drive) return;
  m_drive = std::move(value);
  notify(Property::Path);
  if (onChange) onChange();
}

int32_t DriveListBox::ListCount() const {
  return static_cast<int32_t>(systemDrives().drives().size());
}

std::string DriveListBox::List(int32_t index) const {
  const auto& drives = systemDrives().drives();
  if (index < 0 || index >= static_cast<int32_t>(drives.size())) return {};
  const platform::Drive& d = drives[static_cast<size_t>(index)];
  return std::string{d.letter, ':'} + " [" + hostNameToView(d.mountPoint) + "]";
}

int32_t DriveListBox::ListIndex() const {
  const auto& drives = systemDrives().drives();
  for (size_t i = 0; i < drives.size(); ++i) {
    if (drives[i].letter == m_drive[0]) return static_cast<int32_t>(i);
  }
  return -1;
}

// --- DirListBox -----------------------------------------------------------------------

DirListBox::DirListBox(std::string name, Rect geometry, int tabIndex)
    : Control(ControlKind::DirListBox, std::move(name), geometry, tabIndex),
      m_path(currentDirectoryView()) {}

void DirListBox::setPath(const std::string& path) {
  std::string normalized;
  bool same = false;
  const std::string& target = listTarget(path, m_path, normalized, same);
  // Its own path again, with a listing checked since the last yield: nothing to do.
  if (same && m_listing && listingIsCurrent(*m_listing)) return;
  m_listing = listDirectory(target);
  if (normalized.empty() ? same : target == m_path) return;
  m_path.assign(target);
  notify(Property::Path);
  if (onChange) onChange();
}

void DirListBox::ensureListing() const {
  if (m_listing) return;
  try {
    m_listing = listDirectory(m_path);
  } catch (const RuntimeError&) {
    m_listing = std::make_shared<DirectoryListing>();
  }
}

int32_t DirListBox::ListCount() const {
  ensureListing();
  return static_cast<int32_t>(m_listing->subdirs.size());
}

std::string DirListBox::List(int32_t index) const {
  if (index == -1) return m_path;
  ensureListing();
  if (index < 0 || index >= static_cast<int32_t>(m_listing->subdirs.size())) return {};
  std::string path = m_path;
  if (m_path.size() != 3) path += '\\';
  path += m_listing->subdirs[static_cast<size_t>(index)];
  return path;
}

std::shared_ptr<const DirectoryListing> DirListBox::listing() const {
  ensureListing();
  return m_listing;
}

void DirListBox::Refresh() {
  m_listing = listDirectory(m_path, true);
  notify(Property::Items);
}

// --- FileListBox ----------------------------------------------------------------------

FileListBox::FileListBox(std::string name, Rect geometry, int tabIndex, std::string pattern)
    : Control(ControlKind::FileListBox, std::move(name), geometry, tabIndex),
      m_path(currentDirectoryView()),
      m_pattern(std::move(pattern)) {}

void FileListBox::setPath(const std::string& path) {
  std::string normalized;
  bool same = false;
  const std::string& target = listTarget(path, m_path, normalized, same);
  m_listing = listDirectory(target);
  if (!same) m_path.assign(target);
  m_listIndex = -1;
  m_selected = -1;
  applyPattern();
  notify(Property::Path);
}

void FileListBox::setPattern(std::string pattern) {
  m_pattern = std::move(pattern);
  m_listIndex = -1;
  m_selected = -1;
  if (m_listing) applyPattern();
  notify(Property::Items);
}

void FileListBox::applyPattern() const {
  m_filtered.clear();
  m_matchAll = matchesAll(m_pattern);
  if (m_matchAll) return;
  const PatternList patterns(m_pattern);
  for (const std::string_view name : m_listing->files) {
    if (patterns.matches(name)) m_filtered.push_back(name);
  }
}

void FileListBox::ensureListing() const {
  if (m_listing) return;
  try {
    m_listing = listDirectory(m_path);
  } catch (const RuntimeError&) {
    m_listing = std::make_shared<DirectoryListing>();
  }
  applyPattern();
}

const NameList& FileListBox::names() const {
  ensureListing();
  return m_matchAll ? m_listing->files : m_filtered;
}

int32_t FileListBox::ListCount() const {
  return static_cast<int32_t>(names().size());
}

std::string_view FileListBox::List(int32_t index) const {
  const NameList& all = names();
  if (index < 0 || index >= static_cast<int32_t>(all.size())) return {};
  return all[static_cast<size_t>(index)];
}

void FileListBox::setListIndex(int32_t index) {
  if (index < -1 || index >= ListCount()) raiseError(err::kInvalidPropertyValue);
  m_listIndex = index;
  notify(Property::ListIndex);
}

bool FileListBox::Selected(int32_t index) const {
  return index >= 0 && index == m_selected;
}

void FileListBox::setSelected(int32_t index, bool selected) {
  if (index < 0 || index >= ListCount()) raiseError(err::kInvalidArrayIndex);
  if (selected) {
    m_selected = index;
  } else if (m_selected == index) {
    m_selected = -1;
  }
  notify(Property::Selection);
}

void FileListBox::Refresh() {
  m_listing = listDirectory(m_path, true);
  applyPattern();
  notify(Property::Items);
}

}  // namespace platform
