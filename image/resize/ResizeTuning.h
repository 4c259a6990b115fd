#pragma once
// How a resize is spread and what it measured: for tests and benchmarks. The
// results never depend on any of it.

#include <cstdint>

#include "image/resize/KernelDispatch.h"  // SelectKernelWidth: the register width of the kernels
#include "image/picture/Picture.h"
#include "image/resize/Resampler.h"

namespace sw {

// How many values were computed, and how many of them in extended precision
// rather than on the double-precision fast path, at each of the three stages.
struct ValueCounts {
  uint64_t rowValues = 0;  // T and B: one per output column, channel and source row used
  uint64_t rowExtended = 0;
  uint64_t slopeValues = 0;  // dY: one per output column, channel and source row pair used
  uint64_t slopeExtended = 0;
  uint64_t finalValues = 0;  // v: one per output pixel and channel
  uint64_t finalExtended = 0;

  ValueCounts& operator+=(const ValueCounts& other) {
    rowValues += other.rowValues;
    rowExtended += other.rowExtended;
    slopeValues += other.slopeValues;
    slopeExtended += other.slopeExtended;
    finalValues += other.finalValues;
    finalExtended += other.finalExtended;
    return *this;
  }
};

struct ResizeStats : ValueCounts {
  int threads = 0;      // worker threads started besides the calling thread, which computes rows too
  bool tables = false;  // false when the destination or the source was too wide for column tables
};

struct ResizeOptions {
  int threads = 0;                  // computing threads, the calling one included; 0: one per processor for
                                    // pictures large enough to gain; 1: the calling thread only
  int rowsPerTask = 32;             // consecutive output rows one thread computes together (they share source rows)
  bool doublePrecision = true;      // false: every value in extended precision
  int32_t maxTableWidth = 1 << 20;  // wider source or destination rows are resampled pixel by pixel
  ResizeStats* stats = nullptr;     // filled on normal completion when given
};

// ResizeBitmap spread and measured as `options` say.
void ResizeBitmap(Picture& picture, float ScaleX, float ScaleY, ResizeHost& host, const ResizeOptions& options);

}  // namespace sw
