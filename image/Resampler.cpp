#include "image/Resampler.h"

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
//         of the finest such 2^g and below the largest bound;
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

#include <algorithm>
#include <cmath>
#include <condition_variable>
#include <cstring>
#include <emmintrin.h>
#include <exception>
#include <mutex>
#include <new>
#include <optional>
#include <thread>
#include <vector>

#include "image/Messages.h"
#include "image/X87.h"

namespace sw {
namespace {

using Extended = long double;

constexpr int64_t kExactFactorLimit = int64_t{1} << 29;
static_assert(kMaxPixelStoreBytes / 4 < static_cast<uint64_t>(kExactFactorLimit),
              "row and column indices of a destination must stay below 2^29 (fact 1)");

constexpr int kDifferences = 511;  // sample differences -255 .. 255
constexpr int kChannels = 3;       // blue, green, red, in the order of the stored pixel

int32_t DestinationSize(int32_t size, float scale) {
  const Extended product = static_cast<Extended>(size) * static_cast<Extended>(scale);
  if (std::isnan(product)) throw msg::InvalidOperation();
  const Extended rounded = rintl(product);
  // A size outside the 32-bit range is refused rather than truncated.
  if (!(rounded >= static_cast<Extended>(INT32_MIN) && rounded <= static_cast<Extended>(INT32_MAX)))
    throw msg::Resource();
  return static_cast<int32_t>(rounded);
}

// Round to nearest with ties to even, under the rounding the guard sets.
int64_t RoundExtended(Extended value) {
  int64_t result;
  __asm__("fistpll %0" : "=m"(result) : "t"(value) : "st");
  return result;
}

// sy = Trunc(y / ScaleY) and Y0 = Round(sy x ScaleY); the same for columns.
struct Anchor {
  int64_t cell;
  int64_t origin;
};

Anchor AnchorOf(int64_t position, Extended scale) {
  const int64_t cell = static_cast<int64_t>(static_cast<Extended>(position) / scale);
  return {cell, RoundExtended(static_cast<Extended>(cell) * scale)};
}

// The formulas in extended precision, in their stated order of evaluation.
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

// ---------------------------------------------------------------------------
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

// dY for one source row pair; `kernel` when the slope kernel's conditions
// hold. Returns how many values were computed in extended precision.
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

// v for one output row. Returns how many values were computed in extended
// precision.
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

// ---------------------------------------------------------------------------

// Everything about one call that the rows share; read-only once made.
struct Plan {
  int32_t sourceWidth = 0;
  int32_t sourceHeight = 0;
  int32_t width = 0;   // W'
  int32_t height = 0;  // H'
  Extended scaleX = 0;
  Extended scaleY = 0;
  double scaleYDouble = 0;
  bool fast = true;
  bool tables = true;
  // Per output column: the column of the cell's first sample (sx, at most W,
  // whose samples are white), the anchor X0 and x - X0.
  std::vector<int32_t> column;
  std::vector<int32_t> anchor;
  std::vector<double> weight;
  // Columns from here on take a sample from beyond the source's last column.
  int32_t firstEdgeColumn = 0;
  // Source rows whose stored bytes are blue, green, red (24 and 32 bits
  // without masks) are read in place, `directStep` bytes a pixel; 0 otherwise.
  size_t directStep = 0;
  float slope[kDifferences] = {};
  bool slopeExact[kDifferences] = {};
  bool allSlopesExact = false;
  // Every B - T is exact in double and every nonzero (B - T) / ScaleY is far
  // above the single denormals, for the slope kernel.
  bool differencesExact = false;
  double reciprocalScaleY = 0;
};

// The exponent of the lowest set bit of a nonzero single: value = odd x 2^e.
int LowestBitExponent(float value) {
  int exponent;
  const float fraction = std::frexp(std::fabs(value), &exponent);  // [0.5, 1) x 2^exponent
  uint32_t mantissa = static_cast<uint32_t>(std::ldexp(fraction, 24));  // exact: 24 bits
  exponent -= 24;
  while ((mantissa & 1u) == 0) {
    mantissa >>= 1;
    ++exponent;
  }
  return exponent;
}

void MakeColumnTables(Plan& plan) {
  plan.column.resize(static_cast<size_t>(plan.width));
  plan.anchor.resize(static_cast<size_t>(plan.width));
  plan.weight.resize(static_cast<size_t>(plan.width));
  int64_t maxAnchor = 0;
  for (int32_t x = 0; x < plan.width; ++x) {
    const Anchor a = AnchorOf(x, plan.scaleX);
    plan.column[x] = static_cast<int32_t>(std::clamp<int64_t>(a.cell, 0, plan.sourceWidth));
    plan.anchor[x] = static_cast<int32_t>(a.origin);
    plan.weight[x] = static_cast<double>(x - a.origin);
    maxAnchor = std::max(maxAnchor, a.origin);
    if (plan.column[x] < plan.sourceWidth - 1) plan.firstEdgeColumn = x + 1;
    // X0 lies in 0 .. x, as Round(sx x ScaleX) <= Round(x); checked all the same.
    if (a.origin < 0 || a.origin > x) plan.fast = false;
  }
  // Row values: fact 2 per difference. A row value t is a multiple of 2^g,
  // and so is the single T = single(t), since rounding to single only ever
  // moves to a coarser grid; |T| <= bound (1 + 2^-24).
  plan.allSlopesExact = true;
  int finestGrid = 0;
  Extended largestBound = 255;
  for (int k = 0; k < kDifferences; ++k) {
    const float slope = static_cast<float>(static_cast<Extended>(k - 255) / plan.scaleX);
    plan.slope[k] = slope;
    bool exact = true;
    if (slope != 0) {
      const int grid = std::min(LowestBitExponent(slope), 0);
      const Extended bound = (static_cast<Extended>(plan.width - 1) + static_cast<Extended>(maxAnchor)) *
                                 std::fabs(static_cast<Extended>(slope)) +
                             255;
      exact = bound < std::ldexp(static_cast<Extended>(1), 52 + grid);
      finestGrid = std::min(finestGrid, grid);
      largestBound = std::max(largestBound, bound);
    }
    plan.slopeExact[k] = exact;
    plan.allSlopesExact = plan.allSlopesExact && exact;
  }
  // Slopes: B - T is a multiple of 2^finestGrid below 2 x largestBound x
  // (1 + 2^-24) in magnitude, so a double when that is below 2^(53 +
  // finestGrid); a nonzero one is at least 2^finestGrid.
  const Extended one = 1;
  plan.differencesExact = plan.fast && plan.allSlopesExact &&
                          largestBound < std::ldexp(one, 51 + finestGrid) &&
                          std::ldexp(one, finestGrid) / plan.scaleY >= std::ldexp(one, -119);
  plan.reciprocalScaleY = 1.0 / plan.scaleYDouble;
}

struct Counters {
  uint64_t rowValues = 0, rowExtended = 0, slopeValues = 0, slopeExtended = 0, finalValues = 0,
           finalExtended = 0;
};

// One thread's working rows.
class RowMaker {
 public:
  RowMaker(const Plan& plan, const Picture& source) : plan_(plan), source_(source) {
    if (!plan.tables) return;
    const size_t values = static_cast<size_t>(plan.width) * kChannels;
    if (plan.directStep == 0) colors_.resize(static_cast<size_t>(plan.sourceWidth));
    samples_.resize((static_cast<size_t>(plan.sourceWidth) + 2) * kChannels);
    for (auto& row : rows_) row.resize(values);
    slopes_.resize(values);
    channels_.resize(values + 1);
  }

