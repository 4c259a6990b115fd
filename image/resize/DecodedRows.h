#pragma once
// The source of a resize that never holds its whole source: a RowStream
// decoded on a thread of its own, the rows the output reads (sy and sy + 1
// of some output row) put in a small ring for the resampler's threads and the
// others passed over, and after the last of them the rest of the file, as a
// whole-picture read goes to its end. The ring is made once; the thread stops
// and is joined on every way out.

#include <cstdint>
#include <exception>
#include <thread>

#include "image/resize/ResizeCore.h"
#include "image/resize/ResizePlan.h"
#include "image/resize/RowStream.h"
#include "image/resize/SourceRowQueue.h"

namespace sw {

class DecodedRows {
 public:
  // Starts decoding `stream`, none of whose rows `span` reads is read yet,
  // for the rows of `span` of the resize `sizes` plans, with room for the
  // source rows `outputRowsInFlight` consecutive output rows read. A span
  // that ends before the destination's last row leaves the stream at the
  // first source row a later output row reads. Raises the resource error
  // when the system gives no thread.
  DecodedRows(RowStream& stream, const ResizePlan& sizes, int32_t outputRowsInFlight, RowSpan span = {});
  // Stops the thread where it stands and joins it; the stream may be read on
  // from where the thread left it.
  ~DecodedRows();
  DecodedRows(const DecodedRows&) = delete;
  DecodedRows& operator=(const DecodedRows&) = delete;

  SourceRows& Rows() { return queue_; }

  // Waits until the whole file is read, and raises the reader's failure,
  // wherever in the file it lay; for a span that ends before the
  // destination's last row, until the rows before the next span's are read,
  // and raises the failure met in them.
  void Finish();

  // The source rows `outputRows` consecutive output rows read at most: how
  // large the ring is.
  static size_t SourceRowsFor(const ResizePlan& sizes, int32_t outputRows);

 private:
  void Decode();

  RowStream& stream_;
  const ResizePlan sizes_;
  const RowSpan span_;
  SourceRowQueue queue_;
  std::exception_ptr failure_;  // the decoder's, once it has ended
  std::thread decoder_;
};

}  // namespace sw
