#include "image/resize/SourceRowQueue.h"

#include <algorithm>
#include <limits>

namespace sw {
namespace {

// A reader that has to wait for its row sleeps until this many rows from it
// on are there (or no more will come, or the ring is full): a decoder slower
// than its readers then wakes them once a batch, not once a row. Under Wine
// every wake-up is a round trip to its server; and a reader that spun
// instead would take the processor a second decoder needs.
constexpr int32_t kRowsPerWakeUp = 16;

}  // namespace

SourceRowQueue::SourceRowQueue(int32_t width, int32_t height, const StoredRowForm& form, size_t capacity)
    : width_(width),
      height_(height),
      form_(form),
      capacity_(std::max<size_t>(capacity, 1)),
      // Not cleared: every row is written by the decoder before it is read.
      rows_(new uint8_t[capacity_ * std::max<size_t>(form.bytes, 1)]),
      rowInSlot_(capacity_, -1) {}

const uint8_t* SourceRowQueue::Find(int32_t row) const {
  // The rows in the ring rise with their index: a binary search over them.
  uint64_t low = released_, high = put_;
  while (low < high) {
    const uint64_t middle = low + (high - low) / 2;
    if (rowInSlot_[Slot(middle)] < row) {
      low = middle + 1;
    } else {
      high = middle;
    }
  }
  if (low == put_ || rowInSlot_[Slot(low)] != row) throw std::logic_error("a source row read that is not in the ring");
  return rows_.get() + Slot(low) * form_.bytes;
}

const uint8_t* SourceRowQueue::StoredRow(int32_t row) const {
  std::unique_lock<std::mutex> lock(mutex_);
  if (lastPut_ < row) {
    const int32_t batchEnd = static_cast<int32_t>(std::min<int64_t>(int64_t{row} + kRowsPerWakeUp - 1, height_ - 1));
    const auto ready = [&] {
      return (lastPut_ >= row && (lastPut_ >= batchEnd || Full() || noMoreRows_)) || failure_ || closed_;
    };
    ++readersWaiting_;
    while (!ready()) {
      wakeAt_ = std::min(wakeAt_, batchEnd);
      rowPut_.wait(lock);
    }
    --readersWaiting_;
  }
  // A row that is there is given, whatever happened to the decoder since.
  if (lastPut_ >= row) return Find(row);
  if (failure_) std::rethrow_exception(failure_);
  throw SourceRowsClosed();
}

void SourceRowQueue::ReadRow(int32_t row, ColorValue* colors) const {
  form_.Decode(StoredRow(row), 0, width_, colors);
}

ColorValue SourceRowQueue::ReadPixel(int32_t x, int32_t y) const {
  if (x < 0 || y < 0 || x >= width_ || y >= height_) return kColorOutside;
  ColorValue color;
  form_.Decode(StoredRow(y), x, 1, &color);
  return color;
}

uint8_t* SourceRowQueue::Room(int32_t row) {
  std::unique_lock<std::mutex> lock(mutex_);
  decoderWaiting_ = true;
  roomFreed_.wait(lock, [&] { return !Full() || closed_; });
  decoderWaiting_ = false;
  if (closed_) return nullptr;
  rowInSlot_[Slot(put_)] = row;
  return rows_.get() + Slot(put_) * form_.bytes;
}

void SourceRowQueue::Put() {
  bool waiting;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    lastPut_ = rowInSlot_[Slot(put_)];
    ++put_;
    waiting = readersWaiting_ > 0 && (lastPut_ >= wakeAt_ || Full());
    if (waiting) wakeAt_ = std::numeric_limits<int32_t>::max();
  }
  if (waiting) rowPut_.notify_all();
}

void SourceRowQueue::NoMoreRows() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    noMoreRows_ = true;
  }
  rowPut_.notify_all();
}

void SourceRowQueue::Fail(std::exception_ptr failure) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    failure_ = std::move(failure);
  }
  rowPut_.notify_all();
}

void SourceRowQueue::Release(int32_t row) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    const uint64_t before = released_;
    while (released_ < put_ && rowInSlot_[Slot(released_)] < row) ++released_;
    if (released_ == before || !decoderWaiting_) return;
  }
  roomFreed_.notify_one();
}

void SourceRowQueue::Close() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    closed_ = true;
  }
  rowPut_.notify_all();
  roomFreed_.notify_all();
}

bool SourceRowQueue::Closed() const { return closed_; }

}  // namespace sw
