#pragma once
// JPEG files made with libjpeg itself from pixels of a known pattern, for the
// tests and for the fuzz target's seed corpus.

#include <cstdint>
#include <cstdlib>
#include <vector>

#include <cstdio>
#include <jpeglib.h>

#include "image/picture/Picture.h"

namespace sw::jpegtest {

using Bytes = std::vector<uint8_t>;

// Smooth ramps with a sharp checkerboard in blue: enough detail that a wrong
// row order, channel order or palette shows.
inline ColorValue PatternColor(int x, int y) {
  const uint32_t red = static_cast<uint32_t>((x * 251 / 64 + y) & 0xFF);
  const uint32_t green = static_cast<uint32_t>((y * 241 / 48 + 3 * x) & 0xFF);
  const uint32_t blue = ((x / 8 + y / 8) % 2) != 0 ? 200u : 40u;
  return red | (green << 8) | (blue << 16);
}

inline uint8_t PatternGrey(int x, int y) { return static_cast<uint8_t>((x * 7 + y * 5 + ((x / 4 + y / 4) % 2) * 90) & 0xFF); }

// Interleaved samples of `components` per pixel, the same pattern in each form.
inline Bytes PatternSamples(int width, int height, int components) {
  Bytes samples;
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      const ColorValue color = PatternColor(x, y);
      if (components == 1) {
        samples.push_back(PatternGrey(x, y));
        continue;
      }
      for (int c = 0; c < 3 && c < components; ++c) samples.push_back(static_cast<uint8_t>(color >> (8 * c)));
      for (int c = 3; c < components; ++c) samples.push_back(static_cast<uint8_t>(255 - ((x * 3 + y * 11) & 0x7F)));
    }
  }
  return samples;
}

// How a test file is made with libjpeg.
struct FileRecipe {
  int width = 37;
  int height = 23;
  int components = 3;
  J_COLOR_SPACE inSpace = JCS_RGB;
  J_COLOR_SPACE fileSpace = JCS_UNKNOWN;  // JCS_UNKNOWN: the library's default for inSpace
  int quality = 85;
  bool progressive = false;
  bool arithmetic = false;
  bool separateScans = false;  // sequential, one scan per component
  int restartRows = 0;
  int lumaSampling[2] = {0, 0};  // horizontal, vertical; 0: the library's default
  Bytes samples;  // empty: PatternSamples
};

inline Bytes MakeJpegFile(FileRecipe recipe) {
  if (recipe.samples.empty()) recipe.samples = PatternSamples(recipe.width, recipe.height, recipe.components);
  jpeg_compress_struct cinfo{};
  jpeg_error_mgr errors{};
  cinfo.err = jpeg_std_error(&errors);
  jpeg_create_compress(&cinfo);
  unsigned char* buffer = nullptr;
  unsigned long size = 0;
  jpeg_mem_dest(&cinfo, &buffer, &size);
  cinfo.image_width = static_cast<JDIMENSION>(recipe.width);
  cinfo.image_height = static_cast<JDIMENSION>(recipe.height);
  cinfo.input_components = recipe.components;
  cinfo.in_color_space = recipe.inSpace;
  jpeg_set_defaults(&cinfo);
  if (recipe.fileSpace != JCS_UNKNOWN) jpeg_set_colorspace(&cinfo, recipe.fileSpace);
  jpeg_set_quality(&cinfo, recipe.quality, TRUE);
  if (recipe.progressive) jpeg_simple_progression(&cinfo);
  cinfo.arith_code = recipe.arithmetic ? TRUE : FALSE;
  cinfo.restart_in_rows = recipe.restartRows;
  if (recipe.lumaSampling[0] > 0) {
    cinfo.comp_info[0].h_samp_factor = recipe.lumaSampling[0];
    cinfo.comp_info[0].v_samp_factor = recipe.lumaSampling[1];
  }
  std::vector<jpeg_scan_info> scans(static_cast<size_t>(recipe.components));
  if (recipe.separateScans) {
    for (int c = 0; c < recipe.components; ++c) scans[c] = jpeg_scan_info{1, {c, 0, 0, 0}, 0, 63, 0, 0};
    cinfo.scan_info = scans.data();
    cinfo.num_scans = recipe.components;
  }
  jpeg_start_compress(&cinfo, TRUE);
  const size_t stride = static_cast<size_t>(recipe.width) * recipe.components;
  while (cinfo.next_scanline < cinfo.image_height) {
    JSAMPROW row = recipe.samples.data() + cinfo.next_scanline * stride;
    jpeg_write_scanlines(&cinfo, &row, 1);
  }
  jpeg_finish_compress(&cinfo);
  jpeg_destroy_compress(&cinfo);
  Bytes bytes(buffer, buffer + size);
  std::free(buffer);
  return bytes;
}

}  // namespace sw::jpegtest
