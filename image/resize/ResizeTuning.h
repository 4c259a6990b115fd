#pragma once
// How a resize is spread and what it measured: for tests and benchmarks,
// which set it for the resizes of their own thread. The results never depend
// on any of it; the resampler's own sources read it, the front ends never
// include it.

#include <cstdint>

#include "image/picture/Picture.h"
#include "image/resize/KernelDispatch.h"  // SelectKernelWidth: the register width of the kernels
#include "image/resize/ResizeHost.h"
#include "image/resize/ResizeStats.h"

namespace sw {

struct ResizeTuning {
  int threads = 0;                  // computing threads, the calling one included; 0: one per processor for
                                    // pictures large enough to gain; 1: the calling thread only
  int rowsPerTask = 32;             // consecutive output rows one thread computes together (they share source rows)
  bool doublePrecision = true;      // false: every value in extended precision
  int32_t maxTableWidth = 1 << 20;  // wider source or destination rows are resampled pixel by pixel
  ResizeStats* stats = nullptr;     // filled when a resize completes, while the tuning is in effect
  // A streamed source of at least this many pixels, shrunk to a quarter of
  // them or less, is read by a second reader alongside for its lower rows
  // where it can be; -1: from 2^21 pixels, on two processors or more.
  int64_t readAlongsideFromPixels = -1;
};

// The tuning of the resizes this thread starts; the defaults unless a
// ScopedResizeTuning says otherwise.
const ResizeTuning& CurrentResizeTuning();

// Resizes started on this thread while it lives are tuned as it says.
class ScopedResizeTuning {
 public:
  explicit ScopedResizeTuning(const ResizeTuning& tuning);
  ~ScopedResizeTuning();
  ScopedResizeTuning(const ScopedResizeTuning&) = delete;
  ScopedResizeTuning& operator=(const ScopedResizeTuning&) = delete;

 private:
  const ResizeTuning* previous_;
};

// ResizeBitmap under `tuning`.
void ResizeBitmap(Picture& picture, float ScaleX, float ScaleY, ResizeHost& host, const ResizeTuning& tuning);

}  // namespace sw
