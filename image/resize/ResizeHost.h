#pragma once
// What a resize tells its caller between rows, and asks of it: events, so
// that a window and a command line each do what they mean by them.

namespace sw {

class ResizeHost {
 public:
  virtual ~ResizeHost() = default;
  // Output row y is done: its progress, Round((y x 100) / H'). A window
  // shows it and handles the messages waiting for it.
  virtual void RowDone(int percent) = 0;
  // Asked after every row: stop at once, the rest of the resize undone?
  virtual bool ShouldStop() = 0;
  // After the last row: the progress goes back to 0.
  virtual void RowsDone() = 0;
};

}  // namespace sw
