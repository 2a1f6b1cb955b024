#include "media/standards.h"

#include <limits>

#include "platform/text/Text.h"
#include "platform/winapi/Messages.h"

namespace media {

std::string ParentPath(const std::string& path) {
  // "\" is one byte in UTF-8 and never part of a longer character, so scanning
  // bytes finds the same backslash as scanning characters. The final character is
  // never taken: a trailing backslash does not count.
  if (path.size() < 2) return {};
  const size_t slash = path.find_last_of('\\', path.size() - 2);
  if (slash == std::string::npos) return {};
  return path.substr(0, slash + 1);
}

int32_t FindListEntry(const platform::Control& control, const std::string& text, int32_t start,
                      bool exact) {
  uint32_t message = 0;
  switch (control.kind()) {
    case platform::ControlKind::ListBox:
      message = exact ? platform::LB_FINDSTRINGEXACT : platform::LB_FINDSTRING;
      break;
    case platform::ControlKind::ComboBox:
      message = exact ? platform::CB_FINDSTRINGEXACT : platform::CB_FINDSTRING;
      break;
    default: return 0;
  }
  const std::string ansi = platform::toAnsi(text);  // NUL-terminated by std::string
  const intptr_t result = platform::SendMessageA(control.hwnd(), message, start,
                                                 reinterpret_cast<intptr_t>(ansi.c_str()));
  return static_cast<int32_t>(result);
}

int16_t FindInList(const platform::ListBox& list, const std::string& text) {
  const int32_t index = FindListEntry(list, text, -1, false);
  // The list may hold more entries than a 16-bit index can name; a plain narrowing
  // would turn index 65535 into -1 ("not in the list").
  if (index < 0) return -1;
  if (index > std::numeric_limits<int16_t>::max()) return std::numeric_limits<int16_t>::max();
  return static_cast<int16_t>(index);
}

}  // namespace media
