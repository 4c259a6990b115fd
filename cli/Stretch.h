#pragma once
// The command-line front end: the GUI's exact resize run for scripts and
// batches, one fresh run per source.

#include <functional>
#include <iosfwd>
#include <string>
#include <vector>

namespace sw {

struct StretchEnvironment {
  // Draw a progress bar on the error stream (it is a terminal and not -q).
  bool errorIsTerminal = false;
  // Decoded JPEG pictures are paletted, as the window makes them on a screen
  // of 256 colours or fewer.
  bool eightBitOutput = false;
  // Where the platform has a desktop wallpaper (Windows); empty elsewhere.
  std::function<void(const std::string&)> setDesktopWallpaper;
  std::function<void()> refreshDesktopWallpaper;
};

// `args` are the arguments after the program name, as UTF-8. Returns the exit
// status: 0 all sources done, 1 some failed, 2 a usage error.
int RunStretch(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
               const StretchEnvironment& environment);

}  // namespace sw
