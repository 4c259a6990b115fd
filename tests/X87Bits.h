#pragma once
// The x87 unit's `long double` and SoftExtended, pattern for pattern, each
// way: how the tests and the fuzz target hold the software path to the unit.

#include <cstdint>
#include <cstring>

#include "image/resize/SoftExtended.h"
#include "image/resize/X87.h"

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

// The unit's own conversions to integers, as GCC emits them: fistp under
// rounding to nearest, and under truncation for a cast.
inline int64_t X87Round(long double value) {
  int64_t result;
  __asm__ __volatile__("fistpll %0" : "=m"(result) : "t"(value) : "st");
  return result;
}

template <typename Int>
Int X87Truncate(long double value) {
  const uint16_t saved = X87ControlWord();
  SetX87ControlWord(static_cast<uint16_t>(saved | kX87RoundTowardZero));
  Int result;
  if constexpr (sizeof(Int) == 8) {
    __asm__ __volatile__("fistpll %0" : "=m"(result) : "t"(value) : "st");
  } else {
    __asm__ __volatile__("fistpl %0" : "=m"(result) : "t"(value) : "st");
  }
  SetX87ControlWord(saved);
  return result;
}

}  // namespace sw::test
