// Writes the seed corpus of the extended fuzz target into the folder given as
// the argument: chains of steps (extended_fuzz.cpp says how they are read)
// that start where the roundings decide: the resampler's formulas on a slope
// tie and on values past its exponent limits, float and double ties at the
// denormal and overflow boundaries, the integer range, zeros, NaNs and the
// encodings the x87 unit calls unsupported.

#include <cfloat>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "fuzz/SeedFile.h"
#include "image/resize/SoftExtended.h"

namespace {

using Bytes = std::vector<uint8_t>;

// The operand kinds of extended_fuzz.cpp.
enum Kind : uint8_t { kRaw, kFloat, kDouble, kInt64, kInt32, kPower, kFloatTie, kDoubleTie, kZero, kEdge, kPrevious, kHalfInteger, kScaled };
constexpr uint8_t kNegated = 16;
// Which result goes on to the next step.
enum Pick : uint8_t { kSum, kDifference, kProduct, kQuotient };

void Put(Bytes& out, uint64_t value, int count) {
  for (int i = 0; i < count; ++i) out.push_back(static_cast<uint8_t>(value >> (8 * i)));
}

template <typename T>
uint64_t BitsOf(T value) {
  uint64_t bits = 0;
  std::memcpy(&bits, &value, sizeof value);
  return bits;
}

Bytes Float(float f, uint8_t flags = 0) { Bytes b{static_cast<uint8_t>(kFloat | flags)}; Put(b, BitsOf(f), 4); return b; }
Bytes Double(double d) { Bytes b{kDouble}; Put(b, BitsOf(d), 8); return b; }
Bytes Int64(int64_t n) { Bytes b{kInt64}; Put(b, static_cast<uint64_t>(n), 8); return b; }
Bytes Int32(int32_t n) { Bytes b{kInt32}; Put(b, static_cast<uint32_t>(n), 4); return b; }
Bytes Raw(uint16_t signExponent, uint64_t significand) { Bytes b{kRaw}; Put(b, signExponent, 2); Put(b, significand, 8); return b; }
Bytes Power(int biased, int ulps, uint8_t flags = 0) {
  Bytes b{static_cast<uint8_t>(kPower | flags)};
  Put(b, static_cast<uint64_t>(biased), 2);
  b.push_back(static_cast<uint8_t>(ulps));
  return b;
}
Bytes FloatTie(float f, int ulps) { Bytes b{kFloatTie}; Put(b, BitsOf(f), 4); b.push_back(static_cast<uint8_t>(ulps)); return b; }
Bytes DoubleTie(double d, int ulps) { Bytes b{kDoubleTie}; Put(b, BitsOf(d), 8); b.push_back(static_cast<uint8_t>(ulps)); return b; }
Bytes Zero(uint8_t flags = 0) { return {static_cast<uint8_t>(kZero | flags)}; }
Bytes Previous(int ulps = 0) { return {kPrevious, static_cast<uint8_t>(ulps)}; }
Bytes Scaled(int exponent, int ulps, uint8_t flags = 0) {
  return {static_cast<uint8_t>(kScaled | flags), static_cast<uint8_t>(exponent), static_cast<uint8_t>(ulps)};
}
Bytes HalfInteger(int64_t n, int ulps) {
  Bytes b{kHalfInteger};
  Put(b, static_cast<uint64_t>(n), 8);
  b.push_back(0);
  b.push_back(static_cast<uint8_t>(ulps));
  return b;
}

Bytes Step(const Bytes& a, const Bytes& b, Pick pick = kSum, int scale = 0) {
  Bytes out = a;
  out.insert(out.end(), b.begin(), b.end());
  Put(out, static_cast<uint16_t>(static_cast<int16_t>(scale)), 2);
  out.push_back(pick);
  return out;
}

Bytes Chain(std::initializer_list<Bytes> steps) {
  Bytes out;
  for (const Bytes& s : steps) out.insert(out.end(), s.begin(), s.end());
  return out;
}

// The first slope tie of the margin tests: ScaleX = 22.2857151, ScaleY = 98,
// P00 = 0, P10 = 12, B = 98. Each column's T, then (B - T) / ScaleY.
Bytes SlopeTies() {
  using sw::SoftExtended;
  const float scaleX = 22.2857151f, scaleY = 98.0f;
  const float dT = sw::ToFloat(SoftExtended(12) / SoftExtended(scaleX));
  Bytes out;
  for (int32_t x = 0; x < 22; ++x) {
    const float T = sw::ToFloat(SoftExtended(x) * SoftExtended(dT));
    out = Chain({out, Step(Float(98.0f), Float(T), kDifference), Step(Previous(), Float(scaleY), kQuotient)});
  }
  return out;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) return 2;
  const int bias = sw::SoftExtended::kBias;
  const std::vector<std::pair<std::string, Bytes>> seeds = {
      {"slope-ties", SlopeTies()},
      // y*dY + T - Y0*dY past the exponent limits: T, dY near 2^23 and 2^100,
      // y just below 2^28; the integer rounding then leaves the int64 range.
      {"final-past-limits", Chain({Step(Int32((1 << 28) - 1), Float(8388609.0f), kProduct),
                                   Step(Previous(), Float(8388608.0f), kSum),
                                   Step(Float(0x1p100f), Float(0x1p100f, kNegated), kProduct),
                                   Step(Int32((1 << 27) + 1), Float(1048576.0f), kProduct),
                                   Step(Previous(), Float(0.5f + 0x1p-24f), kSum)})},
      {"float-boundaries", Chain({Step(FloatTie(0.0f, 0), FloatTie(0x1p-149f, 0)),
                                  Step(FloatTie(0x1.fffffcp-127f, 0), FloatTie(0x1.fffffcp-127f, -1)),
                                  Step(FloatTie(FLT_MAX, 0), FloatTie(FLT_MAX, -1)),
                                  Step(FloatTie(1.0f, 1), FloatTie(-3.0f, -1), kProduct)})},
      {"double-boundaries", Chain({Step(DoubleTie(0.0, 0), DoubleTie(0x1p-1074, 1)),
                                   Step(DoubleTie(0x1.ffffffffffffep-1023, 0), DoubleTie(DBL_MAX, 0)),
                                   Step(DoubleTie(1.0 / 3, 0), DoubleTie(1e300, -1), kQuotient)})},
      {"integer-range", Chain({Step(Power(bias + 63, -1), Power(bias + 63, 0, kNegated)),
                               Step(HalfInteger(int64_t{1} << 62, 0), HalfInteger(-(int64_t{1} << 31), 0)),
                               Step(HalfInteger(2, 0), HalfInteger(-3, 1)),
                               Step(Int64(INT64_MIN), Int64(INT64_MAX), kSum),
                               Step(Power(bias + 31, -1), Power(bias + 32, 7, kNegated))})},
      {"extended-range", Chain({Step(Power(1, 0), Float(0.75f), kProduct),
                                Step(Previous(), Power(bias - 70, 0), kProduct),
                                Step(Power(0x7FFE, -1), Int32(2), kProduct),
                                Step(Power(bias, 0), Power(bias, 0, kNegated), kSum, 16000)})},
      // Differences whose deciding bit lies far below the larger operand: a
      // power of two less a value just past half its new ulp, 65 binades down.
      {"sticky-far-below", Chain({Step(Power(bias + 63, 0), Scaled(-65, 1, kNegated)),
                                  Step(Power(bias, 0), Scaled(-64, -1, kNegated)),
                                  Step(Power(bias + 10, 3), Scaled(-70, 0), kProduct)})},
      {"zeros", Chain({Step(Zero(), Zero(kNegated)), Step(Zero(kNegated), Zero(kNegated)),
                       Step(Double(0.1), Double(0.1), kDifference), Step(Zero(), Int32(-5), kQuotient)})},
      {"specials", Chain({Step(Raw(0xFFFF, 0xC000000000000123u), Raw(0x7FFF, 0xC000000000000123u)),
                          Step(Raw(0x7FFF, 0x8000000000000001u), Raw(0xFFFF, 0xC000000000000002u)),
                          Step(Double(HUGE_VAL), Double(-HUGE_VAL)),
                          Step(Raw(0x4000, 0x4000000000000000u), Raw(0x0000, 0x8000000000000000u)),
                          Step(Raw(0x7FFF, 0x0000000000000001u), Double(1.0))})},
  };
  for (const auto& [name, bytes] : seeds) {
    const std::string path = std::string(argv[1]) + "/seed-" + name;
    if (!sw::fuzz::WriteSeed(path, bytes)) return 1;
  }
  return 0;
}
