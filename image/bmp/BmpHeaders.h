#pragma once
// What a BMP file holds before its pixels, read and checked once for both of
// its readers: ReadBmp, which makes the whole picture, and BmpRowReader,
// which gives it row by row. So both refuse the same files with the same
// messages, in the same order.

#include <cstdint>
#include <vector>

#include "core/ByteStream.h"
#include "image/picture/Picture.h"

namespace sw {

constexpr uint32_t kBmpFileHeaderBytes = 14;
constexpr uint32_t kBmpMaskBytes = 12;

// Headers with a core header widened to the 40-byte form (biClrUsed holds the
// colour count C) and 3-byte colour entries to 4.
struct BmpHeaders {
  uint32_t headerSize = 0;
  BitmapInfoHeader header;
  uint32_t masks[3] = {0, 0, 0};
  std::vector<PaletteEntry> colorTable;
  uint64_t pixelOffset = 0;  // where the pixel data starts, from the first byte read
  uint64_t pixelBytes = 0;   // P: the pixel bytes the file offers, at most what is left of it

  bool RunLength() const { return header.biCompression != kBiRgb && header.biCompression != kBiBitfields; }
  int32_t Height() const { return header.biHeight < 0 ? -header.biHeight : header.biHeight; }
};

// Reads `count` bytes' worth of headers from `source` (at least one byte): the
// file header's "BM", the info header, masks and colour table, each checked
// where it is read, then whether a picture can be made of them at all. On
// return `source` stands at the first pixel byte.
BmpHeaders ReadBmpHeaders(ByteSource& source, uint64_t count);

// The bytes WriteBmp puts before the pixels: file header, info header as
// given (biSize written as 40), masks when `bitFields`, colour table.
std::vector<uint8_t> BmpHeaderBytes(const BitmapInfoHeader& header, bool bitFields, const uint32_t masks[3],
                                    const std::vector<PaletteEntry>& table, uint64_t imageBytes);

}  // namespace sw