  // Computes output row y into `target`, 4 bytes a pixel (blue, green, red, 0).
  void Make(int32_t y, uint8_t* target) {
    if (!plan_.tables) return MakeWithoutTables(y, target);
    const Anchor a = AnchorOf(y, plan_.scaleY);
    const int64_t top = std::min<int64_t>(a.cell, plan_.sourceHeight);
    const int64_t bottom = std::min<int64_t>(top + 1, plan_.sourceHeight);
    const int topSlot = RowValuesFor(top, -1);
    const int bottomSlot = RowValuesFor(bottom, topSlot);
    const float* T = rows_[topSlot].data();
    const int count = plan_.width * kChannels;
    if (slopeKey_ != top) {
      MakeSlopes(T, rows_[bottomSlot].data(), count);
      slopeKey_ = top;
    }
    MakeFinal(y, a.origin, T, count);
    // Blue, green, red and a zero byte; channels_ has a spare byte at its end.
    const uint8_t* channels = channels_.data();
    for (int32_t x = 0; x < plan_.width; ++x) {
      uint32_t pixel;
      std::memcpy(&pixel, channels + 3 * static_cast<size_t>(x), 4);
      pixel &= 0x00FFFFFFu;
      std::memcpy(target + 4 * static_cast<size_t>(x), &pixel, 4);
    }
  }

