#pragma once
// Where the resampler reads its source: rows by index, 0 at the top, either
// in place when their stored bytes are blue, green, red (24 bits, or 32 bits
// without masks) or as colour values. A picture in memory is one such source;
// rows decoded as they are needed are another: their reads may wait until
// the row is decoded, and may raise when it never will be (the decoder
// failed, or the job was stopped).

#include <cstddef>
#include <cstdint>
#include <vector>

#include "image/picture/Picture.h"
#include "image/picture/StoredRowForm.h"

namespace sw {

class SourceRows {
 public:
  virtual ~SourceRows() = default;
  virtual int32_t Width() const = 0;
  virtual int32_t Height() const = 0;
  // Bytes per pixel of rows read in place (3 or 4), or 0 when rows come as
  // colour values only.
  virtual size_t DirectStep() const = 0;
  // Row `row` (0 <= row < Height()) as stored, when DirectStep() is not 0.
  virtual const uint8_t* StoredRow(int32_t row) const = 0;
  // Row `row` as Width() colour values.
  virtual void ReadRow(int32_t row, ColorValue* colors) const = 0;
  // The colour at (x, y); kColorOutside outside the source.
  virtual ColorValue ReadPixel(int32_t x, int32_t y) const = 0;

  // Rows above `row` are read no more: a source that holds rows as they
  // come may let them go.
  virtual void Release(int32_t row) = 0;
  // The resize is stopping: reads waiting for a row, and every later one,
  // raise instead.
  virtual void CancelWaits() = 0;
};

// The rows of a picture in memory, which the caller keeps alive and unchanged.
class PictureRows : public SourceRows {
 public:
  explicit PictureRows(const Picture& picture);
  int32_t Width() const override { return picture_.Width(); }
  int32_t Height() const override { return picture_.Height(); }
  size_t DirectStep() const override { return directStep_; }
  const uint8_t* StoredRow(int32_t row) const override { return picture_.Row(row); }
  void ReadRow(int32_t row, ColorValue* colors) const override { picture_.ReadRow(row, colors); }
  ColorValue ReadPixel(int32_t x, int32_t y) const override { return picture_.ReadPixel(x, y); }
  // The picture stays whole for its owner, and its reads never wait.
  void Release(int32_t) override {}
  void CancelWaits() override {}

 private:
  const Picture& picture_;
  size_t directStep_ = 0;
};

}  // namespace sw
