#pragma once
// The resampler's per-element work on whole rows: row values T and B, slopes
// dY, final values v, each exactly what its formula gives in extended
// precision, by a double-precision fast path where that is proven equal and
// by the formula itself everywhere else. ExactKernels.cpp argues the
// equality; the formulas themselves are ExtendedSteps.h's. All of it runs
// under the resampler's arithmetic (FloatingPoint.h).

#include <cstddef>
#include <cstdint>

#include "image/resize/ResizePlan.h"

namespace sw {

// T (or B) for output columns first .. end - 1 into out[3x + c], from the
// samples of source column c' at samples + (c' - origin) x step: blue, green,
// red. Returns how many values were computed in extended precision.
uint64_t RowValues(const ResizePlan& plan, const uint8_t* samples, size_t step, int32_t origin, int32_t first,
                   int32_t end, float* out);

// dY for `count` elements of one source row pair; `kernel` when the slope
// kernel's conditions hold (ResizePlan::differencesExact). Returns how many
// values were computed in extended precision.
uint64_t SlopeRow(const float* top, const float* bottom, float scaleY, double reciprocal, bool kernel,
                  float* slope, int count);

// The low 8 bits of v for `count` elements of output row y; the fast path
// only when `fast`. Returns how many values were computed in extended precision.
uint64_t FinalRow(const float* top, const float* slope, int32_t y, int64_t y0, bool fast, uint8_t* out, int count);

// Blue, green, red per pixel from `channels` (one spare byte after them) into
// 4-byte pixels of `width`, the fourth byte 0.
void PackPixels(const uint8_t* channels, int32_t width, uint8_t* target);

// The stages, for tests that feed them values no picture gives. Each sets the
// resampler's arithmetic itself.
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
