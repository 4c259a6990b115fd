#include "image/jpeg/EncoderThread.h"

#include <algorithm>
#include <new>
#include <system_error>

#include "core/Messages.h"

namespace sw::jpeg {
namespace {

// The encoder is woken for this many rows at a time, not for each: under
// Wine every wake-up is a round trip to its server.
constexpr int32_t kRowsPerWake = 32;

}  // namespace

EncoderThread::EncoderThread(const Picture& picture, bool progressive, ByteSink& sink)
    : picture_(picture), progressive_(progressive), encoder_(sink) {
  try {
    thread_ = std::thread([this] { Encode(); });
  } catch (const std::system_error&) {
    throw msg::Resource();  // the system has no thread left to give
  }
}

EncoderThread::~EncoderThread() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stop_ = true;
  }
  woken_.notify_one();
  if (thread_.joinable()) thread_.join();
}

void EncoderThread::RowsComplete(int32_t rows) {
  bool wake;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    complete_ = rows;
    wake = waiting_ && complete_ >= wanted_;
  }
  if (wake) woken_.notify_one();
}

void EncoderThread::Wait() {
  if (thread_.joinable()) thread_.join();
  if (failure_) std::rethrow_exception(failure_);
}

// Rows next .. end - 1; false, with the failure kept, when the encode failed.
bool EncoderThread::EncodeRows(int32_t& next, int32_t end) {
  try {
    for (; next < end; ++next) encoder_.WriteRow(picture_.Row(next));
    return true;
  } catch (const std::bad_alloc&) {
    failure_ = std::make_exception_ptr(msg::OutOfMemory());
  } catch (...) {
    failure_ = std::current_exception();
  }
  return false;
}

void EncoderThread::Encode() {
  const int32_t height = picture_.Height();
  try {
    encoder_.Start(picture_.Width(), height, progressive_);
  } catch (...) {
    failure_ = std::current_exception();  // raised by Wait, where the save reports it
    return;
  }
  for (int32_t next = 0; next < height;) {
    int32_t ready;
    {
      std::unique_lock<std::mutex> lock(mutex_);
      wanted_ = std::min(next + kRowsPerWake, height);
      waiting_ = true;
      woken_.wait(lock, [&] { return stop_ || complete_ >= wanted_; });
      waiting_ = false;
      if (stop_) return;
      ready = complete_;
    }
    if (!EncodeRows(next, ready)) return;
  }
  try {
    encoder_.Finish();
  } catch (...) {
    failure_ = std::current_exception();
  }
}

}  // namespace sw::jpeg
