#pragma once
// The one way a resize's rows are driven, whatever their source and their
// sink: in row order, each row made, handed on, reported with its progress,
// and a stop asked for after it.

#include <cstdint>

#include "image/resize/ExtendedSteps.h"  // ProgressAfterRow
#include "image/resize/ResizeCore.h"
#include "image/resize/ResizeHost.h"

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

}  // namespace sw