  const Counters& counters() const { return counters_; }

 private:
  // The row values of source row `row` (the row H is white) in a slot other
  // than `keep`, computed unless a slot holds them already.
  int RowValuesFor(int64_t row, int keep) {
    for (int slot = 0; slot < 2; ++slot)
      if (rowKeys_[slot] == row) return slot;
    const int slot = keep == 0 ? 1 : 0;
    MakeRowValues(row, rows_[slot].data());
    rowKeys_[slot] = row;
    return slot;
  }

  void MakeRowValues(int64_t row, float* out) {
    counters_.rowValues += static_cast<uint64_t>(plan_.width) * kChannels;
    const int32_t w = plan_.sourceWidth;
    if (row >= plan_.sourceHeight) {
      std::fill(samples_.begin(), samples_.end(), uint8_t{255});
      return RowValues(samples_.data(), 3, 0, 0, plan_.width, out);
    }
    if (plan_.directStep != 0) {
      // In place up to the edge; the last pixel and the white beyond it from
      // a copy.
      const uint8_t* stored = source_.Row(static_cast<int32_t>(row));
      std::memcpy(edge_, stored + (static_cast<size_t>(w) - 1) * plan_.directStep, 3);
      std::fill(edge_ + 3, edge_ + sizeof edge_, uint8_t{255});
      RowValues(stored, plan_.directStep, 0, 0, plan_.firstEdgeColumn, out);
      return RowValues(edge_, 3, w - 1, plan_.firstEdgeColumn, plan_.width, out);
    }
    source_.ReadRow(static_cast<int32_t>(row), colors_.data());
    uint8_t* samples = samples_.data();
    for (int32_t i = 0; i < w; ++i) {
      const ColorValue c = colors_[i];
      samples[3 * i + 0] = static_cast<uint8_t>(c >> 16);
      samples[3 * i + 1] = static_cast<uint8_t>(c >> 8);
      samples[3 * i + 2] = static_cast<uint8_t>(c);
    }
    std::fill(samples + 3 * static_cast<size_t>(w), samples + samples_.size(), uint8_t{255});
    RowValues(samples, 3, 0, 0, plan_.width, out);
  }

