#pragma once
// The floating-point state the resampler's double-precision fast path needs,
// on every processor it builds for: rounding to nearest (ties to even), no
// flush-to-zero, no denormals-are-zero, every exception masked. On x86-64 it
// also sets the x87 unit's 64-bit precision, for the extended steps that run
// there (X87.h). The caller's state comes back at the end of the scope.

#if defined(__x86_64__) || defined(__i386__)

#include "image/resize/X87.h"

#elif defined(__aarch64__)

#include <cstdint>

namespace sw {

// FPCR: RMode (bits 22-23, 0 = to nearest), FZ (24), FZ16 (19), the trap
// enables (8-12, 15), and Armv8.7's alternate handling (0-2: FIZ flushes
// denormal inputs, AH, NEP), reserved as zero on processors without it.
constexpr uint64_t kFpcrAlternate = 0x7;
constexpr uint64_t kFpcrRoundingMask = uint64_t{3} << 22;
constexpr uint64_t kFpcrFlushToZero = uint64_t{1} << 24;
constexpr uint64_t kFpcrFlushToZero16 = uint64_t{1} << 19;
constexpr uint64_t kFpcrTraps = 0x9F00;

class ResamplerArithmetic {
 public:
  ResamplerArithmetic() {
    __asm__ __volatile__("mrs %0, fpcr" : "=r"(saved_));
    const uint64_t word = saved_ & ~(kFpcrRoundingMask | kFpcrFlushToZero | kFpcrFlushToZero16 | kFpcrTraps | kFpcrAlternate);
    __asm__ __volatile__("msr fpcr, %0" : : "r"(word) : "memory");
  }
  ~ResamplerArithmetic() { __asm__ __volatile__("msr fpcr, %0" : : "r"(saved_) : "memory"); }
  ResamplerArithmetic(const ResamplerArithmetic&) = delete;
  ResamplerArithmetic& operator=(const ResamplerArithmetic&) = delete;

 private:
  uint64_t saved_;
};

// Makes `value` pass through memory at this point, so arithmetic that
// produces or uses it can't be moved across a neighbouring change of state.
template <typename T>
inline void FloatingPointFence(T& value) {
  __asm__ __volatile__("" : "+m"(value) : : "memory");
}

}  // namespace sw

#else
#error "the resampler's floating-point state is set for x86-64 and aarch64 only"
#endif
