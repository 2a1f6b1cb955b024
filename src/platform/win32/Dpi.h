// The dots per inch a window is drawn at, and the system measures that depend on
// them. The program is per-monitor DPI aware (its manifest): every window lays
// itself out for the DPI of the monitor it is on and again when that changes
// (WM_DPICHANGED). The calls of Windows 10 are looked up at run time, so the
// program still starts on Windows 7, where the system's DPI is every window's.
#pragma once

#include <windows.h>

namespace win32ui {

// 96 is 100 %: 15 twips a pixel.
inline constexpr UINT kDefaultDpi = 96;

// The DPI of the window's monitor (GetDpiForWindow), else the system's.
UINT dpiOf(HWND hwnd);
// The DPI windows are created at before they know their monitor.
UINT systemDpi();

// Twips to pixels at `dpi`, rounded to the nearest pixel.
inline int pixels(int twips, UINT dpi) {
  return ::MulDiv(twips, static_cast<int>(dpi), 1440);
}

// The window rectangle around a client rectangle at `dpi` (AdjustWindowRectExForDpi
// where there is one).
void frameAround(RECT& client, DWORD style, DWORD exStyle, UINT dpi);
// GetSystemMetricsForDpi where there is one.
int systemMetric(int index, UINT dpi);

}  // namespace win32ui
