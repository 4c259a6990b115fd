// The kernels in SSE2, which every x86-64 processor has: two doubles a
// register, four elements a step. A row's last one to three elements go
// through the same step from a zero-padded copy (ExactKernels.cpp, "Lane
// by lane").

#include <emmintrin.h>

#include <cstring>

#include "image/resize/KernelSet.h"

namespace sw {
namespace {

int ListLanes(int mask, int first, int32_t* unsure, int listed) {
  for (; mask != 0; mask &= mask - 1) unsure[listed++] = first + __builtin_ctz(static_cast<unsigned>(mask));
  return listed;
}

// dY for four elements and the lanes whose double quotient may round to
// another single than the extended one (fact 4).
__m128 SlopeStep(__m128 t4, __m128 b4, __m128d r, int& unsure) {
  const __m128d widening = _mm_set1_pd(0x1p-46);
  const __m128d qLow = _mm_mul_pd(_mm_sub_pd(_mm_cvtps_pd(b4), _mm_cvtps_pd(t4)), r);
  const __m128d qHigh =
      _mm_mul_pd(_mm_sub_pd(_mm_cvtps_pd(_mm_movehl_ps(b4, b4)), _mm_cvtps_pd(_mm_movehl_ps(t4, t4))), r);
  const __m128d marginLow = _mm_mul_pd(qLow, widening), marginHigh = _mm_mul_pd(qHigh, widening);
  const __m128 below =
      _mm_movelh_ps(_mm_cvtpd_ps(_mm_sub_pd(qLow, marginLow)), _mm_cvtpd_ps(_mm_sub_pd(qHigh, marginHigh)));
  const __m128 above =
      _mm_movelh_ps(_mm_cvtpd_ps(_mm_add_pd(qLow, marginLow)), _mm_cvtpd_ps(_mm_add_pd(qHigh, marginHigh)));
  unsure = _mm_movemask_ps(_mm_cmpneq_ps(below, above));
  return _mm_movelh_ps(_mm_cvtpd_ps(qLow), _mm_cvtpd_ps(qHigh));
}

int Slopes(const float* top, const float* bottom, double reciprocal, float* slope, int count, int32_t* unsure) {
  const __m128d r = _mm_set1_pd(reciprocal);
  int listed = 0, i = 0, mask;
  for (; i + 4 <= count; i += 4) {
    _mm_storeu_ps(slope + i, SlopeStep(_mm_loadu_ps(top + i), _mm_loadu_ps(bottom + i), r, mask));
    listed = ListLanes(mask, i, unsure, listed);
  }
  if (const int rest = count - i) {
    float t[4] = {}, b[4] = {}, s[4];
    std::memcpy(t, top + i, sizeof(float) * rest);
    std::memcpy(b, bottom + i, sizeof(float) * rest);
    _mm_storeu_ps(s, SlopeStep(_mm_loadu_ps(t), _mm_loadu_ps(b), r, mask));
    std::memcpy(slope + i, s, sizeof(float) * rest);
    listed = ListLanes(mask & ((1 << rest) - 1), i, unsure, listed);
  }
  return listed;
}

// v for four elements, its low bytes in the low 4 bytes of the result, and
// the lanes whose exponents don't vouch for the double value (facts 1, 2, 5).
__m128i FinalStep(__m128 t4, __m128 d4, __m128d weight, int sumBits, int& unsure) {
  const __m128d shifter = _mm_set1_pd(0x1.8p52);
  const __m128i eT = _mm_srli_epi32(_mm_slli_epi32(_mm_castps_si128(t4), 1), 24);
  const __m128i eD = _mm_srli_epi32(_mm_slli_epi32(_mm_castps_si128(d4), 1), 24);
  const __m128i spread = _mm_sub_epi32(eD, eT);
  const __m128 zero = _mm_setzero_ps();
  const __m128i anyZero = _mm_castps_si128(_mm_or_ps(_mm_cmpeq_ps(t4, zero), _mm_cmpeq_ps(d4, zero)));
  const __m128i wide =
      _mm_andnot_si128(anyZero, _mm_or_si128(_mm_cmpgt_epi32(spread, _mm_set1_epi32(28 - sumBits)),
                                             _mm_cmplt_epi32(spread, _mm_set1_epi32(-28))));
  const __m128i limit = _mm_set1_epi32(148);
  const __m128i large = _mm_or_si128(_mm_cmpgt_epi32(eD, limit), _mm_cmpgt_epi32(eT, limit));
  const __m128d dLow = _mm_cvtps_pd(d4), dHigh = _mm_cvtps_pd(_mm_movehl_ps(d4, d4));
  const __m128d vLow = _mm_add_pd(_mm_mul_pd(weight, dLow), _mm_cvtps_pd(t4));
  const __m128d vHigh = _mm_add_pd(_mm_mul_pd(weight, dHigh), _mm_cvtps_pd(_mm_movehl_ps(t4, t4)));
  const __m128i bitsLow = _mm_castpd_si128(_mm_add_pd(vLow, shifter));
  const __m128i bitsHigh = _mm_castpd_si128(_mm_add_pd(vHigh, shifter));
  const __m128i values = _mm_and_si128(
      _mm_unpacklo_epi64(_mm_shuffle_epi32(bitsLow, 0x08), _mm_shuffle_epi32(bitsHigh, 0x08)), _mm_set1_epi32(0xFF));
  unsure = _mm_movemask_ps(_mm_castsi128_ps(_mm_or_si128(wide, large)));
  return _mm_packus_epi16(_mm_packs_epi32(values, values), _mm_setzero_si128());
}

int Finals(const float* top, const float* slope, double weight, int sumBits, uint8_t* out, int count,
           int32_t* unsure) {
  const __m128d w = _mm_set1_pd(weight);
  int listed = 0, i = 0, mask;
  for (; i + 4 <= count; i += 4) {
    const int32_t packed =
        _mm_cvtsi128_si32(FinalStep(_mm_loadu_ps(top + i), _mm_loadu_ps(slope + i), w, sumBits, mask));
    std::memcpy(out + i, &packed, 4);
    listed = ListLanes(mask, i, unsure, listed);
  }
  if (const int rest = count - i) {
    float t[4] = {}, d[4] = {};
    std::memcpy(t, top + i, sizeof(float) * rest);
    std::memcpy(d, slope + i, sizeof(float) * rest);
    const int32_t packed = _mm_cvtsi128_si32(FinalStep(_mm_loadu_ps(t), _mm_loadu_ps(d), w, sumBits, mask));
    std::memcpy(out + i, &packed, static_cast<size_t>(rest));
    listed = ListLanes(mask & ((1 << rest) - 1), i, unsure, listed);
  }
  return listed;
}

}  // namespace

const KernelSet kSse2Kernels = {KernelWidth::Sse2, Slopes, Finals, PackOneByOne};

}  // namespace sw
