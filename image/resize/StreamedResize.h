#pragma once
// The resize of a picture read row by row (RowStream), never held whole: its
// rows are decoded on a thread of their own as the resampler needs them, the
// output rows are made on the resampler's threads and handed on in row order
// on the calling thread, so decoding, resampling and what the caller does
// with each row run at once. The bytes are those ResizeBitmap makes of the
// whole picture.

#include "image/resize/DriveRows.h"
#include "image/resize/ResizeCore.h"
#include "image/resize/ResizeHost.h"
#include "image/resize/RowStream.h"

namespace sw {

// Resizes `stream` (none of its rows read yet) by `sizes` (PlanSizes of its
// width and height): the output rows are made into `rows`, each handed to
// `sink` and reported to `host` as DriveRows does. True once every row is
// made and the stream has been read to its end; a failure of the stream is
// raised wherever in the file it lay. False when the host asked to stop:
// the stream is then left where its reader stood.
bool ResizeStream(RowStream& stream, const ResizePlan& sizes, OutputRows rows, RowSink& sink, ResizeHost& host);

}  // namespace sw