  // T (or B) for columns first .. end - 1, with the samples of source column
  // c at samples + (c - origin) x step: blue, green, red.
  void RowValues(const uint8_t* samples, size_t step, int32_t origin, int32_t first, int32_t end, float* out) {
    const int32_t* column = plan_.column.data();
    const int32_t* anchor = plan_.anchor.data();
    const double* weight = plan_.weight.data();
    const float* slope = plan_.slope;
    // Where every step is exact, x*dT + P00 - X0*dT is P00 + (x - X0) x dT:
    // one exact product (fact 1) and one addition whose exact result is a
    // double (fact 2), as computed here.
    if (plan_.fast && plan_.allSlopesExact) {
      for (int32_t x = first; x < end; ++x) {
        const uint8_t* left = samples + static_cast<size_t>(column[x] - origin) * step;
        const uint8_t* right = left + step;
        const double wx = weight[x];
        for (int c = 0; c < kChannels; ++c) {
          const int p0 = left[c];
          out[3 * x + c] = static_cast<float>(p0 + wx * slope[right[c] - p0 + 255]);
        }
      }
      return;
    }
    for (int32_t x = first; x < end; ++x) {
      const uint8_t* left = samples + static_cast<size_t>(column[x] - origin) * step;
      const uint8_t* right = left + step;
      for (int c = 0; c < kChannels; ++c) {
        const int p0 = left[c];
        const int k = right[c] - p0 + 255;
        if (plan_.fast && plan_.slopeExact[k]) {
          out[3 * x + c] = static_cast<float>(p0 + weight[x] * slope[k]);
        } else {
          out[3 * x + c] = ExtendedRowValue(x, anchor[x], p0, slope[k]);
          ++counters_.rowExtended;
        }
      }
    }
  }

  void MakeSlopes(const float* top, const float* bottom, int count) {
    counters_.slopeValues += static_cast<uint64_t>(count);
    counters_.slopeExtended += SlopeRow(top, bottom, plan_.scaleY, plan_.reciprocalScaleY, plan_.differencesExact,
                                        slopes_.data(), count);
  }

  void MakeFinal(int32_t y, int64_t y0, const float* top, int count) {
    counters_.finalValues += static_cast<uint64_t>(count);
    counters_.finalExtended += FinalRow(top, slopes_.data(), y, y0, plan_.fast, channels_.data(), count);
  }

  // For rows too wide for tables: the formulas pixel by pixel, in extended
  // precision, with memory that doesn't grow with the width.
  void MakeWithoutTables(int32_t y, uint8_t* target) {
    const Anchor a = AnchorOf(y, plan_.scaleY);
    const int32_t sy = static_cast<int32_t>(std::min<int64_t>(a.cell, INT32_MAX - 1));
    for (int32_t x = 0; x < plan_.width; ++x) {
      const Anchor column = AnchorOf(x, plan_.scaleX);
      const int32_t sx = static_cast<int32_t>(std::min<int64_t>(column.cell, INT32_MAX - 1));
      const ColorValue p00 = source_.ReadPixel(sx, sy), p10 = source_.ReadPixel(sx + 1, sy);
      const ColorValue p01 = source_.ReadPixel(sx, sy + 1), p11 = source_.ReadPixel(sx + 1, sy + 1);
      for (int c = 0; c < kChannels; ++c) {
        const int shift = 16 - 8 * c;  // blue, green, red
        const int c00 = (p00 >> shift) & 0xFF, c10 = (p10 >> shift) & 0xFF;
        const int c01 = (p01 >> shift) & 0xFF, c11 = (p11 >> shift) & 0xFF;
        const float T = ExtendedRowValue(x, column.origin, c00, plan_.slope[c10 - c00 + 255]);
        const float B = ExtendedRowValue(x, column.origin, c01, plan_.slope[c11 - c01 + 255]);
        target[4 * static_cast<size_t>(x) + c] = ExtendedFinal(y, a.origin, ExtendedSlope(B, T, plan_.scaleY), T);
      }
      target[4 * static_cast<size_t>(x) + 3] = 0;
    }
    const uint64_t count = static_cast<uint64_t>(plan_.width) * kChannels;
    counters_.rowValues += 2 * count;
    counters_.rowExtended += 2 * count;
    counters_.slopeValues += count;
    counters_.slopeExtended += count;
    counters_.finalValues += count;
    counters_.finalExtended += count;
  }

