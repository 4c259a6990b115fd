#include "image/resize/DriveRows.h"

#include "image/resize/ResizeTuning.h"

namespace sw {

bool HandOnRow(int32_t y, int32_t height, const uint8_t* row, RowSink* sink, ResizeHost& host) {
  if (sink) sink->TakeRow(y, row);
  host.RowDone(ProgressAfterRow(y, height));
  return !host.ShouldStop();
}

bool DriveSpan(ResizeCore& core, RowSink* sink, ResizeHost& host) {
  const int32_t height = core.Plan().height;
  for (int32_t y = core.Span().first; y < core.Span().end; ++y) {
    if (!HandOnRow(y, height, core.Complete(y), sink, host)) return false;
    core.Used(y);
  }
  return true;
}

void EndRows(const ResizeStats& stats, ResizeHost& host) {
  if (ResizeStats* kept = CurrentResizeTuning().stats) *kept = stats;
  host.RowsDone();
}

bool DriveRows(ResizeCore& core, RowSink* sink, ResizeHost& host) {
  if (!DriveSpan(core, sink, host)) return false;
  EndRows(core.Stats(), host);
  return true;
}

}  // namespace sw
