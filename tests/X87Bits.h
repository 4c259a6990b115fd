#pragma once
// The x87 unit's `long double` and SoftExtended, pattern for pattern, each
// way: how the tests and the fuzz target hold the software path to the unit.

#include <cstdint>
#include <cstring>

#include "image/resize/SoftExtended.h"

namespace sw::test {

inline SoftExtended FromX87(long double value) {
  uint64_t significand;
  uint16_t signExponent;
  std::memcpy(&significand, &value, 8);
  std::memcpy(&signExponent, reinterpret_cast<const char*>(&value) + 8, 2);
  return SoftExtended::FromBits(signExponent, significand);
}

inline long double ToX87(SoftExtended value) {
  long double x = 0;
  const uint64_t significand = value.Significand();
  const uint16_t signExponent = value.SignExponent();
  std::memcpy(&x, &significand, 8);
  std::memcpy(reinterpret_cast<char*>(&x) + 8, &signExponent, 2);
  return x;
}

}  // namespace sw::test
