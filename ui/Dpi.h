#pragma once
// The windows' positions, sizes, fonts and drawing positions are design
// values in pixels at 96 DPI. Each is scaled to the DPI of the window's
// monitor by one rule:
//
//   scaled = value × dpi / 96, rounded to the nearest whole pixel, a half
//   rounded away from zero (13 at 144 DPI is 19.5 and becomes 20; -11
//   becomes -17).
//
// Every design number is scaled by itself: a rectangle's left, top, width and
// height, a margin, an offset, a font's height. At 96 DPI nothing changes.

#include <windows.h>

namespace sw {

constexpr int kDesignDpi = USER_DEFAULT_SCREEN_DPI;

constexpr int ScaleToDpi(int value, int dpi) {
  const long long product = static_cast<long long>(value) * dpi;
  const long long half = kDesignDpi / 2;
  return static_cast<int>(product >= 0 ? (product + half) / kDesignDpi : -((-product + half) / kDesignDpi));
}

// The DPI the system gives new windows (that of the primary monitor).
int SystemDpi();
// The DPI of the monitor `window` is on, as the system reports it to this
// per-monitor-aware program.
int WindowDpi(HWND window);
// The outer size of a window with these styles whose client area is
// `clientWidth` × `clientHeight` at `dpi`, its frame measured at that DPI.
SIZE OuterSizeForClient(int clientWidth, int clientHeight, DWORD style, bool hasMenu, DWORD exStyle, int dpi);

}  // namespace sw
