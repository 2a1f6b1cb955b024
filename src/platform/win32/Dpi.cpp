#include "platform/win32/Dpi.h"

namespace win32ui {

namespace {

// A function of user32 that older systems lack, or nullptr. The cast goes through
// void(*)(), the one function type GCC lets stand for any other.
template <typename Function>
Function user32(const char* name) {
  const HMODULE module = ::GetModuleHandleW(L"user32.dll");
  const FARPROC found = module ? ::GetProcAddress(module, name) : nullptr;
  return reinterpret_cast<Function>(reinterpret_cast<void (*)()>(found));
}

using GetDpiForWindowFn = UINT(WINAPI*)(HWND);
using GetDpiForSystemFn = UINT(WINAPI*)();
using AdjustWindowRectExForDpiFn = BOOL(WINAPI*)(LPRECT, DWORD, BOOL, DWORD, UINT);
using GetSystemMetricsForDpiFn = int(WINAPI*)(int, UINT);

UINT screenDpi() {
  HDC screen = ::GetDC(nullptr);
  const int dpi = screen ? ::GetDeviceCaps(screen, LOGPIXELSY) : 0;
  if (screen) ::ReleaseDC(nullptr, screen);
  return dpi > 0 ? static_cast<UINT>(dpi) : kDefaultDpi;
}

}  // namespace

UINT dpiOf(HWND hwnd) {
  static const auto getDpiForWindow = user32<GetDpiForWindowFn>("GetDpiForWindow");
  if (getDpiForWindow && hwnd) {
    const UINT dpi = getDpiForWindow(hwnd);
    if (dpi > 0) return dpi;
  }
  return systemDpi();
}

UINT systemDpi() {
  static const auto getDpiForSystem = user32<GetDpiForSystemFn>("GetDpiForSystem");
  if (getDpiForSystem) {
    const UINT dpi = getDpiForSystem();
    if (dpi > 0) return dpi;
  }
  return screenDpi();
}

void frameAround(RECT& client, DWORD style, DWORD exStyle, UINT dpi) {
  static const auto adjustForDpi = user32<AdjustWindowRectExForDpiFn>("AdjustWindowRectExForDpi");
  if (adjustForDpi && adjustForDpi(&client, style, FALSE, exStyle, dpi)) return;
  ::AdjustWindowRectEx(&client, style, FALSE, exStyle);
}

int systemMetric(int index, UINT dpi) {
  static const auto metricForDpi = user32<GetSystemMetricsForDpiFn>("GetSystemMetricsForDpi");
  if (metricForDpi) return metricForDpi(index, dpi);
  return ::MulDiv(::GetSystemMetrics(index), static_cast<int>(dpi), static_cast<int>(systemDpi()));
}

}  // namespace win32ui
