// The kernels one element at a time, in portable C++: the width every
// processor has, and the only one where there is no SSE2. Each element goes
// through the operations and checks of one SSE2 lane, in the same order
// (ExactKernels.cpp, "Lane by lane"), so it lists exactly the elements SSE2
// lists and gives the same values for the others.

#include <cstring>

#include "image/resize/KernelSet.h"

namespace sw {
namespace {

uint32_t BitsOf(float value) {
  uint32_t bits;
  std::memcpy(&bits, &value, sizeof bits);
  return bits;
}

// The biased exponent of a single, as the lanes take it from its pattern.
int32_t ExponentOf(float value) { return static_cast<int32_t>((BitsOf(value) << 1) >> 24); }

int Slopes(const float* top, const float* bottom, double reciprocal, float* slope, int count, int32_t* unsure) {
  int listed = 0;
  for (int i = 0; i < count; ++i) {
    // Fact 4: the double quotient rounds to the same single a little below
    // and a little above, or the element is listed.
    const double q = (static_cast<double>(bottom[i]) - static_cast<double>(top[i])) * reciprocal;
    const double margin = q * 0x1p-46;
    const float below = static_cast<float>(q - margin), above = static_cast<float>(q + margin);
    if (below != above) unsure[listed++] = i;
    slope[i] = static_cast<float>(q);
  }
  return listed;
}

int Finals(const float* top, const float* slope, double weight, int sumBits, uint8_t* out, int count,
           int32_t* unsure) {
  int listed = 0;
  for (int i = 0; i < count; ++i) {
    // Facts 1, 2 and 5: the exponents vouch for the double value, or the
    // element is listed.
    const float t = top[i], d = slope[i];
    const int32_t eT = ExponentOf(t), eD = ExponentOf(d), spread = eD - eT;
    const bool anyZero = t == 0.0f || d == 0.0f;
    const bool wide = !anyZero && (spread > 28 - sumBits || spread < -28);
    const bool large = eD > 148 || eT > 148;
    const double v = weight * static_cast<double>(d) + static_cast<double>(t);
    const double shifted = v + 0x1.8p52;
    uint64_t bits;
    std::memcpy(&bits, &shifted, sizeof bits);
    out[i] = static_cast<uint8_t>(bits & 0xFF);
    if (wide || large) unsure[listed++] = i;
  }
  return listed;
}

}  // namespace

void PackOneByOne(const uint8_t* channels, int32_t width, uint8_t* target) {
  for (int32_t x = 0; x < width; ++x) {
    uint32_t pixel;
    std::memcpy(&pixel, channels + 3 * static_cast<size_t>(x), 4);  // the spare byte covers the last pixel
    pixel &= 0x00FFFFFFu;
    std::memcpy(target + 4 * static_cast<size_t>(x), &pixel, 4);
  }
}

const KernelSet kScalarKernels = {KernelWidth::Scalar, Slopes, Finals, PackOneByOne};

}  // namespace sw
