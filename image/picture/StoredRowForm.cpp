#include "image/picture/StoredRowForm.h"

#include "image/picture/DibHeader.h"

namespace sw {

size_t DirectStepOf(int bitsPerPixel, uint32_t compression) {
  return compression == kBiRgb && (bitsPerPixel == 24 || bitsPerPixel == 32) ? static_cast<size_t>(bitsPerPixel / 8)
                                                                             : 0;
}

StoredRowForm::StoredRowForm(int bitsPerPixel, uint32_t compression, const uint32_t masks[3],
                             std::vector<PaletteEntry> table, size_t rowBytes)
    : format(bitsPerPixel, compression, masks),
      palette(bitsPerPixel <= 8 ? std::move(table) : std::vector<PaletteEntry>()),
      bytes(rowBytes),
      directStep(DirectStepOf(bitsPerPixel, compression)) {}

}  // namespace sw
