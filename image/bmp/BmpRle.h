#pragma once
// Decoding of run-length encoded BMP pixel data (BI_RLE8 and BI_RLE4), as the
// Windows bitmap format describes it: into a whole picture, or line by line.

#include <cstdint>
#include <vector>

#include "core/ByteStream.h"
#include "image/picture/Picture.h"

namespace sw {

// Decodes `byteCount` bytes of `source` as BI_RLE8 (bitsPerPixel 8) or
// BI_RLE4 (bitsPerPixel 4) onto `picture`, whose first encoded line is its
// bottom row. Indices become their colour-table entry (an index past the
// table is black). Runs and deltas that leave the picture are clipped; pixels
// the data never reaches, also after data that ends without an end-of-bitmap
// code, are black. "Stream read error" when the source holds fewer than
// `byteCount` bytes and the decoder needs them.
void DecodeRle(ByteSource& source, uint64_t byteCount, int bitsPerPixel,
               const std::vector<PaletteEntry>& colorTable, Picture& picture);

// The same data decoded one line at a time, in any order, without the
// picture: one pass over the data notes where each line's codes begin (the
// data only ever moves up, so each line's codes are one stretch of it), and a
// line is then decoded from there alone.
class RleLines {
 public:
  // Walks the `byteCount` bytes at `offset` of `source`, with the same
  // failures as DecodeRle.
  RleLines(RandomAccessSource& source, uint64_t offset, uint64_t byteCount, int bitsPerPixel,
           const std::vector<PaletteEntry>& colorTable, int32_t width, int32_t height);

  // Line `line` (0 at the bottom) as 4-byte pixels, blue, green, red and 0:
  // the row DecodeRle makes of it, as the picture stores it.
  void ReadLine(int32_t line, uint8_t* pixels);

  struct LineStart {
    uint32_t line;
    uint32_t offset;  // of its first code, in the data; run-length data is less than 4 GiB
    uint32_t x;       // the column the data enters it at
  };

 private:
  RandomAccessSource& source_;
  const uint64_t offset_;
  const uint64_t byteCount_;
  const int bitsPerPixel_;
  const int32_t width_;
  std::vector<ColorValue> colors_;
  std::vector<LineStart> starts_;  // in line order, which is data order; lines not entered are black
  std::vector<uint8_t> codes_;
};

}  // namespace sw
