#include "image/resize/DriveRows.h"

#include "image/resize/ResizeTuning.h"

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

}  // namespace sw
