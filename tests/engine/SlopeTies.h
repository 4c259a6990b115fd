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
  using reference::Ext;
  reference::ExtendedPrecisionScope scope;
  const reference::E difference = Ext(B) - Ext(T);  // exact: the operands' bits fit in 64
  const reference::E quotient = difference / Ext(scaleY);
  if (quotient * Ext(scaleY) != difference) return false;  // not exact (the product is: 25 + 24 bits)
  const float nearest = reference::ToFloat(quotient);
  const reference::E mirror = Ext(int64_t{2}) * quotient - Ext(nearest);
  if (Ext(nearest) == quotient || mirror != Ext(reference::ToFloat(mirror))) return false;
  const double q = (static_cast<double>(B) - static_cast<double>(T)) * (1.0 / static_cast<double>(scaleY));
  return static_cast<float>(q) == static_cast<float>(mirror);
}

}  // namespace sw::test
