#include "image/resize/RowStream.h"

#include <algorithm>

namespace sw {

void RowStream::NextRow(uint8_t* target) {
  if (failure_) std::rethrow_exception(failure_);
  try {
    ReadRow(next_, target);
  } catch (...) {
    failure_ = std::current_exception();
    throw;
  }
  ++next_;
}

void RowStream::PassOverTo(int32_t row) {
  if (failure_) std::rethrow_exception(failure_);
  if (PassesOverFree()) next_ = std::max(next_, std::min(row, Height()));
}

void RowStream::Drain() {
  if (failure_) std::rethrow_exception(failure_);
  // A file may claim far more rows than it holds: those are not visited one by one.
  PassOverTo(Height());
  while (next_ < Height()) NextRow(nullptr);
  if (finished_) return;
  try {
    Finish();
  } catch (...) {
    failure_ = std::current_exception();
    throw;
  }
  finished_ = true;
}

std::unique_ptr<RowStream> RowStream::OpenAlongside(int32_t) { return nullptr; }

void RowStream::EndedAlongside() {
  if (failure_) std::rethrow_exception(failure_);
  next_ = Height();
  finished_ = true;
}

}  // namespace sw
