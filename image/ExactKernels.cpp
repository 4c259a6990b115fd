#include "image/ExactKernels.h"

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
//       - for v per element, from the exponents of dY and T (FinalKernel),
//         and where they don't suffice by Knuth's TwoSum, whose error term is
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
// Every value for which a check fails is computed again in extended
// precision, exactly as the formula says, from the same single-precision
// inputs. The tests compare all of it against a plain per-pixel evaluation,
// and the per-element stages against their formulas on adversarial values.

#include <emmintrin.h>

#include <cmath>
#include <cstring>

#include "image/X87.h"

namespace sw {
namespace {

// The per-element kernels of the fast path, in SSE2 (every x86-64 has it):
// two doubles a vector, four elements a step. Each element whose double
// value can't be vouched for goes to `redo`; a remainder of fewer than four
// elements goes to `redo` too.

// dY = single((B - T) / ScaleY) for row values whose differences are known to
// be exact in double (fact 2, by the bound made with the column tables) and
// whose nonzero quotients are known to be far above the single denormals.
// The quotient is formed as (B - T) x (1 / ScaleY): within 3 ulp53 of the
// true quotient, so fact 4 holds with the interval widened to q x 2^-46
// (more than 60 ulp53) either side.
template <typename Redo>
void SlopeKernel(const float* top, const float* bottom, double reciprocal, float* slope, int count, Redo&& redo) {
  const __m128d r = _mm_set1_pd(reciprocal), widening = _mm_set1_pd(0x1p-46);
  int i = 0;
  for (; i + 4 <= count; i += 4) {
    const __m128 t4 = _mm_loadu_ps(top + i), b4 = _mm_loadu_ps(bottom + i);
    const __m128d qLow = _mm_mul_pd(_mm_sub_pd(_mm_cvtps_pd(b4), _mm_cvtps_pd(t4)), r);
    const __m128d qHigh =
        _mm_mul_pd(_mm_sub_pd(_mm_cvtps_pd(_mm_movehl_ps(b4, b4)), _mm_cvtps_pd(_mm_movehl_ps(t4, t4))), r);
    const __m128d marginLow = _mm_mul_pd(qLow, widening), marginHigh = _mm_mul_pd(qHigh, widening);
    const __m128 below = _mm_movelh_ps(_mm_cvtpd_ps(_mm_sub_pd(qLow, marginLow)), _mm_cvtpd_ps(_mm_sub_pd(qHigh, marginHigh)));
    const __m128 above = _mm_movelh_ps(_mm_cvtpd_ps(_mm_add_pd(qLow, marginLow)), _mm_cvtpd_ps(_mm_add_pd(qHigh, marginHigh)));
    _mm_storeu_ps(slope + i, _mm_movelh_ps(_mm_cvtpd_ps(qLow), _mm_cvtpd_ps(qHigh)));
    if (const int unsure = _mm_movemask_ps(_mm_cmpneq_ps(below, above))) {
      for (int j = 0; j < 4; ++j)
        if (unsure & (1 << j)) redo(i + j);
    }
  }
  for (; i < count; ++i) redo(i);
}

// v = Round(y*dY + T - Y0*dY), the low 8 bits kept, facts 1, 2 and 5.
// Exactness is read off the exponents: with biased exponents eD of dY and eT
// of T (both taken as 0 for zero and denormals, which only makes the bounds
// below safer), every term is a multiple of 2^(min(eD, eT) - 150) and every
// partial sum is below 2^(max(eD + L, eT) - 125), where y + Y0 < 2^L. That is
// a double when max(eD + L, eT) - min(eD, eT) <= 28, that is when L <= 28 and
// -28 <= eD - eT <= 28 - L. A zero dY or T leaves only products of an integer
// below 2^29 and a single, which are exact anyway. eD, eT <= 148 keeps |v|
// below 2^51, where the low 32 bits of the double v + 1.5 x 2^52 are the
// rounded v (ties to even) in two's complement.
// When every step is exact the value is T + (y - Y0) x dY, a product that is
// exact by fact 1 plus one addition whose exact result is a double; so that
// is what is computed.
template <typename Redo>
void FinalKernel(const float* top, const float* slope, int32_t y, int64_t y0, int sumBits, uint8_t* out, int count,
                 Redo&& redo) {
  const __m128d weight = _mm_set1_pd(static_cast<double>(y - y0)), shifter = _mm_set1_pd(0x1.8p52);
  const __m128i aboveLimit = _mm_set1_epi32(28 - sumBits), belowLimit = _mm_set1_epi32(-28),
                exponentLimit = _mm_set1_epi32(148), lowByte = _mm_set1_epi32(0xFF);
  int i = 0;
  for (; i + 4 <= count; i += 4) {
    const __m128 t4 = _mm_loadu_ps(top + i), d4 = _mm_loadu_ps(slope + i);
    const __m128i eT = _mm_srli_epi32(_mm_slli_epi32(_mm_castps_si128(t4), 1), 24);
    const __m128i eD = _mm_srli_epi32(_mm_slli_epi32(_mm_castps_si128(d4), 1), 24);
    const __m128i spread = _mm_sub_epi32(eD, eT);
    const __m128 zero = _mm_setzero_ps();
    const __m128i anyZero = _mm_castps_si128(_mm_or_ps(_mm_cmpeq_ps(t4, zero), _mm_cmpeq_ps(d4, zero)));
    const __m128i wide = _mm_andnot_si128(
        anyZero, _mm_or_si128(_mm_cmpgt_epi32(spread, aboveLimit), _mm_cmplt_epi32(spread, belowLimit)));
    const __m128i large = _mm_or_si128(_mm_cmpgt_epi32(eD, exponentLimit), _mm_cmpgt_epi32(eT, exponentLimit));
    const __m128d dLow = _mm_cvtps_pd(d4), dHigh = _mm_cvtps_pd(_mm_movehl_ps(d4, d4));
    const __m128d vLow = _mm_add_pd(_mm_mul_pd(weight, dLow), _mm_cvtps_pd(t4));
    const __m128d vHigh = _mm_add_pd(_mm_mul_pd(weight, dHigh), _mm_cvtps_pd(_mm_movehl_ps(t4, t4)));
    const __m128i bitsLow = _mm_castpd_si128(_mm_add_pd(vLow, shifter));
    const __m128i bitsHigh = _mm_castpd_si128(_mm_add_pd(vHigh, shifter));
    const __m128i values = _mm_and_si128(
        _mm_unpacklo_epi64(_mm_shuffle_epi32(bitsLow, 0x08), _mm_shuffle_epi32(bitsHigh, 0x08)), lowByte);
    const __m128i bytes = _mm_packus_epi16(_mm_packs_epi32(values, values), _mm_setzero_si128());
    const int32_t packed = _mm_cvtsi128_si32(bytes);
    std::memcpy(out + i, &packed, 4);
    if (const int unsure = _mm_movemask_ps(_mm_castsi128_ps(_mm_or_si128(wide, large)))) {
      for (int j = 0; j < 4; ++j)
        if (unsure & (1 << j)) redo(i + j);
    }
  }
  for (; i < count; ++i) redo(i);
}

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

uint64_t SlopeRow(const float* top, const float* bottom, Extended scaleY, double reciprocal, bool kernel,
                  float* slope, int count) {
  uint64_t extended = 0;
  auto redo = [&](int i) {
    slope[i] = ExtendedSlope(bottom[i], top[i], scaleY);
    ++extended;
  };
  if (kernel) {
    SlopeKernel(top, bottom, reciprocal, slope, count, redo);
  } else {
    for (int i = 0; i < count; ++i) redo(i);
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
  if (fast && sumBits <= 28) {
    FinalKernel(top, slope, y, y0, sumBits, out, count, redo);
  } else {
    for (int i = 0; i < count; ++i) redo(i);
  }
  return extended;
}

float ExtendedRowValue(int64_t x, int64_t x0, int sample, float slope) {
  return static_cast<float>(static_cast<Extended>(x) * slope + sample - static_cast<Extended>(x0) * slope);
}

float ExtendedSlope(float bottom, float top, Extended scaleY) {
  return static_cast<float>((static_cast<Extended>(bottom) - top) / scaleY);
}

uint8_t ExtendedFinal(int64_t y, int64_t y0, float slope, float top) {
  const Extended v = static_cast<Extended>(y) * slope + top - static_cast<Extended>(y0) * slope;
  return static_cast<uint8_t>(static_cast<uint64_t>(RoundExtended(v)) & 0xFF);
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
  // Blue, green, red and a zero byte; `channels` has a spare byte at its end.
  for (int32_t x = 0; x < width; ++x) {
    uint32_t pixel;
    std::memcpy(&pixel, channels + 3 * static_cast<size_t>(x), 4);
    pixel &= 0x00FFFFFFu;
    std::memcpy(target + 4 * static_cast<size_t>(x), &pixel, 4);
  }
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
