// The software extended type against the x87 unit under the resampler's
// arithmetic: every expected result is what the unit computes from the same
// operands, read back as its 80-bit pattern (or float, double, integer). The
// cases sit where a rounding decides: ties, sticky bits far below, the float
// and double denormal boundaries, the integer range, zeros' signs, specials.

#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <random>
#include <vector>

#include "image/resize/X87.h"
#include "X87Bits.h"
#include "image/resize/SoftExtended.h"

namespace sw {
namespace {

using Extended = long double;

using test::FromX87;
using test::ToX87;
using test::X87Round;
using test::X87Truncate;

SoftExtended Bits(uint16_t signExponent, uint64_t significand) {
  return SoftExtended::FromBits(signExponent, significand);
}

// 2^exponent in software, exact.
SoftExtended Power(int exponent) { return Ldexp(SoftExtended(1), exponent); }

template <typename T>
uint64_t Pattern(T value) {
  uint64_t bits = 0;
  std::memcpy(&bits, &value, sizeof value);
  return bits;
}

testing::AssertionResult SameBits(SoftExtended soft, Extended x87) {
  const SoftExtended unit = FromX87(x87);
  if (soft.SignExponent() == unit.SignExponent() && soft.Significand() == unit.Significand())
    return testing::AssertionSuccess();
  return testing::AssertionFailure() << std::hex << "software " << soft.SignExponent() << ":" << soft.Significand()
                                     << ", x87 " << unit.SignExponent() << ":" << unit.Significand();
}

class SoftExtendedTest : public testing::Test {
 protected:
  // Both operations against the unit; the operands pass through volatile
  // memory so that the compiler can't fold them.
  static void ExpectArithmetic(SoftExtended a, SoftExtended b) {
    volatile Extended x = ToX87(a), y = ToX87(b);
    SCOPED_TRACE(testing::Message() << std::hex << "a " << a.SignExponent() << ":" << a.Significand() << ", b "
                                    << b.SignExponent() << ":" << b.Significand());
    EXPECT_TRUE(SameBits(a + b, x + y)) << "a + b";
    EXPECT_TRUE(SameBits(a - b, x - y)) << "a - b";
    EXPECT_TRUE(SameBits(b - a, y - x)) << "b - a";
    EXPECT_TRUE(SameBits(a * b, x * y)) << "a * b";
    EXPECT_TRUE(SameBits(a / b, x / y)) << "a / b";
    EXPECT_TRUE(SameBits(b / a, y / x)) << "b / a";
  }

  static void ExpectConversions(SoftExtended a) {
    volatile Extended x = ToX87(a);
    SCOPED_TRACE(testing::Message() << std::hex << "a " << a.SignExponent() << ":" << a.Significand());
    EXPECT_EQ(Pattern(ToFloat(a)), Pattern(static_cast<float>(x))) << "float";
    EXPECT_EQ(Pattern(ToDouble(a)), Pattern(static_cast<double>(x))) << "double";
    EXPECT_EQ(RoundToInt64(a), X87Round(x)) << "fistp";
    EXPECT_EQ(TruncateToInt64(a), X87Truncate<int64_t>(x)) << "int64 cast";
    EXPECT_EQ(TruncateToInt32(a), X87Truncate<int32_t>(x)) << "int32 cast";
    EXPECT_TRUE(SameBits(RoundToIntegral(a), rintl(x))) << "rintl";
  }

