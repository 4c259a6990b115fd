#include <signal.h>

#include <atomic>

#include "platform/Interrupts.h"

namespace sw {
namespace {

std::atomic<bool> requested{false};
static_assert(std::atomic<bool>::is_always_lock_free, "set from a signal handler");

// The hang-up of the terminal ends a run as Ctrl+C does: its temporary file
// is removed all the same.
constexpr int kWatched[] = {SIGINT, SIGTERM, SIGHUP};
struct sigaction previous[sizeof kWatched / sizeof kWatched[0]];
bool installed[sizeof kWatched / sizeof kWatched[0]];

// A second interrupt ends the program at once, as if it had not been
// watched: the way out of a run stuck where the flag is never read.
extern "C" void OnInterrupt(int signal) {
  if (requested.exchange(true)) {
    ::signal(signal, SIG_DFL);
    ::raise(signal);
  }
}

}  // namespace

InterruptWatch::InterruptWatch() {
  requested.store(false);
  struct sigaction action {};
  action.sa_handler = OnInterrupt;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;  // reads and writes under way carry on
  for (size_t i = 0; i < sizeof kWatched / sizeof kWatched[0]; ++i) {
    // A signal ignored on entry (a job started in the background by a
    // script) stays ignored, as the shell meant it.
    installed[i] = sigaction(kWatched[i], nullptr, &previous[i]) == 0 && previous[i].sa_handler != SIG_IGN &&
                   sigaction(kWatched[i], &action, nullptr) == 0;
  }
}

InterruptWatch::~InterruptWatch() {
  for (size_t i = 0; i < sizeof kWatched / sizeof kWatched[0]; ++i)
    if (installed[i]) sigaction(kWatched[i], &previous[i], nullptr);
}

bool InterruptWatch::Requested() { return requested.load(); }

int InterruptedExitStatus() { return 128 + SIGINT; }

}  // namespace sw
