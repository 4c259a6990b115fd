#pragma once
// How the program drives libjpeg on JPEG files held in memory: the header
// check of a load, the decode of a copy and the encode of a save. WorkJpeg
// (Jpeg.h) keeps the state between these; the fuzz target calls them directly.
// Every failure is raised as the program's error after the library object is
// destroyed.

#include <cstddef>
#include <cstdint>
#include <vector>

#include "image/Picture.h"

namespace sw::jpeg {

// Colours of 8-bit output, whether quantized for a grey file or for a screen
// of 8 bits or fewer.
constexpr int kQuantizedColors = 236;

// Scans past this many are ignored as if the file ended there: each scan of a
// progressive file costs a pass over the whole image, and no real file has
// anywhere near this many.
constexpr int kMaxScans = 500;

struct HeaderInfo {
  uint32_t width = 0;
  uint32_t height = 0;
  int components = 0;
  bool multipleScans = false;  // jpeg_has_multiple_scans
};

// Reads the markers up to the first start-of-scan, as a load does.
HeaderInfo ReadHeader(const uint8_t* data, size_t size);

// Decodes the whole file: a 24-bit DIB picture, or an 8-bit one with the
// library's colour map as palette for grey files and when `eightBitOutput`.
// Four-component (CMYK, YCCK) files become 24-bit pictures too.
Picture Decode(const uint8_t* data, size_t size, bool eightBitOutput);

// Encodes the picture as a JFIF file, quality 90, baseline or progressive.
// No picture, or an empty one, gives no bytes at all.
std::vector<uint8_t> Encode(const Picture* picture, bool progressive);

}  // namespace sw::jpeg
