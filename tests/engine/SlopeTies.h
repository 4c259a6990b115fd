#pragma once
// Slopes dY = single((B - T) / ScaleY) that are exact ties between two
// singles: the extended quotient is exact and rounds to even, while the
// double quotient (B - T) x double(1 / ScaleY), a few ulps off, may round to
// the other single. The slope stage must not be fooled by them.

#include "ReferenceResampler.h"

namespace sw::test {

// Whether (B - T) / ScaleY lies exactly halfway between two singles while the
// double quotient rounds to the other one of them.
inline bool IsTieTheDoubleQuotientMisses(float B, float T, float scaleY) {
  using Extended = long double;
  reference::ExtendedPrecisionScope scope;
  const Extended difference = static_cast<Extended>(B) - T;  // exact: the operands' bits fit in 64
  const Extended quotient = difference / scaleY;
  if (quotient * scaleY != difference) return false;  // not exact (the product is: 25 + 24 bits)
  const float nearest = static_cast<float>(quotient);
  const Extended mirror = 2 * quotient - nearest;
  if (nearest == quotient || mirror != static_cast<float>(mirror)) return false;
  const double q = (static_cast<double>(B) - static_cast<double>(T)) * (1.0 / static_cast<double>(scaleY));
  return static_cast<float>(q) == static_cast<float>(mirror);
}

}  // namespace sw::test
