#include "image/resize/DecodedRows.h"

#include <algorithm>
#include <system_error>

#include "core/Messages.h"
#include "image/resize/RowsRead.h"

namespace sw {

size_t DecodedRows::SourceRowsFor(const ResizePlan& sizes, int32_t outputRows) {
  // Over every run of `outputRows` output rows: from the first row's sy to
  // the last row's sy + 1, at most two rows each.
  size_t most = 0;
  if (sizes.width == 0) return 0;
  for (int32_t y = 0; y < sizes.height; ++y) {
    const int32_t last = static_cast<int32_t>(std::min<int64_t>(int64_t{y} + outputRows - 1, sizes.height - 1));
    const int64_t span = FirstSourceRow(sizes, last) + 1 - FirstSourceRow(sizes, y) + 1;
    most = std::max(most, static_cast<size_t>(std::min<int64_t>(span, 2 * int64_t{last - y + 1})));
    if (last == sizes.height - 1) break;  // later runs are shorter
  }
  return std::min(most, static_cast<size_t>(sizes.sourceHeight));
}

DecodedRows::DecodedRows(RowStream& stream, const ResizePlan& sizes, int32_t outputRowsInFlight, RowSpan span)
    : stream_(stream),
      sizes_(sizes),
      span_(span),
      queue_(stream.Width(), stream.Height(), stream.Form(), SourceRowsFor(sizes_, outputRowsInFlight)) {
  try {
    decoder_ = std::thread([this] { Decode(); });
  } catch (const std::system_error&) {
    throw msg::Resource();  // the system has no thread left to give
  }
}

DecodedRows::~DecodedRows() {
  queue_.Close();
  if (decoder_.joinable()) decoder_.join();
}

void DecodedRows::Decode() {
  try {
    RowsRead read(sizes_, span_);
    // A span that ends before the destination's last row stops before the
    // first row a later one reads.
    const bool toTheEnd = span_.end >= sizes_.height;
    const int32_t end = toTheEnd ? stream_.Height()
                                 : static_cast<int32_t>(std::min<int64_t>(FirstSourceRow(sizes_, span_.end), stream_.Height()));
    for (int32_t row = stream_.RowsRead(); row < end; ++row) {
      if (!read.Includes(row)) {
        if (queue_.Closed()) return;
        if (stream_.PassesOverFree()) {
          stream_.PassOverTo(static_cast<int32_t>(std::min<int64_t>(read.NextFrom(row), end)));
          row = stream_.RowsRead() - 1;  // the loop's step brings it back
        } else {
          stream_.NextRow(nullptr);
        }
        continue;
      }
      uint8_t* room = queue_.Room(row);
      if (room == nullptr) return;  // closed: the resize is stopping
      stream_.NextRow(room);
      queue_.Put();
    }
    queue_.NoMoreRows();
    if (toTheEnd) stream_.Drain();
  } catch (...) {
    failure_ = std::current_exception();
    queue_.Fail(failure_);
  }
}

void DecodedRows::Finish() {
  if (decoder_.joinable()) decoder_.join();
  // A row passed over may have failed after the last row read.
  if (failure_) std::rethrow_exception(failure_);
  if (span_.end >= sizes_.height) stream_.Drain();  // reads on where a stop left it
}

}  // namespace sw
