#pragma once
// Source rows on their way from the decoder to the resampler's threads: a
// ring of the rows the output reads (sy and sy + 1 of some output row), put
// in by the decoder in row order and read by every thread that makes rows.
// A read waits until its row is there; the decoder waits for room when the
// ring is full, and rows leave it once every output row that reads them has
// been used. The ring is made once, its rows written before they are read.
// A reader that has to wait sleeps until several rows are there, so that a
// slow decoder wakes it seldom.

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <exception>
#include <limits>
#include <memory>
#include <mutex>
#include <stdexcept>
#include <vector>

#include "image/resize/SourceRows.h"

namespace sw {

// What a read of a closed queue raises: the job is stopping, and whoever
// closed the queue knows why.
struct SourceRowsClosed : std::runtime_error {
  SourceRowsClosed() : std::runtime_error("source rows closed") {}
};

class SourceRowQueue : public SourceRows {
 public:
  // Room for `capacity` rows of `form`, for a source of width x height.
  SourceRowQueue(int32_t width, int32_t height, const StoredRowForm& form, size_t capacity);

  int32_t Width() const override { return width_; }
  int32_t Height() const override { return height_; }
  size_t DirectStep() const override { return form_.directStep; }
  const uint8_t* StoredRow(int32_t row) const override;
  void ReadRow(int32_t row, ColorValue* colors) const override;
  ColorValue ReadPixel(int32_t x, int32_t y) const override;

  // The decoder's side: room for the next row it puts in, `row`, once there
  // is room; null when the queue is closed. Put() says the row is there.
  uint8_t* Room(int32_t row);
  void Put();
  // Every row the decoder puts in is there: readers take what there is.
  void NoMoreRows();
  // The decoder failed: every read waiting, and every later one, raises its failure.
  void Fail(std::exception_ptr failure);

  // Rows below `row` are read no more: their room is free.
  void Release(int32_t row) override;
  // Wakes every wait: rooms come back null, reads raise SourceRowsClosed.
  void CancelWaits() override { Close(); }
  void Close();
  bool Closed() const;

 private:
  size_t Slot(uint64_t index) const { return static_cast<size_t>(index % capacity_); }
  // With the lock held.
  bool Full() const { return put_ - released_ >= capacity_; }
  // The row's place in the ring, once it has been put in; with the lock held.
  const uint8_t* Find(int32_t row) const;

  const int32_t width_;
  const int32_t height_;
  const StoredRowForm& form_;
  const size_t capacity_;
  std::unique_ptr<uint8_t[]> rows_;
  std::vector<int32_t> rowInSlot_;
  mutable std::mutex mutex_;
  mutable std::condition_variable rowPut_;
  std::condition_variable roomFreed_;
  // With the mutex held: the rows put in so far are those of indices
  // released_ .. put_ - 1, counted from the first row put in; the last of
  // them is row lastPut_.
  uint64_t released_ = 0;
  uint64_t put_ = 0;
  int32_t lastPut_ = -1;
  bool noMoreRows_ = false;
  std::exception_ptr failure_;
  // Threads waiting, and the first row put that one of the readers waits
  // for, so that no one is woken in vain: under Wine every wake-up is a
  // round trip to its server.
  mutable int readersWaiting_ = 0;
  mutable int32_t wakeAt_ = std::numeric_limits<int32_t>::max();
  bool decoderWaiting_ = false;
  std::atomic<bool> closed_{false};
};

}  // namespace sw
