// Prints the lines of the status list (the first list box) of a top-level window,
// one a line in UTF-8. Argument: the start of the window's title. Exit code 0
// when such a window with a list box was found, 1 when not (or it did not answer
// within 5 s), 2 on wrong use. Used by hanging-under-wine.sh.
#include <windows.h>

#include <cstdio>
#include <cwchar>
#include <string>

#include "TopWindow.h"

namespace {

HWND firstListBox(HWND window) {
  HWND found = nullptr;
  ::EnumChildWindows(
      window,
      [](HWND child, LPARAM param) -> BOOL {
        wchar_t cls[64] = L"";
        ::GetClassNameW(child, cls, 64);
        const wchar_t* name = std::wcsrchr(cls, L'!') ? std::wcsrchr(cls, L'!') + 1 : cls;
        if (::lstrcmpiW(name, L"ListBox") != 0) return TRUE;
        *reinterpret_cast<HWND*>(param) = child;
        return FALSE;
      },
      reinterpret_cast<LPARAM>(&found));
  return found;
}

// A message to the program's list box, given up when the program does not answer.
bool ask(HWND list, UINT msg, WPARAM wParam, LPARAM lParam, DWORD_PTR& answer) {
  return ::SendMessageTimeoutW(list, msg, wParam, lParam, SMTO_ABORTIFHUNG, 5000, &answer) != 0;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc != 2) return 2;
  const HWND window = win32e2e::findTopWindow(argv[1]);
  const HWND list = window ? firstListBox(window) : nullptr;
  if (!list) return 1;
  DWORD_PTR count = 0;
  if (!ask(list, LB_GETCOUNT, 0, 0, count)) return 1;
  for (DWORD_PTR i = 0; i < count; ++i) {
    DWORD_PTR length = 0;
    if (!ask(list, LB_GETTEXTLEN, i, 0, length)) return 1;
    std::wstring text(length + 1, L'\0');
    DWORD_PTR copied = 0;
    if (!ask(list, LB_GETTEXT, i, reinterpret_cast<LPARAM>(text.data()), copied)) return 1;
    text.resize(copied);
    const int bytes =
        ::WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, nullptr, 0, nullptr, nullptr);
    std::string utf8(static_cast<size_t>(bytes), '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, utf8.data(), bytes, nullptr, nullptr);
    std::printf("%s\n", utf8.c_str());
  }
  return 0;
}
