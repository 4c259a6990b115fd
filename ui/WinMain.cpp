#include <windows.h>

#include "ui/Stretchwell.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) { return sw::RunStretchwell(); }
