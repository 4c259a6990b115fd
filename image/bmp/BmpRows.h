#pragma once
// BMP files row by row, for a job that never holds a whole picture: every
// variant ReadBmp reads, given top row first in any order, and the resampled
// picture's file written row by row at each row's place.

#include <cstdint>
#include <memory>
#include <optional>

#include "core/ByteStream.h"
#include "image/bmp/BmpHeaders.h"
#include "image/bmp/BmpRle.h"
#include "image/picture/StoredRowForm.h"

namespace sw {

class BmpRowReader {
 public:
  // Reads the headers of all of `file`'s bytes as LoadBmpFile does, with the
  // same failures in the same order (for run-length data, after one walk
  // through it). An empty file is an empty picture of 0 x 0.
  explicit BmpRowReader(RandomAccessSource& file);

  int32_t Width() const { return width_; }
  int32_t Height() const { return height_; }
  // How the rows it gives are stored: as in the picture ReadBmp makes.
  const StoredRowForm& Form() const { return *form_; }

  // Row `row` (0 at the top) into `target`, Form().bytes long: the bytes
  // that row holds in the picture ReadBmp makes of the file (zero where the
  // data is cut short).
  void ReadRow(int32_t row, uint8_t* target);

 private:
  RandomAccessSource& file_;
  BmpHeaders headers_;
  int32_t width_ = 0;
  int32_t height_ = 0;
  std::optional<StoredRowForm> form_;
  uint64_t storedBytes_ = 0;  // of the pixel bytes the file offers, those the rows can hold
  std::unique_ptr<RleLines> lines_;
};

// The BMP file of a resampled picture (display-compatible, 32 bits a pixel,
// bottom-up), as WriteBmp writes it, with the rows put at their places as
// they come: the header at once, row y at its offset from the bottom. An
// empty picture writes nothing.
class BmpRowWriter {
 public:
  BmpRowWriter(RandomAccessSink& sink, int32_t width, int32_t height);
  // Row y (0 at the top), 4 bytes a pixel: blue, green, red, 0.
  void WriteRow(int32_t y, const uint8_t* pixels);

 private:
  RandomAccessSink& sink_;
  const int32_t height_;
  const size_t stride_;
  const uint64_t pixelOffset_;
};

}  // namespace sw
