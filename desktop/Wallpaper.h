#pragma once
// Making a saved picture the current user's desktop wallpaper: two values
// under HKEY_CURRENT_USER\Control Panel\Desktop, then a refresh request.

#include <windows.h>

#include <string>

namespace sw {

// The system calls the wallpaper setter makes. The program uses the real
// functions; tests substitute their own to watch the calls or fail one.
struct WallpaperCalls {
  decltype(&RegCreateKeyExW) createKey = &RegCreateKeyExW;
  decltype(&RegOpenKeyExW) openKey = &RegOpenKeyExW;
  decltype(&RegSetValueExW) setValue = &RegSetValueExW;
  decltype(&RegCloseKey) closeKey = &RegCloseKey;
  decltype(&SystemParametersInfoW) systemParametersInfo = &SystemParametersInfoW;
};

// Writes "Wallpaper" (the UTF-8 path, stored as wide text) and
// "TileWallpaper" ("0"), then makes one refresh request. Raises a registry
// error when the desktop key, its empty section or a value can't be written;
// a failure ends the call before any later write and before the refresh.
void SetDesktopWallpaper(const std::string& pathUtf8);
void SetDesktopWallpaper(const std::string& pathUtf8, const WallpaperCalls& calls);

// Asks the system to apply the wallpaper setting anew; its answer is ignored.
void RefreshDesktopWallpaper();
void RefreshDesktopWallpaper(const WallpaperCalls& calls);

}  // namespace sw
