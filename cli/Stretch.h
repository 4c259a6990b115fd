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
  // Whether an interrupt (Ctrl+C and its kin) asks the batch to stop; none
  // when empty. The source under way stops after its current row and leaves
  // its target as it was; no later source is begun.
  std::function<bool()> interrupted;
  // The exit status after an interrupt.
  int interruptedStatus = 130;
};

// `args` are the arguments after the program name, as UTF-8. Returns the exit
// status: 0 all sources done, 1 some failed, 2 a usage error, or
// interruptedStatus when an interrupt stopped the batch (the source it
// stopped is named on the error stream).
int RunStretch(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
               const StretchEnvironment& environment);

}  // namespace sw
