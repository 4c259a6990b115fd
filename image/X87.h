#pragma once
// The x87 unit's control word, which decides how `long double` arithmetic
// rounds. The resampler's results are defined for 64-bit precision with
// rounding to nearest, so it sets exactly that for its duration.

#include <cfloat>
#include <cstdint>

static_assert(LDBL_MANT_DIG == 64, "long double must be the x87 80-bit format");

namespace sw {

constexpr uint16_t kX87PrecisionMask = 0x0300;
constexpr uint16_t kX87Precision64 = 0x0300;
constexpr uint16_t kX87Precision53 = 0x0200;
constexpr uint16_t kX87Precision24 = 0x0000;
constexpr uint16_t kX87RoundingMask = 0x0C00;
constexpr uint16_t kX87RoundNearest = 0x0000;
constexpr uint16_t kX87RoundDown = 0x0400;
constexpr uint16_t kX87RoundUp = 0x0800;
constexpr uint16_t kX87RoundTowardZero = 0x0C00;

inline uint16_t X87ControlWord() {
  uint16_t word;
  __asm__ __volatile__("fnstcw %0" : "=m"(word));
  return word;
}

inline void SetX87ControlWord(uint16_t word) { __asm__ __volatile__("fldcw %0" : : "m"(word)); }

// Sets 64-bit precision and rounding to nearest, keeping the exception masks,
// and restores the caller's control word when it goes out of scope.
class X87ExtendedPrecision {
 public:
  X87ExtendedPrecision() : saved_(X87ControlWord()) {
    SetX87ControlWord(static_cast<uint16_t>((saved_ & ~(kX87PrecisionMask | kX87RoundingMask)) |
                                            kX87Precision64 | kX87RoundNearest));
  }
  ~X87ExtendedPrecision() { SetX87ControlWord(saved_); }
  X87ExtendedPrecision(const X87ExtendedPrecision&) = delete;
  X87ExtendedPrecision& operator=(const X87ExtendedPrecision&) = delete;

 private:
  uint16_t saved_;
};

}  // namespace sw
