#pragma once
// The resampling formulas evaluated plainly, pixel by pixel, through the
// picture's pixel read and write: the yardstick for the resampler. It shares
// no code with it; where it runs on the x87 unit it sets the control word
// itself.

#include <cstdint>

#include "ReferenceArithmetic.h"
#include "image/picture/Picture.h"

namespace sw::reference {

inline int32_t ReferenceSize(int32_t size, float scale) {
  ExtendedPrecisionScope scope;
  return static_cast<int32_t>(RoundToInt64(Ext(int64_t{size}) * Ext(scale)));
}

// Rows firstRow .. firstRow + rowCount - 1 of the resampled picture, as a
// display-compatible picture of Round(W x ScaleX) by rowCount pixels.
inline Picture ReferenceRows(const Picture& source, float ScaleX, float ScaleY, int32_t firstRow, int32_t rowCount) {
  const int32_t newWidth = ReferenceSize(source.Width(), ScaleX);
  Picture out = Picture::CreateDisplayCompatible(newWidth, rowCount);
  ExtendedPrecisionScope scope;
  for (int32_t y = firstRow; y < firstRow + rowCount; ++y) {
    for (int32_t x = 0; x < newWidth; ++x) {
      const int64_t sx = TruncateToInt64(Ext(int64_t{x}) / Ext(ScaleX));
      const int64_t sy = TruncateToInt64(Ext(int64_t{y}) / Ext(ScaleY));
      const int64_t X0 = RoundToInt64(Ext(sx) * Ext(ScaleX));
      const int64_t Y0 = RoundToInt64(Ext(sy) * Ext(ScaleY));
      const ColorValue P[2][2] = {
          {source.ReadPixel(static_cast<int32_t>(sx), static_cast<int32_t>(sy)),
           source.ReadPixel(static_cast<int32_t>(sx), static_cast<int32_t>(sy + 1))},
          {source.ReadPixel(static_cast<int32_t>(sx + 1), static_cast<int32_t>(sy)),
           source.ReadPixel(static_cast<int32_t>(sx + 1), static_cast<int32_t>(sy + 1))},
      };
      ColorValue result = 0;
      for (int shift = 0; shift <= 16; shift += 8) {  // red, green, blue
        const int p00 = (P[0][0] >> shift) & 0xFF, p10 = (P[1][0] >> shift) & 0xFF;
        const int p01 = (P[0][1] >> shift) & 0xFF, p11 = (P[1][1] >> shift) & 0xFF;
        const float dT = ToFloat(Ext(int64_t{p10 - p00}) / Ext(ScaleX));
        const float T = ToFloat(Ext(int64_t{x}) * Ext(dT) + Ext(int64_t{p00}) - Ext(X0) * Ext(dT));
        const float dB = ToFloat(Ext(int64_t{p11 - p01}) / Ext(ScaleX));
        const float B = ToFloat(Ext(int64_t{x}) * Ext(dB) + Ext(int64_t{p01}) - Ext(X0) * Ext(dB));
        const float dY = ToFloat((Ext(B) - Ext(T)) / Ext(ScaleY));
        const int64_t v = RoundToInt64(Ext(int64_t{y}) * Ext(dY) + Ext(T) - Ext(Y0) * Ext(dY));
        result |= (static_cast<uint32_t>(v) & 0xFFu) << shift;
      }
      out.WritePixel(x, y - firstRow, result);
    }
  }
  return out;
}

inline Picture ReferenceResize(const Picture& source, float ScaleX, float ScaleY) {
  return ReferenceRows(source, ScaleX, ScaleY, 0, ReferenceSize(source.Height(), ScaleY));
}

}  // namespace sw::reference
