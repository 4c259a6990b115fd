#pragma once
// A picture file read row by row, top row first, by the picture-type rule:
// BMP files through BmpRowReader, everything else as WorkJpeg's load and copy
// through the JPEG row decoder. What it gives is what the window's Browse
// reads, a row at a time.

#include <memory>
#include <string>

#include "image/jpeg/Jpeg.h"
#include "image/resize/RowStream.h"

namespace sw {

class PictureRowSource : public RowStream {
 public:
  // Reads the whole file into memory and closes it, so that a file written
  // in its place can take its name while its rows are still to be read.
  virtual void HoldInMemory() = 0;
};

// Opens `path` by the picture-type rule and reads up to its first row, with
// the failures of the window's Browse in the same order. A JPEG file is
// `jpeg`'s load and copy: it decodes as `jpeg` decodes (EightBitOutput), and
// leaves `jpeg` as a load leaves it (WriteProgressive).
std::unique_ptr<PictureRowSource> OpenPictureRows(const std::string& path, WorkJpeg& jpeg);

}  // namespace sw
