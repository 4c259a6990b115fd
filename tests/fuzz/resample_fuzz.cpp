// libFuzzer target for the resampler: a small picture of any kind, two scale
// factors (extreme ones too) and a way of spreading the rows, from the input
// bytes (ResampleInput.h); the resampler's result must equal the plain
// per-pixel evaluation bit for bit.

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "QuietHost.h"
#include "ReferenceResampler.h"
#include "core/Error.h"
#include "fuzz/ResampleInput.h"
#include "image/resize/Resampler.h"
#include "image/resize/ResizeTuning.h"

namespace {

// Destinations above this many pixels (or rows, or columns) are passed over:
// the plain evaluation takes a few microseconds a pixel under the sanitizers.
constexpr int64_t kLargestOutput = int64_t{1} << 14;

// Round(size x scale) when it is a size of at most kLargestOutput, else -1.
int64_t OutputSize(int32_t size, float scale) {
  if (!std::isfinite(scale)) return -1;
  const long double product = static_cast<long double>(size) * scale;
  if (!(product > -0.5L && product < kLargestOutput)) return -1;
  return sw::reference::ReferenceSize(size, scale);
}

void Check(bool condition) {
  if (!condition) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const sw::fuzz::ResampleInput input = sw::fuzz::ResampleInput::Read(data, size);
  sw::Picture source;
  try {
    source = input.MakePicture();
  } catch (const sw::Error&) {
    return 0;  // masks no DIB may have
  }
  const float scaleX = input.ScaleX(), scaleY = input.ScaleY();
  const int64_t width = OutputSize(source.Width(), scaleX), height = OutputSize(source.Height(), scaleY);
  if (width < 0 || height < 0 || width * height > kLargestOutput) return 0;

  const sw::Picture expected = sw::reference::ReferenceResize(source, scaleX, scaleY);
  sw::Picture picture = source;
  sw::test::QuietHost host;
  sw::ResizeTuning options;
  options.threads = input.Threads();
  options.rowsPerTask = input.RowsPerTask();
  if (input.WithoutTables()) options.maxTableWidth = 1;
  sw::ResizeBitmap(picture, scaleX, scaleY, host, options);

  Check(picture.Width() == expected.Width() && picture.Height() == expected.Height());
  Check(picture.IsDisplayCompatible());
  std::vector<sw::ColorValue> want(static_cast<size_t>(expected.Width())), got(want.size());
  for (int32_t y = 0; y < expected.Height(); ++y) {
    expected.ReadRow(y, want.data());
    picture.ReadRow(y, got.data());
    Check(want == got);
  }
  return 0;
}