  const Plan& plan_;
  const Picture& source_;
  std::vector<ColorValue> colors_;
  std::vector<uint8_t> samples_;  // one source row, 3 channels a pixel, and two white pixels after it
  uint8_t edge_[9] = {};          // the source row's last pixel and two white ones, for rows read in place
  std::vector<float> rows_[2];
  int64_t rowKeys_[2] = {-1, -1};
  std::vector<float> slopes_;
  int64_t slopeKey_ = -1;
  std::vector<uint8_t> channels_;
  Counters counters_;
};

// Destination rows, in memory.
struct Target {
  uint8_t* bits = nullptr;
  size_t stride = 0;
  int32_t height = 0;
  bool topDown = false;
  uint8_t* Row(int32_t y) const {
    return bits + static_cast<size_t>(topDown ? y : height - 1 - y) * stride;
  }
};

// The rows of one call, spread over the calling thread and worker threads.
// Each thread claims a task of consecutive rows (which share source rows)
// and computes it from the front; tasks are handed out only within a window
// ahead of the last row reported, so an early stop wastes little and the
// bookkeeping is a ring the size of the window. The calling thread takes the
// rows in row order: while the next row isn't complete it computes rows of
// its own task, claims a new one, or takes rows from the back of another
// thread's task (whose thread may have been descheduled); only when there
// is nothing left to take it waits. The destructor stops and joins every
// worker, on every way out.
class RowSchedule {
 public:
  RowSchedule(const Plan& plan, const Picture& source, const Target& target, int threads, int rowsPerTask)
      : plan_(plan), target_(target), rowsPerTask_(rowsPerTask),
        window_(std::max(4 * rowsPerTask * threads, 64)),
        done_(static_cast<size_t>(std::min<int64_t>(int64_t{window_} + rowsPerTask, plan.height)), 0),
        tasks_(static_cast<size_t>(threads)) {
    makers_.reserve(static_cast<size_t>(threads));
    for (int i = 0; i < threads; ++i) makers_.emplace_back(plan, source);
    for (int i = 1; i < threads; ++i) {
      try {
        workers_.emplace_back([this, i] { Work(i); });
      } catch (const std::system_error&) {
        break;  // fewer workers; the calling thread computes what they don't
      }
    }
  }

  ~RowSchedule() {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      stop_ = true;
    }
    workersWake_.notify_all();
    for (std::thread& worker : workers_) worker.join();
  }

  int Workers() const { return static_cast<int>(workers_.size()); }

  // Returns once row y is complete; a worker's failure is raised here. To be
  // called with the resampler's arithmetic set.
  void Complete(int32_t y) {
    for (;;) {
      int32_t row;
      {
        std::unique_lock<std::mutex> lock(mutex_);
        if (failure_) std::rethrow_exception(failure_);
        if (Done(y)) return;
        if (!TakeOwn(0, row) && !Steal(row)) {
          mainWake_.wait(lock, [&] { return Done(y) || failure_; });
          if (failure_) std::rethrow_exception(failure_);
          return;
        }
      }
      makers_[0].Make(row, target_.Row(row));
      std::lock_guard<std::mutex> lock(mutex_);
      done_[Slot(row)] = 1;
    }
  }

  // Rows up to `rows` - 1 are reported; their places in the ring are free.
  void Reported(int32_t rows) {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      for (int32_t row = reported_; row < rows; ++row) done_[Slot(row)] = 0;
      reported_ = rows;
    }
    if (!workers_.empty()) workersWake_.notify_all();
  }

  Counters Total() const {
    Counters total;
    for (const RowMaker& maker : makers_) {
      const Counters& c = maker.counters();
      total.rowValues += c.rowValues;
      total.rowExtended += c.rowExtended;
      total.slopeValues += c.slopeValues;
      total.slopeExtended += c.slopeExtended;
      total.finalValues += c.finalValues;
      total.finalExtended += c.finalExtended;
    }
    return total;
  }

