// MediaBase: the folder keys of ListSUBDIRS and the folder paths of ListVerz.
#include <string>
#include <unordered_set>

#include "media/MediaBase.h"
#include "media/standards.h"
#include "platform/text/Text.h"

namespace media {

namespace {

// "C:\" (a drive root) and "\" (the root of the current drive) are kept whole as
// the holding folder of a file directly in a root.
bool isRoot(const std::string& folder) {
  return folder == "\\" || (platform::Len(folder) == 3 && folder.ends_with(":\\"));
}

}  // namespace

std::string MediaBase::ExtractUnterverzeichnis(const std::string& DateiMitPfad) {
  std::string s = ParentPath(DateiMitPfad);
  // Only a root stays as it is. Testing the length alone (three characters or
  // fewer) would also keep the backslash of a short relative folder: "ab\x.mp3"
  // would give "ab\" and a key of its own beside the "ab" of "C:\ab\y.mp3".
  if (s.empty() || isRoot(s)) return s;
  s.pop_back();  // ParentPath ends with its backslash
  const size_t slash = s.rfind('\\');
  if (slash != std::string::npos) s.erase(0, slash + 1);
  return s;
}

void MediaBase::SCANsubdirMENUS(const platform::ListBox& ListQUELLE) {
  ListSUBDIRS.Clear();
  ListVerz.Clear();
  // Keys appended by this run. ListSUBDIRS holds exactly these, so the set answers
  // "is the key in the list" without a pass over the list for every entry.
  std::unordered_set<std::string> keys;
  const int32_t count = ListQUELLE.ListCount();
  for (int32_t i = 0; i < count; ++i) {
    const std::string entry = ListQUELLE.List(i);
    const std::string name = ExtractUnterverzeichnis(entry);
    if (name.empty()) continue;
    std::string key = "\\" + platform::UCase(name);
    if (keys.contains(key)) continue;
    // The folder path: the holding folder without its final backslash (there is
    // one, as the name is not empty).
    const std::string folder = ParentPath(entry);
    ListSUBDIRS.AddItem(key);
    keys.insert(std::move(key));
    ListVerz.AddItem(folder.substr(0, folder.size() - 1));
  }
}

}  // namespace media
