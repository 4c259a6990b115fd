#pragma once
// Interrupts of a command-line program (Ctrl+C and its kin), turned into a
// flag the program reads between rows, so that it stops where it can clean up
// after itself instead of being ended wherever it stands.

namespace sw {

// While one exists: natively SIGINT, SIGTERM and SIGHUP (unless ignored on
// entry; a second one ends the program at once), in a Windows console Ctrl+C
// and Ctrl+Break (and the console's closing, for the few seconds the system
// allows), set the flag instead of ending the process. The previous handling
// comes back when it goes.
class InterruptWatch {
 public:
  InterruptWatch();
  ~InterruptWatch();
  InterruptWatch(const InterruptWatch&) = delete;
  InterruptWatch& operator=(const InterruptWatch&) = delete;

  // Whether an interrupt has come since the watch began.
  static bool Requested();
};

// The exit status of a program stopped by an interrupt: 130 natively (128 +
// SIGINT, the shell's convention), 1 on Windows.
int InterruptedExitStatus();

}  // namespace sw
