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

namespace {

// The console shows the UTF-8 text of paths and messages as it is. Its code
// page belongs to the console, which outlives the program: the one it had
// comes back at the end.
class Utf8ConsoleOutput {
 public:
  Utf8ConsoleOutput() : previous_(GetConsoleOutputCP()) { SetConsoleOutputCP(CP_UTF8); }
  ~Utf8ConsoleOutput() {
    if (previous_ != 0) SetConsoleOutputCP(previous_);
  }
  Utf8ConsoleOutput(const Utf8ConsoleOutput&) = delete;
  Utf8ConsoleOutput& operator=(const Utf8ConsoleOutput&) = delete;

 private:
  UINT previous_;
};

}  // namespace

int wmain(int argc, wchar_t** argv) {
  const Utf8ConsoleOutput utf8;
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
