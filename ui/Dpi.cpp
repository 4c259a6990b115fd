#include "ui/Dpi.h"

namespace sw {
namespace {

// Functions of Windows 10 (1607) and later, looked up at run time so the
// program still starts where they are missing.
template <typename Function>
Function User32Function(const char* name) {
  HMODULE user32 = GetModuleHandleW(L"user32.dll");
  return user32 ? reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(user32, name))) : nullptr;
}

using GetDpiForWindowFunction = UINT(WINAPI*)(HWND);
using AdjustWindowRectExForDpiFunction = BOOL(WINAPI*)(RECT*, DWORD, BOOL, DWORD, UINT);

}  // namespace

int SystemDpi() {
  int dpi = 0;
  if (HDC screen = GetDC(nullptr)) {
    dpi = GetDeviceCaps(screen, LOGPIXELSY);
    ReleaseDC(nullptr, screen);
  }
  return dpi > 0 ? dpi : kDesignDpi;
}

int WindowDpi(HWND window) {
  static const auto getDpiForWindow = User32Function<GetDpiForWindowFunction>("GetDpiForWindow");
  if (getDpiForWindow && window)
    if (const UINT dpi = getDpiForWindow(window)) return static_cast<int>(dpi);
  return SystemDpi();
}

SIZE OuterSizeForClient(int clientWidth, int clientHeight, DWORD style, bool hasMenu, DWORD exStyle, int dpi) {
  static const auto adjustForDpi = User32Function<AdjustWindowRectExForDpiFunction>("AdjustWindowRectExForDpi");
  RECT outer{0, 0, clientWidth, clientHeight};
  if (adjustForDpi)
    adjustForDpi(&outer, style, hasMenu, exStyle, static_cast<UINT>(dpi));
  else
    AdjustWindowRectEx(&outer, style, hasMenu, exStyle);
  return SIZE{outer.right - outer.left, outer.bottom - outer.top};
}

}  // namespace sw
