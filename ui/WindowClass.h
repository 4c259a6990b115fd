#pragma once
// Window classes of this program's module, registered on first use.

#include <windows.h>

namespace sw {

// Registers `windowClass` (its hInstance is this module) unless a class of
// that name is registered already; the resource error when the system refuses.
void RegisterWindowClassOnce(WNDCLASSEXW windowClass);

}  // namespace sw
