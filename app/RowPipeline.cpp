#include "app/RowPipeline.h"

#include <algorithm>
#include <new>
#include <stdexcept>
#include <system_error>

#include "core/Messages.h"
#include "image/resize/ResizeTuning.h"
#include "image/resize/X87.h"

namespace sw {
namespace {

// sy of output row y, as the row maker finds it.
int64_t FirstRowOf(const ResizePlan& plan, int32_t y) {
  ResamplerArithmetic arithmetic;
  return FirstSourceRow(plan, y);
}

// Which source rows the output reads, asked in rising order: the rows sy and
// sy + 1 of every output row, walked alongside.
class RowsRead {
 public:
  explicit RowsRead(const ResizePlan& plan) : plan_(plan) {}
  bool Includes(int32_t row) {
    while (y_ < plan_.height && First() + 1 < row) ++y_, first_ = -1;
    return y_ < plan_.height && (row == First() || row == First() + 1);
  }
  // The first row from `row` on that the resampler needs; the source's
  // height when it needs no more.
  int64_t NextFrom(int32_t row) {
    if (Includes(row)) return row;
    return y_ < plan_.height ? First() : plan_.sourceHeight;
  }

 private:
  int64_t First() {
    if (first_ < 0) first_ = FirstRowOf(plan_, y_);
    return first_;
  }
  const ResizePlan& plan_;
  int32_t y_ = 0;
  int64_t first_ = -1;
};

}  // namespace

size_t RowPipeline::SourceRowsFor(const ResizePlan& plan, int32_t outputRows) {
  // Over every run of `outputRows` output rows: from the first row's sy to
  // the last row's sy + 1, at most two rows each.
  size_t most = 0;
  for (int32_t y = 0; y < plan.height; ++y) {
    const int32_t last = static_cast<int32_t>(std::min<int64_t>(int64_t{y} + outputRows - 1, plan.height - 1));
    const int64_t span = FirstRowOf(plan, last) + 1 - FirstRowOf(plan, y) + 1;
    most = std::max(most, static_cast<size_t>(std::min<int64_t>(span, 2 * int64_t{last - y + 1})));
    if (last == plan.height - 1) break;  // later runs are shorter
  }
  return std::min(most, static_cast<size_t>(plan.sourceHeight));
}

RowPipeline::RowPipeline(const ResizePlan& plan, PictureRowSource& source, PixelOrder order)
    : plan_(plan),
      source_(source),
      order_(order),
      threads_(ThreadsFor(plan, 0, kStreamedThreadedFromPixels)),
      rowsPerTask_(ResizeOptions{}.rowsPerTask),
      ringRows_(std::min(RowSchedule::RowsInFlight(threads_, rowsPerTask_), plan.height)),
      queue_(source.Width(), source.Height(), source.Form(), SourceRowsFor(plan, ringRows_)),
      rowBytes_(4 * static_cast<size_t>(plan.width)) {
  try {
    try {
      // Not cleared: every row is made before it is used.
      ring_.reset(new uint8_t[static_cast<size_t>(ringRows_) * rowBytes_]);
      makers_.reserve(static_cast<size_t>(threads_));
      for (int i = 0; i < threads_; ++i) makers_.emplace_back(plan, queue_);
    } catch (const std::bad_alloc&) {
      throw msg::OutOfMemory();  // the rings are bounded by the row widths; still, the platform may refuse
    }
    try {
      decoder_ = std::thread([this] { Decode(); });
    } catch (const std::system_error&) {
      throw msg::Resource();  // the system has no thread left to give
    }
    schedule_.emplace(plan.height, threads_, rowsPerTask_, [this](int32_t y, int worker) {
      if (y - used_.load(std::memory_order_acquire) >= ringRows_) throw std::logic_error("a row ahead of the ring");
      uint8_t* target = ring_.get() + static_cast<size_t>(y % ringRows_) * rowBytes_;
      makers_[static_cast<size_t>(worker)].Make(y, target, order_);
    });
  } catch (...) {
    Stop();
    throw;
  }
}

RowPipeline::~RowPipeline() { Stop(); }

void RowPipeline::Stop() {
  // Threads waiting for rows or room are woken first, so that they can be joined.
  queue_.Close();
  schedule_.reset();
  if (decoder_.joinable()) decoder_.join();
}

void RowPipeline::Decode() {
  try {
    RowsRead read(plan_);
    for (int32_t row = source_.RowsRead(); row < source_.Height(); ++row) {
      if (!read.Includes(row)) {
        if (queue_.Closed()) return;
        if (source_.PassesOverFree()) {
          source_.PassOverTo(static_cast<int32_t>(std::min<int64_t>(read.NextFrom(row), source_.Height())));
          row = source_.RowsRead() - 1;  // the loop's step brings it back
        } else {
          source_.NextRow(nullptr);
        }
        continue;
      }
      uint8_t* room = queue_.Room(row);
      if (room == nullptr) return;  // closed: the job is stopping
      source_.NextRow(room);
      queue_.Put();
    }
    source_.Drain();
  } catch (...) {
    queue_.Fail(std::current_exception());
  }
}

const uint8_t* RowPipeline::Row(int32_t y) {
  schedule_->Complete(y);
  return ring_.get() + static_cast<size_t>(y % ringRows_) * rowBytes_;
}

void RowPipeline::Used(int32_t y) {
  used_.store(y + 1, std::memory_order_release);
  schedule_->Reported(y + 1);
  queue_.Release(y + 1 < plan_.height ? static_cast<int32_t>(FirstRowOf(plan_, y + 1)) : plan_.sourceHeight);
}

void RowPipeline::WaitForSource() {
  if (decoder_.joinable()) decoder_.join();
  source_.Drain();  // raises the decoder's failure, if it had one
}

}  // namespace sw
