// The final and slope stages on values made to sit just past each margin of
// the double-precision fast path: exponent spreads one step beyond what the
// final stage accepts, values past its exponent limit, sums whose checks must
// catch a rounding, and slopes that are exact ties. Each value is built so
// that a bare double evaluation gives another byte (or another single) than
// the formula; the stages must give the formula's, wherever the value sits
// in a row, at every kernel width.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <optional>
#include <random>
#include <vector>

#include "ReferenceResampler.h"
#include "engine/KernelWidths.h"
#include "engine/SlopeTies.h"
#include "image/resize/ExactKernels.h"

namespace sw {
namespace {

using Extended = long double;
using resampler_internals::FinalValueExtended;
using resampler_internals::FinalValues;
using resampler_internals::SlopeExtended;
using resampler_internals::Slopes;

struct FinalCase {
  float T, dY;
  int32_t y;
  int64_t Y0;
};

int BiasedExponent(float value) {
  int exponent;
  std::frexp(value, &exponent);
  return exponent + 126;  // normal singles only
}

// T + (y - Y0) dY exactly (the callers' values fit in 64 bits).
Extended ExactValue(const FinalCase& c) {
  reference::ExtendedPrecisionScope scope;
  return static_cast<Extended>(c.T) + static_cast<Extended>(c.y - c.Y0) * c.dY;
}

// The low byte of the exact value rounded once to double and then to an
// integer: what a double evaluation gives when it doesn't step aside.
uint8_t DoubleRoundedByte(const FinalCase& c) {
  const double v = static_cast<double>(ExactValue(c));
  return static_cast<uint8_t>(static_cast<int64_t>(std::nearbyint(v)) & 0xFF);
}

uint8_t ExactByte(const FinalCase& c) {
  reference::ExtendedPrecisionScope scope;
  return static_cast<uint8_t>(__builtin_llrintl(ExactValue(c)) & 0xFF);
}

// The case at every position of a row of ordinary values, through the final
// stage, against the formula.
void ExpectFinalValuesAtEveryPosition(const FinalCase& c) {
  constexpr int kCount = 37;
  for (int position = 0; position < kCount; ++position) {
    std::vector<float> T(kCount, 100.25f), dY(kCount, 0.5f);
    T[position] = c.T;
    dY[position] = c.dY;
    std::vector<uint8_t> out(kCount);
    FinalValues(T.data(), dY.data(), c.y, c.Y0, out.data(), kCount);
    for (int i = 0; i < kCount; ++i)
      ASSERT_EQ(out[i], FinalValueExtended(T[i], dY[i], c.y, c.Y0))
          << "T=" << T[i] << " dY=" << dY[i] << " y=" << c.y << " Y0=" << c.Y0 << " at " << i << " of " << position;
  }
}

uint64_t InverseModulo2To64(uint64_t odd) {
  uint64_t inverse = odd;  // right to 3 bits; each step doubles them
  for (int i = 0; i < 5; ++i) inverse *= 2 - odd * inverse;
  return inverse;
}

// T with biased exponent eT and dY with eD (both positive, y = w < 2^L and
// Y0 = 0) whose exact sum T + w dY lies one unit of the finer operand's
// lowest bit beside a halfway point and needs more than 53 bits, so that a
// double rounds it onto the halfway point and the byte changes. The operand
// with the finer grid gets its low bits solved for; the rest is random.
std::optional<FinalCase> NearHalfwayCase(int eD, int eT, int L, uint32_t seed) {
  std::mt19937_64 random(seed);
  const auto mantissa = [&] { return (uint64_t{1} << 23) | (random() & ((uint64_t{1} << 23) - 1)); };
  for (int attempt = 0; attempt < 200000; ++attempt) {
    const int32_t y = static_cast<int32_t>((uint64_t{1} << (L - 1)) | (random() & ((uint64_t{1} << (L - 1)) - 1)) | 1);
    const int sign = (attempt & 1) ? 1 : -1;
    FinalCase c{0, 0, y, 0};
    if (eD > eT) {
      // T is finer: shift it so that the sum lands beside the halfway point.
      c.dY = std::ldexp(static_cast<float>(mantissa()), eD - 150);
      c.T = std::ldexp(static_cast<float>(mantissa()), eT - 150);
      const Extended v = ExactValue(c);
      const Extended shifted = c.T - (v - std::floor(v) - 0.5L) + sign * std::ldexp(1.0L, eT - 150);
      if (static_cast<float>(shifted) != shifted || shifted <= 0) continue;
      c.T = static_cast<float>(shifted);
      if (BiasedExponent(c.T) != eT) continue;
    } else {
      // dY is finer: T near the top of its range (so the sum can pass the
      // next power of two), then dY's mantissa M from y M = c (mod 2^K).
      const int K = 150 - eD;
      if (K < 2 || K > 62) return std::nullopt;
      // y*dY stays below 2^(L + 24 + eD - eT) units of T's lowest bit.
      const int reach = std::max(0, std::min(23, L + 24 + eD - eT));
      const uint64_t t = (attempt & 2) ? mantissa() : (uint64_t{1} << 24) - 1 - (random() & ((uint64_t{1} << reach) - 1));
      c.T = std::ldexp(static_cast<float>(t), eT - 150);
      const uint64_t mask = K == 64 ? ~uint64_t{0} : (uint64_t{1} << K) - 1;
      const uint64_t tScaled = eT - eD >= 64 ? 0 : t << (eT - eD);  // T x 2^K modulo 2^K
      const uint64_t target = ((uint64_t{1} << (K - 1)) + static_cast<uint64_t>(sign) - tScaled) & mask;
      uint64_t m = (target * InverseModulo2To64(static_cast<uint64_t>(y))) & mask;
      if (K <= 23) m |= mantissa() & ~mask;
      if (m < (uint64_t{1} << 23) || m >= (uint64_t{1} << 24)) continue;
      c.dY = std::ldexp(static_cast<float>(m), eD - 150);
    }
    if (DoubleRoundedByte(c) != ExactByte(c)) return c;
  }
  return std::nullopt;
}

class ResamplerKernelMargins : public AtEveryKernelWidth {};
INSTANTIATE_AT_EVERY_KERNEL_WIDTH(ResamplerKernelMargins);

TEST_P(ResamplerKernelMargins, FinalValuesOneStepBeyondTheExponentSpread) {
  // dY coarser than T: the sum has about 24 + L + (eD - eT) bits, more than
  // 53 from eD - eT = 30 - L on (the final stage takes up to 28 - L).
  for (int L : {8, 12, 16, 20, 24, 27, 28}) {
    for (int beyond : {30 - L, 31 - L}) {
      const int eD = 147, eT = eD - beyond;
      SCOPED_TRACE(testing::Message() << "L=" << L << " eD=" << eD << " eT=" << eT);
      const std::optional<FinalCase> c = NearHalfwayCase(eD, eT, L, static_cast<uint32_t>(L * 100 + beyond));
      ASSERT_TRUE(c.has_value());
      ExpectFinalValuesAtEveryPosition(*c);
    }
  }
  // T coarser than dY: from eT - eD = 29 on (the final stage takes up to 28).
  // At 29 the sum only passes 2^(eD - 97) when y*dY can reach 2^(eD - 121),
  // y of 6 bits or more; the solutions get rare below 10 bits. The 150 - eD
  // low bits of y*dY are fixed by the halfway point: T near the exponent
  // limit keeps them few enough for dY's 24 bits to meet.
  for (int L : {10, 14, 20, 28}) {
    for (int beyond : {29, 30, 31}) {
      for (int eT : {148, 146}) {
        const int eD = eT - beyond;
        SCOPED_TRACE(testing::Message() << "L=" << L << " eD=" << eD << " eT=" << eT);
        const std::optional<FinalCase> c = NearHalfwayCase(eD, eT, L, static_cast<uint32_t>(L * 1000 + eT + beyond));
        ASSERT_TRUE(c.has_value());
        ExpectFinalValuesAtEveryPosition(*c);
      }
    }
  }
}

TEST_P(ResamplerKernelMargins, FinalValuesPastTheExponentLimit) {
  // dY and T at 2^23 (biased exponent 150, two past the limit), y just
  // below 2^28 and the exponents' spread 0: v = 2^51 + 2^28 - 1 is exact in
  // double but too large for an integer to be read off its low bits after
  // adding 1.5 x 2^52 (and far too large for 32 bits); the same negated.
  const int32_t y = (1 << 28) - 1;
  for (float sign : {1.0f, -1.0f}) {
    const FinalCase c{sign * 8388608.0f, sign * 8388609.0f, y, 0};
    EXPECT_EQ(BiasedExponent(c.T), 150);
    EXPECT_EQ(BiasedExponent(c.dY), 150);
    EXPECT_GE(std::fabs(ExactValue(c)), 0x1p51L);
    ExpectFinalValuesAtEveryPosition(c);
  }
  // A zero T or dY leaves one term, exact but as large as the other allows:
  // past 2^51 (where the low bits of v + 1.5 x 2^52 stop being v's) and up
  // to 2^100 (where they are those of 1.5 x 2^52 in v's grid).
  for (float sign : {1.0f, -1.0f}) {
    for (float zero : {0.0f, -0.0f}) {
      ExpectFinalValuesAtEveryPosition({zero, sign * 8388609.0f, y, 0});
      ExpectFinalValuesAtEveryPosition({zero, sign * 0x1p100f, 1, 0});
      ExpectFinalValuesAtEveryPosition({zero, sign * 0x1p77f, 12345, 12340});
      ExpectFinalValuesAtEveryPosition({sign * 0x1p100f, zero, 1, 0});
      ExpectFinalValuesAtEveryPosition({sign * 0x1.000002p96f, zero, y, 3});
      ExpectFinalValuesAtEveryPosition({sign * 0x1p51f, zero, 7, 7});
    }
  }
}

TEST_P(ResamplerKernelMargins, FinalValuesWhoseDoubleStepsRoundOrOverflow) {
  struct Case {
    FinalCase c;
    const char* what;
  };
  const Case cases[] = {
      // y*dY + T rounds in double: T the larger, then y*dY the larger.
      {{2097152.5f, 0x1p-32f, 1, 0}, "2^21 + 0.5 + 2^-32"},
      {{0x1p-32f, 1048576.25f, 2, 0}, "2 x (2^20 + 0.25) + 2^-32"},
      // y*dY + T exact, minus Y0*dY rounds.
      {{2097152.5f, 0x1p-32f, 2, 1}, "2^21 + 0.5 + 2^-31 - 2^-32"},
      // Every step exact, but past 2^31: the value must not go through a
      // 32-bit conversion.
      {{1.0f, 17.0f, (1 << 27) - 1, 0}, "17 x (2^27 - 1) + 1"},
      {{-1.0f, -17.0f, (1 << 27) - 1, 0}, "-17 x (2^27 - 1) - 1"},
  };
  for (const Case& k : cases) {
    SCOPED_TRACE(k.what);
    if (std::fabs(static_cast<double>(ExactValue(k.c))) < 0x1p31) {
      EXPECT_NE(DoubleRoundedByte(k.c), ExactByte(k.c));
    }
    EXPECT_EQ(FinalValueExtended(k.c.T, k.c.dY, k.c.y, k.c.Y0), ExactByte(k.c));
    ExpectFinalValuesAtEveryPosition(k.c);
  }
  // The formula's own order rounds y*dY + T = 2^47 + 2^20 + 0.5 + 2^-24 in
  // extended precision (64 bits), dropping the 2^-24, before Y0*dY = 2^47 is
  // taken off: the result is Round(2^20 + 0.5) = 2^20, not the exact 2^20 + 1.
  // y - Y0 is 1, but y + Y0 has 29 bits.
  const FinalCase rounded{0.5f + 0x1p-24f, 1048576.0f, (1 << 27) + 1, 1 << 27};
  EXPECT_EQ(FinalValueExtended(rounded.T, rounded.dY, rounded.y, rounded.Y0), 0);
  EXPECT_EQ(ExactByte(rounded), 1);
  ExpectFinalValuesAtEveryPosition(rounded);
}

TEST_P(ResamplerKernelMargins, SlopesOnExactTiesTheDoubleQuotientMisses) {
  // B - T with about 32 bits (T below 1 with a full mantissa, B a sample
  // value), ScaleY = s x 2^k with an odd s of up to 12 bits that divides it
  // into exactly 25 bits: a tie, kept where the double quotient misses it.
  std::mt19937 random(5);
  struct Tie {
    float top, bottom, scaleY;
  };
  std::vector<Tie> ties;
  for (int attempt = 0; attempt < 400000 && ties.size() < 200; ++attempt) {
    float T = std::ldexp(static_cast<float>((1u << 23) | (random() & 0x7FFFFF)), -24 - static_cast<int>(random() % 6));
    float B = static_cast<float>(1 + random() % 255);
    if (random() & 1) std::swap(T, B);  // negative differences too
    int exponent;
    const Extended difference = static_cast<Extended>(B) - T;
    uint64_t n = static_cast<uint64_t>(std::ldexp(std::fabs(std::frexp(difference, &exponent)), 64));
    while ((n & 1) == 0) n >>= 1;
    for (uint64_t s = (n >> 25) | 1; s <= (n >> 24) && s < 4096; s += 2) {
      if (s < 3 || n % s != 0) continue;
      const float scaleY = std::ldexp(static_cast<float>(s), static_cast<int>(random() % 17) - 6);
      if (test::IsTieTheDoubleQuotientMisses(B, T, scaleY)) ties.push_back({T, B, scaleY});
    }
  }
  ASSERT_GE(ties.size(), 100u);
  constexpr int kCount = 21;
  for (const Tie& tie : ties) {
    for (int position = 0; position < kCount; ++position) {
      std::vector<float> T(kCount, 0.75f), B(kCount, 131.0f), dY(kCount);
      T[position] = tie.top;
      B[position] = tie.bottom;
      Slopes(T.data(), B.data(), tie.scaleY, dY.data(), kCount);
      for (int i = 0; i < kCount; ++i)
        ASSERT_EQ(dY[i], SlopeExtended(B[i], T[i], tie.scaleY))
            << "T=" << T[i] << " B=" << B[i] << " ScaleY=" << tie.scaleY << " at " << i;
    }
  }
}

}  // namespace
}  // namespace sw
