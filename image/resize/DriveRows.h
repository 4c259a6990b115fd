#pragma once
// The one way a resize's rows are driven, whatever their source and their
// sink: in row order, each row made, handed on, reported with its progress,
// and a stop asked for after it.

#include <cstdint>

#include "image/resize/ExtendedSteps.h"  // ProgressAfterRow
#include "image/resize/ResizeCore.h"
#include "image/resize/ResizeHost.h"
#include "image/resize/ResizeStats.h"

namespace sw {

// Where each output row goes once it is made, in row order: an encoder, the
// rows of a file. `row` is null for a destination without columns.
class RowSink {
 public:
  virtual ~RowSink() = default;
  virtual void TakeRow(int32_t y, const uint8_t* row) = 0;
};

// Every row of `core`, in order: made, handed to `sink` (when there is one),
// then reported to `host`. Returns false when the host asked to stop after a
// row: at once, with the rest undone. After the last row the host hears that
// the rows are done and, where the tuning asks, the core's figures are kept.
bool DriveRows(ResizeCore& core, RowSink* sink, ResizeHost& host);

// The pieces of DriveRows, for rows made by more than one core: the rows of
// the core's span only, and the end of them all.
bool DriveSpan(ResizeCore& core, RowSink* sink, ResizeHost& host);
// Row y of `height`, made: handed on and reported; false when the host asks
// to stop after it.
bool HandOnRow(int32_t y, int32_t height, const uint8_t* row, RowSink* sink, ResizeHost& host);
void EndRows(const ResizeStats& stats, ResizeHost& host);

}  // namespace sw
