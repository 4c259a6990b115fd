#pragma once
// Decoding of run-length encoded BMP pixel data (BI_RLE8 and BI_RLE4) into a
// picture, as the Windows bitmap format describes it.

#include <cstdint>
#include <vector>

#include "core/ByteStream.h"
#include "image/Picture.h"

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

}  // namespace sw
