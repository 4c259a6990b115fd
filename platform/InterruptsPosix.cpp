#include <signal.h>

#include <atomic>

#include "platform/Interrupts.h"

namespace sw {
namespace {

std::atomic<bool> requested{false};
static_assert(std::atomic<bool>::is_always_lock_free, "set from a signal handler");

struct sigaction previousInterrupt, previousTerminate;

extern "C" void OnInterrupt(int) { requested.store(true); }

}  // namespace

InterruptWatch::InterruptWatch() {
  requested.store(false);
  struct sigaction action {};
  action.sa_handler = OnInterrupt;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;  // reads and writes under way carry on
  sigaction(SIGINT, &action, &previousInterrupt);
  sigaction(SIGTERM, &action, &previousTerminate);
}

InterruptWatch::~InterruptWatch() {
  sigaction(SIGINT, &previousInterrupt, nullptr);
  sigaction(SIGTERM, &previousTerminate, nullptr);
}

bool InterruptWatch::Requested() { return requested.load(); }

int InterruptedExitStatus() { return 128 + SIGINT; }

}  // namespace sw
