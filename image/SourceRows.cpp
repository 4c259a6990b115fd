#include "image/SourceRows.h"

namespace sw {

PictureRows::PictureRows(const Picture& picture) : picture_(picture) {
  if (!picture.IsEmpty() && picture.Compression() == kBiRgb &&
      (picture.BitsPerPixel() == 24 || picture.BitsPerPixel() == 32))
    directStep_ = static_cast<size_t>(picture.BitsPerPixel() / 8);
}

}  // namespace sw
