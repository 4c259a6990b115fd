#pragma once
// The yardsticks' extended arithmetic: `long double` on the x87 unit where
// the build has it, at 64-bit precision and rounding to nearest, which the
// software path is held to; SoftExtended elsewhere (aarch64), itself held to
// the x87 unit bit for bit by its tests and fuzz target on x86-64. The
// expressions are written once, over E, with these names for what both take.

#include <cfloat>
#include <cstdint>

#include "image/resize/SoftExtended.h"

namespace sw::reference {

#if (defined(__x86_64__) || defined(__i386__)) && LDBL_MANT_DIG == 64
using E = long double;

inline float ToFloat(long double v) { return static_cast<float>(v); }
inline int64_t RoundToInt64(long double v) { return __builtin_llrintl(v); }
inline int64_t TruncateToInt64(long double v) { return static_cast<int64_t>(v); }

// 64-bit precision and rounding to nearest for the scope, whatever was set.
class ExtendedPrecisionScope {
 public:
  ExtendedPrecisionScope() {
    __asm__ __volatile__("fnstcw %0" : "=m"(saved_));
    const uint16_t word = static_cast<uint16_t>((saved_ & ~0x0F00) | 0x0300);
    __asm__ __volatile__("fldcw %0" : : "m"(word) : "memory");
  }
  ~ExtendedPrecisionScope() { __asm__ __volatile__("fldcw %0" : : "m"(saved_) : "memory"); }
  ExtendedPrecisionScope(const ExtendedPrecisionScope&) = delete;
  ExtendedPrecisionScope& operator=(const ExtendedPrecisionScope&) = delete;

 private:
  uint16_t saved_ = 0;
};
#else
using E = SoftExtended;
using sw::RoundToInt64;
using sw::ToFloat;
using sw::TruncateToInt64;

// Software needs no state.
class ExtendedPrecisionScope {};
#endif

inline E Ext(int64_t value) { return E(value); }
inline E Ext(float value) { return E(value); }

}  // namespace sw::reference
