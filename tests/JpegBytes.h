#pragma once
// Small JPEG files made with libjpeg itself, for tests that need a JPEG source.

#include <cstdio>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include <jpeglib.h>

namespace sw::test {

// An RGB JPEG whose pixel (x, y) is `color(x, y)` (red | green << 8 | blue << 16).
template <typename ColorOf>
std::vector<uint8_t> MakeJpeg(int width, int height, bool progressive, ColorOf color) {
  jpeg_compress_struct compressor{};
  jpeg_error_mgr errors{};
  compressor.err = jpeg_std_error(&errors);
  jpeg_create_compress(&compressor);
  unsigned char* buffer = nullptr;
  unsigned long size = 0;
  jpeg_mem_dest(&compressor, &buffer, &size);
  compressor.image_width = static_cast<JDIMENSION>(width);
  compressor.image_height = static_cast<JDIMENSION>(height);
  compressor.input_components = 3;
  compressor.in_color_space = JCS_RGB;
  jpeg_set_defaults(&compressor);
  jpeg_set_quality(&compressor, 90, TRUE);
  if (progressive) jpeg_simple_progression(&compressor);
  jpeg_start_compress(&compressor, TRUE);
  std::vector<JSAMPLE> row(static_cast<size_t>(width) * 3);
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      const uint32_t c = color(x, y);
      row[x * 3] = static_cast<JSAMPLE>(c & 0xFF);
      row[x * 3 + 1] = static_cast<JSAMPLE>((c >> 8) & 0xFF);
      row[x * 3 + 2] = static_cast<JSAMPLE>((c >> 16) & 0xFF);
    }
    JSAMPROW rows[1] = {row.data()};
    jpeg_write_scanlines(&compressor, rows, 1);
  }
  jpeg_finish_compress(&compressor);
  jpeg_destroy_compress(&compressor);
  std::vector<uint8_t> bytes(buffer, buffer + size);
  std::free(buffer);
  return bytes;
}

// Whether the file's frame header is the progressive one (SOF2).
inline bool HasMarker(const std::vector<uint8_t>& bytes, uint8_t marker) {
  for (size_t i = 0; i + 1 < bytes.size(); ++i)
    if (bytes[i] == 0xFF && bytes[i + 1] == marker) return true;
  return false;
}
inline bool IsProgressiveJpeg(const std::vector<uint8_t>& bytes) { return HasMarker(bytes, 0xC2); }
inline bool IsBaselineJpeg(const std::vector<uint8_t>& bytes) { return HasMarker(bytes, 0xC0); }

}  // namespace sw::test
