#pragma once
// The lower rows of a streamed resize, made on a thread of their own from a
// second reader of the same file (RowStream::OpenAlongside) while the upper
// rows are made from the first: the reader alongside passes over the upper
// part of the file, decodes the rest, and the thread makes the output rows
// from it one at a time and keeps them until the caller, done with the upper
// rows, takes them in order. Whatever goes wrong on that thread only ends it
// early: the caller makes the rows it left from the first reader, which
// meets every failure of the file where it would have alone.

#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <thread>

#include "image/resize/ResizeCore.h"
#include "image/resize/ResizeStats.h"
#include "image/resize/ResizeTuning.h"
#include "image/resize/RowStream.h"

namespace sw {

class LowerRows {
 public:
  // Starts making the output rows `span` of `sizes` from a reader
  // alongside `stream`, tuned as the calling thread's resizes are. Never
  // raises: a thread or a store that can't be had gives no rows.
  LowerRows(RowStream& stream, const ResizePlan& sizes, RowSpan span);
  // Stops the thread and joins it: at once between rows, after the pass over
  // the upper rows when it is under way.
  ~LowerRows();
  LowerRows(const LowerRows&) = delete;
  LowerRows& operator=(const LowerRows&) = delete;

  // Output row y of the span, rows taken in order, once it is made; null
  // when the thread ended before making it.
  const uint8_t* Row(int32_t y);
  // After the span's last row: waits until the reader alongside has read
  // the file to its end; false when it failed to.
  bool ReadToTheEnd();
  // What the rows made computed.
  ResizeStats Stats() const;

 private:
  void Make();
  // Rows of the span made so far, for the caller; false once it asks the
  // thread to stop.
  bool Publish(int32_t made);

  RowStream& stream_;
  const ResizePlan& sizes_;
  const RowSpan span_;
  const ResizeTuning tuning_;
  const size_t rowBytes_;
  std::unique_ptr<uint8_t[]> store_;  // the span's rows, in order
  ResizeStats stats_;                 // once the last row is made

  mutable std::mutex mutex_;
  std::condition_variable changed_;
  // With the mutex held: rows of the span made so far; whether the thread
  // has ended, and whether it read the file to its end first.
  int32_t made_ = 0;
  bool ended_ = false;
  bool readToTheEnd_ = false;
  int32_t awaited_ = -1;  // the caller waits until this many are made
  bool stopping_ = false;
  std::thread thread_;
};

}  // namespace sw