 private:
  struct Task {
    int32_t next = 0;  // rows next .. end - 1 are still to be computed
    int32_t end = 0;
  };

  // With the mutex held, throughout.
  size_t Slot(int32_t row) const { return static_cast<size_t>(row) % done_.size(); }
  bool Done(int32_t row) const { return done_[Slot(row)] != 0; }

  bool CanClaim() const { return next_ < plan_.height && next_ < reported_ + window_; }

  // The next row of thread i's task, claiming a new task when it has none.
  bool TakeOwn(int i, int32_t& row) {
    Task& task = tasks_[static_cast<size_t>(i)];
    if (task.next >= task.end) {
      if (!CanClaim()) return false;
      task.next = next_;
      task.end = next_ + std::min(rowsPerTask_, plan_.height - next_);
      next_ = task.end;
    }
    row = task.next++;
    return true;
  }

  // The last row of another thread's unfinished task, taking the task whose
  // rows come soonest in the reporting order; its thread goes on from the front.
  bool Steal(int32_t& row) {
    Task* chosen = nullptr;
    for (size_t i = 1; i < tasks_.size(); ++i) {
      Task& task = tasks_[i];
      if (task.next < task.end && (!chosen || task.next < chosen->next)) chosen = &task;
    }
    if (!chosen) return false;
    row = --chosen->end;
    return true;
  }

  void Work(int i) {
    RowMaker& maker = makers_[static_cast<size_t>(i)];
    try {
      ResamplerArithmetic arithmetic;  // each thread has its own floating-point state
      int32_t finished = -1;
      for (;;) {
        int32_t row;
        {
          std::unique_lock<std::mutex> lock(mutex_);
          if (finished >= 0) {
            done_[Slot(finished)] = 1;
            // The row the calling thread may be waiting for.
            if (finished == reported_) mainWake_.notify_one();
          }
          workersWake_.wait(lock, [&] {
            const Task& task = tasks_[static_cast<size_t>(i)];
            return stop_ || task.next < task.end || CanClaim() || next_ >= plan_.height;
          });
          if (stop_ || !TakeOwn(i, row)) return;
        }
        maker.Make(row, target_.Row(row));
        finished = row;
      }
    } catch (...) {
      {
        std::lock_guard<std::mutex> lock(mutex_);
        if (!failure_) failure_ = std::current_exception();
        stop_ = true;
      }
      mainWake_.notify_one();
    }
  }

  const Plan& plan_;
  const Target target_;
  const int32_t rowsPerTask_;
  const int32_t window_;
  std::vector<RowMaker> makers_;  // [0] for the calling thread
  std::vector<std::thread> workers_;
  std::mutex mutex_;
  std::condition_variable workersWake_;
  std::condition_variable mainWake_;
  bool stop_ = false;
  int32_t next_ = 0;      // the first row no task holds yet
  int32_t reported_ = 0;  // rows before it are reported
  std::vector<char> done_;  // per row of the window, by row modulo its size
  std::vector<Task> tasks_;  // each thread's task, [0] the calling thread's
  std::exception_ptr failure_;
};

int ThreadsFor(const Plan& plan, const ResizeOptions& options) {
  if (plan.width == 0 || plan.height == 0 || !plan.tables) return 1;
  if (options.threads > 0) return std::min(options.threads, 64);
  // Small pictures are done before threads would pay for themselves.
  if (static_cast<int64_t>(plan.width) * plan.height < (int64_t{1} << 16) || plan.width < 64) return 1;
  const unsigned processors = std::thread::hardware_concurrency();
  return static_cast<int>(std::clamp(processors, 1u, 16u));
}

void Report(const Counters& c, int threads, const Plan& plan, ResizeStats* stats) {
  if (!stats) return;
  stats->rowValues = c.rowValues;
  stats->rowExtended = c.rowExtended;
  stats->slopeValues = c.slopeValues;
  stats->slopeExtended = c.slopeExtended;
  stats->finalValues = c.finalValues;
  stats->finalExtended = c.finalExtended;
  stats->threads = threads;
  stats->tables = plan.tables;
}

}  // namespace

