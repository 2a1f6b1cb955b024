// Finding another program's window by its title, for the small tools that
// scan-under-wine.sh runs inside the wine prefix.
#pragma once

#include <windows.h>

#include <cwchar>

namespace win32e2e {

// The first visible top-level window whose title starts with `titleStart`, or
// nullptr when there is none.
inline HWND findTopWindow(const wchar_t* titleStart) {
  struct Search {
    const wchar_t* titleStart;
    HWND found;
  } search{titleStart, nullptr};
  ::EnumWindows(
      [](HWND hwnd, LPARAM param) -> BOOL {
        auto* s = reinterpret_cast<Search*>(param);
        wchar_t title[256];
        if (::GetWindowTextW(hwnd, title, 256) <= 0 || !::IsWindowVisible(hwnd)) return TRUE;
        if (std::wcsncmp(title, s->titleStart, std::wcslen(s->titleStart)) != 0) return TRUE;
        s->found = hwnd;
        return FALSE;
      },
      reinterpret_cast<LPARAM>(&search));
  return search.found;
}

}  // namespace win32e2e
