// The kernels in AVX2: four doubles a register, eight elements a step, the
// last step of a row through masked loads and stores. Compiled with -mavx2
// alone (no -mfma, and -ffp-contract=off as everywhere), entered only when
// the processor and the system have AVX2 (KernelDispatch.cpp). The lane by
// lane argument is at the top of ExactKernels.cpp.

#include <immintrin.h>

#include <cstring>

#include "image/resize/KernelSet.h"

namespace sw {
namespace {

// Helpers that take or return vectors are always inlined, so that no vector
// passes through the stack as an argument (Windows aligns it to 16 bytes only).
#define ALWAYS_INLINE __attribute__((always_inline)) inline

int ListLanes(int mask, int first, int32_t* unsure, int listed) {
  for (; mask != 0; mask &= mask - 1) unsure[listed++] = first + __builtin_ctz(static_cast<unsigned>(mask));
  return listed;
}

// Lanes 0 .. n - 1 set, for vmaskmov, which neither reads nor faults on the others.
ALWAYS_INLINE __m256i FirstLanes(int n) {
  return _mm256_cmpgt_epi32(_mm256_set1_epi32(n), _mm256_setr_epi32(0, 1, 2, 3, 4, 5, 6, 7));
}

ALWAYS_INLINE __m256d LowHalf(__m256 v) { return _mm256_cvtps_pd(_mm256_castps256_ps128(v)); }
ALWAYS_INLINE __m256d HighHalf(__m256 v) { return _mm256_cvtps_pd(_mm256_extractf128_ps(v, 1)); }
ALWAYS_INLINE __m256 Singles(__m256d low, __m256d high) {
  return _mm256_insertf128_ps(_mm256_castps128_ps256(_mm256_cvtpd_ps(low)), _mm256_cvtpd_ps(high), 1);
}

ALWAYS_INLINE __m256 SlopeStep(__m256 t, __m256 b, __m256d r, int& unsure) {
  const __m256d widening = _mm256_set1_pd(0x1p-46);
  const __m256d qLow = _mm256_mul_pd(_mm256_sub_pd(LowHalf(b), LowHalf(t)), r);
  const __m256d qHigh = _mm256_mul_pd(_mm256_sub_pd(HighHalf(b), HighHalf(t)), r);
  const __m256d marginLow = _mm256_mul_pd(qLow, widening), marginHigh = _mm256_mul_pd(qHigh, widening);
  const __m256 below = Singles(_mm256_sub_pd(qLow, marginLow), _mm256_sub_pd(qHigh, marginHigh));
  const __m256 above = Singles(_mm256_add_pd(qLow, marginLow), _mm256_add_pd(qHigh, marginHigh));
  unsure = _mm256_movemask_ps(_mm256_cmp_ps(below, above, _CMP_NEQ_UQ));
  return Singles(qLow, qHigh);
}

int Slopes(const float* top, const float* bottom, double reciprocal, float* slope, int count, int32_t* unsure) {
  const __m256d r = _mm256_set1_pd(reciprocal);
  int listed = 0, i = 0, mask;
  for (; i + 8 <= count; i += 8) {
    _mm256_storeu_ps(slope + i, SlopeStep(_mm256_loadu_ps(top + i), _mm256_loadu_ps(bottom + i), r, mask));
    listed = ListLanes(mask, i, unsure, listed);
  }
  if (const int rest = count - i) {
    const __m256i lanes = FirstLanes(rest);
    const __m256 s = SlopeStep(_mm256_maskload_ps(top + i, lanes), _mm256_maskload_ps(bottom + i, lanes), r, mask);
    _mm256_maskstore_ps(slope + i, lanes, s);
    listed = ListLanes(mask & ((1 << rest) - 1), i, unsure, listed);
  }
  return listed;
}

// v for eight elements, their low bytes in the low 8 bytes of the result.
ALWAYS_INLINE __m128i FinalStep(__m256 t, __m256 d, __m256d weight, __m256i aboveLimit, int& unsure) {
  const __m256i eT = _mm256_srli_epi32(_mm256_slli_epi32(_mm256_castps_si256(t), 1), 24);
  const __m256i eD = _mm256_srli_epi32(_mm256_slli_epi32(_mm256_castps_si256(d), 1), 24);
  const __m256i spread = _mm256_sub_epi32(eD, eT);
  const __m256 zero = _mm256_setzero_ps();
  const __m256i anyZero =
      _mm256_castps_si256(_mm256_or_ps(_mm256_cmp_ps(t, zero, _CMP_EQ_OQ), _mm256_cmp_ps(d, zero, _CMP_EQ_OQ)));
  const __m256i wide = _mm256_andnot_si256(
      anyZero, _mm256_or_si256(_mm256_cmpgt_epi32(spread, aboveLimit),
                               _mm256_cmpgt_epi32(_mm256_set1_epi32(-28), spread)));
  const __m256i limit = _mm256_set1_epi32(148);
  const __m256i large = _mm256_or_si256(_mm256_cmpgt_epi32(eD, limit), _mm256_cmpgt_epi32(eT, limit));
  unsure = _mm256_movemask_ps(_mm256_castsi256_ps(_mm256_or_si256(wide, large)));
  const __m256d shifter = _mm256_set1_pd(0x1.8p52);
  const __m256d vLow = _mm256_add_pd(_mm256_mul_pd(weight, LowHalf(d)), LowHalf(t));
  const __m256d vHigh = _mm256_add_pd(_mm256_mul_pd(weight, HighHalf(d)), HighHalf(t));
  // The low 32 bits of each double's pattern, in lanes 0 .. 3.
  const __m256i lowWords = _mm256_setr_epi32(0, 2, 4, 6, 0, 2, 4, 6);
  const __m128i low = _mm256_castsi256_si128(
      _mm256_permutevar8x32_epi32(_mm256_castpd_si256(_mm256_add_pd(vLow, shifter)), lowWords));
  const __m128i high = _mm256_castsi256_si128(
      _mm256_permutevar8x32_epi32(_mm256_castpd_si256(_mm256_add_pd(vHigh, shifter)), lowWords));
  const __m128i lowByte = _mm_set1_epi32(0xFF);
  const __m128i words = _mm_packs_epi32(_mm_and_si128(low, lowByte), _mm_and_si128(high, lowByte));
  return _mm_packus_epi16(words, words);
}

int Finals(const float* top, const float* slope, double weight, int sumBits, uint8_t* out, int count,
           int32_t* unsure) {
  const __m256d w = _mm256_set1_pd(weight);
  const __m256i aboveLimit = _mm256_set1_epi32(28 - sumBits);
  int listed = 0, i = 0, mask;
  for (; i + 8 <= count; i += 8) {
    const __m128i bytes = FinalStep(_mm256_loadu_ps(top + i), _mm256_loadu_ps(slope + i), w, aboveLimit, mask);
    _mm_storel_epi64(reinterpret_cast<__m128i*>(out + i), bytes);
    listed = ListLanes(mask, i, unsure, listed);
  }
  if (const int rest = count - i) {
    const __m256i lanes = FirstLanes(rest);
    const __m128i bytes =
        FinalStep(_mm256_maskload_ps(top + i, lanes), _mm256_maskload_ps(slope + i, lanes), w, aboveLimit, mask);
    uint8_t eight[16];
    _mm_storeu_si128(reinterpret_cast<__m128i*>(eight), bytes);
    std::memcpy(out + i, eight, static_cast<size_t>(rest));
    listed = ListLanes(mask & ((1 << rest) - 1), i, unsure, listed);
  }
  return listed;
}

// Eight pixels a step: the 24 bytes of pixels 0-3 and 4-7 put into the two
// halves, each 3 bytes spread to 4 with a zero.
void Pack(const uint8_t* channels, int32_t width, uint8_t* target) {
  const __m256i spread = _mm256_setr_epi8(0, 1, 2, -1, 3, 4, 5, -1, 6, 7, 8, -1, 9, 10, 11, -1,  //
                                          4, 5, 6, -1, 7, 8, 9, -1, 10, 11, 12, -1, 13, 14, 15, -1);
  int32_t x = 0;
  for (; x + 8 <= width; x += 8) {
    const uint8_t* from = channels + 3 * static_cast<size_t>(x);
    const __m128i first = _mm_loadu_si128(reinterpret_cast<const __m128i*>(from));
    const __m128i second = _mm_loadu_si128(reinterpret_cast<const __m128i*>(from + 8));
    const __m256i pixels = _mm256_shuffle_epi8(_mm256_set_m128i(second, first), spread);
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(target + 4 * static_cast<size_t>(x)), pixels);
  }
  for (; x < width; ++x) {
    uint32_t pixel;
    std::memcpy(&pixel, channels + 3 * static_cast<size_t>(x), 4);
    pixel &= 0x00FFFFFFu;
    std::memcpy(target + 4 * static_cast<size_t>(x), &pixel, 4);
  }
}

}  // namespace

const KernelSet kAvx2Kernels = {KernelWidth::Avx2, Slopes, Finals, Pack};

}  // namespace sw
