#include "image/resize/X87Check.h"

#include <cfloat>
#include <cstdlib>
#include <cstring>

#include "image/resize/SoftExtended.h"

#if (defined(__x86_64__) || defined(__i386__)) && LDBL_MANT_DIG == 64
#define STRETCHWELL_X87_LONG_DOUBLE 1
#include "image/resize/X87.h"
#endif

namespace sw {
namespace {

// The arguments. In each, a rounding to 64 bits lands elsewhere than one to
// 53 or to 113 bits, and the result shows it:
//  - 1312 / 2067 rounded to 64 bits lies exactly halfway between two
//    doubles, and goes to the even one; rounded once to 53 bits (or from 113
//    bits) it goes to the nearer, the odd one.
//  - The row value's products of 51-bit integers and a single need 75 bits;
//    rounded to 64, 53 and 113 bits they leave three different sums, and
//    the single keeps the difference.
//  - The final value's products are near 2^65: their 64-bit roundings are
//    a few units apart, their 53-bit ones a few thousand, the difference
//    taken exactly in 113 bits; Round gives 24596, 24576 and 24595.
//  - position / scale is near 2^61.5: Trunc of the 64-bit quotient is one
//    above that of the exact one, of the 53-bit one 61 below.
constexpr int32_t kNewSize = 1312, kOldSize = 2067;
constexpr int64_t kRowX = 1311517071467912, kRowX0 = 1311517071467882;
constexpr int kRowSample = 53;
constexpr float kRowSlope = 0x1.fa430cp-2f;  // 8294595 x 2^-24
constexpr int64_t kFinalY = 33030537729640108, kFinalY0 = 33030537729640089;
constexpr float kFinalSlope = 1294.467529296875f, kFinalTop = 0x1.5376p-4f;
constexpr int64_t kPosition = 72056519189939131;
constexpr float kCellScale = 0x1.69e1dcp-6f;  // 5929079 x 2^-28

}  // namespace

X87CheckResults ExpectedCheckResults() {
  return {0x1.44fc291e57ef2p-1, 0x1.0f53ep+6f, 24596, 3262315207222582334};
}

X87CheckResults SoftwareCheckResults() {
  using E = SoftExtended;
  X87CheckResults r;
  r.scaleFactor = ToDouble(E(kNewSize) / E(kOldSize));
  const E slope(kRowSlope);
  r.rowValue = ToFloat(E(kRowX) * slope + E(kRowSample) - E(kRowX0) * slope);
  const E dY(kFinalSlope);
  r.finalValue = RoundToInt64(E(kFinalY) * dY + E(kFinalTop) - E(kFinalY0) * dY);
  r.cell = TruncateToInt64(E(kPosition) / E(kCellScale));
  return r;
}

bool SameCheckResults(const X87CheckResults& a, const X87CheckResults& b) {
  return std::memcmp(&a.scaleFactor, &b.scaleFactor, sizeof a.scaleFactor) == 0 &&
         std::memcmp(&a.rowValue, &b.rowValue, sizeof a.rowValue) == 0 && a.finalValue == b.finalValue &&
         a.cell == b.cell;
}

#ifdef STRETCHWELL_X87_LONG_DOUBLE

bool HasX87LongDouble() { return true; }

namespace x87_check_internals {

uint16_t ResamplerControlWord() {
  ResamplerArithmetic arithmetic;
  return X87ControlWord();
}

X87CheckResults X87CheckResultsUnder(uint16_t controlWord) {
  using E = long double;
  ResamplerArithmetic arithmetic;
  const uint16_t resampler = X87ControlWord();
  // Read through volatile, so that nothing is computed at compile time.
  volatile int32_t newSize = kNewSize, oldSize = kOldSize;
  volatile int64_t x = kRowX, x0 = kRowX0, y = kFinalY, y0 = kFinalY0, position = kPosition;
  volatile int sample = kRowSample;
  volatile float rowSlope = kRowSlope, finalSlope = kFinalSlope, top = kFinalTop, scale = kCellScale;
  SetX87ControlWord(controlWord);
  X87CheckResults r;
  r.scaleFactor = static_cast<double>(static_cast<E>(newSize) / static_cast<E>(oldSize));
  const float dT = rowSlope;
  r.rowValue = static_cast<float>(static_cast<E>(x) * dT + sample - static_cast<E>(x0) * dT);
  const float dY = finalSlope;
  r.finalValue = RoundExtended(static_cast<E>(y) * dY + top - static_cast<E>(y0) * dY);
  r.cell = static_cast<int64_t>(static_cast<E>(position) / scale);
  // Every result is in memory before the resampler's control word is back.
  FloatingPointFence(r);
  SetX87ControlWord(resampler);
  return r;
}

}  // namespace x87_check_internals

bool X87UnitIsFaithful() {
  const X87CheckResults unit =
      x87_check_internals::X87CheckResultsUnder(x87_check_internals::ResamplerControlWord());
  return SameCheckResults(unit, ExpectedCheckResults());
}

#else

bool HasX87LongDouble() { return false; }

namespace x87_check_internals {
uint16_t ResamplerControlWord() { return 0; }
X87CheckResults X87CheckResultsUnder(uint16_t) { return {0, 0, 0, 0}; }
}  // namespace x87_check_internals

bool X87UnitIsFaithful() { return false; }

#endif

ExtendedPath ChooseExtendedPath(bool x87Faithful, const char* forced) {
  if (forced != nullptr && std::strcmp(forced, "software") == 0) return ExtendedPath::Software;
  return x87Faithful ? ExtendedPath::X87 : ExtendedPath::Software;
}

ExtendedPath ChosenExtendedPath() {
  static const ExtendedPath path = ChooseExtendedPath(X87UnitIsFaithful(), std::getenv("STRETCHWELL_EXTENDED"));
  return path;
}

}  // namespace sw
