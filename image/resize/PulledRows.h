#pragma once
// Source rows decoded from a RowStream on the thread that reads them, as the
// resampler asks for them: for a core whose rows are all made on one thread
// (ResizeCore::Company::kOnCallingThread), which then decodes its own
// source. The rows the span's output reads are kept until released, the
// others passed over; the few places for them are made once.

#include <cstdint>
#include <memory>
#include <vector>

#include "image/resize/ResizeCore.h"
#include "image/resize/RowStream.h"
#include "image/resize/RowsRead.h"
#include "image/resize/SourceRows.h"

namespace sw {

class PulledRows : public SourceRows {
 public:
  // The rows output rows `span` of `sizes` read from `stream`, none of
  // which is read yet.
  PulledRows(RowStream& stream, const ResizePlan& sizes, RowSpan span);

  int32_t Width() const override { return stream_.Width(); }
  int32_t Height() const override { return stream_.Height(); }
  size_t DirectStep() const override { return stream_.Form().directStep; }
  // Decodes on up to `row`: raises the stream's failure.
  const uint8_t* StoredRow(int32_t row) const override;
  void ReadRow(int32_t row, ColorValue* colors) const override;
  ColorValue ReadPixel(int32_t x, int32_t y) const override;
  void Release(int32_t row) override { released_ = row > released_ ? row : released_; }
  // Nothing waits: a stop is seen between rows.
  void CancelWaits() override {}

 private:
  // The place of a row that is kept, or of a row to keep, from the free ones.
  uint8_t* PlaceOf(int32_t row) const;

  RowStream& stream_;
  const ResizePlan& sizes_;
  mutable RowsRead read_;
  // A row is read at most by two consecutive output rows, each of two rows.
  static constexpr size_t kPlaces = 4;
  std::unique_ptr<uint8_t[]> places_;
  mutable int32_t rowIn_[kPlaces] = {-1, -1, -1, -1};
  int32_t released_ = 0;
};

}  // namespace sw
