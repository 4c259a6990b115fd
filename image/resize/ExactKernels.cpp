#include "image/resize/ExactKernels.h"

// How the values are made equal to the plain per-pixel evaluation.
//
// For output pixel (x, y) and a channel, with sx, X0, sy, Y0 as defined:
//   T  = single(x*dT + P00 - X0*dT)      dT = single(( P10 - P00) / ScaleX)
//   B  = single(x*dB + P01 - X0*dB)      dB = single(( P11 - P01) / ScaleX)
//   dY = single((B - T) / ScaleY)
//   v  = Round(y*dY + T - Y0*dY)
// T depends only on x and the source row sy, B only on x and row sy + 1 (the
// same formula on the next row), dY on x and sy. So T and B are computed once
// per output column and source row ("row values"), dY once per output column
// and source row pair ("slopes"); only v is computed per output pixel. dT and
// dB depend only on the difference of two 8-bit samples: a table of 511.
//
// The double-precision fast path gives the extended-precision value exactly,
// by these facts (round to nearest everywhere, the guard sees to it):
//  1. x, X0, y and Y0 are below 2^29 (a destination row or column needs at
//     least 4 bytes of a store of at most kMaxPixelStoreBytes), so a product
//     of one of them, or of a difference of them, and a single has at most
//     53 significant bits: it is exact in double and in extended precision.
//  2. When every partial result of a sum is representable in double, the
//     extended evaluation in the stated order is exact, so any exact double
//     evaluation of the same value equals it. The fast path evaluates
//     T = single(P00 + (x - X0) dT) and v = Round(T + (y - Y0) dY): one exact
//     product and one addition, exact when its result is a double. Whether
//     all partial results are doubles is established
//       - for the row values once per call and per difference d: x*dT, X0*dT
//         and the samples are multiples of 2^g (g = min(lowest bit of dT, 0))
//         and every partial sum is below (xmax + X0max)|dT| + 255, which is
//         checked against 2^(52+g);
//       - for B - T once per call, from the same bounds: every T is a multiple
//         of the finest such 2^g and below the largest bound (both checks
//         are made with the column tables, ResizePlan.cpp);
//       - for v per element, from the exponents of dY and T (below), and
//         where they don't suffice by Knuth's TwoSum, whose error term is
//         exactly the rounding error of each addition.
//  3. When the inputs of a single-precision store are equal, the stores are.
//  4. The slope's quotient is rounded twice in extended precision (to 64
//     bits, then to 24), differently in double. The double quotient
//     (B - T) x (1 / ScaleY) is within 3 ulp53 of the true quotient, the
//     extended one within 2^-11 ulp53 of it, so both round to the same single
//     unless a single's rounding boundary lies near. The fast path takes the
//     double only when it rounds to the same single at q - q*2^-46 and at
//     q + q*2^-46, more than 60 ulp53 either side; rounding is monotonic, so
//     no boundary lies between. Quotients near the single denormals are
//     excluded by a bound made once per call.
//  5. For an integer-valued rounding of an exact double v, |v| < 2^51, the
//     double v + 1.5*2^52 lies where the grid is the integers, so it is
//     Round(v) (ties to even) plus a constant whose low 32 bits are zero.
//
// The exponents of v = Round(y*dY + T - Y0*dY): with biased exponents eD of
// dY and eT of T (both taken as 0 for zero and denormals, which only makes
// the bounds safer), every term is a multiple of 2^(min(eD, eT) - 150) and
// every partial sum is below 2^(max(eD + L, eT) - 125), where y + Y0 < 2^L.
// That is a double when max(eD + L, eT) - min(eD, eT) <= 28, that is when
// L <= 28 and -28 <= eD - eT <= 28 - L. A zero dY or T leaves only products
// of an integer below 2^29 and a single, which are exact anyway. eD, eT <=
// 148 keeps |v| below 2^51 (fact 5). When every step is exact the value is
// T + (y - Y0) x dY, an exact product (fact 1) plus one addition whose exact
// result is a double; so that is what is computed.
//
// Lane by lane. The kernels of the slopes and final values
// (ExactKernelsSse2.cpp, ExactKernelsAvx2.cpp, ExactKernelsAvx512.cpp, chosen
// by KernelDispatch.cpp) make these same operations and checks in every lane
// of a register, 2, 4 or 8 doubles wide. Where that needs care:
//  - Conversions. Single to double and 32-bit integer to double are exact;
//    double to single rounds as MXCSR says, which the resampler's guard sets
//    in every thread to nearest, without flush-to-zero (a denormal result
//    would become 0) or denormals-are-zero (a denormal T or dY would be read
//    as 0). No instruction with a rounding of its own (AVX-512's embedded
//    rounding, truncating conversions of values) is used.
//  - No fused multiply-add. The files are built without -mfma and with
//    -ffp-contract=off; AVX-512F has fused instructions of its own, which
//    only contraction would emit. (Every product here that meets an addition
//    is exact, so fusing would not even change a value, but none is emitted.)
//  - The rounding checks. Each lane's verdict is that lane of a compare mask
//    (a movemask or an AVX-512 mask register), and the element listed for
//    redoing is that lane's own: element i + j for lane j of the step at i.
//    Every width lists exactly the elements SSE2 lists.
//  - Denormals. Their exponent field reads as 0 in the lane, as above; their
//    values convert exactly (no denormals-are-zero).
//  - The 1.5*2^52 trick. Each lane's low 32 bits of the double's pattern are
//    taken (SSE2 and AVX2 by shuffling the even 32-bit words together,
//    AVX-512 by vpmovqb, which keeps each 64-bit lane's low byte): the low 8
//    bits of Round(v) in two's complement, as in fact 5.
//  - Lanes past the row's end are never read from memory: SSE2 runs the last
//    step on a zero-padded copy, AVX2 loads and stores it with vmaskmov
//    (masked lanes are neither read nor faulted on, and read as 0), AVX-512
//    under a lane mask. A lane of zeros passes every check; it is neither
//    stored nor listed.
//  - The stack. Windows aligns it to 16 bytes only, so no aligned load or
//    store touches stack data and helpers that take vectors are inlined.
// The row values stay element by element at every width: each needs two
// samples picked by column and dT picked by their difference, and the
// gathers that would pick them in registers were slower here than the
// loop's own loads.
//
// Every value for which a check fails is computed again in extended
// precision, exactly as the formula says, from the same single-precision
// inputs (v first by TwoSum in double). The tests compare all of it, at every
// register width, against a plain per-pixel evaluation, and the per-element
// stages against their formulas on adversarial values.

