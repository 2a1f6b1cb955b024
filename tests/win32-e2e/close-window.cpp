// Asks a top-level window to close the way its close box does (WM_SYSCOMMAND,
// SC_CLOSE). Argument: the start of the window's title. Exit code 0 when such a
// window was found, 1 when not, 2 on wrong use. Used by scan-under-wine.sh.
#include <windows.h>

#include <cwchar>

namespace {

struct Search {
  const wchar_t* titleStart;
  HWND found;
};

BOOL CALLBACK visit(HWND hwnd, LPARAM param) {
  auto* search = reinterpret_cast<Search*>(param);
  wchar_t title[256];
  if (::GetWindowTextW(hwnd, title, 256) <= 0 || !::IsWindowVisible(hwnd)) return TRUE;
  if (std::wcsncmp(title, search->titleStart, std::wcslen(search->titleStart)) != 0) return TRUE;
  search->found = hwnd;
  return FALSE;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc != 2) return 2;
  Search search{argv[1], nullptr};
  ::EnumWindows(visit, reinterpret_cast<LPARAM>(&search));
  if (!search.found) return 1;
  ::PostMessageW(search.found, WM_SYSCOMMAND, SC_CLOSE, 0);
  return 0;
}