  ResamplerArithmetic arithmetic_;
};

TEST_F(SoftExtendedTest, ConversionsFromIntegersFloatsAndDoublesAreExact) {
  for (int64_t value : {int64_t{0}, int64_t{1}, int64_t{-1}, int64_t{255}, int64_t{-255}, int64_t{1} << 53,
                        (int64_t{1} << 53) + 1, INT64_MAX, INT64_MIN, INT64_MIN + 1, int64_t{INT32_MIN}}) {
    volatile int64_t v = value;
    EXPECT_TRUE(SameBits(SoftExtended(value), static_cast<Extended>(v))) << value;
    // Exact: back to an integer unchanged.
    EXPECT_EQ(TruncateToInt64(SoftExtended(value)), value);
  }
  for (int32_t value : {0, 1, -7, INT32_MAX, INT32_MIN}) {
    volatile int32_t v = value;
    EXPECT_TRUE(SameBits(SoftExtended(value), static_cast<Extended>(v))) << value;
  }
  const float floats[] = {0.0f, -0.0f, 1.0f, -1.0f / 3, 0x1p-149f, -0x1p-149f, 0x1.fffffcp-127f, FLT_MIN, FLT_MAX,
                          12345.678f, std::numeric_limits<float>::infinity(), -std::numeric_limits<float>::infinity()};
  for (float value : floats) {
    volatile float v = value;
    EXPECT_TRUE(SameBits(SoftExtended(value), static_cast<Extended>(v))) << value;
    EXPECT_EQ(Pattern(ToFloat(SoftExtended(value))), Pattern(value)) << value;
  }
  const double doubles[] = {0.0, -0.0, 0x1p-1074, -0x1p-1074, 0x1.ffffffffffffep-1023, DBL_MIN, DBL_MAX, 0.1, -1e300,
                            std::numeric_limits<double>::infinity()};
  for (double value : doubles) {
    volatile double v = value;
    EXPECT_TRUE(SameBits(SoftExtended(value), static_cast<Extended>(v))) << value;
    EXPECT_EQ(Pattern(ToDouble(SoftExtended(value))), Pattern(value)) << value;
  }
  // NaNs keep their payload's top and come in quiet, signalling ones too.
  for (uint32_t bits : {0x7FC00001u, 0xFFA00001u, 0x7F800001u}) {
    float value;
    std::memcpy(&value, &bits, 4);
    volatile float v = value;
    EXPECT_TRUE(SameBits(SoftExtended(value), static_cast<Extended>(v))) << std::hex << bits;
  }
  for (uint64_t bits : {0x7FF8000000000001u, 0xFFF4000000000000u, 0x7FF0000000000001u}) {
    double value;
    std::memcpy(&value, &bits, 8);
    volatile double v = value;
    EXPECT_TRUE(SameBits(SoftExtended(value), static_cast<Extended>(v))) << std::hex << bits;
  }
}

TEST_F(SoftExtendedTest, SumsRoundOnceToNearestEvenWithEveryBitBelowCounted) {
  const SoftExtended two63 = Power(63), half = Power(-1), one = SoftExtended(1);
  const SoftExtended cases[][2] = {
      {two63, half},                                       // a tie: stays at the even 2^63
      {two63 + SoftExtended(1), half},                     // a tie from an odd one: up
      {two63, SoftExtended(0.5 + 0x1p-40)},                // just past the tie: up
      {two63, Power(-100)},                                // far below: gone
      {two63, -Power(-100)},                               // borrowed from far below: back down to 2^63
      {two63, SoftExtended(-0.5 - 0x1p-50)},               // past the tie below 2^63, where the grid is 1/2
      {two63, -Bits(0x3FFD, 0x8000000000000001u)},         // the same with the bit past the tie 128 bits down
      {Power(64) - SoftExtended(1), SoftExtended(0.75)},   // a carry into the next binade
      {one, -Bits(0x3FFE, 0xFFFFFFFFFFFFFFFFu)},           // cancellation down to 2^-64
      {SoftExtended(1e300), SoftExtended(-1e300)},         // an exact zero: +0
      {SoftExtended(-0.0), SoftExtended(-0.0)},            // -0 stays -0, +0 with -0 is +0
      {SoftExtended(0.0), SoftExtended(-0.0)},
      {SoftExtended(0.0), SoftExtended(0x1p-1074)},        // x + 0 is x
  };
  for (const auto& c : cases) ExpectArithmetic(c[0], c[1]);
  // Sign rules that need no unit to know.
  EXPECT_FALSE((SoftExtended(3.5) - SoftExtended(3.5)).SignBit());
  EXPECT_TRUE((SoftExtended(-0.0) + SoftExtended(-0.0)).SignBit());
  EXPECT_FALSE((SoftExtended(-0.0) + SoftExtended(0.0)).SignBit());
}

TEST_F(SoftExtendedTest, ProductsAndQuotientsRoundOnceAcrossTheWholeExponentRange) {
  const SoftExtended limb = SoftExtended(int64_t{1} << 32);
  const SoftExtended minNormal = Power(-16382);
  const SoftExtended cases[][2] = {
      {limb + SoftExtended(1), limb + SoftExtended(1)},  // 2^64 + 2^33 + 1: a tie, down to even
      {limb + SoftExtended(1), limb + SoftExtended(3)},  // 2^64 + 2^34 + 3: up
      {SoftExtended(1), SoftExtended(3)},
      {SoftExtended(2), SoftExtended(3)},
      {SoftExtended(-7), SoftExtended(0.1)},
      {Bits(0x3FFF, 0xFFFFFFFFFFFFFFFFu), Bits(0x3FFF, 0xFFFFFFFFFFFFFFFEu)},
      {Bits(0x3FFF, 0x8000000000000001u), Bits(0x3FFF, 0xFFFFFFFF00000001u)},
      // Gradual underflow: denormal results, one that rounds up to the
      // smallest normal, and one below half the smallest denormal.
      {minNormal, SoftExtended(0.75)},
      {minNormal, Bits(0x3FFE, 0xFFFFFFFFFFFFFFFFu)},
      {Power(-16000), Power(-445)},
      {Power(-16000), -Power(-447)},
      {Bits(0x0000, 0x0000000000000003u), SoftExtended(0.5)},  // denormal operands
      // Overflow to infinity.
      {Bits(0x7FFE, 0xFFFFFFFFFFFFFFFFu), SoftExtended(2)},
      {Power(16000), Power(-383)},
      // The unit's special cases: infinities, zeros, NaNs (quiet, signalling,
      // equal significands of either sign) and an unnormal.
      {SoftExtended(HUGE_VAL), SoftExtended(-HUGE_VAL)},
      {SoftExtended(HUGE_VAL), SoftExtended(0.0)},
      {SoftExtended(0.0), SoftExtended(-0.0)},
      {SoftExtended(-5), SoftExtended(0.0)},
      {Bits(0xFFFF, 0xC000000000000123u), Bits(0x7FFF, 0xC000000000000123u)},
      {Bits(0xFFFF, 0x8000000000000123u), Bits(0x7FFF, 0x8000000000000123u)},
      {Bits(0x7FFF, 0x8000000000000124u), Bits(0xFFFF, 0xC000000000000001u)},
      {Bits(0x7FFF, 0x8000000000000002u), SoftExtended(1)},
      {Bits(0x4000, 0x4000000000000000u), SoftExtended(1)},
  };
  for (const auto& c : cases) ExpectArithmetic(c[0], c[1]);
}

TEST_F(SoftExtendedTest, RoundingToFloatAndDoubleIsOneRoundingWithGradualUnderflow) {
  const double floatTiny = 0x1p-149, doubleTiny = 0x1p-1074;
  const SoftExtended cases[] = {
      SoftExtended(1.0 + 0x1p-24) + Power(-60),  // past a float tie by less than a double holds
      SoftExtended(1.0 + 0x1p-24),               // the tie itself: to even
      SoftExtended(1.0 + 0x1p-53) + Power(-63),  // the same for double
      SoftExtended(floatTiny / 2),                // half the smallest denormal: a tie, to 0
      SoftExtended(floatTiny / 2) + Power(-200),  // just past it: the smallest denormal
      SoftExtended(floatTiny * 1.5),              // a tie between denormals: to even
      SoftExtended(floatTiny * 2.5),
      SoftExtended(0x1p-126 - floatTiny / 2),     // the largest denormal's tie: up to the smallest normal
      SoftExtended(0x1p-126 - floatTiny) - Power(-160),
      SoftExtended(0x1p-140 + 0x1p-151),          // a denormal's precision, not 24 bits
      SoftExtended(doubleTiny) * SoftExtended(0.5),
      SoftExtended(doubleTiny) * SoftExtended(1.5),
      SoftExtended(0x1p-1022) - SoftExtended(doubleTiny) * SoftExtended(0.5),
      SoftExtended(0x1p-1050) + Power(-1080),
      SoftExtended(static_cast<double>(FLT_MAX)) + SoftExtended(0x1p103),  // a tie past the largest: infinity
      SoftExtended(static_cast<double>(FLT_MAX)) + SoftExtended(0x1.fffp102),
      SoftExtended(DBL_MAX) + SoftExtended(0x1p970),
      SoftExtended(DBL_MAX) + SoftExtended(0x1.fffp969),
      -Power(5000),
      Power(-5000),
      Bits(0x7FFF, 0xC000000000000801u),  // NaN payloads, and an unnormal
      Bits(0xFFFF, 0x8000010000000001u),
      Bits(0x3FFF, 0x4000000000000000u),
  };
  for (SoftExtended c : cases) ExpectConversions(c);
}

TEST_F(SoftExtendedTest, IntegerConversionsTieToEvenAndGiveTheIndefiniteOutOfRange) {
  const SoftExtended two63 = Power(63), two31 = Power(31), half = Power(-1);
  const SoftExtended cases[] = {
      SoftExtended(0.5),  SoftExtended(1.5),  SoftExtended(2.5),  SoftExtended(-0.5), SoftExtended(-2.5),
      SoftExtended(0.49999999999999994), SoftExtended(-1.9), Power(-16000) * Power(-382),
      two63 - half,        // rounds to 2^63: out of range; truncated it fits
      two63 - SoftExtended(1), -two63, -two63 - SoftExtended(1), -two63 - half,
      two31 - half, -two31 - half, two31, -two31 - SoftExtended(1), Power(32) + SoftExtended(7),
      Power(100), -Power(100),  // Round(v) of the kernel tests' values past the exponent limits
      SoftExtended(HUGE_VAL), Bits(0xFFFF, 0xC000000000000000u), Bits(0x4000, 0x4000000000000000u),
      SoftExtended(-0.0),
  };
  for (SoftExtended c : cases) ExpectConversions(c);
  EXPECT_EQ(RoundToInt64(Power(100)), INT64_MIN);
}

TEST_F(SoftExtendedTest, ComparisonsAreOrderedExceptForNaNs) {
  const SoftExtended values[] = {
      SoftExtended(0.0), SoftExtended(-0.0), SoftExtended(1), SoftExtended(-1), SoftExtended(0x1p-1074),
      Bits(0x0000, 0x0000000000000001u), -Bits(0x0000, 0x0000000000000001u),
      Bits(0x0000, 0x8000000000000000u),  // a pseudo-denormal: the value 2^-16382
      Power(-16382), Power(16383), SoftExtended(HUGE_VAL), SoftExtended(-HUGE_VAL),
      Bits(0x7FFF, 0xC000000000000000u), Bits(0x3FFF, 0x7000000000000000u),  // a NaN and an unnormal
  };
  for (SoftExtended a : values) {
    for (SoftExtended b : values) {
      volatile Extended x = ToX87(a), y = ToX87(b);
      SCOPED_TRACE(testing::Message() << static_cast<double>(x) << " vs " << static_cast<double>(y));
      EXPECT_EQ(a == b, x == y);
      EXPECT_EQ(a != b, x != y);
      EXPECT_EQ(a < b, x < y);
      EXPECT_EQ(a <= b, x <= y);
      EXPECT_EQ(a > b, x > y);
      EXPECT_EQ(a >= b, x >= y);
    }
    volatile Extended x = ToX87(a);
    EXPECT_EQ(IsNaN(a), std::isnan(x));
    EXPECT_TRUE(SameBits(Abs(a), std::fabs(x)));
    EXPECT_TRUE(SameBits(-a, -x));
  }
}

// Operands drawn to land on boundaries: powers of two and their neighbours,
// full significands, values a few bits from a float's or a double's rounding
// point, floats, doubles, integers, zeros, denormals, the exponent's ends.
SoftExtended Operand(std::mt19937_64& random) {
  const uint16_t sign = (random() & 1) ? SoftExtended::kSignBit : 0;
  const int exponents[] = {16383 + static_cast<int>(random() % 160) - 80, static_cast<int>(random() % 0x7FFF),
                           static_cast<int>(random() % 70), 0x7FFE - static_cast<int>(random() % 70)};
  const int exponent = exponents[random() % 4];
  uint64_t significand = SoftExtended::kIntegerBit;
  switch (random() % 9) {
    case 0: significand |= random() % 4; break;
    case 1: significand = ~uint64_t{0} - random() % 4; break;
    case 2: significand |= random(); break;
    case 3: significand |= (random() << 40) | uint64_t{1} << 39 | random() % 2; break;  // near a float's tie
    case 4: significand |= (random() << 11) | uint64_t{1} << 10 | random() % 2; break;  // near a double's
    case 5: { const uint32_t bits = static_cast<uint32_t>(random()); float f; std::memcpy(&f, &bits, 4); return SoftExtended(f); }
    case 6: { const uint64_t bits = random(); double d; std::memcpy(&d, &bits, 8); return SoftExtended(d); }
    case 7: return SoftExtended(static_cast<int64_t>(random()) >> (random() % 64));
    default: return Bits(sign, random() >> (random() % 64));  // zeros and denormals
  }
  return Bits(static_cast<uint16_t>(sign | exponent), significand);
}

TEST_F(SoftExtendedTest, BoundaryOperandsAgreeWithTheX87UnitInEveryOperation) {
  std::mt19937_64 random(20261214);
  for (int i = 0; i < 20000 && !HasFailure(); ++i) {
    const SoftExtended a = Operand(random);
    // Every fourth pair nearly equal, for cancellations.
    const SoftExtended b = i % 4 == 0 ? Bits(a.SignExponent() ^ SoftExtended::kSignBit, a.Significand() ^ (random() % 16))
                                      : Operand(random);
    ExpectArithmetic(a, b);
    ExpectConversions(a);
    const int scale = static_cast<int>(random() % 200) - 100;
    volatile Extended x = ToX87(a);
    EXPECT_TRUE(SameBits(Ldexp(a, scale), ldexpl(x, scale))) << scale;
  }
}

TEST(SoftExtendedLimbs, ProductsAndQuotientsOnLimbsEqualTheCompilers) {
  std::mt19937_64 random(7);
  std::vector<uint64_t> words = {0, 1, 0xFFFFFFFFu, 0x100000000u, ~uint64_t{0}, uint64_t{1} << 63,
                                 0x8000000000000001u, 0xFFFFFFFF00000000u, 0x80000000FFFFFFFFu};
  for (int i = 0; i < 2000; ++i) words.push_back(random() >> (random() % 64));
  for (size_t i = 0; i + 1 < words.size(); ++i) {
    const uint64_t a = words[i], b = words[(i * 7 + 3) % words.size()];
    const soft_extended_internals::Wide limbs = soft_extended_internals::MultiplyByLimbs(a, b);
    const soft_extended_internals::Wide native = soft_extended_internals::MultiplyNative(a, b);
    ASSERT_EQ(limbs.high, native.high) << a << " x " << b;
    ASSERT_EQ(limbs.low, native.low) << a << " x " << b;
    // Division's precondition: a normalized divisor above the high word.
    const uint64_t divisor = b | uint64_t{1} << 63, high = a % divisor, low = words[i + 1];
    const soft_extended_internals::Wide q = soft_extended_internals::DivideByLimbs(high, low, divisor);
    const soft_extended_internals::Wide qn = soft_extended_internals::DivideNative(high, low, divisor);
    ASSERT_EQ(q.high, qn.high) << high << ":" << low << " / " << divisor;
    ASSERT_EQ(q.low, qn.low) << high << ":" << low << " / " << divisor;
  }
  // And whole operations on them.
  for (int i = 0; i < 20000; ++i) {
    const SoftExtended a = Operand(random), b = Operand(random);
    ASSERT_TRUE(SameBits(soft_extended_internals::MultiplyOnLimbs(a, b), ToX87(a * b)));
    ASSERT_TRUE(SameBits(soft_extended_internals::DivideOnLimbs(a, b), ToX87(a / b)));
  }
}

}  // namespace
}  // namespace sw
