#pragma once
// The entry points of the resampler's vector kernels at one register width.
// Each width lives in a file of its own, compiled for that instruction set
// and entered only when the processor has it (KernelDispatch.cpp). This
// header declares plain data and functions only, so that no inline function
// compiled for a wider set can stand in for one of the baseline's.
//
// A kernel computes every element it is given by the double-precision fast
// path and lists, in ascending order, the elements whose value it can't
// vouch for; its caller (ExactKernels.cpp) computes those again. Why the
// values it vouches for are exact is argued at the top of ExactKernels.cpp.
// No kernel reads or writes past the elements it is given.

#include <cstddef>
#include <cstdint>

#include "image/resize/KernelDispatch.h"

namespace sw {

struct KernelSet {
  KernelWidth width;
  // dY = single((bottom - top) x reciprocal) for `count` elements whose
  // differences are exact in double (ResizePlan::differencesExact). Returns
  // how many elements it listed in `unsure`.
  int (*slopes)(const float* top, const float* bottom, double reciprocal, float* slope, int count,
                int32_t* unsure);

  // The low 8 bits of Round(T + weight x dY) for `count` elements, weight =
  // y - Y0 and y + Y0 < 2^sumBits, sumBits <= 28. Returns how many elements
  // it listed in `unsure`.
  int (*finals)(const float* top, const float* slope, double weight, int sumBits, uint8_t* out, int count,
                int32_t* unsure);

  // Blue, green, red per pixel from `channels` into 4-byte pixels with a zero
  // fourth byte; `channels` has one readable byte after its 3 x width.
  void (*pack)(const uint8_t* channels, int32_t width, uint8_t* target);
};

// The kernels of the width in use (KernelDispatch.h).
const KernelSet& ActiveKernels();

extern const KernelSet kScalarKernels;

// The pack of the scalar kernels, which SSE2 has no better way to do.
void PackOneByOne(const uint8_t* channels, int32_t width, uint8_t* target);
#if defined(__x86_64__) || defined(__i386__)
extern const KernelSet kSse2Kernels;
extern const KernelSet kAvx2Kernels;
extern const KernelSet kAvx512Kernels;
#endif

}  // namespace sw
