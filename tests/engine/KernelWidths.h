#pragma once
// Runs a test once per kernel width of the resampler (KernelDispatch.h),
// skipping the widths this processor lacks and restoring the width in use.

#include <gtest/gtest.h>

#include "image/resize/KernelDispatch.h"

namespace sw {

class AtEveryKernelWidth : public testing::TestWithParam<KernelWidth> {
 protected:
  void SetUp() override {
    if (!SelectKernelWidth(GetParam())) GTEST_SKIP() << KernelWidthName(GetParam()) << " is not available here";
  }
  void TearDown() override { SelectKernelWidth(previous_); }

 private:
  const KernelWidth previous_ = ActiveKernelWidth();
};

inline std::string KernelWidthTestName(const testing::TestParamInfo<KernelWidth>& info) {
  return KernelWidthName(info.param);
}

}  // namespace sw

// Instantiates the TEST_Ps of `suite`, a subclass of AtEveryKernelWidth, for every width.
#define INSTANTIATE_AT_EVERY_KERNEL_WIDTH(suite)                                                               \
  INSTANTIATE_TEST_SUITE_P(Kernels, suite,                                                                      \
                           testing::Values(sw::KernelWidth::Scalar, sw::KernelWidth::Sse2, sw::KernelWidth::Avx2,   \
                                           sw::KernelWidth::Avx512),                                                   \
                           sw::KernelWidthTestName)
