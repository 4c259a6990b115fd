#include "image/resize/KernelDispatch.h"

#include <atomic>
#include <cstdint>

#include "image/resize/KernelSet.h"

#if defined(__x86_64__) || defined(__i386__)
#include <cpuid.h>
#define STRETCHWELL_X86_KERNELS 1
#endif

namespace sw {
namespace {

#ifdef STRETCHWELL_X86_KERNELS
// XCR0: the register state the operating system saves on a context switch.
// Without it, a processor's AVX registers can't be used even when it has them.
constexpr uint64_t kXmmYmmState = 0x06;
constexpr uint64_t kAvx512State = 0xE0;  // opmask, upper halves of ZMM0-15, ZMM16-31

uint64_t SavedRegisterState() {
  uint32_t low, high;
  __asm__("xgetbv" : "=a"(low), "=d"(high) : "c"(0));
  return (uint64_t{high} << 32) | low;
}

KernelWidth WidestSupported() {
  unsigned a, b, c, d;
  if (!__get_cpuid(1, &a, &b, &c, &d)) return KernelWidth::Sse2;
  // XGETBV itself exists only where the system has enabled it (OSXSAVE).
  if (!(c & bit_OSXSAVE) || !(c & bit_AVX)) return KernelWidth::Sse2;
  const uint64_t state = SavedRegisterState();
  if ((state & kXmmYmmState) != kXmmYmmState) return KernelWidth::Sse2;
  if (!__get_cpuid_count(7, 0, &a, &b, &c, &d) || !(b & bit_AVX2)) return KernelWidth::Sse2;
  const unsigned avx512 = bit_AVX512F | bit_AVX512DQ | bit_AVX512BW | bit_AVX512VL;
  if ((b & avx512) == avx512 && (state & (kXmmYmmState | kAvx512State)) == (kXmmYmmState | kAvx512State))
    return KernelWidth::Avx512;
  return KernelWidth::Avx2;
}
#else
KernelWidth WidestSupported() { return KernelWidth::Scalar; }
#endif

KernelWidth Widest() {
  static const KernelWidth widest = WidestSupported();
  return widest;
}

std::atomic<int> selected{-1};  // a KernelWidth, or -1 for the widest

}  // namespace

const char* KernelWidthName(KernelWidth width) {
  switch (width) {
    case KernelWidth::Scalar: return "scalar";
    case KernelWidth::Sse2: return "sse2";
    case KernelWidth::Avx2: return "avx2";
    case KernelWidth::Avx512: return "avx512";
  }
  return "?";
}

bool KernelWidthSupported(KernelWidth width) { return static_cast<int>(width) <= static_cast<int>(Widest()); }

KernelWidth ActiveKernelWidth() {
  const int width = selected.load(std::memory_order_relaxed);
  return width < 0 ? Widest() : static_cast<KernelWidth>(width);
}

bool SelectKernelWidth(KernelWidth width) {
  if (!KernelWidthSupported(width)) return false;
  selected.store(static_cast<int>(width), std::memory_order_relaxed);
  return true;
}

const KernelSet& ActiveKernels() {
  switch (ActiveKernelWidth()) {
#ifdef STRETCHWELL_X86_KERNELS
    case KernelWidth::Avx512: return kAvx512Kernels;
    case KernelWidth::Avx2: return kAvx2Kernels;
    case KernelWidth::Sse2: return kSse2Kernels;
#endif
    default: break;
  }
  return kScalarKernels;
}

}  // namespace sw
