#pragma once
// How one row of a picture is stored, and how its pixels read as colour
// values: what a reader that gives rows one at a time tells about them.

#include <cstddef>
#include <cstdint>
#include <vector>

#include "image/picture/PixelFormat.h"

namespace sw {

// Bytes per pixel of rows whose stored bytes are blue, green, red (24 bits,
// and 32 bits without masks), which can be read in place; 0 for the others.
size_t DirectStepOf(int bitsPerPixel, uint32_t compression);

struct StoredRowForm {
  StoredRowForm(int bitsPerPixel, uint32_t compression, const uint32_t masks[3], std::vector<PaletteEntry> table,
                size_t rowBytes);
  PixelFormat format;
  std::vector<PaletteEntry> palette;  // the colour table, for 8 bits or fewer
  size_t bytes;                       // of one stored row
  size_t directStep;                  // DirectStepOf its depth and compression

  void Decode(const uint8_t* row, int32_t first, int32_t count, ColorValue* colors) const {
    format.Decode(row, first, count, palette, colors);
  }
};

}  // namespace sw
