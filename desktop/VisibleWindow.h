#pragma once
// Finds a shown top-level window by its class, as the drivers that work the
// program from outside look for its windows and dialogs.

#include <windows.h>

namespace sw {

// The first visible top-level window of the class, of the process (any
// process when it is 0); null when there is none. Drivers ask this every
// millisecond while a run is being timed: looked up by class, it is one
// question to the system when there is no such window, where a walk over
// every window asks three for each, which under Wine took a fifth of a
// processor from the program being timed.
inline HWND FindVisibleWindow(const wchar_t* className, DWORD process) {
  for (HWND window = FindWindowExW(nullptr, nullptr, className, nullptr); window;
       window = FindWindowExW(nullptr, window, className, nullptr)) {
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    if (IsWindowVisible(window) && (process == 0 || process == owner)) return window;
  }
  return nullptr;
}

}  // namespace sw
