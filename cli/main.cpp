// stretch: the command-line front end (see cli/Stretch.h).
#include <cstdio>
#include <iostream>
#include <string>
#include <vector>

#include "cli/Stretch.h"
#include "platform/Interrupts.h"

#ifdef _WIN32
#include <io.h>
#include <windows.h>

#include "desktop/Wallpaper.h"
#include "platform/WideText.h"

// The C runtime expands wildcards such as *.jpg in the arguments before
// wmain: on Windows the shells leave that to the program.
extern "C" int _dowildcard = -1;

int wmain(int argc, wchar_t** argv) {
  // The console shows the UTF-8 text of paths and messages as it is.
  SetConsoleOutputCP(CP_UTF8);
  std::vector<std::string> args;
  for (int i = 1; i < argc; ++i) args.push_back(sw::WideToUtf8(argv[i]));
  sw::StretchEnvironment environment;
  environment.errorIsTerminal = _isatty(_fileno(stderr)) != 0;
  environment.setDesktopWallpaper = [](const std::string& path) { sw::SetDesktopWallpaper(path); };
  environment.refreshDesktopWallpaper = [] { sw::RefreshDesktopWallpaper(); };
  const sw::InterruptWatch interrupts;
  environment.interrupted = [] { return sw::InterruptWatch::Requested(); };
  environment.interruptedStatus = sw::InterruptedExitStatus();
  return sw::RunStretch(args, std::cout, std::cerr, environment);
}
#else
#include <unistd.h>

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  sw::StretchEnvironment environment;
  environment.errorIsTerminal = isatty(STDERR_FILENO) != 0;
  const sw::InterruptWatch interrupts;
  environment.interrupted = [] { return sw::InterruptWatch::Requested(); };
  environment.interruptedStatus = sw::InterruptedExitStatus();
  return sw::RunStretch(args, std::cout, std::cerr, environment);
}
#endif
