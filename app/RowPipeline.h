#pragma once
// A resize that streams: the source decoded on a thread of its own, row by
// row, into a small ring of the source rows the output reads; the output
// rows made from them on the resampler's threads into a small ring of their
// own; and the calling thread taking the output rows in order, as the
// encoder needs them. So decoding, resampling and encoding run at once, and
// no thread holds more than a few rows. Every thread stops and is joined on
// every way out.

#include <atomic>
#include <cstdint>
#include <memory>
#include <optional>
#include <thread>
#include <vector>

#include "app/PictureRowSource.h"
#include "app/SourceRowQueue.h"
#include "image/resize/ResizePlan.h"
#include "image/resize/RowMaker.h"
#include "image/resize/RowSchedule.h"

namespace sw {

class RowPipeline {
 public:
  // Starts the threads for `plan` (tables made, W' > 0 and H' > 0) on
  // `source`, whose rows have not been read yet; output rows in `order`.
  RowPipeline(const ResizePlan& plan, PictureRowSource& source, PixelOrder order);
  // Stops every thread where it stands and joins it; `source` may be read on
  // from where the decoder left it.
  ~RowPipeline();
  RowPipeline(const RowPipeline&) = delete;
  RowPipeline& operator=(const RowPipeline&) = delete;

  // Output row y, rows taken in order: waits until it is made, making rows
  // on the calling thread meanwhile. A failure of any thread is raised here.
  const uint8_t* Row(int32_t y);
  // Row y has been used: its room, and that of the source rows no later row
  // reads, is free.
  void Used(int32_t y);
  // Waits for the decoder, which after the last row the output reads goes on
  // to the end of the file.
  void WaitForSource();

  // The source rows `outputRows` consecutive output rows read at most: how
  // large the source ring is (the output ring holds the row schedule's
  // rows in flight).
  static size_t SourceRowsFor(const ResizePlan& plan, int32_t outputRows);

 private:
  void Decode();
  void Stop();

  const ResizePlan& plan_;
  PictureRowSource& source_;
  const PixelOrder order_;
  const int threads_;
  const int rowsPerTask_;
  const int32_t ringRows_;
  SourceRowQueue queue_;
  const size_t rowBytes_;
  std::unique_ptr<uint8_t[]> ring_;
  std::atomic<int32_t> used_{0};
  std::vector<RowMaker> makers_;
  std::thread decoder_;
  std::optional<RowSchedule> schedule_;
};

}  // namespace sw
