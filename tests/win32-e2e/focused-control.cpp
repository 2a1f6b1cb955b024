// Prints the control that has the keyboard focus in a top-level window, as its
// window class and text ("Button start", "ListBox"), or "none". Argument: the
// start of the window's title. Exit code 0 when such a window was found, 1 when
// not, 2 on wrong use. Used by scan-under-wine.sh.
#include <windows.h>

#include <cstdio>
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
  GUITHREADINFO info{};
  info.cbSize = sizeof info;
  const DWORD thread = ::GetWindowThreadProcessId(search.found, nullptr);
  if (!::GetGUIThreadInfo(thread, &info) || !info.hwndFocus ||
      !::IsChild(search.found, info.hwndFocus)) {
    std::printf("none\n");
    return 0;
  }
  wchar_t cls[64] = L"";
  ::GetClassNameW(info.hwndFocus, cls, 64);
  wchar_t text[256] = L"";
  DWORD_PTR copied = 0;
  ::SendMessageTimeoutW(info.hwndFocus, WM_GETTEXT, 256, reinterpret_cast<LPARAM>(text),
                        SMTO_ABORTIFHUNG, 2000, &copied);
  // The class as the system names it, without a version prefix of comctl32 v6.
  const wchar_t* name = std::wcsrchr(cls, L'!') ? std::wcsrchr(cls, L'!') + 1 : cls;
  if (text[0]) {
    std::printf("%ls %ls\n", name, text);
  } else {
    std::printf("%ls\n", name);
  }
  return 0;
}
