#include "image/resize/SourceRows.h"

namespace sw {

PictureRows::PictureRows(const Picture& picture) : picture_(picture) {
  if (!picture.IsEmpty()) directStep_ = DirectStepOf(picture.BitsPerPixel(), picture.Compression());
}

}  // namespace sw
