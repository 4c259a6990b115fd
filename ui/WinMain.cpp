#include <windows.h>

#include "ui/Shell.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) { return sw::RunApplication(); }
