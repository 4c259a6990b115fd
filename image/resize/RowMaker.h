#pragma once
// One thread's output rows: for output row y it makes (or keeps from the row
// before) the row values of source rows sy and sy + 1 and their slopes, then
// the final values, and packs them as 4-byte pixels of the picture, or as
// the red, green, blue samples a JPEG encoder takes. Its working rows hold a
// few floats per output column; nothing grows with the height.

#include <cstdint>
#include <vector>

#include "image/resize/ResizePlan.h"
#include "image/resize/ResizeStats.h"
#include "image/resize/SourceRows.h"

namespace sw {

class RowMaker {
 public:
  RowMaker(const ResizePlan& plan, const SourceRows& source);

  // Output row y into `target` as a display-compatible picture stores it
  // (blue, green, red, 0: 4 x W' bytes), under the resampler's arithmetic,
  // which it sets for the row.
  void Make(int32_t y, uint8_t* target);

  const ValueCounts& Counts() const { return counts_; }

 private:
  int RowValuesFor(int64_t row, int keep);
  void MakeRowValues(int64_t row, float* out);
  void MakeWithoutTables(int32_t y, uint8_t* target);

  const ResizePlan& plan_;
  const SourceRows& source_;
  size_t directStep_;
  std::vector<ColorValue> colors_;
  std::vector<uint8_t> samples_;  // one source row, 3 channels a pixel, and two white pixels after it
  uint8_t edge_[9] = {};          // the source row's last pixel and two white ones, for rows read in place
  std::vector<float> rows_[2];
  int64_t rowKeys_[2] = {-1, -1};
  std::vector<float> slopes_;
  int64_t slopeKey_ = -1;
  std::vector<uint8_t> channels_;
  ValueCounts counts_;
};

}  // namespace sw
