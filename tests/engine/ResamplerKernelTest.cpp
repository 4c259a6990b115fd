// The resampler's per-element stages against their extended-precision
// formulas, on values no picture gives: wild exponents, zeros, denormals,
// ties, long mantissas. The fast paths must either be exact or step aside.

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <random>
#include <vector>

#include "image/ExactKernels.h"

namespace sw {
namespace {

using resampler_internals::FinalValueExtended;
using resampler_internals::FinalValues;
using resampler_internals::SlopeExtended;
using resampler_internals::Slopes;

float FromBits(uint32_t bits) {
  float value;
  std::memcpy(&value, &bits, 4);
  return value;
}

// A float of random sign and mantissa with a biased exponent in [low, high];
// now and then zero, a denormal, a small integer or a half.
float WildFloat(std::mt19937& random, int low, int high) {
  const uint32_t sign = (random() & 1u) << 31;
  switch (random() % 10) {
    case 0: return 0.0f;
    case 1: return FromBits(sign | (random() & 0x7FFFFFu));  // denormal
    case 2: return static_cast<float>(static_cast<int>(random() % 600) - 300);
    case 3: return static_cast<float>(static_cast<int>(random() % 600) - 300) + 0.5f;
    default: {
      const uint32_t exponent = static_cast<uint32_t>(low + static_cast<int>(random() % (high - low + 1)));
      return FromBits(sign | (exponent << 23) | (random() & 0x7FFFFFu));
    }
  }
}

TEST(ResamplerKernel, FinalValueFollowsItsDefinition) {
  // Round(y*dY + T - Y0*dY) with ties to even, low 8 bits.
  EXPECT_EQ(FinalValueExtended(2.5f, 0.0f, 0, 0), 2);
  EXPECT_EQ(FinalValueExtended(3.5f, 0.0f, 0, 0), 4);
  EXPECT_EQ(FinalValueExtended(0.5f, 0.0f, 0, 0), 0);
  EXPECT_EQ(FinalValueExtended(10.0f, 0.25f, 7, 5), 10);  // 10.5 rounds to 10
  EXPECT_EQ(FinalValueExtended(10.0f, 0.75f, 7, 5), 12);  // 11.5 rounds to 12
  EXPECT_EQ(FinalValueExtended(285.75f, 0.0f, 3, 3), 30);   // 286 modulo 256
  EXPECT_EQ(FinalValueExtended(-85.75f, 0.0f, 3, 3), 170);  // -86 modulo 256
}

TEST(ResamplerKernel, FinalValuesEqualTheExtendedFormulaOnWildValues) {
  std::mt19937 random(7);
  std::vector<float> T, dY;
  std::vector<uint8_t> out;
  int checked = 0;
  for (int batch = 0; batch < 3000; ++batch) {
    const int count = 1 + static_cast<int>(random() % 40);
    // Rows of every size the resampler allows, with Y0 at or just below y.
    const int32_t y = static_cast<int32_t>(batch % 3 == 0 ? random() % 64 : random() % (1u << 28));
    const int64_t Y0 = std::max<int64_t>(0, y - static_cast<int64_t>(random() % 4));
    // Exponent ranges from narrow (typical pixels) to anything finite.
    const int spread = batch % 4 == 0 ? 120 : 12 + static_cast<int>(random() % 30);
    const int centre = 110 + static_cast<int>(random() % 30);
    T.resize(count);
    dY.resize(count);
    out.assign(count, 0);
    for (int i = 0; i < count; ++i) {
      T[i] = WildFloat(random, std::max(1, centre - spread / 2), std::min(254, centre + spread / 2));
      dY[i] = WildFloat(random, std::max(1, centre - spread), std::min(254, centre + spread / 2));
    }
    FinalValues(T.data(), dY.data(), y, Y0, out.data(), count);
    for (int i = 0; i < count; ++i) {
      ASSERT_EQ(out[i], FinalValueExtended(T[i], dY[i], y, Y0))
          << "T=" << T[i] << " dY=" << dY[i] << " y=" << y << " Y0=" << Y0;
      ++checked;
    }
  }
  EXPECT_GT(checked, 50000);
}

TEST(ResamplerKernel, FinalValuesWhereDoublePrecisionWouldRound) {
  // Long mantissas whose exponents lie 0 to 40 apart either way, so that
  // y*dY + T needs more than 53 bits somewhere near the boundary of what the
  // fast path accepts; and huge values, where v + 1.5 x 2^52 would leave the
  // integer grid. Every result must be the extended one.
  std::vector<float> T, dY;
  for (int shift = 0; shift <= 40; ++shift) {
    T.push_back(1.3333333f);
    dY.push_back(std::ldexp(1.7777777f, shift));
    T.push_back(std::ldexp(1.3333333f, shift));
    dY.push_back(1.7777777f);
    T.push_back(std::ldexp(-1.1111111f, -shift));
    dY.push_back(-123.45678f);
  }
  // Just above a tie: 0.5 + 2^-24 next to y*dY = 2^shift rounds up in
  // extended precision, but to 0 when the sum drops its lowest bit.
  for (int shift = -10; shift <= 40; ++shift) {
    T.push_back(0.5f + std::ldexp(1.0f, -24));
    dY.push_back(std::ldexp(1.0f, shift));
    T.push_back(-2.5f - std::ldexp(1.0f, -22));
    dY.push_back(std::ldexp(-3.0f, shift));
  }
  T.push_back(std::ldexp(1.0f, 51));
  dY.push_back(4194305.0f);  // 2^22 + 1
  T.push_back(-std::ldexp(1.5f, 50));
  dY.push_back(-1048577.0f);
  std::vector<uint8_t> out(T.size());
  for (int32_t y : {1, 3, 7, 100, 99999, 1 << 26, (1 << 27) + 12345}) {
    // Y0 far below y too, as for very large factors.
    for (int64_t Y0 : {int64_t{y}, int64_t{y} - 1, int64_t{y} - 2, int64_t{y} / 2, int64_t{0}}) {
      FinalValues(T.data(), dY.data(), y, Y0, out.data(), static_cast<int>(T.size()));
      for (size_t i = 0; i < T.size(); ++i)
        ASSERT_EQ(out[i], FinalValueExtended(T[i], dY[i], y, Y0))
            << "T=" << T[i] << " dY=" << dY[i] << " y=" << y << " Y0=" << Y0;
    }
  }
}

TEST(ResamplerKernel, SlopesEqualTheExtendedFormula) {
  std::mt19937 random(11);
  static const float scales[] = {0.7f, 3.0f, 1.0f / 3, 2.0f, 0.5f, 1.0f, 1.4285715f, 1000.0f, 0.001f, 7.0f / 3};
  std::vector<float> top, bottom, dY;
  int checked = 0;
  for (int batch = 0; batch < 3000; ++batch) {
    // Values on one grid 2^g with 24-bit integers, so that every difference
    // is exact in double and a nonzero one is at least 2^g.
    const int grid = -static_cast<int>(random() % 40);
    const float scale = batch % 2 == 0 ? scales[random() % std::size(scales)]
                                       : std::ldexp(1.0f + static_cast<float>(random() % 1000) / 1000.0f,
                                                    static_cast<int>(random() % 21) - 10);
    const int count = 1 + static_cast<int>(random() % 40);
    top.resize(count);
    bottom.resize(count);
    dY.assign(count, 0.0f);
    for (int i = 0; i < count; ++i) {
      const int bits = 1 + static_cast<int>(random() % 24);
      const auto draw = [&] {
        const int32_t magnitude = static_cast<int32_t>(random() & ((1u << bits) - 1));
        return std::ldexp(static_cast<float>((random() & 1) ? magnitude : -magnitude), grid);
      };
      top[i] = draw();
      bottom[i] = random() % 8 == 0 ? top[i] : draw();
    }
    Slopes(top.data(), bottom.data(), scale, dY.data(), count);
    for (int i = 0; i < count; ++i) {
      const float expected = SlopeExtended(bottom[i], top[i], scale);
      ASSERT_EQ(std::memcmp(&dY[i], &expected, 4) == 0 || (dY[i] == 0 && expected == 0), true)
          << "B=" << bottom[i] << " T=" << top[i] << " scale=" << scale << " got " << dY[i] << " expected "
          << expected;
      ++checked;
    }
  }
  EXPECT_GT(checked, 50000);
}

}  // namespace
}  // namespace sw
