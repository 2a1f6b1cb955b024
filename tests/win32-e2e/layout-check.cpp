// Starts the program's main window as the program does (the same start-up, the
// Windows host, the program's manifest and resources) and checks, in the window's
// own fonts, that every text fits its control: a label's text wrapped within its
// box is no taller than the box (the hidden note label too), a button's caption
// and the status list's line are no wider than the control. Prints what it
// measured. Arguments: the DPI the window must have (the wine prefix's LogPixels)
// and optionally one it is then told it moved to (WM_DPICHANGED); it is measured
// again there. Exit code 0 when everything fits, 1 when not, 2 on wrong use.
#include <windows.h>

#include <cstdio>
#include <cwchar>
#include <string>
#include <vector>

#include "app/Module1.h"
#include "platform/runtime/Runtime.h"
#include "platform/win32/Win32Host.h"

namespace {

struct Found {
  HWND form = nullptr;
};

BOOL CALLBACK visitTop(HWND hwnd, LPARAM param) {
  wchar_t title[256];
  if (::IsWindowVisible(hwnd) && ::GetWindowTextW(hwnd, title, 256) > 0 &&
      std::wcsncmp(title, L"Rozozovuvor-Ororuzi V1.0", 24) == 0) {
    reinterpret_cast<Found*>(param)->form = hwnd;
    return FALSE;
  }
  return TRUE;
}

std::vector<HWND> children(HWND form) {
  std::vector<HWND> all;
  ::EnumChildWindows(
      form,
      [](HWND hwnd, LPARAM param) {
        reinterpret_cast<std::vector<HWND>*>(param)->push_back(hwnd);
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&all));
  return all;
}

std::wstring className(HWND hwnd) {
  wchar_t cls[64] = L"";
  ::GetClassNameW(hwnd, cls, 64);
  const wchar_t* bang = std::wcsrchr(cls, L'!');  // comctl32 v6 names it "6.0...!Button"
  return bang ? bang + 1 : cls;
}

// The size the text takes in the control's font: wrapped within `width` when
// `wrap`, else on one line.
SIZE textSize(HWND control, const std::wstring& text, int width, bool wrap) {
  HDC dc = ::GetDC(control);
  auto* font = reinterpret_cast<HFONT>(::SendMessageW(control, WM_GETFONT, 0, 0));
  HGDIOBJ old = ::SelectObject(dc, font ? font : ::GetStockObject(SYSTEM_FONT));
  RECT r{0, 0, width, 0};
  UINT flags = DT_CALCRECT | DT_EXPANDTABS | DT_NOPREFIX;
  flags |= wrap ? DT_WORDBREAK | DT_EDITCONTROL : DT_SINGLELINE;
  ::DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &r, flags);
  ::SelectObject(dc, old);
  ::ReleaseDC(control, dc);
  return SIZE{r.right - r.left, r.bottom - r.top};
}

std::string utf8(const std::wstring& text) {
  const int n = ::WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()),
                                      nullptr, 0, nullptr, nullptr);
  std::string out(static_cast<size_t>(n), '\0');
  ::WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), n,
                        nullptr, nullptr);
  return out;
}

