#pragma once
// Finds a shown top-level window by its class, as the drivers that work the
// program from outside look for its windows and dialogs.

#include <windows.h>

#include <cwchar>

namespace sw {

// The first visible top-level window of the class, of the process (any
// process when it is 0); null when there is none.
inline HWND FindVisibleWindow(const wchar_t* className, DWORD process) {
  struct Search {
    const wchar_t* className;
    DWORD process;
    HWND found;
  } search{className, process, nullptr};
  EnumWindows(
      [](HWND window, LPARAM parameter) -> BOOL {
        auto* search = reinterpret_cast<Search*>(parameter);
        // Nothing here may throw: the system calls this.
        wchar_t name[64] = L"";
        GetClassNameW(window, name, 64);
        DWORD owner = 0;
        GetWindowThreadProcessId(window, &owner);
        if (IsWindowVisible(window) && std::wcscmp(name, search->className) == 0 &&
            (search->process == 0 || search->process == owner)) {
          search->found = window;
          return FALSE;
        }
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&search));
  return search.found;
}

}  // namespace sw
