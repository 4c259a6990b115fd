#pragma once
// The x87 80-bit extended format in software, bit for bit what the x87 unit
// gives under the resampler's arithmetic (X87.h: 64-bit precision control,
// rounding to nearest with ties to even, every exception masked) for the
// operations the resampler uses, as GCC compiles them on x86-64. It serves
// where `long double` is not that format (aarch64: binary128) or where the
// unit is not found faithful (X87Check.h).
//
// Format: a sign bit, a 15-bit exponent biased by 16383 and a 64-bit
// significand with an explicit integer bit (bit 63); value = significand x
// 2^(exponent - 16383 - 63), with exponent 0 read as 1 (denormals).
//
// Operations, each rounded once to a 64-bit significand, nearest-even, with
// the full 15-bit exponent range (gradual underflow to extended denormals,
// overflow to infinity):
//   - from int32 and int64 (fild) and from float and double (fld): exact;
//   - +, -, x, / of two values (fadd, fsub, fmul, fdiv); an exact zero sum
//     of operands of opposite signs is +0, -0 + -0 is -0;
//   - to float and double (fstp): one rounding at the target's precision,
//     and at a denormal's own precision below its normal range; overflow to
//     infinity;
//   - to int64 rounded to nearest-even (fistp, RoundExtended in X87.h, or
//     llrintl) and truncated (static_cast<int64_t>), to int32 truncated, and
//     to an integral value (rintl, frndint);
//   - comparisons and isnan (fucomi: NaN is unordered), fabs, negation, and
//     ldexp (exact where the result is a normal value, rounded like a
//     product otherwise).
//
// Special cases, all handled as the x87 unit handles them (the fuzz target
// compares every bit pattern, these included):
//   - Reached by pictures: +-0 and the sign rules above; float denormals and
//     zeros from rounding tiny slopes (B - T) / ScaleY to single.
//   - Reached only through the resampler's entry with factors no run forms:
//     a NaN or infinite ScaleX or ScaleY makes DestinationSize's product NaN
//     or infinite (isnan true for the one, the int32 range check failing
//     for the other), and the resize stops there, so no NaN or infinity reaches the formulas: a
//     factor that is divided by is finite and non-zero, as W' > 0 needs.
//   - Reached only by the kernel tests' values past the exponent limits
//     that no picture reaches (T or dY near 2^100): Round(y*dY + T - Y0*dY)
//     above 2^63, for which fistp gives the "integer indefinite"
//     0x8000000000000000, as every conversion to an integer does for an
//     out-of-range value, an infinity or a NaN (0x80000000 for int32).
//     Pictures keep |v| below 2^51, and DestinationSize checks the range
//     before it converts.
//   - Not reached: extended denormals (the smallest magnitudes are products
//     and quotients of singles, factors of at least 2^-32 and 29-bit
//     integers, far above 2^-16382); overflow (magnitudes stay below
//     2^160); NaN and infinite operands of + - x /. They follow the x87
//     rules all the same: invalid operations (inf - inf, 0 x inf, 0 / 0,
//     inf / inf) give the "real indefinite" (sign 1, exponent 0x7FFF,
//     significand 0xC000000000000000); a signalling NaN is made quiet; of
//     two NaN operands the one with the larger significand is the result
//     (of equal ones the positive); x / 0 is a signed infinity.
//   - Encodings the x87 unit calls unsupported (an exponent other than 0
//     with the integer bit clear: unnormals, pseudo-infinities, pseudo-NaNs)
//     are invalid operands: indefinite results, unordered in comparisons,
//     isnan true. Pseudo-denormals (exponent 0, integer bit set) are read by
//     their value. No operation produces either.
//
// Proof: tests/engine/SoftExtendedTest.cpp (each operation on its boundary
// cases against the x87 unit, and the by-hand 128-bit products and
// quotients against the compiler's) and the differential fuzz target
// tests/fuzz/extended_fuzz.cpp (every operation against the x87 unit).
//
// Everything is value arithmetic on two integers: no state, no heap, no
// floating-point instruction on the way, so the results don't depend on the
// caller's rounding mode or flush-to-zero settings. The operations live out
// of line in SoftExtended.cpp, where the helpers inline into each: the
// software path serves only the elements the fast path can't vouch for.

#include <cstdint>

namespace sw {

class SoftExtended {
 public:
  static constexpr uint16_t kSignBit = 0x8000;
  static constexpr uint16_t kExponentMask = 0x7FFF;
  static constexpr int kBias = 16383;
  static constexpr uint64_t kIntegerBit = uint64_t{1} << 63;

