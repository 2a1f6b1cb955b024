// Text services of the form runtime.
//
// Strings are UTF-8 inside the program. Character positions and lengths are counted
// in characters (code points), from 1, as the program's logic counts them. Files
// are read and written in the system's ANSI code page: Windows-1252 on Linux, the
// system's own on Windows (CP_ACP, Windows-1252 on a Western system).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/text/NameList.h"

namespace platform {

// --- characters and positions -------------------------------------------------

// Number of characters (code points) in `s`.
int32_t Len(std::string_view s);
// The first `n` characters (all of them when `n` exceeds the length, none for n <= 0).
std::string Left(std::string_view s, int32_t n);
// The last `n` characters.
std::string Right(std::string_view s, int32_t n);
// `length` characters from 1-based position `start`; length < 0 means to the end.
std::string Mid(std::string_view s, int32_t start, int32_t length = -1);
// Every occurrence of `find` replaced by `with`, compared exactly; an empty `find`
// leaves the text unchanged.
std::string Replace(std::string_view s, std::string_view find, std::string_view with);

// --- case -----------------------------------------------------------------------

// Lower and upper case over all of Unicode, independent of the user's locale.
std::string LCase(std::string_view s);
std::string UCase(std::string_view s);

// Compares without regard to case, character by character: < 0, 0 or > 0.
int compareNoCase(std::string_view a, std::string_view b);
bool startsWithNoCase(std::string_view text, std::string_view prefix);
bool equalsNoCase(std::string_view a, std::string_view b);
// Sort order of our lists: alphabetical ignoring case, ties broken by the exact
// bytes so that the order is total and two runs agree.
bool listOrderLess(std::string_view a, std::string_view b);
// Sorts `names` by listOrderLess, folding each name only once.
void sortListOrder(std::vector<std::string>& names);
// `from`'s names in that order, into `to` (at its size: one allocation each).
void sortListOrder(const NameList& from, NameList& to);

// --- ANSI code page ------------------------------------------------------------------

// UTF-8 to the ANSI code page, one byte per character; a character that the code
// page cannot hold becomes one "?" (per character, not per UTF-16 unit), and so
// does every byte that is not UTF-8.
std::string toAnsi(std::string_view utf8);
// Appends toAnsi(utf8) to `out` (no temporary string on the hot path).
void appendAnsi(std::string& out, std::string_view utf8);
// The ANSI code page to UTF-8; in Windows-1252 every byte maps to one character.
std::string fromAnsi(std::string_view ansi);

// --- host names ---------------------------------------------------------------------

// A Linux file name may hold bytes that a Windows name never holds. Each such byte
// b ("\", control characters, bytes that are not valid UTF-8, and the bytes of an
// encoded U+F000..U+F0FF itself) stands in the view as the character U+F000 + b,
// so every view name maps back to exactly the host name it came from.
inline constexpr char32_t kEscapeBase = 0xF000;

std::string hostNameToView(std::string_view hostName);
void appendHostNameAsView(std::string& out, std::string_view hostName);
std::string viewNameToHost(std::string_view viewName);

// Decodes one UTF-8 character at `pos`; on an invalid sequence returns false and
// leaves `pos` unchanged.
bool decodeUtf8(std::string_view s, size_t& pos, char32_t& cp);
void appendUtf8(std::string& out, char32_t cp);

}  // namespace platform