#include <algorithm>
#include <cmath>

#include "image/resize/KernelSet.h"
#include "image/resize/ExtendedSteps.h"
#include "image/resize/FloatingPoint.h"

namespace sw {
namespace {

// The vector kernels take a row in chunks, listing the elements they can't
// vouch for on the stack.
constexpr int kChunk = 1024;

// The same value with each addition and subtraction checked by TwoSum, for
// elements the exponents can't vouch for; false when it can't be vouched for
// either.
bool FinalChecked(float top, float slope, int32_t y, int64_t y0, uint8_t& out) {
  const double dy = slope, t = top;
  const double p = y * dy;
  const double s = p + t;
  const double tPart = s - p, pPart = s - tPart;
  const double error1 = (p - pPart) + (t - tPart);
  const double negU = -(static_cast<double>(y0) * dy);
  const double r = s + negU;
  const double uPart = r - s, sPart = r - uPart;
  const double error2 = (s - sPart) + (negU - uPart);
  if (error1 != 0 || error2 != 0 || !(std::fabs(r) < 0x1p30)) return false;
  out = static_cast<uint8_t>(static_cast<int32_t>((r + 0x1.8p52) - 0x1.8p52));
  return true;
}

// The number of bits of a non-negative value below 2^62.
int BitLength(int64_t value) {
  int bits = 0;
  while (bits < 62 && (value >> bits) != 0) ++bits;
  return bits;
}

}  // namespace

uint64_t SlopeRow(const float* top, const float* bottom, float scaleY, double reciprocal, bool kernel,
                  float* slope, int count) {
  uint64_t extended = 0;
  auto redo = [&](int i) {
    slope[i] = ExtendedSlope(bottom[i], top[i], scaleY);
    ++extended;
  };
  if (!kernel) {
    for (int i = 0; i < count; ++i) redo(i);
    return extended;
  }
  const KernelSet& kernels = ActiveKernels();
  int32_t unsure[kChunk];
  for (int start = 0; start < count; start += kChunk) {
    const int n = std::min(kChunk, count - start);
    const int listed = kernels.slopes(top + start, bottom + start, reciprocal, slope + start, n, unsure);
    for (int j = 0; j < listed; ++j) redo(start + unsure[j]);
  }
  return extended;
}

uint64_t FinalRow(const float* top, const float* slope, int32_t y, int64_t y0, bool fast, uint8_t* out, int count) {
  uint64_t extended = 0;
  auto redo = [&](int i) {
    if (fast && FinalChecked(top[i], slope[i], y, y0, out[i])) return;
    out[i] = ExtendedFinal(y, y0, slope[i], top[i]);
    ++extended;
  };
  const int sumBits = BitLength(y + y0);
  if (!fast || sumBits > 28) {
    for (int i = 0; i < count; ++i) redo(i);
    return extended;
  }
  const KernelSet& kernels = ActiveKernels();
  const double weight = static_cast<double>(y - y0);
  int32_t unsure[kChunk];
  for (int start = 0; start < count; start += kChunk) {
    const int n = std::min(kChunk, count - start);
    const int listed = kernels.finals(top + start, slope + start, weight, sumBits, out + start, n, unsure);
    for (int j = 0; j < listed; ++j) redo(start + unsure[j]);
  }
  return extended;
}

uint64_t RowValues(const ResizePlan& plan, const uint8_t* samples, size_t step, int32_t origin, int32_t first,
                   int32_t end, float* out) {
  const int32_t* column = plan.column.data();
  const int32_t* anchor = plan.anchor.data();
  const double* weight = plan.weight.data();
  const float* slope = plan.slope;
  // Where every step is exact, x*dT + P00 - X0*dT is P00 + (x - X0) x dT:
  // one exact product (fact 1) and one addition whose exact result is a
  // double (fact 2), as computed here.
  if (plan.fast && plan.allSlopesExact) {
    for (int32_t x = first; x < end; ++x) {
      const uint8_t* left = samples + static_cast<size_t>(column[x] - origin) * step;
      const uint8_t* right = left + step;
      const double wx = weight[x];
      for (int c = 0; c < kChannels; ++c) {
        const int p0 = left[c];
        out[3 * x + c] = static_cast<float>(p0 + wx * slope[right[c] - p0 + 255]);
      }
    }
    return 0;
  }
  uint64_t extended = 0;
  for (int32_t x = first; x < end; ++x) {
    const uint8_t* left = samples + static_cast<size_t>(column[x] - origin) * step;
    const uint8_t* right = left + step;
    for (int c = 0; c < kChannels; ++c) {
      const int p0 = left[c];
      const int k = right[c] - p0 + 255;
      if (plan.fast && plan.slopeExact[k]) {
        out[3 * x + c] = static_cast<float>(p0 + weight[x] * slope[k]);
      } else {
        out[3 * x + c] = ExtendedRowValue(x, anchor[x], p0, slope[k]);
        ++extended;
      }
    }
  }
  return extended;
}

void PackPixels(const uint8_t* channels, int32_t width, uint8_t* target) {
  ActiveKernels().pack(channels, width, target);
}

namespace resampler_internals {

void FinalValues(const float* T, const float* dY, int32_t y, int64_t Y0, uint8_t* out, int count) {
  ResamplerArithmetic arithmetic;
  FinalRow(T, dY, y, Y0, true, out, count);
}

uint8_t FinalValueExtended(float T, float dY, int32_t y, int64_t Y0) {
  ResamplerArithmetic arithmetic;
  uint8_t value = ExtendedFinal(y, Y0, dY, T);
  FloatingPointFence(value);
  return value;
}

void Slopes(const float* top, const float* bottom, float ScaleY, float* dY, int count) {
  ResamplerArithmetic arithmetic;
  float scale = ScaleY;
  FloatingPointFence(scale);
  SlopeRow(top, bottom, scale, 1.0 / scale, true, dY, count);
}

float SlopeExtended(float bottom, float top, float ScaleY) {
  ResamplerArithmetic arithmetic;
  float scale = ScaleY;
  FloatingPointFence(scale);
  float value = ExtendedSlope(bottom, top, scale);
  FloatingPointFence(value);
  return value;
}

}  // namespace resampler_internals

}  // namespace sw
