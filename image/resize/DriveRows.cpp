#include "image/resize/DriveRows.h"

#include <cmath>

#include "image/resize/ResizeTuning.h"
#include "image/resize/X87.h"

namespace sw {

bool DriveRows(ResizeCore& core, RowSink* sink, ResizeHost& host) {
  const int32_t height = core.Plan().height;
  for (int32_t y = 0; y < height; ++y) {
    const uint8_t* row = core.Complete(y);
    if (sink) sink->TakeRow(y, row);
    host.RowDone(ProgressAfterRow(y, height));
    if (host.ShouldStop()) return false;
    core.Used(y);
  }
  if (ResizeStats* stats = CurrentResizeTuning().stats) *stats = core.Stats();
  host.RowsDone();
  return true;
}

int ProgressAfterRow(int32_t y, int32_t newHeight) {
  ResamplerArithmetic arithmetic;
  const int32_t hundredfold = static_cast<int32_t>(static_cast<uint32_t>(y) * 100u);
  int percent = static_cast<int>(rintl(static_cast<Extended>(hundredfold) / newHeight));
  FloatingPointFence(percent);
  return percent;
}

}  // namespace sw
