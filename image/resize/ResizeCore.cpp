#include "image/resize/ResizeCore.h"

#include <algorithm>
#include <new>
#include <stdexcept>
#include <system_error>
#include <thread>

#include "core/Messages.h"
#include "image/resize/ResizeTuning.h"

namespace sw {
namespace {

// From how many output pixels computing threads pay for their start (about
// 0.3 ms each natively, 5 ms under Wine): a resize that has the processors
// to itself sooner than one beside a decoder and an encoder.
constexpr int64_t kAloneThreadedFromPixels = int64_t{1} << 16;
constexpr int64_t kBesideCodecsThreadedFromPixels = int64_t{1} << 20;

// A destination's memory is brought in this much at a time: little enough
// for the pages a process may hold locked at once on Windows.
constexpr size_t kPreparedBytes = size_t{128} << 10;

// Computing threads for the plan's rows, the calling one included: as the
// tuning says when it says, else one per processor (at most 16) for pictures
// large enough to gain, and 1 below.
// The rows of a plan without column tables are made pixel by pixel on one thread.
int ThreadsFor(const ResizePlan& plan, const ResizeTuning& tuning, ResizeCore::Company company) {
  const bool tables = plan.width <= tuning.maxTableWidth && plan.sourceWidth <= tuning.maxTableWidth;
  if (plan.width == 0 || plan.height == 0 || !tables || company == ResizeCore::Company::kOnCallingThread) return 1;
  if (tuning.threads > 0) return std::min(tuning.threads, 64);
  const int64_t threadedFrom =
      company == ResizeCore::Company::kAlone ? kAloneThreadedFromPixels : kBesideCodecsThreadedFromPixels;
  if (static_cast<int64_t>(plan.width) * plan.height < threadedFrom || plan.width < 64) return 1;
  const unsigned processors = std::thread::hardware_concurrency();
  return static_cast<int>(std::clamp(processors, 1u, 16u));
}

}  // namespace

int32_t ResizeCore::RowsInFlight(const ResizePlan& sizes, Company company) {
  const ResizeTuning& tuning = CurrentResizeTuning();
  return std::min(RowSchedule::RowsInFlight(ThreadsFor(sizes, tuning, company), std::max(tuning.rowsPerTask, 1)),
                  sizes.height);
}

ResizeCore::ResizeCore(ResizePlan plan, SourceRows& source, OutputRows rows, Company company, RowSpan span)
    : plan_(std::move(plan)), span_(span), source_(source) {
  span_.end = std::min(span_.end, plan_.height);
  span_.first = std::min(std::max(span_.first, 0), span_.end);
  used_.store(span_.first, std::memory_order_relaxed);
  if (plan_.width == 0 || plan_.height == 0) return;  // rows without pixels: nothing to make
  if (rows.picture_) {
    // Taken once: the threads write rows into the store, never through the picture.
    pictureBits_ = rows.picture_->MutableBits();
    pictureStride_ = rows.picture_->Stride();
    pictureTopDown_ = rows.picture_->IsTopDown();
  }
  const ResizeTuning& tuning = CurrentResizeTuning();
  const int rowsPerTask = std::max(tuning.rowsPerTask, 1);
  try {
    MakeTables(plan_, tuning.maxTableWidth);
    const int threads = ThreadsFor(plan_, tuning, company);
    if (!pictureBits_) {
      // Not cleared: every row is made before it is used.
      ringRows_ = RowsInFlight(plan_, company);
      rowBytes_ = 4 * static_cast<size_t>(plan_.width);
      ring_.reset(new uint8_t[static_cast<size_t>(ringRows_) * rowBytes_]);
    }
    makers_.reserve(static_cast<size_t>(threads));
    for (int i = 0; i < threads; ++i) makers_.emplace_back(plan_, source_);
    schedule_.emplace(span_.end - span_.first, threads, rowsPerTask, [this](int32_t index, int worker) {
      const int32_t y = span_.first + index;
      if (ring_ && y - used_.load(std::memory_order_acquire) >= ringRows_) throw std::logic_error("a row ahead of the ring");
      makers_[static_cast<size_t>(worker)].Make(y, PlaceOf(y));
    });
  } catch (const std::bad_alloc&) {
    throw msg::OutOfMemory();  // tables and rows are bounded by the row widths; still, the platform may refuse
  }
  // Last: a constructor that fails runs no destructor to stop the thread.
  if (rows.picture_) PrepareDestination(*rows.picture_);
}

ResizeCore::~ResizeCore() {
  // Workers waiting for source rows are woken first, so that they can be joined.
  stopping_.store(true, std::memory_order_relaxed);
  source_.CancelWaits();
  schedule_.reset();
  if (preparer_.joinable()) preparer_.join();
}

// Every fresh page of a destination written whole costs a fault where it is
// first written, in the row makers' way (about 10 microseconds each in a
// virtual machine, where a destination of hundreds of megabytes holds tens of
// thousands); a thread of its own brings the pages in ahead of the rows, in
// the order they are made, changing no byte. Nothing depends on it: where it
// can't start, or the system won't, the rows fault their pages in as before.
void ResizeCore::PrepareDestination(const Picture& destination) {
  if (destination.ImageBytes() < 2 * kPreparedBytes) return;
  const int32_t rowsAtOnce = static_cast<int32_t>(std::max<size_t>(kPreparedBytes / destination.Stride(), 1));
  // A copy of its own, which shares the store: the caller may hand the
  // destination on once the rows are made.
  prepared_ = destination;
  try {
    preparer_ = std::thread([this, rowsAtOnce] {
      const int32_t height = prepared_->Height();
      for (int32_t y = 0; y < height && !stopping_.load(std::memory_order_relaxed); y += rowsAtOnce)
        if (!prepared_->PrepareRows(y, std::min(y + rowsAtOnce, height))) return;
    });
  } catch (const std::system_error&) {
  }
}

uint8_t* ResizeCore::PlaceOf(int32_t y) const {
  if (pictureBits_) return pictureBits_ + static_cast<size_t>(pictureTopDown_ ? y : plan_.height - 1 - y) * pictureStride_;
  return ring_.get() + static_cast<size_t>(y % ringRows_) * rowBytes_;
}

const uint8_t* ResizeCore::Complete(int32_t y) {
  if (!schedule_) return nullptr;
  schedule_->Complete(y - span_.first);
  return PlaceOf(y);
}

void ResizeCore::Used(int32_t y) {
  if (schedule_) {
    used_.store(y + 1, std::memory_order_release);
    schedule_->Reported(y + 1 - span_.first);
  }
  source_.Release(y + 1 < plan_.height ? static_cast<int32_t>(FirstSourceRow(plan_, y + 1)) : plan_.sourceHeight);
}

ResizeStats ResizeCore::Stats() const {
  ResizeStats stats;
  for (const RowMaker& maker : makers_) stats += maker.Counts();
  stats.threads = schedule_ ? schedule_->Workers() : 0;
  stats.tables = plan_.tables;
  return stats;
}

}  // namespace sw
