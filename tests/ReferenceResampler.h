#pragma once
// The resampling formulas evaluated plainly, pixel by pixel, through the
// picture's pixel read and write: the yardstick for the resampler. It shares
// no code with it; it sets the x87 control word itself.

#include <cstdint>

#include "image/picture/Picture.h"

namespace sw::reference {

// 64-bit precision and rounding to nearest for the scope, whatever was set.
class ExtendedPrecisionScope {
 public:
  ExtendedPrecisionScope() {
    __asm__ __volatile__("fnstcw %0" : "=m"(saved_));
    const uint16_t word = static_cast<uint16_t>((saved_ & ~0x0F00) | 0x0300);
    __asm__ __volatile__("fldcw %0" : : "m"(word) : "memory");
  }
  ~ExtendedPrecisionScope() { __asm__ __volatile__("fldcw %0" : : "m"(saved_) : "memory"); }

 private:
  uint16_t saved_ = 0;
};

inline int32_t ReferenceSize(int32_t size, float scale) {
  ExtendedPrecisionScope scope;
  return static_cast<int32_t>(__builtin_llrintl(static_cast<long double>(size) * scale));
}

// Rows firstRow .. firstRow + rowCount - 1 of the resampled picture, as a
// display-compatible picture of Round(W x ScaleX) by rowCount pixels.
inline Picture ReferenceRows(const Picture& source, float ScaleX, float ScaleY, int32_t firstRow, int32_t rowCount) {
  using Extended = long double;
  const int32_t newWidth = ReferenceSize(source.Width(), ScaleX);
  Picture out = Picture::CreateDisplayCompatible(newWidth, rowCount);
  ExtendedPrecisionScope scope;
  for (int32_t y = firstRow; y < firstRow + rowCount; ++y) {
    for (int32_t x = 0; x < newWidth; ++x) {
      const int64_t sx = static_cast<int64_t>(static_cast<Extended>(x) / ScaleX);
      const int64_t sy = static_cast<int64_t>(static_cast<Extended>(y) / ScaleY);
      const int64_t X0 = __builtin_llrintl(static_cast<Extended>(sx) * ScaleX);
      const int64_t Y0 = __builtin_llrintl(static_cast<Extended>(sy) * ScaleY);
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
        const float dT = static_cast<float>(static_cast<Extended>(p10 - p00) / ScaleX);
        const float T = static_cast<float>(static_cast<Extended>(x) * dT + p00 - static_cast<Extended>(X0) * dT);
        const float dB = static_cast<float>(static_cast<Extended>(p11 - p01) / ScaleX);
        const float B = static_cast<float>(static_cast<Extended>(x) * dB + p01 - static_cast<Extended>(X0) * dB);
        const float dY = static_cast<float>((static_cast<Extended>(B) - T) / ScaleY);
        const int64_t v =
            __builtin_llrintl(static_cast<Extended>(y) * dY + T - static_cast<Extended>(Y0) * dY);
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
