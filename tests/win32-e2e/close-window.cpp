// Asks a top-level window to close the way its close box does (WM_SYSCOMMAND,
// SC_CLOSE). Argument: the start of the window's title. Exit code 0 when such a
// window was found, 1 when not, 2 on wrong use. Used by scan-under-wine.sh.
#include <windows.h>

#include "TopWindow.h"

int wmain(int argc, wchar_t** argv) {
  if (argc != 2) return 2;
  const HWND window = win32e2e::findTopWindow(argv[1]);
  if (!window) return 1;
  ::PostMessageW(window, WM_SYSCOMMAND, SC_CLOSE, 0);
  return 0;
}
