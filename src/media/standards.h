// The list-search and path routines of the standards module that the media
// catalogue uses (AddStatusLine, the other routine of the module, lives with the
// main window in scanner/standards.h).
#pragma once

#include <cstdint>
#include <string>

#include "platform/controls/Control.h"
#include "platform/controls/ListBox.h"

namespace media {

// The path up to and including the last "\" that stands before its final
// character: "C:\Musik\Rock\song.mp3" -> "C:\Musik\Rock\", "C:\Musik\" -> "C:\",
// "C:\song.mp3" -> "C:\". Empty when there is no such backslash ("", one character,
// "C:\", "song.mp3"). Never fails.
std::string ParentPath(const std::string& path);

// Searches a list box or combo box for `text` with the find-string messages:
// prefix (exact false) or whole entry (exact true), ignoring case, starting after
// index `start` (-1: from the first entry) and wrapping around to the top.
// Returns the zero-based index found or -1; 0 at once, without sending anything,
// for a control of any other kind.
// The text goes out in the ANSI code page: a character that it cannot hold is
// sent as "?" and matches only a "?", and the text ends at an embedded NUL.
int32_t FindListEntry(const platform::Control& control, const std::string& text, int32_t start,
                      bool exact);

// Index of the first entry of `list` that begins with `text`, ignoring case, or -1
// when there is none. An index beyond the 16-bit range reads as 32767, so a match
// is never mistaken for "not found".
int16_t FindInList(const platform::ListBox& list, const std::string& text);

}  // namespace media
