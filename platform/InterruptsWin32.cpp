#include <windows.h>

#include <atomic>

#include "platform/Interrupts.h"

namespace sw {
namespace {

std::atomic<bool> requested{false};

// The system ends the process when the handler of a closing console (or of
// the end of the session) returns, or a few seconds after the event: the
// handler holds on meanwhile, so that the program's own thread can stop
// after its row and remove its temporary file, and its exit ends both.
constexpr DWORD kClosingGraceMs = 4500;

// Runs on a thread the system starts for the event; the program's own
// thread notices the flag after its current row.
BOOL WINAPI OnControl(DWORD event) {
  switch (event) {
    case CTRL_C_EVENT:
    case CTRL_BREAK_EVENT:
      requested.store(true);
      return TRUE;
    case CTRL_CLOSE_EVENT:
    case CTRL_LOGOFF_EVENT:
    case CTRL_SHUTDOWN_EVENT:
      requested.store(true);
      Sleep(kClosingGraceMs);
      return TRUE;
    default:
      return FALSE;
  }
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
