#include "image/resize/ExtendedSteps.h"

#include <algorithm>
#include <cfloat>
#include <cmath>

#include "core/Messages.h"
#include "image/resize/FloatingPoint.h"
#include "image/resize/SoftExtended.h"
#include "image/resize/X87Check.h"

#if (defined(__x86_64__) || defined(__i386__)) && LDBL_MANT_DIG == 64
#define STRETCHWELL_HAS_X87 1
#endif

namespace sw {
namespace {

// Each step is written once, over the extended type E: `long double` on the
// x87 unit, or SoftExtended. Both take the same operations with the same
// names, so the two paths evaluate the same expressions in the same order.
#ifdef STRETCHWELL_HAS_X87
namespace x87 {
inline float ToFloat(long double v) { return static_cast<float>(v); }
inline double ToDouble(long double v) { return static_cast<double>(v); }
inline int64_t RoundToInt64(long double v) { return RoundExtended(v); }
inline int64_t TruncateToInt64(long double v) { return static_cast<int64_t>(v); }
inline long double RoundToIntegral(long double v) { return rintl(v); }
inline bool IsNaN(long double v) { return std::isnan(v); }
inline long double Abs(long double v) { return fabsl(v); }
inline long double Ldexp(long double v, int exponent) { return ldexpl(v, exponent); }
}  // namespace x87
using namespace x87;
#endif

template <typename E>
float RowValueIn(int64_t x, int64_t x0, int sample, float slope) {
  return ToFloat(E(x) * E(slope) + E(static_cast<int64_t>(sample)) - E(x0) * E(slope));
}

template <typename E>
float SlopeIn(float bottom, float top, float scaleY) {
  return ToFloat((E(bottom) - E(top)) / E(scaleY));
}

template <typename E>
uint8_t FinalIn(int64_t y, int64_t y0, float slope, float top) {
  const E v = E(y) * E(slope) + E(top) - E(y0) * E(slope);
  return static_cast<uint8_t>(static_cast<uint64_t>(RoundToInt64(v)) & 0xFF);
}

template <typename E>
Anchor AnchorIn(int64_t position, float scale) {
  const int64_t cell = TruncateToInt64(E(position) / E(scale));
  return {cell, RoundToInt64(E(cell) * E(scale))};
}

template <typename E>
int32_t DestinationSizeIn(int32_t size, float scale) {
  const E product = E(size) * E(scale);
  if (IsNaN(product)) throw msg::InvalidOperation();
  const E rounded = RoundToIntegral(product);
  if (!(rounded >= E(static_cast<int32_t>(INT32_MIN)) && rounded <= E(static_cast<int32_t>(INT32_MAX))))
    throw msg::Resource();
  return static_cast<int32_t>(TruncateToInt64(rounded));
}

template <typename E>
float SlopeOfDifferenceIn(int difference, float scale) {
  return ToFloat(E(static_cast<int32_t>(difference)) / E(scale));
}

template <typename E>
int ProgressIn(int32_t hundredfold, int32_t newHeight) {
  return static_cast<int>(TruncateToInt64(RoundToIntegral(E(hundredfold) / E(newHeight))));
}

template <typename E>
double QuotientIn(int32_t numerator, int32_t denominator) {
  return ToDouble(E(numerator) / E(denominator));
}

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

// A row value t is a multiple of 2^g, and so is the single T = single(t),
// since rounding to single only ever moves to a coarser grid; |T| <= bound
// (1 + 2^-24). B - T is then a multiple of 2^finestGrid below 2 x
// largestBound x (1 + 2^-24) in magnitude, so a double when that is below
// 2^(53 + finestGrid); a nonzero one is at least 2^finestGrid.
template <typename E>
RowValueBounds BoundsIn(int64_t span, const float (&slope)[kDifferences], float scaleY) {
  RowValueBounds bounds{};
  bounds.allSlopesExact = true;
  int finestGrid = 0;
  E largestBound = E(static_cast<int32_t>(255));
  for (int k = 0; k < kDifferences; ++k) {
    bool exact = true;
    if (slope[k] != 0) {
      const int grid = std::min(LowestBitExponent(slope[k]), 0);
      const E bound = E(span) * Abs(E(slope[k])) + E(static_cast<int32_t>(255));
      exact = bound < Ldexp(E(static_cast<int32_t>(1)), 52 + grid);
      finestGrid = std::min(finestGrid, grid);
      if (largestBound < bound) largestBound = bound;
    }
    bounds.slopeExact[k] = exact;
    bounds.allSlopesExact = bounds.allSlopesExact && exact;
  }
  const E one = E(static_cast<int32_t>(1));
  bounds.differencesExact = bounds.allSlopesExact && largestBound < Ldexp(one, 51 + finestGrid) &&
                            Ldexp(one, finestGrid) / E(scaleY) >= Ldexp(one, -119);
  return bounds;
}

// The one choice, asked at every step: it is made once and never changes.
#ifdef STRETCHWELL_HAS_X87
#define EXTENDED_STEP(name, ...) (UsesX87Unit() ? name<long double>(__VA_ARGS__) : name<SoftExtended>(__VA_ARGS__))
#else
#define EXTENDED_STEP(name, ...) (name<SoftExtended>(__VA_ARGS__))
#endif

}  // namespace

bool UsesX87Unit() {
#ifdef STRETCHWELL_HAS_X87
  static const bool x87 = ChosenExtendedPath() == ExtendedPath::X87;
  return x87;
#else
  return false;
#endif
}

const char* ExtendedPathName() { return UsesX87Unit() ? "x87 unit" : "software"; }

float ExtendedRowValue(int64_t x, int64_t x0, int sample, float slope) {
  return EXTENDED_STEP(RowValueIn, x, x0, sample, slope);
}

float ExtendedSlope(float bottom, float top, float scaleY) { return EXTENDED_STEP(SlopeIn, bottom, top, scaleY); }

uint8_t ExtendedFinal(int64_t y, int64_t y0, float slope, float top) {
  return EXTENDED_STEP(FinalIn, y, y0, slope, top);
}

Anchor AnchorOf(int64_t position, float scale) { return EXTENDED_STEP(AnchorIn, position, scale); }

int32_t DestinationSize(int32_t size, float scale) { return EXTENDED_STEP(DestinationSizeIn, size, scale); }

float SlopeOfDifference(int difference, float scale) { return EXTENDED_STEP(SlopeOfDifferenceIn, difference, scale); }

int ProgressAfterRow(int32_t y, int32_t newHeight) {
  ResamplerArithmetic arithmetic;
  const int32_t hundredfold = static_cast<int32_t>(static_cast<uint32_t>(y) * 100u);
  int percent = EXTENDED_STEP(ProgressIn, hundredfold, newHeight);
  FloatingPointFence(percent);
  return percent;
}

double ExtendedQuotient(int32_t numerator, int32_t denominator) {
  ResamplerArithmetic arithmetic;
  double quotient = EXTENDED_STEP(QuotientIn, numerator, denominator);
  FloatingPointFence(quotient);
  return quotient;
}

RowValueBounds CheckRowValueBounds(int64_t span, const float (&slope)[kDifferences], float scaleY) {
  return EXTENDED_STEP(BoundsIn, span, slope, scaleY);
}

}  // namespace sw
