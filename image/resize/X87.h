#pragma once
// The floating-point control state. The x87 control word decides how `long
// double` arithmetic rounds; MXCSR decides it for float and double (SSE).
// The resampler's results are defined for x87 64-bit precision with rounding
// to nearest, so it sets exactly that for its duration, whatever the caller
// had (Windows starts processes with 53-bit precision, Wine with 64-bit).

#include <cfloat>
#include <cstdint>

static_assert(LDBL_MANT_DIG == 64, "long double must be the x87 80-bit format");

namespace sw {

// The x87 80-bit format, in which the resampler's formulas are defined.
using Extended = long double;

constexpr uint16_t kX87PrecisionMask = 0x0300;
constexpr uint16_t kX87Precision64 = 0x0300;
constexpr uint16_t kX87Precision53 = 0x0200;
constexpr uint16_t kX87Precision24 = 0x0000;
constexpr uint16_t kX87RoundingMask = 0x0C00;
constexpr uint16_t kX87RoundNearest = 0x0000;
constexpr uint16_t kX87RoundDown = 0x0400;
constexpr uint16_t kX87RoundUp = 0x0800;
constexpr uint16_t kX87RoundTowardZero = 0x0C00;
constexpr uint16_t kX87ExceptionMasks = 0x003F;

constexpr uint32_t kMxcsrExceptionMasks = 0x1F80;
constexpr uint32_t kMxcsrRoundingMask = 0x6000;
constexpr uint32_t kMxcsrRoundNearest = 0x0000;
constexpr uint32_t kMxcsrRoundDown = 0x2000;
constexpr uint32_t kMxcsrRoundUp = 0x4000;
constexpr uint32_t kMxcsrRoundTowardZero = 0x6000;
constexpr uint32_t kMxcsrFlushToZero = 0x8000;
constexpr uint32_t kMxcsrDenormalsAreZero = 0x0040;

inline uint16_t X87ControlWord() {
  uint16_t word;
  __asm__ __volatile__("fnstcw %0" : "=m"(word));
  return word;
}

// The "memory" clobbers keep loads and stores of the surrounding arithmetic
// on their side of a change of state.
inline void SetX87ControlWord(uint16_t word) { __asm__ __volatile__("fldcw %0" : : "m"(word) : "memory"); }

inline uint32_t Mxcsr() {
  uint32_t word;
  __asm__ __volatile__("stmxcsr %0" : "=m"(word));
  return word;
}

inline void SetMxcsr(uint32_t word) { __asm__ __volatile__("ldmxcsr %0" : : "m"(word) : "memory"); }

// Makes `value` pass through memory at this point, so arithmetic that
// produces or uses it can't be moved across a neighbouring change of state.
template <typename T>
inline void FloatingPointFence(T& value) {
  __asm__ __volatile__("" : "+m"(value) : : "memory");
}

// Rounds to an integer by the x87 unit's current rounding (to nearest with
// ties to even under the resampler's state).
inline int64_t RoundExtended(Extended value) {
  int64_t result;
  __asm__("fistpll %0" : "=m"(result) : "t"(value) : "st");
  return result;
}

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

// The resampler's state, per thread: x87 64-bit precision, and rounding to
// nearest (ties to even) for both x87 and SSE, without flush-to-zero or
// denormals-are-zero. Every exception is masked for the duration: none can
// occur on the resampler's values, and a trap in a worker thread would end
// the process. The caller's state comes back at the end of the scope; the
// x87 exception flags raised meanwhile are cleared first, so that restoring
// a control word with unmasked exceptions can't raise one of them.
class ResamplerArithmetic {
 public:
  ResamplerArithmetic() : savedX87_(X87ControlWord()), savedMxcsr_(Mxcsr()) {
    SetX87ControlWord(static_cast<uint16_t>((savedX87_ & ~(kX87PrecisionMask | kX87RoundingMask)) |
                                            kX87Precision64 | kX87RoundNearest | kX87ExceptionMasks));
    SetMxcsr((savedMxcsr_ & ~(kMxcsrRoundingMask | kMxcsrFlushToZero | kMxcsrDenormalsAreZero)) |
             kMxcsrRoundNearest | kMxcsrExceptionMasks);
  }
  ~ResamplerArithmetic() {
    __asm__ __volatile__("fnclex" : : : "memory");
    SetX87ControlWord(savedX87_);
    SetMxcsr(savedMxcsr_);
  }
  ResamplerArithmetic(const ResamplerArithmetic&) = delete;
  ResamplerArithmetic& operator=(const ResamplerArithmetic&) = delete;

 private:
  uint16_t savedX87_;
  uint32_t savedMxcsr_;
};

}  // namespace sw
