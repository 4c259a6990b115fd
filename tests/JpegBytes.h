#pragma once
// Small JPEG sources for the run's tests, made with libjpeg itself.

#include <cstdint>
#include <vector>

#include "JpegFiles.h"

namespace sw::test {

inline std::vector<uint8_t> MakeJpeg(int width, int height, bool progressive) {
  jpegtest::FileRecipe recipe;
  recipe.width = width;
  recipe.height = height;
  recipe.quality = 90;
  recipe.progressive = progressive;
  return jpegtest::MakeJpegFile(recipe);
}

inline bool HasMarker(const std::vector<uint8_t>& bytes, uint8_t marker) {
  for (size_t i = 0; i + 1 < bytes.size(); ++i)
    if (bytes[i] == 0xFF && bytes[i + 1] == marker) return true;
  return false;
}
// Whether the file's frame header is the progressive (SOF2) or baseline (SOF0) one.
inline bool IsProgressiveJpeg(const std::vector<uint8_t>& bytes) { return HasMarker(bytes, 0xC2); }
inline bool IsBaselineJpeg(const std::vector<uint8_t>& bytes) { return HasMarker(bytes, 0xC0); }

}  // namespace sw::test
