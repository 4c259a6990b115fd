#include "image/resize/DecodedRows.h"

#include <algorithm>
#include <system_error>

#include "core/Messages.h"

namespace sw {
namespace {

// Which source rows the output reads, asked in rising order: the rows sy and
// sy + 1 of every output row, walked alongside.
class RowsRead {
 public:
  // A destination without columns reads no source row.
  explicit RowsRead(const ResizePlan& sizes) : sizes_(sizes), y_(sizes.width == 0 ? sizes.height : 0) {}
  bool Includes(int32_t row) {
    while (y_ < sizes_.height && First() + 1 < row) ++y_, first_ = -1;
    return y_ < sizes_.height && (row == First() || row == First() + 1);
  }
  // The first row from `row` on that the resampler needs; the source's
  // height when it needs no more.
  int64_t NextFrom(int32_t row) {
    if (Includes(row)) return row;
    return y_ < sizes_.height ? First() : sizes_.sourceHeight;
  }

 private:
  int64_t First() {
    if (first_ < 0) first_ = FirstSourceRow(sizes_, y_);
    return first_;
  }
  const ResizePlan& sizes_;
  int32_t y_;
  int64_t first_ = -1;
};

}  // namespace

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

DecodedRows::DecodedRows(RowStream& stream, const ResizePlan& sizes, int32_t outputRowsInFlight)
    : stream_(stream),
      sizes_(sizes),
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
    RowsRead read(sizes_);
    for (int32_t row = stream_.RowsRead(); row < stream_.Height(); ++row) {
      if (!read.Includes(row)) {
        if (queue_.Closed()) return;
        if (stream_.PassesOverFree()) {
          stream_.PassOverTo(static_cast<int32_t>(std::min<int64_t>(read.NextFrom(row), stream_.Height())));
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
    stream_.Drain();
  } catch (...) {
    queue_.Fail(std::current_exception());
  }
}

void DecodedRows::Finish() {
  if (decoder_.joinable()) decoder_.join();
  stream_.Drain();  // raises the decoder's failure, if it had one; reads on where a stop left it
}

}  // namespace sw
