#pragma once
// Bilinear resampling of the working image, exactly as the program defines it.
//
// The promise: every output value equals the plain per-pixel evaluation of
// the formulas in x87 extended precision (64-bit mantissa, rounding to
// nearest with ties to even), with the single-precision stores at their
// stated points; the low 8 bits of each rounded channel are kept, with no
// clamping. This holds whatever floating-point state the caller has (the
// resampler sets its own on every thread it uses and restores the caller's),
// on how many threads the rows are spread, and whether the double-precision
// fast path is taken. It needs `long double` to be the x87 80-bit format and
// code built with -ffp-contract=off and without fast-math.

#include <cstdint>

#include "image/Picture.h"

namespace sw {

// What the resampler needs from its caller between rows.
class ResizeHost {
 public:
  virtual ~ResizeHost() = default;
  virtual void SetProgress(int percent) = 0;
  virtual void ProcessPendingMessages() = 0;
  virtual bool IsQuitting() = 0;
};

// How many values were computed in double precision and how many in extended
// precision, at each of the three stages; for tests and measurements.
struct ResizeStats {
  uint64_t rowValues = 0;        // T and B: one per output column, channel and source row used
  uint64_t rowExtended = 0;
  uint64_t slopeValues = 0;      // dY: one per output column, channel and source row pair used
  uint64_t slopeExtended = 0;
  uint64_t finalValues = 0;      // v: one per output pixel and channel
  uint64_t finalExtended = 0;
  int threads = 0;               // worker threads started besides the calling thread, which computes rows too
  bool tables = false;           // false when the destination or the source was too wide for column tables
};

// How the work is spread. The results never depend on it.
struct ResizeOptions {
  int threads = 0;               // computing threads, the calling one included; 0: one per processor for
                                 // pictures large enough to gain; 1: the calling thread only
  int rowsPerTask = 32;          // consecutive output rows one worker computes together (they share source rows)
  bool doublePrecision = true;   // false: every value in extended precision
  int32_t maxTableWidth = 1 << 20;  // wider source or destination rows are resampled pixel by pixel
  ResizeStats* stats = nullptr;  // filled on normal completion when given
};

// Replaces `picture` by a new display-compatible picture of
// Round(W x ScaleX) by Round(H x ScaleY) pixels. After every row, on the
// calling thread and in row order: progress Round((y x 100) / H'), pending
// messages, and an early stop when the host is quitting, which leaves
// `picture` unchanged and untouched (the host may have destroyed it while
// processing messages). After the last row the progress is set to 0.
// A destination size that can't be made, including a size outside the 32-bit
// range, raises the resource error before any row is computed; a NaN size
// raises the invalid floating-point operation error.
void ResizeBitmap(Picture& picture, float ScaleX, float ScaleY, ResizeHost& host);
void ResizeBitmap(Picture& picture, float ScaleX, float ScaleY, ResizeHost& host, const ResizeOptions& options);

// The resampler's per-element stages, exposed so that tests can feed them
// values no picture gives. Each gives exactly what its formula gives in
// extended precision, whichever way it computes it.
namespace resampler_internals {
// The low 8 bits of Round(y*dY + T - Y0*dY) for `count` elements of one
// output row; 0 <= Y0 <= y < 2^28.
void FinalValues(const float* T, const float* dY, int32_t y, int64_t Y0, uint8_t* out, int count);
uint8_t FinalValueExtended(float T, float dY, int32_t y, int64_t Y0);
// single((B - T) / ScaleY) for `count` elements, where each bottom - top is
// exact in double and, unless 0, at least 2^-119 x ScaleY in magnitude
// (what the resampler proves for its row values before it uses this).
void Slopes(const float* top, const float* bottom, float ScaleY, float* dY, int count);
float SlopeExtended(float bottom, float top, float ScaleY);
}  // namespace resampler_internals

}  // namespace sw