void ResizeBitmap(Picture& picture, float ScaleX, float ScaleY, ResizeHost& host) {
  ResizeBitmap(picture, ScaleX, ScaleY, host, ResizeOptions{});
}

void ResizeBitmap(Picture& picture, float ScaleX, float ScaleY, ResizeHost& host, const ResizeOptions& options) {
  // The caller's picture is read only here: a handler run while messages are
  // processed may destroy it. The copy shares its store and keeps it alive.
  const Picture source = picture;
  Plan plan;
  plan.sourceWidth = source.Width();
  plan.sourceHeight = source.Height();
  {
    ResamplerArithmetic arithmetic;
    float scaleX = ScaleX, scaleY = ScaleY;
    FloatingPointFence(scaleX);
    FloatingPointFence(scaleY);
    plan.width = DestinationSize(plan.sourceWidth, scaleX);
    plan.height = DestinationSize(plan.sourceHeight, scaleY);
    plan.scaleX = scaleX;
    plan.scaleY = scaleY;
    plan.scaleYDouble = scaleY;
  }

  // W' x H', display-compatible, made as one store of that size: the same
  // failures as setting the width and then the height of a new picture. It is
  // not filled white, because every byte of every row is written before the
  // picture is handed over, and an early stop drops it.
  Picture destination = Picture::CreateDisplayCompatibleForOverwrite(plan.width, plan.height);

  Target target;
  std::optional<RowSchedule> schedule;
  if (!destination.IsEmpty()) {
    target.bits = destination.MutableBits();
    target.stride = destination.Stride();
    target.height = destination.Height();
    target.topDown = destination.IsTopDown();
    plan.fast = options.doublePrecision;
    plan.tables = plan.width <= options.maxTableWidth && plan.sourceWidth <= options.maxTableWidth;
    if (!source.IsEmpty() && source.Compression() == kBiRgb &&
        (source.BitsPerPixel() == 24 || source.BitsPerPixel() == 32))
      plan.directStep = static_cast<size_t>(source.BitsPerPixel() / 8);
    try {
      ResamplerArithmetic arithmetic;
      if (plan.tables) {
        MakeColumnTables(plan);
      } else {
        for (int k = 0; k < kDifferences; ++k)
          plan.slope[k] = static_cast<float>(static_cast<Extended>(k - 255) / plan.scaleX);
      }
      schedule.emplace(plan, source, target, ThreadsFor(plan, options), std::max(options.rowsPerTask, 1));
    } catch (const std::bad_alloc&) {
      throw msg::OutOfMemory();  // the working rows are bounded by kMaxTableWidth; still, the platform may refuse
    }
  }

  const int32_t newHeight = plan.height;
  for (int32_t y = 0; y < newHeight; ++y) {
    int percent;
    {
      ResamplerArithmetic arithmetic;
      if (schedule) schedule->Complete(y);
      // y x 100 is a 32-bit product, as the progress is defined.
      const int32_t hundredfold = static_cast<int32_t>(static_cast<uint32_t>(y) * 100u);
      percent = static_cast<int>(rintl(static_cast<Extended>(hundredfold) / newHeight));
      FloatingPointFence(percent);
    }
    host.SetProgress(percent);
    host.ProcessPendingMessages();
    if (host.IsQuitting()) return;  // `picture` may be gone; the workers are joined on the way out
    if (schedule) schedule->Reported(y + 1);
  }
  Counters counters;
  int started = 0;
  if (schedule) {
    counters = schedule->Total();
    started = schedule->Workers();
    schedule.reset();
  }
  Report(counters, started, plan, options.stats);
  picture = std::move(destination);
  host.SetProgress(0);
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
