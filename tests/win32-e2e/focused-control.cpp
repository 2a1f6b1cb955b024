// Prints the control that has the keyboard focus in a top-level window, as its
// window class and text ("Button start", "ListBox"), or "none". Argument: the
// start of the window's title. Exit code 0 when such a window was found, 1 when
// not, 2 on wrong use. Used by scan-under-wine.sh.
#include <windows.h>

#include <cstdio>
#include <cwchar>

#include "TopWindow.h"

int wmain(int argc, wchar_t** argv) {
  if (argc != 2) return 2;
  const HWND window = win32e2e::findTopWindow(argv[1]);
  if (!window) return 1;
  GUITHREADINFO info{};
  info.cbSize = sizeof info;
  const DWORD thread = ::GetWindowThreadProcessId(window, nullptr);
  if (!::GetGUIThreadInfo(thread, &info) || !info.hwndFocus || !::IsChild(window, info.hwndFocus)) {
    std::printf("none\n");
    return 0;
  }
  wchar_t cls[64] = L"";
  ::GetClassNameW(info.hwndFocus, cls, 64);
  // The text the system keeps for a window of another process: no message to
  // the program, so this answers also while the program is held (SIGSTOP).
  wchar_t text[256] = L"";
  ::GetWindowTextW(info.hwndFocus, text, 256);
  // The class as the system names it, without a version prefix of comctl32 v6.
  const wchar_t* name = std::wcsrchr(cls, L'!') ? std::wcsrchr(cls, L'!') + 1 : cls;
  if (text[0]) {
    std::printf("%ls %ls\n", name, text);
  } else {
    std::printf("%ls\n", name);
  }
  return 0;
}
