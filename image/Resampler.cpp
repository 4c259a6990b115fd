#include "image/Resampler.h"

#include <cmath>
#include <cstdint>

#include "image/Messages.h"
#include "image/X87.h"

namespace sw {
namespace {

using Extended = long double;

// Round to nearest, ties to even, under the x87 rounding set by the guard.
Extended RoundEven(Extended value) { return rintl(value); }

int32_t DestinationSize(int32_t size, float scale) {
  const Extended rounded = RoundEven(static_cast<Extended>(size) * static_cast<Extended>(scale));
  // A size outside the 32-bit range is refused rather than truncated.
  if (!(rounded >= static_cast<Extended>(INT32_MIN) && rounded <= static_cast<Extended>(INT32_MAX)))
    throw msg::Resource();
  return static_cast<int32_t>(rounded);
}

int Channel(ColorValue color, int shift) { return static_cast<int>((color >> shift) & 0xFF); }

}  // namespace

void ResizeBitmap(Picture& picture, float ScaleX, float ScaleY, ResizeHost& host) {
  X87ExtendedPrecision precision;
  const Picture& source = picture;
  Picture destination;
  destination.SetWidth(DestinationSize(source.Width(), ScaleX));
  destination.SetHeight(DestinationSize(source.Height(), ScaleY));

  const Extended scaleX = ScaleX, scaleY = ScaleY;
  const int32_t newHeight = destination.Height();
  for (int32_t y = 0; y < newHeight; ++y) {
    const int32_t newWidth = destination.Width();
    for (int32_t x = 0; x < newWidth; ++x) {
      const int64_t sx = static_cast<int64_t>(truncl(x / scaleX));
      const int64_t sy = static_cast<int64_t>(truncl(y / scaleY));
      const Extended x0 = RoundEven(sx * scaleX);
      const Extended y0 = RoundEven(sy * scaleY);
      const ColorValue p00 = source.ReadPixel(static_cast<int32_t>(sx), static_cast<int32_t>(sy));
      const ColorValue p10 = source.ReadPixel(static_cast<int32_t>(sx + 1), static_cast<int32_t>(sy));
      const ColorValue p01 = source.ReadPixel(static_cast<int32_t>(sx), static_cast<int32_t>(sy + 1));
      const ColorValue p11 = source.ReadPixel(static_cast<int32_t>(sx + 1), static_cast<int32_t>(sy + 1));
      ColorValue result = 0;
      for (int shift = 0; shift <= 16; shift += 8) {
        const int c00 = Channel(p00, shift), c10 = Channel(p10, shift);
        const int c01 = Channel(p01, shift), c11 = Channel(p11, shift);
        const float dT = static_cast<float>((c10 - c00) / scaleX);
        const float T = static_cast<float>(x * static_cast<Extended>(dT) + c00 - x0 * dT);
        const float dB = static_cast<float>((c11 - c01) / scaleX);
        const float B = static_cast<float>(x * static_cast<Extended>(dB) + c01 - x0 * dB);
        const float dY = static_cast<float>((static_cast<Extended>(B) - T) / scaleY);
        const Extended v = RoundEven(y * static_cast<Extended>(dY) + T - y0 * dY);
        result |= (static_cast<uint32_t>(static_cast<int64_t>(v)) & 0xFFu) << shift;
      }
      destination.WritePixel(x, y, result);
    }
    // y x 100 is a 32-bit product, as the progress is defined.
    const int32_t percentTimes = static_cast<int32_t>(static_cast<uint32_t>(y) * 100u);
    host.SetProgress(static_cast<int>(RoundEven(static_cast<Extended>(percentTimes) / newHeight)));
    host.ProcessPendingMessages();
    if (host.IsQuitting()) return;
  }
  picture = std::move(destination);
  host.SetProgress(0);
}

}  // namespace sw
