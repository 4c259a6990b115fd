#pragma once
// Which source rows the output rows of a span read, asked in rising order:
// the rows sy and sy + 1 of every one of them, walked alongside. What a
// reader that decodes rows as they are needed keeps, and passes over.

#include <cstdint>

#include "image/resize/ResizeCore.h"
#include "image/resize/ResizePlan.h"

namespace sw {

class RowsRead {
 public:
  // A destination without columns reads no source row.
  RowsRead(const ResizePlan& sizes, RowSpan span)
      : sizes_(sizes), end_(span.end < sizes.height ? span.end : sizes.height), y_(sizes.width == 0 ? end_ : span.first) {}
  bool Includes(int32_t row) {
    while (y_ < end_ && First() + 1 < row) ++y_, first_ = -1;
    return y_ < end_ && (row == First() || row == First() + 1);
  }
  // The first row from `row` on that the span needs; the source's height
  // when it needs no more.
  int64_t NextFrom(int32_t row) {
    if (Includes(row)) return row;
    return y_ < end_ ? First() : sizes_.sourceHeight;
  }

 private:
  int64_t First() {
    if (first_ < 0) first_ = FirstSourceRow(sizes_, y_);
    return first_;
  }
  const ResizePlan& sizes_;
  const int32_t end_;
  int32_t y_;
  int64_t first_ = -1;
};

}  // namespace sw
