#include "image/resize/LowerRows.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <system_error>

#include "image/resize/PulledRows.h"

namespace sw {
namespace {

// The caller, waiting for the lower rows, is woken once this many more are
// made: under Wine every wake-up is a round trip to its server.
constexpr int32_t kRowsPerWakeUp = 16;

}  // namespace

LowerRows::LowerRows(RowStream& stream, const ResizePlan& sizes, RowSpan span)
    : stream_(stream),
      sizes_(sizes),
      span_(span),
      tuning_(CurrentResizeTuning()),
      rowBytes_(4 * static_cast<size_t>(sizes.width)) {
  try {
    store_.reset(new uint8_t[static_cast<size_t>(span_.end - span_.first) * rowBytes_]);
    thread_ = std::thread([this] { Make(); });
  } catch (const std::bad_alloc&) {
    ended_ = true;
  } catch (const std::system_error&) {
    ended_ = true;
  }
}

LowerRows::~LowerRows() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stopping_ = true;
  }
  if (thread_.joinable()) thread_.join();
}

void LowerRows::Make() {
  int32_t made = 0;
  bool readToTheEnd = false;
  try {
    // Its resizes are tuned as those of the thread that started it.
    ScopedResizeTuning tuned(tuning_);
    const auto first = static_cast<int32_t>(std::min<int64_t>(FirstSourceRow(sizes_, span_.first), stream_.Height()));
    std::unique_ptr<RowStream> alongside = stream_.OpenAlongside(first);
    if (alongside) {
      PulledRows rows(*alongside, sizes_, span_);
      ResizeCore core(sizes_, rows, OutputRows::InRing(), ResizeCore::Company::kOnCallingThread, span_);
      for (int32_t y = span_.first; y < span_.end; ++y) {
        std::memcpy(store_.get() + static_cast<size_t>(made) * rowBytes_, core.Complete(y), rowBytes_);
        core.Used(y);
        if (!Publish(++made)) break;
      }
      stats_ = core.Stats();
      if (made == span_.end - span_.first) {
        alongside->Drain();
        readToTheEnd = true;
      }
    }
  } catch (...) {
    // Only a reason to end early: the first reader makes the rest, and
    // meets whatever failure this was where it lies in the file.
  }
  std::lock_guard<std::mutex> lock(mutex_);
  made_ = made;
  ended_ = true;
  readToTheEnd_ = readToTheEnd;
  changed_.notify_all();
}

bool LowerRows::Publish(int32_t made) {
  std::lock_guard<std::mutex> lock(mutex_);
  made_ = made;
  if (awaited_ >= 0 && made_ >= awaited_) {
    awaited_ = -1;
    changed_.notify_all();
  }
  return !stopping_;
}

const uint8_t* LowerRows::Row(int32_t y) {
  const int32_t index = y - span_.first;
  std::unique_lock<std::mutex> lock(mutex_);
  if (made_ <= index && !ended_) {
    awaited_ = std::min(index + kRowsPerWakeUp, span_.end - span_.first);
    changed_.wait(lock, [&] { return made_ > index || ended_; });
  }
  if (made_ <= index) return nullptr;
  return store_.get() + static_cast<size_t>(index) * rowBytes_;
}

bool LowerRows::ReadToTheEnd() {
  std::unique_lock<std::mutex> lock(mutex_);
  changed_.wait(lock, [&] { return ended_; });
  return readToTheEnd_;
}

ResizeStats LowerRows::Stats() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return ended_ ? stats_ : ResizeStats();
}

}  // namespace sw