// Checks the client area and every text of the main window laid out for `dpi`;
// the number of faults.
int checkLayout(HWND form, UINT dpi) {
  RECT client{};
  ::GetClientRect(form, &client);
  wchar_t face[LF_FACESIZE] = L"";
  TEXTMETRICW metrics{};
  if (HDC dc = ::GetDC(form)) {
    HGDIOBJ old = ::SelectObject(
        dc, reinterpret_cast<HFONT>(::SendMessageW(::GetWindow(form, GW_CHILD), WM_GETFONT, 0, 0)));
    ::GetTextFaceW(dc, LF_FACESIZE, face);
    ::GetTextMetricsW(dc, &metrics);
    ::SelectObject(dc, old);
    ::ReleaseDC(form, dc);
  }
  std::printf("laid out for %u DPI, client area %ld x %ld, font %s %ld px\n", dpi, client.right,
              client.bottom, utf8(face).c_str(), metrics.tmHeight);
  int failures = 0;
  // The client area is 10440 x 5640 twips.
  if (client.right != ::MulDiv(10440, static_cast<int>(dpi), 1440) ||
      client.bottom != ::MulDiv(5640, static_cast<int>(dpi), 1440)) {
    std::printf("FAIL: the client area is not 10440 x 5640 twips at %u DPI\n", dpi);
    ++failures;
  }
  for (HWND control : children(form)) {
    const std::wstring cls = className(control);
    const LONG style = ::GetWindowLongW(control, GWL_STYLE);
    RECT box{};
    ::GetClientRect(control, &box);
    std::vector<std::wstring> texts;
    bool wrap = false;
    if (::lstrcmpiW(cls.c_str(), L"Static") == 0) {
      if ((style & SS_TYPEMASK) == SS_BITMAP) continue;
      wchar_t text[1024] = L"";
      ::GetWindowTextW(control, text, 1024);
      texts.emplace_back(text);
      wrap = true;
    } else if (::lstrcmpiW(cls.c_str(), L"Button") == 0) {
      wchar_t text[256] = L"";
      ::GetWindowTextW(control, text, 256);
      texts.emplace_back(text);
      box.right -= 2 * ::GetSystemMetrics(SM_CXEDGE);  // the button's frame
    } else if (::lstrcmpiW(cls.c_str(), L"ListBox") == 0 && ::IsWindowVisible(control)) {
      const auto count = ::SendMessageW(control, LB_GETCOUNT, 0, 0);
      for (LRESULT i = 0; i < count; ++i) {
        std::wstring item(static_cast<size_t>(::SendMessageW(control, LB_GETTEXTLEN, i, 0)), L'\0');
        ::SendMessageW(control, LB_GETTEXT, i, reinterpret_cast<LPARAM>(item.data()));
        texts.push_back(item);
      }
    } else {
      continue;
    }
    for (const std::wstring& text : texts) {
      if (text.empty()) continue;
      const SIZE need = textSize(control, text, box.right, wrap);
      const bool fits = wrap ? need.cy <= box.bottom : need.cx <= box.right;
      std::printf("%s %ls %ld x %ld, text %ld x %ld: %s\n", fits ? "ok  " : "FAIL", cls.c_str(),
                  box.right, box.bottom, need.cx, need.cy, utf8(text.substr(0, 40)).c_str());
      if (!fits) ++failures;
    }
  }
  return failures;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc != 2 && argc != 3) return 2;
  const UINT wanted = static_cast<UINT>(std::wcstoul(argv[1], nullptr, 10));
  const UINT movedTo = argc == 3 ? static_cast<UINT>(std::wcstoul(argv[2], nullptr, 10)) : 0;
  win32ui::Win32Host host;
  platform::setUiHost(&host);
  platform::App.Path = platform::executableFolder();
  app::Main();
  host.doEvents();

  Found found;
  ::EnumThreadWindows(::GetCurrentThreadId(), visitTop, reinterpret_cast<LPARAM>(&found));
  if (!found.form) {
    std::printf("FAIL: no main window\n");
    return 1;
  }
  using GetDpiForWindowFn = UINT(WINAPI*)(HWND);
  const auto getDpi = reinterpret_cast<GetDpiForWindowFn>(reinterpret_cast<void (*)()>(
      ::GetProcAddress(::GetModuleHandleW(L"user32.dll"), "GetDpiForWindow")));
  const UINT dpi = getDpi ? getDpi(found.form) : 0;
  std::printf("window at %u DPI\n", dpi);
  int failures = 0;
  if (dpi != wanted) {
    std::printf("FAIL: the window is at %u DPI, not at %u\n", dpi, wanted);
    ++failures;
  }
  failures += checkLayout(found.form, wanted);
  if (movedTo) {
    RECT suggested{};
    ::GetWindowRect(found.form, &suggested);
    ::SendMessageW(found.form, WM_DPICHANGED, MAKEWPARAM(movedTo, movedTo),
                   reinterpret_cast<LPARAM>(&suggested));
    host.doEvents();
    failures += checkLayout(found.form, movedTo);
  }
  std::fflush(stdout);
  // The window goes with the process; no scan ran, no log was written.
  ::ExitProcess(failures == 0 ? 0 : 1);
}
