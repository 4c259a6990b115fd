#pragma once
// Texts of windows and of the system.

#include <windows.h>

#include <string>

namespace sw {

std::wstring WindowText(HWND window);
// The system's text for an error code (no trailing line break removed).
std::string SystemErrorText(DWORD code);

}  // namespace sw
