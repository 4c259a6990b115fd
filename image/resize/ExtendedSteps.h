#pragma once
// The steps of the resampler's formulas that are defined in extended
// precision (the x87 80-bit format, 64-bit significands, rounding to nearest
// with ties to even), each taken on the x87 unit or in software
// (SoftExtended.h) as the process chose once (X87Check.h): the same bytes
// either way, on every processor. The double-precision fast path
// (ExactKernels.cpp) vouches for most values; these serve the rest, the
// plan's tables and its exactness bounds. Every one runs under the
// resampler's arithmetic (FloatingPoint.h), which the x87 unit needs.

#include <cstdint>

namespace sw {

constexpr int kDifferences = 511;  // sample differences -255 .. 255

// Which of the two a process takes: the x87 unit (only where the build's
// `long double` is its format) or software.
bool UsesX87Unit();
// "x87 unit" or "software", for `stretch --version`.
const char* ExtendedPathName();

// T = single(x*dT + P00 - X0*dT), in that order; B alike.
float ExtendedRowValue(int64_t x, int64_t x0, int sample, float slope);
// dY = single((B - T) / ScaleY).
float ExtendedSlope(float bottom, float top, float scaleY);
// The low 8 bits of Round(y*dY + T - Y0*dY).
uint8_t ExtendedFinal(int64_t y, int64_t y0, float slope, float top);

// sy = Trunc(y / ScaleY) and Y0 = Round(sy x ScaleY); the same for columns.
struct Anchor {
  int64_t cell;
  int64_t origin;
};
Anchor AnchorOf(int64_t position, float scale);

// Round(size x scale). A NaN product raises the invalid floating-point
// operation error; one outside the 32-bit range the resource error, rather
// than being truncated.
int32_t DestinationSize(int32_t size, float scale);

// dT = single(d / ScaleX) for the sample difference d.
float SlopeOfDifference(int difference, float scale);

// Round((y x 100) / H'), with y x 100 a 32-bit product. Sets the resampler's
// arithmetic itself.
int ProgressAfterRow(int32_t y, int32_t newHeight);

// numerator / denominator (denominator not 0) kept as a double, as the run
// forms its scale factors. Sets the x87 precision itself.
double ExtendedQuotient(int32_t numerator, int32_t denominator);

// Whether the row values of each difference, and the slopes between them,
// are exact in double (ExactKernels.cpp, fact 2): for every dT of `slope`,
// with partial sums up to `span` (W' - 1 + the largest X0) times |dT| + 255,
// against 2^(52 + g) for the slope's grid g; and B - T against 2^(51 + the
// finest grid), the smallest nonzero one over ScaleY above the single
// denormals.
struct RowValueBounds {
  bool slopeExact[kDifferences];
  bool allSlopesExact;
  bool differencesExact;
};
RowValueBounds CheckRowValueBounds(int64_t span, const float (&slope)[kDifferences], float scaleY);

}  // namespace sw
