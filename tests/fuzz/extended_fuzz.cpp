// libFuzzer target for the software extended type (image/resize/SoftExtended.h):
// every operation on operands read from the input, in software and on the x87
// unit under the resampler's arithmetic; any difference in the 80-bit
// pattern, or in the float, double or integer result, aborts.
//
// The input is a chain of steps; missing bytes read as zero. A step is two
// operands and a scale byte pair (for ldexp). An operand is a byte whose low
// 4 bits say how the bytes after it are read (OperandKind) and whose bit 4
// negates it; a step's result, picked by the byte after the scale, becomes
// the `Previous` operand of the next step, so chains reach values no single
// conversion gives.

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "image/resize/X87.h"
#include "X87Bits.h"
#include "image/resize/SoftExtended.h"

namespace {

using Extended = long double;
using sw::SoftExtended;
using sw::test::X87Round;
using sw::test::X87Truncate;

enum OperandKind : uint8_t {
  kRaw = 0,         // 2 bytes sign and exponent, 8 bytes significand: any pattern
  kFloat = 1,       // 4 bytes
  kDouble = 2,      // 8 bytes
  kInt64 = 3,       // 8 bytes
  kInt32 = 4,       // 4 bytes
  kPower = 5,       // 2 bytes biased exponent, 1 signed byte: that many ulps from 2^e
  kFloatTie = 6,    // 4 bytes of a float, 1 signed byte: ulps from halfway to the next float
  kDoubleTie = 7,   // 8 bytes of a double, 1 signed byte: the same for doubles
  kZero = 8,        // no bytes
  kEdge = 9,        // 1 byte: exponent 0..63 or 0x7FC0..0x7FFF; 8 bytes significand
  kPrevious = 10,   // 1 signed byte: ulps from the previous step's result
  kHalfInteger = 11,  // 8 bytes of an int64, 1 byte shift, 1 signed byte: ulps from n + 1/2
  kScaled = 12,     // 2 signed bytes: the other operand (the first, or for it the previous
                    // result) times 2^first byte, moved by the second's ulps
};

class Reader {
 public:
  Reader(const uint8_t* data, size_t size) : data_(data), size_(size) {}
  bool Done() const { return at_ >= size_; }
  uint8_t Byte() { return at_ < size_ ? data_[at_++] : (at_++, 0); }
  uint64_t Bytes(int count) {
    uint64_t value = 0;
    for (int i = 0; i < count; ++i) value |= uint64_t{Byte()} << (8 * i);
    return value;
  }
  int Signed() { return static_cast<int8_t>(Byte()); }

