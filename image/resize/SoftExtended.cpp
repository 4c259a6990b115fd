#include "image/resize/SoftExtended.h"

#include <cstring>
#include <utility>

namespace sw {
namespace {

using soft_extended_internals::Wide;

constexpr uint64_t kLow32 = 0xFFFFFFFFu;
constexpr uint64_t kQuietBit = uint64_t{1} << 62;
constexpr uint16_t kInfinityExponent = SoftExtended::kExponentMask;

// The x87 unit's answer to an invalid operation: the negative quiet NaN
// with no payload.
constexpr SoftExtended kIndefinite = SoftExtended::FromBits(0xFFFF, 0xC000000000000000u);

// The number of leading zero bits of a nonzero value.
inline int LeadingZeros(uint64_t value) {
#if defined(__GNUC__)
  return __builtin_clzll(value);
#else
  int zeros = 0;
  for (int step = 32; step > 0; step >>= 1) {
    if ((value >> (64 - step)) == 0) {
      zeros += step;
      value <<= step;
    }
  }
  return zeros;
#endif
}

// A value taken apart. A finite nonzero one is significand x 2^(exponent -
// 63) with the significand's top bit set, so that it lies in [2^exponent,
// 2^(exponent + 1)).
enum class Kind { Zero, Finite, Infinity, NaN, Unsupported };
struct Unpacked {
  Kind kind;
  bool sign;
  int exponent;
  uint64_t significand;
};

Unpacked Unpack(SoftExtended a) {
  Unpacked u{Kind::Finite, a.SignBit(), 0, a.Significand()};
  const int biased = a.BiasedExponent();
  const bool integerBit = (u.significand & SoftExtended::kIntegerBit) != 0;
  if (biased == kInfinityExponent) {
    u.kind = !integerBit ? Kind::Unsupported : (u.significand << 1) == 0 ? Kind::Infinity : Kind::NaN;
  } else if (biased != 0 && !integerBit) {
    u.kind = Kind::Unsupported;
  } else if (u.significand == 0) {
    u.kind = Kind::Zero;
  } else {
    // Denormals and pseudo-denormals alike have the exponent of biased 1.
    const int shift = LeadingZeros(u.significand);
    u.significand <<= shift;
    u.exponent = (biased == 0 ? 1 : biased) - SoftExtended::kBias - shift;
  }
  return u;
}

constexpr uint16_t SignField(bool sign) { return sign ? SoftExtended::kSignBit : 0; }

SoftExtended Zero(bool sign) { return SoftExtended::FromBits(SignField(sign), 0); }
SoftExtended Infinity(bool sign) {
  return SoftExtended::FromBits(static_cast<uint16_t>(SignField(sign) | kInfinityExponent), SoftExtended::kIntegerBit);
}

// A NaN operand made quiet, as every operation on a signalling one does.
SoftExtended Quiet(SoftExtended nan) { return SoftExtended::FromBits(nan.SignExponent(), nan.Significand() | kQuietBit); }

// The result of an operation with at least one NaN operand and no
// unsupported one: a quiet NaN is preferred to a signalling one, and between
// two of the same kind the larger significand, and of equal ones the
// positive (whichever operand it is).
SoftExtended PropagateNaN(SoftExtended a, const Unpacked& ua, SoftExtended b, const Unpacked& ub) {
  if (ua.kind != Kind::NaN) return Quiet(b);
  if (ub.kind != Kind::NaN) return Quiet(a);
  const bool aQuiet = (a.Significand() & kQuietBit) != 0, bQuiet = (b.Significand() & kQuietBit) != 0;
  if (aQuiet != bQuiet) return aQuiet ? a : b;
  if (a.Significand() != b.Significand()) return Quiet(a.Significand() > b.Significand() ? a : b);
  return Quiet(a.SignBit() ? b : a);
}

// The destinations of a rounding: precision in bits, and the exponents of
// the normal range.
struct Format {
  int precision;
  int minExponent;
  int maxExponent;
};
constexpr Format kExtendedFormat{64, -16382, 16383};
constexpr Format kDoubleFormat{53, -1022, 1023};
constexpr Format kFloatFormat{24, -126, 127};

// A rounded value: significand x 2^(exponent - precision + 1). Normal when
// the significand's bit precision - 1 is set; otherwise a denormal or zero
// with exponent = minExponent.
struct Rounded {
  uint64_t significand;
  int exponent;
  bool overflow;
};

// Rounds sig x 2^(exponent - 127), sig's top bit set, once to the format's
// precision, nearest-even, at a denormal's own precision below the normal
// range. The bits dropped are judged by the first of them (half an ulp) and
// whether any other is set (sticky).
Rounded Round(Wide sig, int exponent, const Format& format) {
  int drop = 128 - format.precision;
  if (exponent < format.minExponent) {
    // Clamped: from 129 dropped bits on every bit is below half an ulp.
    drop += exponent < format.minExponent - 64 ? 65 : format.minExponent - exponent;
    exponent = format.minExponent;
  }
  uint64_t kept;
  bool half, sticky;
  if (drop >= 129) {
    kept = 0;
    half = false;
    sticky = true;
  } else if (drop == 128) {
    kept = 0;
    half = (sig.high >> 63) != 0;
    sticky = (sig.high << 1) != 0 || sig.low != 0;
  } else {
    const int shift = drop - 64;  // 0 .. 63: the format keeps at most 64 bits
    kept = sig.high >> shift;
    if (shift == 0) {
      half = (sig.low >> 63) != 0;
      sticky = (sig.low << 1) != 0;
    } else {
      half = ((sig.high >> (shift - 1)) & 1) != 0;
      sticky = (sig.high & ((uint64_t{1} << (shift - 1)) - 1)) != 0 || sig.low != 0;
    }
  }
  if (half && (sticky || (kept & 1) != 0)) {
    ++kept;
    // A carry out of the top bit: the next power of two. A denormal that
    // rounds up to the smallest normal needs nothing, its exponent is right.
    const bool carried = format.precision == 64 ? kept == 0 : kept == uint64_t{1} << format.precision;
    if (carried) {
      kept = uint64_t{1} << (format.precision - 1);
      ++exponent;
    }
  }
  return {kept, exponent, exponent > format.maxExponent};
}

SoftExtended PackExtended(bool sign, const Rounded& r) {
  if (r.overflow) return Infinity(sign);
  if (r.significand == 0) return Zero(sign);
  const int biased = (r.significand & SoftExtended::kIntegerBit) != 0 ? r.exponent + SoftExtended::kBias : 0;
  return SoftExtended::FromBits(static_cast<uint16_t>(SignField(sign) | biased), r.significand);
}

SoftExtended RoundExtended(bool sign, Wide sig, int exponent) {
  return PackExtended(sign, Round(sig, exponent, kExtendedFormat));
}

// The IEEE single and double patterns of a rounded value.
uint64_t PackBinary(bool sign, const Rounded& r, const Format& format, int exponentBits) {
  const int fractionBits = format.precision - 1;
  const uint64_t signBit = uint64_t{sign} << (fractionBits + exponentBits);
  const uint64_t maxBiased = (uint64_t{1} << exponentBits) - 1;
  if (r.overflow) return signBit | maxBiased << fractionBits;
  const uint64_t fractionMask = (uint64_t{1} << fractionBits) - 1;
  if ((r.significand >> fractionBits) == 0) return signBit | r.significand;  // denormal or zero
  const uint64_t biased = static_cast<uint64_t>(r.exponent + format.maxExponent);
  return signBit | biased << fractionBits | (r.significand & fractionMask);
}

// Exact values: a normalized significand whose exponent is in range.
SoftExtended Exact(bool sign, int exponent, uint64_t significand) {
  return SoftExtended::FromBits(static_cast<uint16_t>(SignField(sign) | (exponent + SoftExtended::kBias)), significand);
}

SoftExtended FromMagnitude(bool sign, uint64_t magnitude) {
  if (magnitude == 0) return Zero(false);
  const int shift = LeadingZeros(magnitude);
  return Exact(sign, 63 - shift, magnitude << shift);
}

// Shifts right by `count`, folding every bit shifted out into the lowest
// bit, which lies far enough below the rounding position to stand for them.
Wide ShiftRightSticky(Wide value, int count) {
  if (count == 0) return value;
  if (count >= 128) return {0, (value.high | value.low) != 0 ? 1u : 0u};
  if (count >= 64) {
    const int s = count - 64;
    const uint64_t lost = (s == 0 ? 0 : value.high << (64 - s)) | value.low;
    return {0, (value.high >> s) | (lost != 0 ? 1 : 0)};
  }
  const uint64_t lost = value.low << (64 - count);
  return {value.high >> count, (value.high << (64 - count)) | (value.low >> count) | (lost != 0 ? 1 : 0)};
}

Wide ShiftLeft(Wide value, int count) {
  if (count == 0) return value;
  if (count >= 64) return {value.low << (count - 64), 0};
  return {(value.high << count) | (value.low >> (64 - count)), value.low << count};
}

int LeadingZeros(Wide value) { return value.high != 0 ? LeadingZeros(value.high) : 64 + LeadingZeros(value.low); }

bool MagnitudeBelow(const Unpacked& a, const Unpacked& b) {
  return a.exponent != b.exponent ? a.exponent < b.exponent : a.significand < b.significand;
}

SoftExtended Add(SoftExtended a, SoftExtended b, bool subtract) {
  Unpacked ua = Unpack(a), ub = Unpack(b);
  ub.sign = ub.sign != subtract;
  if (ua.kind == Kind::Unsupported || ub.kind == Kind::Unsupported) return kIndefinite;
  if (ua.kind == Kind::NaN || ub.kind == Kind::NaN) return PropagateNaN(a, ua, b, ub);
  if (ua.kind == Kind::Infinity) return ub.kind == Kind::Infinity && ub.sign != ua.sign ? kIndefinite : Infinity(ua.sign);
  if (ub.kind == Kind::Infinity) return Infinity(ub.sign);
  if (ua.kind == Kind::Zero && ub.kind == Kind::Zero) return Zero(ua.sign && ub.sign);
  if (ub.kind == Kind::Zero) std::swap(ua, ub);
  if (ua.kind == Kind::Zero) return RoundExtended(ub.sign, {ub.significand, 0}, ub.exponent);  // canonical form
  if (MagnitudeBelow(ua, ub)) std::swap(ua, ub);
  const Wide large{ua.significand, 0};
  const Wide small = ShiftRightSticky({ub.significand, 0}, ua.exponent - ub.exponent);
  int exponent = ua.exponent;
  Wide sum;
  if (ua.sign == ub.sign) {
    const uint64_t low = large.low + small.low;
    const uint64_t high = large.high + small.high;
    const uint64_t lowCarry = low < large.low ? 1 : 0;
    const bool carry = high < large.high || high + lowCarry < high;
    sum = {high + lowCarry, low};
    if (carry) {  // out of bit 127
      sum = ShiftRightSticky(sum, 1);
      sum.high |= SoftExtended::kIntegerBit;
      ++exponent;
    }
  } else {
    sum = {large.high - small.high - (large.low < small.low ? 1 : 0), large.low - small.low};
    if (sum.high == 0 && sum.low == 0) return Zero(false);  // x - x is +0 when rounding to nearest
    const int shift = LeadingZeros(sum);
    sum = ShiftLeft(sum, shift);
    exponent -= shift;
  }
  return RoundExtended(ua.sign, sum, exponent);
}

#if defined(__SIZEOF_INT128__)
__extension__ typedef unsigned __int128 Native128;
#endif

// The 128-bit product and quotient steps, by limbs or natively.
template <bool kLimbs>
Wide MultiplyWide(uint64_t a, uint64_t b) {
#if defined(__SIZEOF_INT128__)
  if constexpr (!kLimbs) return soft_extended_internals::MultiplyNative(a, b);
#endif
  return soft_extended_internals::MultiplyByLimbs(a, b);
}

template <bool kLimbs>
Wide DivideWide(uint64_t high, uint64_t low, uint64_t divisor) {
#if defined(__SIZEOF_INT128__)
  if constexpr (!kLimbs) return soft_extended_internals::DivideNative(high, low, divisor);
#endif
  return soft_extended_internals::DivideByLimbs(high, low, divisor);
}

template <bool kLimbs>
SoftExtended Multiply(SoftExtended a, SoftExtended b) {
  const Unpacked ua = Unpack(a), ub = Unpack(b);
  const bool sign = ua.sign != ub.sign;
  if (ua.kind == Kind::Unsupported || ub.kind == Kind::Unsupported) return kIndefinite;
  if (ua.kind == Kind::NaN || ub.kind == Kind::NaN) return PropagateNaN(a, ua, b, ub);
  if (ua.kind == Kind::Infinity || ub.kind == Kind::Infinity)
    return ua.kind == Kind::Zero || ub.kind == Kind::Zero ? kIndefinite : Infinity(sign);
  if (ua.kind == Kind::Zero || ub.kind == Kind::Zero) return Zero(sign);
  // The significands' product lies in [2^126, 2^128).
  Wide product = MultiplyWide<kLimbs>(ua.significand, ub.significand);
  int exponent = ua.exponent + ub.exponent + 1;
  if ((product.high >> 63) == 0) {
    product = ShiftLeft(product, 1);
    --exponent;
  }
  return RoundExtended(sign, product, exponent);
}

template <bool kLimbs>
SoftExtended Divide(SoftExtended a, SoftExtended b) {
  const Unpacked ua = Unpack(a), ub = Unpack(b);
  const bool sign = ua.sign != ub.sign;
  if (ua.kind == Kind::Unsupported || ub.kind == Kind::Unsupported) return kIndefinite;
  if (ua.kind == Kind::NaN || ub.kind == Kind::NaN) return PropagateNaN(a, ua, b, ub);
  if (ua.kind == Kind::Infinity) return ub.kind == Kind::Infinity ? kIndefinite : Infinity(sign);
  if (ub.kind == Kind::Infinity) return Zero(sign);
  if (ub.kind == Kind::Zero) return ua.kind == Kind::Zero ? kIndefinite : Infinity(sign);
  if (ua.kind == Kind::Zero) return Zero(sign);
  // The quotient of the significands, in (1/2, 2), to 129 bits and whether
  // anything remains: its integer bit, then two 64-bit words of fraction.
  const bool one = ua.significand >= ub.significand;
  const uint64_t remainder = one ? ua.significand - ub.significand : ua.significand;
  const Wide first = DivideWide<kLimbs>(remainder, 0, ub.significand);
  const Wide second = DivideWide<kLimbs>(first.low, 0, ub.significand);
  const uint64_t rest = second.low != 0 ? 1 : 0;
  if (one) {
    const Wide quotient{SoftExtended::kIntegerBit | (first.high >> 1),
                        (first.high << 63) | (second.high >> 1) | (second.high & 1) | rest};
    return RoundExtended(sign, quotient, ua.exponent - ub.exponent);
  }
  // first.high has its top bit set: the significands are each at least 2^63.
  return RoundExtended(sign, {first.high, second.high | rest}, ua.exponent - ub.exponent - 1);
}

// Which of two ordered values is larger: -1, 0 or 1.
int Compare(const Unpacked& a, const Unpacked& b) {
  if (a.kind == Kind::Zero && b.kind == Kind::Zero) return 0;
  if (a.sign != b.sign) return a.sign ? -1 : 1;
  const auto rank = [](Kind kind) { return kind == Kind::Zero ? 0 : kind == Kind::Finite ? 1 : 2; };
  int magnitude;
  if (rank(a.kind) != rank(b.kind)) {
    magnitude = rank(a.kind) < rank(b.kind) ? -1 : 1;
  } else if (a.kind != Kind::Finite) {
    magnitude = 0;
  } else {
    magnitude = MagnitudeBelow(a, b) ? -1 : MagnitudeBelow(b, a) ? 1 : 0;
  }
  return a.sign ? -magnitude : magnitude;
}

bool Unordered(const Unpacked& a, const Unpacked& b) {
  return a.kind == Kind::NaN || a.kind == Kind::Unsupported || b.kind == Kind::NaN || b.kind == Kind::Unsupported;
}

// A binary format's value: fraction bits and exponent field, taken apart.
SoftExtended FromBinary(bool sign, uint64_t fraction, int biased, const Format& format) {
  const int fractionBits = format.precision - 1;
  if (biased == 2 * format.maxExponent + 1) {
    if (fraction == 0) return Infinity(sign);
    // NaNs keep their payload at the top of the significand and are made quiet.
    return SoftExtended::FromBits(static_cast<uint16_t>(SignField(sign) | kInfinityExponent),
                                  SoftExtended::kIntegerBit | kQuietBit | fraction << (63 - fractionBits));
  }
  if (biased == 0) {
    if (fraction == 0) return Zero(sign);
    const int shift = LeadingZeros(fraction);
    return Exact(sign, format.minExponent - fractionBits + (63 - shift), fraction << shift);
  }
  return Exact(sign, biased - format.maxExponent,
               (SoftExtended::kIntegerBit | fraction << (63 - fractionBits)));
}

uint64_t ToBinary(SoftExtended a, const Format& format, int exponentBits) {
  const Unpacked u = Unpack(a);
  const int fractionBits = format.precision - 1;
  const uint64_t signBit = uint64_t{u.sign} << (fractionBits + exponentBits);
  const uint64_t infinityField = ((uint64_t{1} << exponentBits) - 1) << fractionBits;
  const uint64_t quietBit = uint64_t{1} << (fractionBits - 1);
  switch (u.kind) {
    case Kind::Zero:
      return signBit;
    case Kind::Infinity:
      return signBit | infinityField;
    case Kind::NaN:  // the top of the payload, made quiet
      return signBit | infinityField | quietBit | ((u.significand << 1) >> (64 - fractionBits));
    case Kind::Unsupported:  // the target's own indefinite
      return (uint64_t{1} << (fractionBits + exponentBits)) | infinityField | quietBit;
    case Kind::Finite:
      break;
  }
  return PackBinary(u.sign, Round({u.significand, 0}, u.exponent, format), format, exponentBits);
}

// The magnitude of a finite value's integer part (rounded to nearest-even or
// truncated), saturated to 2^63 when it doesn't fit 63 bits.
uint64_t IntegerMagnitude(const Unpacked& u, bool nearest) {
  if (u.kind == Kind::Zero || u.exponent < -1) return 0;
  if (u.exponent >= 63) return SoftExtended::kIntegerBit;
  const int shift = 63 - u.exponent;  // 1 .. 64
  uint64_t integer = shift == 64 ? 0 : u.significand >> shift;
  if (nearest) {
    const bool half = ((u.significand >> (shift - 1)) & 1) != 0;
    const bool sticky = shift >= 2 && (u.significand & ((uint64_t{1} << (shift - 1)) - 1)) != 0;
    if (half && (sticky || (integer & 1) != 0)) ++integer;
  }
  return integer;
}

int64_t ToInt64(SoftExtended a, bool nearest) {
  const Unpacked u = Unpack(a);
  if (u.kind != Kind::Zero && u.kind != Kind::Finite) return kInt64Indefinite;
  const uint64_t magnitude = IntegerMagnitude(u, nearest);
  // 2^63 and more is out of range, but for -2^63, whose pattern is the
  // indefinite's anyway.
  if (magnitude >= SoftExtended::kIntegerBit) return kInt64Indefinite;
  const int64_t value = static_cast<int64_t>(magnitude);
  return u.sign ? -value : value;
}

// What an operation of one operand that keeps zeros and infinities (frndint,
// fscale) gives for a zero, an infinity, a NaN or an unsupported operand.
SoftExtended SpecialOperandResult(SoftExtended a, Kind kind) {
  switch (kind) {
    case Kind::Unsupported:
      return kIndefinite;
    case Kind::NaN:
      return Quiet(a);
    case Kind::Zero:
    case Kind::Infinity:
    case Kind::Finite:
      break;
  }
  return a;
}

}  // namespace

SoftExtended::SoftExtended(int32_t value) : SoftExtended(static_cast<int64_t>(value)) {}

SoftExtended::SoftExtended(int64_t value) {
  const uint64_t magnitude = value < 0 ? 0 - static_cast<uint64_t>(value) : static_cast<uint64_t>(value);
  *this = FromMagnitude(value < 0, magnitude);
}

SoftExtended::SoftExtended(float value) {
  uint32_t bits;
  std::memcpy(&bits, &value, sizeof bits);
  *this = FromBinary((bits >> 31) != 0, bits & 0x7FFFFF, static_cast<int>((bits >> 23) & 0xFF), kFloatFormat);
}

SoftExtended::SoftExtended(double value) {
  uint64_t bits;
  std::memcpy(&bits, &value, sizeof bits);
  *this = FromBinary((bits >> 63) != 0, bits & ((uint64_t{1} << 52) - 1), static_cast<int>((bits >> 52) & 0x7FF),
                     kDoubleFormat);
}

SoftExtended operator+(SoftExtended a, SoftExtended b) { return Add(a, b, false); }
SoftExtended operator-(SoftExtended a, SoftExtended b) { return Add(a, b, true); }
#if defined(__SIZEOF_INT128__)
SoftExtended operator*(SoftExtended a, SoftExtended b) { return Multiply<false>(a, b); }
SoftExtended operator/(SoftExtended a, SoftExtended b) { return Divide<false>(a, b); }
#else
SoftExtended operator*(SoftExtended a, SoftExtended b) { return Multiply<true>(a, b); }
SoftExtended operator/(SoftExtended a, SoftExtended b) { return Divide<true>(a, b); }
#endif

bool operator==(SoftExtended a, SoftExtended b) {
  const Unpacked ua = Unpack(a), ub = Unpack(b);
  return !Unordered(ua, ub) && Compare(ua, ub) == 0;
}

bool operator<(SoftExtended a, SoftExtended b) {
  const Unpacked ua = Unpack(a), ub = Unpack(b);
  return !Unordered(ua, ub) && Compare(ua, ub) < 0;
}

bool operator<=(SoftExtended a, SoftExtended b) {
  const Unpacked ua = Unpack(a), ub = Unpack(b);
  return !Unordered(ua, ub) && Compare(ua, ub) <= 0;
}

float ToFloat(SoftExtended a) {
  const uint32_t bits = static_cast<uint32_t>(ToBinary(a, kFloatFormat, 8));
  float value;
  std::memcpy(&value, &bits, sizeof value);
  return value;
}

double ToDouble(SoftExtended a) {
  const uint64_t bits = ToBinary(a, kDoubleFormat, 11);
  double value;
  std::memcpy(&value, &bits, sizeof value);
  return value;
}

int64_t RoundToInt64(SoftExtended a) { return ToInt64(a, true); }
int64_t TruncateToInt64(SoftExtended a) { return ToInt64(a, false); }

int32_t TruncateToInt32(SoftExtended a) {
  const int64_t value = ToInt64(a, false);
  return value >= INT32_MIN && value <= INT32_MAX ? static_cast<int32_t>(value) : kInt32Indefinite;
}

SoftExtended RoundToIntegral(SoftExtended a) {
  const Unpacked u = Unpack(a);
  if (u.kind != Kind::Finite) return SpecialOperandResult(a, u.kind);
  if (u.exponent >= 63) return Exact(u.sign, u.exponent, u.significand);  // integral already
  const uint64_t magnitude = IntegerMagnitude(u, true);
  return magnitude == 0 ? Zero(u.sign) : FromMagnitude(u.sign, magnitude);
}

SoftExtended Ldexp(SoftExtended a, int exponent) {
  const Unpacked u = Unpack(a);
  if (u.kind != Kind::Finite) return SpecialOperandResult(a, u.kind);
  // Beyond +-2^16 every finite value overflows or underflows alike.
  const int scale = exponent < -(1 << 16) ? -(1 << 16) : exponent > (1 << 16) ? (1 << 16) : exponent;
  return RoundExtended(u.sign, {u.significand, 0}, u.exponent + scale);
}

namespace soft_extended_internals {

Wide MultiplyByLimbs(uint64_t a, uint64_t b) {
  const uint64_t a0 = a & kLow32, a1 = a >> 32, b0 = b & kLow32, b1 = b >> 32;
  const uint64_t p00 = a0 * b0, p01 = a0 * b1, p10 = a1 * b0, p11 = a1 * b1;
  const uint64_t middle = (p00 >> 32) + (p01 & kLow32) + (p10 & kLow32);  // below 3 x 2^32
  return {p11 + (p01 >> 32) + (p10 >> 32) + (middle >> 32), (middle << 32) | (p00 & kLow32)};
}

// Long division in base 2^32 (Knuth's algorithm D for a two-digit divisor):
// each quotient digit is estimated from the divisor's top digit, which is at
// least 2^31, so the estimate is at most two too large; the loop corrects it.
// The partial remainders are below the divisor, so working modulo 2^64 loses
// nothing.
Wide DivideByLimbs(uint64_t high, uint64_t low, uint64_t divisor) {
  const uint64_t d1 = divisor >> 32, d0 = divisor & kLow32;
  const auto digit = [&](uint64_t top, uint64_t next) {  // (top:next) / divisor, top < divisor, next < 2^32
    uint64_t q = top / d1, estimateRest = top - q * d1;
    while ((q >> 32) != 0 || q * d0 > ((estimateRest << 32) | next)) {
      --q;
      estimateRest += d1;
      if ((estimateRest >> 32) != 0) break;
    }
    return Wide{q, ((top << 32) | next) - q * divisor};
  };
  const Wide upper = digit(high, low >> 32);
  const Wide lower = digit(upper.low, low & kLow32);
  return {(upper.high << 32) | lower.high, lower.low};
}

#if defined(__SIZEOF_INT128__)
Wide MultiplyNative(uint64_t a, uint64_t b) {
  const Native128 product = static_cast<Native128>(a) * b;
  return {static_cast<uint64_t>(product >> 64), static_cast<uint64_t>(product)};
}

Wide DivideNative(uint64_t high, uint64_t low, uint64_t divisor) {
  const Native128 quotient = ((static_cast<Native128>(high) << 64) | low) / divisor;
  return {static_cast<uint64_t>(quotient), low - static_cast<uint64_t>(quotient) * divisor};
}
#endif

SoftExtended MultiplyOnLimbs(SoftExtended a, SoftExtended b) { return Multiply<true>(a, b); }
SoftExtended DivideOnLimbs(SoftExtended a, SoftExtended b) { return Divide<true>(a, b); }

}  // namespace soft_extended_internals

}  // namespace sw
