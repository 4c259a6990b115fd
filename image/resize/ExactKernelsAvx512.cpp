// The kernels in AVX-512 (F, DQ, BW and VL): eight doubles a register,
// sixteen elements a step, the last step of a row under a lane mask. Compiled
// with those four extensions alone (no -mfma, and -ffp-contract=off as
// everywhere), entered only when the processor and the system have them
// (KernelDispatch.cpp). The lane by lane argument is at the top of
// ExactKernels.cpp.

#include <immintrin.h>

#include "image/resize/KernelSet.h"

namespace sw {
namespace {

// Helpers that take or return vectors are always inlined, so that no vector
// passes through the stack as an argument (Windows aligns it to 16 bytes only).
#define ALWAYS_INLINE __attribute__((always_inline)) inline

int ListLanes(unsigned mask, int first, int32_t* unsure, int listed) {
  for (; mask != 0; mask &= mask - 1) unsure[listed++] = first + __builtin_ctz(mask);
  return listed;
}

ALWAYS_INLINE __mmask16 FirstLanes(int n) { return static_cast<__mmask16>((1u << n) - 1); }

ALWAYS_INLINE __m512d LowHalf(__m512 v) { return _mm512_cvtps_pd(_mm512_castps512_ps256(v)); }
ALWAYS_INLINE __m512d HighHalf(__m512 v) { return _mm512_cvtps_pd(_mm512_extractf32x8_ps(v, 1)); }
ALWAYS_INLINE __m512 Singles(__m512d low, __m512d high) {
  return _mm512_insertf32x8(_mm512_castps256_ps512(_mm512_cvtpd_ps(low)), _mm512_cvtpd_ps(high), 1);
}

ALWAYS_INLINE __m512 SlopeStep(__m512 t, __m512 b, __m512d r, __mmask16& unsure) {
  const __m512d widening = _mm512_set1_pd(0x1p-46);
  const __m512d qLow = _mm512_mul_pd(_mm512_sub_pd(LowHalf(b), LowHalf(t)), r);
  const __m512d qHigh = _mm512_mul_pd(_mm512_sub_pd(HighHalf(b), HighHalf(t)), r);
  const __m512d marginLow = _mm512_mul_pd(qLow, widening), marginHigh = _mm512_mul_pd(qHigh, widening);
  const __m512 below = Singles(_mm512_sub_pd(qLow, marginLow), _mm512_sub_pd(qHigh, marginHigh));
  const __m512 above = Singles(_mm512_add_pd(qLow, marginLow), _mm512_add_pd(qHigh, marginHigh));
  unsure = _mm512_cmp_ps_mask(below, above, _CMP_NEQ_UQ);
  return Singles(qLow, qHigh);
}

int Slopes(const float* top, const float* bottom, double reciprocal, float* slope, int count, int32_t* unsure) {
  const __m512d r = _mm512_set1_pd(reciprocal);
  int listed = 0;
  __mmask16 mask;
  for (int i = 0; i < count; i += 16) {
    const __mmask16 lanes = count - i >= 16 ? static_cast<__mmask16>(0xFFFF) : FirstLanes(count - i);
    const __m512 s =
        SlopeStep(_mm512_maskz_loadu_ps(lanes, top + i), _mm512_maskz_loadu_ps(lanes, bottom + i), r, mask);
    _mm512_mask_storeu_ps(slope + i, lanes, s);
    listed = ListLanes(mask & lanes, i, unsure, listed);
  }
  return listed;
}

// v for sixteen elements, their low bytes in order.
ALWAYS_INLINE __m128i FinalStep(__m512 t, __m512 d, __m512d weight, __m512i aboveLimit, __mmask16& unsure) {
  const __m512i eT = _mm512_srli_epi32(_mm512_slli_epi32(_mm512_castps_si512(t), 1), 24);
  const __m512i eD = _mm512_srli_epi32(_mm512_slli_epi32(_mm512_castps_si512(d), 1), 24);
  const __m512i spread = _mm512_sub_epi32(eD, eT);
  const __m512 zero = _mm512_setzero_ps();
  const __mmask16 anyZero = _mm512_cmp_ps_mask(t, zero, _CMP_EQ_OQ) | _mm512_cmp_ps_mask(d, zero, _CMP_EQ_OQ);
  const __mmask16 wide = static_cast<__mmask16>(
      ~anyZero & (_mm512_cmpgt_epi32_mask(spread, aboveLimit) | _mm512_cmplt_epi32_mask(spread, _mm512_set1_epi32(-28))));
  const __m512i limit = _mm512_set1_epi32(148);
  const __mmask16 large = _mm512_cmpgt_epi32_mask(eD, limit) | _mm512_cmpgt_epi32_mask(eT, limit);
  unsure = wide | large;
  const __m512d shifter = _mm512_set1_pd(0x1.8p52);
  const __m512d vLow = _mm512_add_pd(_mm512_mul_pd(weight, LowHalf(d)), LowHalf(t));
  const __m512d vHigh = _mm512_add_pd(_mm512_mul_pd(weight, HighHalf(d)), HighHalf(t));
  // vpmovqb keeps the low byte of each double's pattern.
  return _mm_unpacklo_epi64(_mm512_cvtepi64_epi8(_mm512_castpd_si512(_mm512_add_pd(vLow, shifter))),
                            _mm512_cvtepi64_epi8(_mm512_castpd_si512(_mm512_add_pd(vHigh, shifter))));
}

int Finals(const float* top, const float* slope, double weight, int sumBits, uint8_t* out, int count,
           int32_t* unsure) {
  const __m512d w = _mm512_set1_pd(weight);
  const __m512i aboveLimit = _mm512_set1_epi32(28 - sumBits);
  int listed = 0;
  __mmask16 mask;
  for (int i = 0; i < count; i += 16) {
    const __mmask16 lanes = count - i >= 16 ? static_cast<__mmask16>(0xFFFF) : FirstLanes(count - i);
    const __m128i bytes =
        FinalStep(_mm512_maskz_loadu_ps(lanes, top + i), _mm512_maskz_loadu_ps(lanes, slope + i), w, aboveLimit, mask);
    _mm_mask_storeu_epi8(out + i, lanes, bytes);
    listed = ListLanes(mask & lanes, i, unsure, listed);
  }
  return listed;
}

// Sixteen pixels a step: dwords 3k .. 3k + 2 (pixels 4k .. 4k + 3) into
// quarter k, then each 3 bytes spread to 4 with a zero. The last step loads
// and stores under byte masks.
void Pack(const uint8_t* channels, int32_t width, uint8_t* target) {
  const __m512i quarters = _mm512_setr_epi32(0, 1, 2, 0, 3, 4, 5, 0, 6, 7, 8, 0, 9, 10, 11, 0);
  const __m512i spread = _mm512_broadcast_i32x4(_mm_setr_epi8(0, 1, 2, -1, 3, 4, 5, -1, 6, 7, 8, -1, 9, 10, 11, -1));
  for (int32_t x = 0; x < width; x += 16) {
    const int n = width - x >= 16 ? 16 : width - x;
    const __mmask64 from = n == 16 ? 0xFFFFFFFFFFFFull : (uint64_t{1} << (3 * n)) - 1;
    const __mmask64 to = n == 16 ? ~uint64_t{0} : (uint64_t{1} << (4 * n)) - 1;
    const __m512i bytes = _mm512_maskz_loadu_epi8(from, channels + 3 * static_cast<size_t>(x));
    const __m512i pixels = _mm512_shuffle_epi8(_mm512_permutexvar_epi32(quarters, bytes), spread);
    _mm512_mask_storeu_epi8(target + 4 * static_cast<size_t>(x), to, pixels);
  }
}

}  // namespace

const KernelSet kAvx512Kernels = {KernelWidth::Avx512, Slopes, Finals, Pack};

}  // namespace sw
