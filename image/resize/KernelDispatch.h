#pragma once
// Which register width the resampler's kernels run at: the widest the
// processor and the operating system support, found once by CPUID (and
// XGETBV for the register state the system saves) on x86-64; one element at
// a time on other processors. Every width gives the
// same results; tests and benchmarks may choose a narrower one to run
// each of them.

namespace sw {

enum class KernelWidth {
  Scalar,  // one element at a time; every processor
  Sse2,    // two doubles a register; every x86-64 processor
  Avx2,    // four doubles a register
  Avx512,  // eight doubles and lane masks (F, DQ, BW and VL)
};

const char* KernelWidthName(KernelWidth width);

bool KernelWidthSupported(KernelWidth width);

// The width in use: the widest supported one unless another was selected.
KernelWidth ActiveKernelWidth();

// For tests and benchmarks, while no resize runs: the kernels of `width`
// from now on, in the whole process. False, and nothing changed, when this
// processor or system can't run them.
bool SelectKernelWidth(KernelWidth width);

}  // namespace sw