 private:
  const uint8_t* data_;
  size_t size_;
  size_t at_ = 0;
};

using sw::test::FromX87;
using sw::test::ToX87;

[[noreturn]] void Fail(const char* what, SoftExtended a, SoftExtended b) {
  std::fprintf(stderr, "%s differs for %04x:%016llx and %04x:%016llx\n", what, a.SignExponent(),
               static_cast<unsigned long long>(a.Significand()), b.SignExponent(),
               static_cast<unsigned long long>(b.Significand()));
  std::abort();
}

void ExpectSame(const char* what, SoftExtended soft, Extended x87, SoftExtended a, SoftExtended b) {
  const SoftExtended unit = FromX87(x87);
  if (soft.SignExponent() != unit.SignExponent() || soft.Significand() != unit.Significand()) Fail(what, a, b);
}

template <typename T>
void ExpectSameBits(const char* what, T soft, T x87, SoftExtended a) {
  if (std::memcmp(&soft, &x87, sizeof soft) != 0) Fail(what, a, a);
}

// Moves a value by `ulps` units in the last place of its significand,
// keeping the exponent (no move where that would leave the binade).
SoftExtended Nudge(SoftExtended value, int ulps) {
  const uint64_t significand = value.Significand() + static_cast<uint64_t>(static_cast<int64_t>(ulps));
  if (((significand ^ value.Significand()) >> 63) != 0) return value;
  return SoftExtended::FromBits(value.SignExponent(), significand);
}

// Halfway between a float or double and the next one away from zero
// (exact: one bit more than the format, or a denormal's grid); past the
// largest, halfway to where the next would be.
template <typename T>
SoftExtended Halfway(T value) {
  if (!std::isfinite(value)) return SoftExtended(value);
  const T away = value < 0 ? -HUGE_VAL : HUGE_VAL;
  const T next = std::nextafter(value, away);
  const SoftExtended step = std::isfinite(next) ? SoftExtended(next) - SoftExtended(value)
                                                : SoftExtended(value) - SoftExtended(std::nextafter(value, -away));
  return SoftExtended(value) + step / SoftExtended(2);
}

template <typename T>
T Read(Reader& in) {
  const uint64_t bits = in.Bytes(sizeof(T));
  T value;
  std::memcpy(&value, &bits, sizeof value);
  return value;
}

// An operand; conversions into the format are checked on the way.
SoftExtended Operand(Reader& in, SoftExtended previous, SoftExtended other) {
  const uint8_t kind = in.Byte();
  SoftExtended value;
  switch (kind & 15) {
    case kRaw: {
      const uint16_t signExponent = static_cast<uint16_t>(in.Bytes(2));
      value = SoftExtended::FromBits(signExponent, in.Bytes(8));
      break;
    }
    case kFloat: {
      volatile float f = Read<float>(in);
      value = SoftExtended(static_cast<float>(f));
      ExpectSame("float to extended", value, static_cast<Extended>(f), value, value);
      break;
    }
    case kDouble: {
      volatile double d = Read<double>(in);
      value = SoftExtended(static_cast<double>(d));
      ExpectSame("double to extended", value, static_cast<Extended>(d), value, value);
      break;
    }
    case kInt64: {
      volatile int64_t n = Read<int64_t>(in);
      value = SoftExtended(static_cast<int64_t>(n));
      ExpectSame("int64 to extended", value, static_cast<Extended>(n), value, value);
      break;
    }
    case kInt32: {
      volatile int32_t n = Read<int32_t>(in);
      value = SoftExtended(static_cast<int32_t>(n));
      ExpectSame("int32 to extended", value, static_cast<Extended>(n), value, value);
      break;
    }
    case kPower: {
      const uint16_t exponent = static_cast<uint16_t>(in.Bytes(2) % 0x7FFF);
      const int ulps = in.Signed();
      const uint64_t below = static_cast<uint64_t>(static_cast<int64_t>(ulps));  // 2^64 + ulps
      if (exponent == 0) {
        value = SoftExtended::FromBits(0, below & 0x7F);  // the smallest denormals
      } else if (ulps >= 0) {
        value = SoftExtended::FromBits(exponent, SoftExtended::kIntegerBit | static_cast<uint64_t>(ulps));
      } else if (exponent == 1) {
        value = SoftExtended::FromBits(0, below >> 1);  // the largest denormals
      } else {
        value = SoftExtended::FromBits(static_cast<uint16_t>(exponent - 1), below);
      }
      break;
    }
    case kFloatTie: {
      const float f = Read<float>(in);
      value = Nudge(Halfway(f), in.Signed());
      break;
    }
    case kDoubleTie: {
      const double d = Read<double>(in);
      value = Nudge(Halfway(d), in.Signed());
      break;
    }
    case kZero:
      value = SoftExtended();
      break;
    case kEdge: {
      const uint8_t e = in.Byte();
      const uint16_t exponent = e < 128 ? (e & 63) : static_cast<uint16_t>(0x7FFF - (e & 63));
      uint64_t significand = in.Bytes(8);
      if (exponent != 0) significand |= SoftExtended::kIntegerBit;
      value = SoftExtended::FromBits(exponent, significand);
      break;
    }
    case kPrevious:
      value = Nudge(previous, in.Signed());
      break;
    case kHalfInteger: {
      const int64_t n = Read<int64_t>(in) >> (in.Byte() & 63);
      value = Nudge(SoftExtended(n) + SoftExtended(0.5), in.Signed());
      break;
    }
    case kScaled: {
      const int exponent = in.Signed();
      value = Nudge(sw::Ldexp(other, exponent), in.Signed());
      break;
    }
    default:
      value = previous;
      break;
  }
  return (kind & 16) != 0 ? -value : value;
}

// Every conversion out of the format and the unary operations.
void CheckConversions(SoftExtended a) {
  volatile Extended x = ToX87(a);
  ExpectSameBits("to float", sw::ToFloat(a), static_cast<float>(x), a);
  ExpectSameBits("to double", sw::ToDouble(a), static_cast<double>(x), a);
  ExpectSameBits("fistp", sw::RoundToInt64(a), X87Round(x), a);
  ExpectSameBits("int64 cast", sw::TruncateToInt64(a), X87Truncate<int64_t>(x), a);
  ExpectSameBits("int32 cast", sw::TruncateToInt32(a), X87Truncate<int32_t>(x), a);
  ExpectSame("rintl", sw::RoundToIntegral(a), rintl(x), a, a);
  ExpectSame("fabs", sw::Abs(a), std::fabs(x), a, a);
  ExpectSame("negation", -a, -x, a, a);
  if (sw::IsNaN(a) != static_cast<bool>(std::isnan(x))) Fail("isnan", a, a);
}

void CheckComparisons(SoftExtended a, SoftExtended b) {
  volatile Extended x = ToX87(a), y = ToX87(b);
  if ((a == b) != (x == y) || (a != b) != (x != y) || (a < b) != (x < y) || (a <= b) != (x <= y) ||
      (a > b) != (x > y) || (a >= b) != (x >= y))
    Fail("a comparison", a, b);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  sw::ResamplerArithmetic arithmetic;
  Reader in(data, size);
  SoftExtended previous(1);
  for (int step = 0; step < 64 && !in.Done(); ++step) {
    const SoftExtended a = Operand(in, previous, previous);
    const SoftExtended b = Operand(in, previous, a);
    const int scale = static_cast<int16_t>(in.Bytes(2)) % 20000;
    const uint8_t pick = in.Byte();
    volatile Extended x = ToX87(a), y = ToX87(b);
    const SoftExtended results[] = {a + b, a - b, a * b, a / b, b - a, b / a};
    ExpectSame("a + b", results[0], x + y, a, b);
    ExpectSame("a - b", results[1], x - y, a, b);
    ExpectSame("a * b", results[2], x * y, a, b);
    ExpectSame("a / b", results[3], x / y, a, b);
    ExpectSame("b - a", results[4], y - x, a, b);
    ExpectSame("b / a", results[5], y / x, a, b);
    ExpectSame("a * b on limbs", sw::soft_extended_internals::MultiplyOnLimbs(a, b), x * y, a, b);
    ExpectSame("a / b on limbs", sw::soft_extended_internals::DivideOnLimbs(a, b), x / y, a, b);
    ExpectSame("ldexp", sw::Ldexp(a, scale), ldexpl(x, scale), a, SoftExtended(scale));
    CheckComparisons(a, b);
    CheckConversions(a);
    CheckConversions(b);
    for (SoftExtended r : results) CheckConversions(r);
    previous = results[pick % 6];
  }
  return 0;
}
