#pragma once
// The program's start-up, in its fixed order, and its whole life.

#include "ui/Shell.h"

namespace sw {

// Start-up steps 1 to 6: floating point, show command, title, the screen's
// depth for JPEG output, the main window, then the about window (hidden).
void StartStretchwell(Application& app);

// Start-up, the loop and shut-down; the process's exit code (1 after a
// start-up failure, shown in the "Application Error" box).
int RunStretchwell();

}  // namespace sw
