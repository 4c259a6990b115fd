#include <windows.h>

#include <atomic>

#include "platform/Interrupts.h"

namespace sw {
namespace {

std::atomic<bool> requested{false};

// Runs on a thread the system starts for the event; the program's own
// thread notices the flag after its current row.
BOOL WINAPI OnControl(DWORD event) {
  if (event != CTRL_C_EVENT && event != CTRL_BREAK_EVENT) return FALSE;
  requested.store(true);
  return TRUE;
}

}  // namespace

InterruptWatch::InterruptWatch() {
  requested.store(false);
  SetConsoleCtrlHandler(OnControl, TRUE);
}

InterruptWatch::~InterruptWatch() { SetConsoleCtrlHandler(OnControl, FALSE); }

bool InterruptWatch::Requested() { return requested.load(); }

// Windows has no signal numbers to add to 128; scripts test for a failure
// with `if errorlevel 1`, which the system's own STATUS_CONTROL_C_EXIT
// (negative as an errorlevel) would escape.
int InterruptedExitStatus() { return 1; }

}  // namespace sw
