#pragma once
// Bilinear resampling of the working image, exactly as the program defines it.
//
// The promise: every output value equals the plain per-pixel evaluation of
// the formulas in x87 extended precision (64-bit mantissa, rounding to
// nearest with ties to even), with the single-precision stores at their
// stated points; the low 8 bits of each rounded channel are kept, with no
// clamping. This holds whatever floating-point state the caller has (the
// resampler sets its own on every thread it uses and restores the caller's),
// on how many threads the rows are spread, whether the double-precision
// fast path is taken (ExactKernels.cpp argues why), and whether the extended
// steps run on the x87 unit or in software (ExtendedSteps.h): the same bytes
// on every processor. It needs code built with -ffp-contract=off and
// without fast-math.

#include "image/picture/Picture.h"
#include "image/resize/ResizeHost.h"

namespace sw {

// Replaces `picture` by a new display-compatible picture of
// Round(W x ScaleX) by Round(H x ScaleY) pixels. After every row, on the
// calling thread and in row order, the host hears of it with its progress
// Round((y x 100) / H') and is asked whether to stop: a stop leaves `picture`
// unchanged and untouched (the host may have destroyed it meanwhile). After
// the last row the host hears that the rows are done.
// A destination size that can't be made, including a size outside the 32-bit
// range, raises the resource error before any row is computed; a NaN size
// raises the invalid floating-point operation error.
void ResizeBitmap(Picture& picture, float ScaleX, float ScaleY, ResizeHost& host);

}  // namespace sw
