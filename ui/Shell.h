#pragma once
// The application shell: start-up, the message loop and shut-down.

namespace sw {

// The program's entry: builds the windows, runs the loop, returns the exit code.
int RunApplication();

}  // namespace sw