  constexpr SoftExtended() = default;  // +0
  explicit SoftExtended(int32_t value);
  explicit SoftExtended(int64_t value);
  explicit SoftExtended(float value);
  explicit SoftExtended(double value);

  static constexpr SoftExtended FromBits(uint16_t signExponent, uint64_t significand) {
    return SoftExtended(signExponent, significand);
  }
  constexpr uint16_t SignExponent() const { return signExponent_; }
  constexpr uint64_t Significand() const { return significand_; }
  constexpr bool SignBit() const { return (signExponent_ & kSignBit) != 0; }
  constexpr int BiasedExponent() const { return signExponent_ & kExponentMask; }

 private:
  constexpr SoftExtended(uint16_t signExponent, uint64_t significand)
      : significand_(significand), signExponent_(signExponent) {}

  uint64_t significand_ = 0;
  uint16_t signExponent_ = 0;
};

SoftExtended operator+(SoftExtended a, SoftExtended b);
SoftExtended operator-(SoftExtended a, SoftExtended b);
SoftExtended operator*(SoftExtended a, SoftExtended b);
SoftExtended operator/(SoftExtended a, SoftExtended b);

// Flips the sign bit only, of any value (fchs).
constexpr SoftExtended operator-(SoftExtended a) {
  return SoftExtended::FromBits(static_cast<uint16_t>(a.SignExponent() ^ SoftExtended::kSignBit), a.Significand());
}

// Clears the sign bit only, of any value (fabs).
constexpr SoftExtended Abs(SoftExtended a) {
  return SoftExtended::FromBits(static_cast<uint16_t>(a.SignExponent() & SoftExtended::kExponentMask),
                                a.Significand());
}

// True for NaNs and for the unsupported encodings, as a self-comparison on
// the x87 unit finds them unordered.
constexpr bool IsNaN(SoftExtended a) {
  const bool integerBit = (a.Significand() & SoftExtended::kIntegerBit) != 0;
  if (a.BiasedExponent() == SoftExtended::kExponentMask) return !integerBit || (a.Significand() << 1) != 0;
  return a.BiasedExponent() != 0 && !integerBit;
}

// Ordered comparisons: false when either side is a NaN; +0 equals -0.
bool operator==(SoftExtended a, SoftExtended b);
bool operator<(SoftExtended a, SoftExtended b);
bool operator<=(SoftExtended a, SoftExtended b);
inline bool operator!=(SoftExtended a, SoftExtended b) { return !(a == b); }
inline bool operator>(SoftExtended a, SoftExtended b) { return b < a; }
inline bool operator>=(SoftExtended a, SoftExtended b) { return b <= a; }

float ToFloat(SoftExtended a);
double ToDouble(SoftExtended a);

// The integer indefinite, what the x87 unit stores for an integer it can't
// represent.
constexpr int64_t kInt64Indefinite = INT64_MIN;
constexpr int32_t kInt32Indefinite = INT32_MIN;

// Rounded to nearest, ties to even (fistp under the resampler's state).
int64_t RoundToInt64(SoftExtended a);
// Rounded toward zero (static_cast<int64_t>(long double), static_cast<int32_t>).
int64_t TruncateToInt64(SoftExtended a);
int32_t TruncateToInt32(SoftExtended a);
// The integral value nearest, ties to even, as an extended value (rintl):
// the sign of a zero result is the operand's.
SoftExtended RoundToIntegral(SoftExtended a);

// a x 2^exponent (ldexpl).
SoftExtended Ldexp(SoftExtended a, int exponent);

// The 128-bit steps that multiplication and division rest on, on
// `unsigned __int128` where the compiler has it and on 32-bit limbs
// otherwise; both are built everywhere __int128 exists, so the tests can
// hold one against the other.
namespace soft_extended_internals {
struct Wide {
  uint64_t high, low;
};
Wide MultiplyByLimbs(uint64_t a, uint64_t b);
// (high:low) / divisor for high < divisor and divisor's top bit set: the
// quotient and the remainder.
Wide DivideByLimbs(uint64_t high, uint64_t low, uint64_t divisor);
#if defined(__SIZEOF_INT128__)
Wide MultiplyNative(uint64_t a, uint64_t b);
Wide DivideNative(uint64_t high, uint64_t low, uint64_t divisor);
#endif
// x and / computed on the limbs whatever the compiler has.
SoftExtended MultiplyOnLimbs(SoftExtended a, SoftExtended b);
SoftExtended DivideOnLimbs(SoftExtended a, SoftExtended b);
}  // namespace soft_extended_internals

}  // namespace sw
