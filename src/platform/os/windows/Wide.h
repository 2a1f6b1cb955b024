// UTF-8 and UTF-16, long paths: what every Windows source of the layer needs.
// Includes <windows.h>, so a source includes the platform headers before this one
// (windows.h defines DRIVE_FIXED, LB_ERR, ... as macros).
#pragma once

#include <windows.h>

#include <string>
#include <string_view>

namespace platform::win32 {

// UTF-8 to UTF-16; an invalid byte becomes U+FFFD.
std::wstring widen(std::string_view utf8);
// UTF-16 to UTF-8; an unpaired surrogate becomes U+FFFD.
std::string narrow(std::wstring_view utf16);

// A native path ("C:\a\b" or "\\server\share\a") in the form that lifts the length
// limit: "\\?\C:\a\b", "\\?\UNC\server\share\a".
std::wstring longPath(const std::string& path);

}  // namespace platform::win32
