#include "image/resize/StreamedResize.h"

#include <algorithm>
#include <optional>
#include <thread>

#include "image/resize/DecodedRows.h"
#include "image/resize/LowerRows.h"
#include "image/resize/ResizeTuning.h"

namespace sw {
namespace {

constexpr ResizeCore::Company kCompany = ResizeCore::Company::kBesideCodecs;

// A shrink is as fast as its source is decoded; a second reader alongside
// pays from about this many source pixels (its thread's start, and its
// pass over the upper rows, which costs about two thirds of decoding them).
constexpr int64_t kAlongsideFromPixels = int64_t{1} << 21;
// The share of the source rows the first reader decodes: the second passes
// over them meanwhile, and both end about together.
constexpr double kUpperShare = 0.62;
// How far past the share the lower part may begin, in output rows: where no
// source row is read by both parts.
constexpr int32_t kSplitSearchRows = 64;

// Where the lower rows begin when a reader alongside makes them: none when
// the source has no such reader, the shrink is too small to gain (a source
// of fewer pixels, or a destination of more than a quarter of them), or no
// output row near the share reads only source rows below those above it.
// Nor for a destination made whole in memory: the window's, whose rows are
// encoded on a thread of their own while its thread handles its messages
// between them, is slower with a second decoder besides (under Wine, by
// about a fifth on bench/window's shrink).
std::optional<RowSpan> LowerSpan(const RowStream& stream, const ResizePlan& sizes, const OutputRows& rows) {
  if (rows.Destination()) return std::nullopt;
  const int64_t from = CurrentResizeTuning().readAlongsideFromPixels;
  if (from < 0 && std::thread::hardware_concurrency() < 2) return std::nullopt;
  const int64_t sourcePixels = int64_t{sizes.sourceWidth} * sizes.sourceHeight;
  if (sourcePixels < (from < 0 ? kAlongsideFromPixels : from)) return std::nullopt;
  if (sizes.width == 0 || sizes.height < 2 || 4 * int64_t{sizes.width} * sizes.height > sourcePixels) return std::nullopt;
  if (!stream.ReadsAlongside()) return std::nullopt;
  // The first output row reading a source row at or past the share.
  const auto share = static_cast<int64_t>(kUpperShare * sizes.sourceHeight);
  int32_t low = 1, high = sizes.height - 1;
  while (low < high) {
    const int32_t middle = low + (high - low) / 2;
    if (FirstSourceRow(sizes, middle) < share) {
      low = middle + 1;
    } else {
      high = middle;
    }
  }
  for (int32_t y = low; y < std::min(low + kSplitSearchRows, sizes.height); ++y) {
    const int64_t first = FirstSourceRow(sizes, y);
    if (first >= FirstSourceRow(sizes, y - 1) + 2 && first < sizes.sourceHeight) return RowSpan{y, sizes.height};
  }
  return std::nullopt;
}

ResizeStats& operator+=(ResizeStats& stats, const ResizeStats& more) {
  static_cast<ValueCounts&>(stats) += more;
  stats.threads = std::max(stats.threads, more.threads);
  return stats;
}

// Rows `span` and the end of the stream, from the stream itself.
bool ResizeSpan(RowStream& stream, const ResizePlan& sizes, OutputRows rows, RowSink& sink, ResizeHost& host,
                RowSpan span, ResizeStats& stats) {
  DecodedRows source(stream, sizes, ResizeCore::RowsInFlight(sizes, kCompany), span);
  {
    // The core goes first: its threads read the decoded rows.
    ResizeCore core(sizes, source.Rows(), rows, kCompany, span);
    if (!DriveSpan(core, &sink, host)) return false;
    stats += core.Stats();
    if (span.end >= sizes.height) EndRows(stats, host);
  }
  source.Finish();
  return true;
}

// The upper rows from the stream, the lower ones from a reader alongside,
// read at the same time, both made in rings; the rows the reader alongside did not make, and
// the end of the file when it did not reach it, from the stream after all.
bool ResizeInTwo(RowStream& stream, const ResizePlan& sizes, OutputRows rows, RowSink& sink, ResizeHost& host,
                 RowSpan lower) {
  LowerRows below(stream, sizes, lower);
  ResizeStats stats;
  if (!ResizeSpan(stream, sizes, rows, sink, host, RowSpan{0, lower.first}, stats)) return false;
  int32_t y = lower.first;
  for (const uint8_t* made; y < sizes.height && (made = below.Row(y)) != nullptr; ++y)
    if (!HandOnRow(y, sizes.height, made, &sink, host)) return false;
  stats.rowsAlongside = y - lower.first;
  if (y < sizes.height) return ResizeSpan(stream, sizes, rows, sink, host, RowSpan{y, sizes.height}, stats);
  stats += below.Stats();
  EndRows(stats, host);
  if (below.ReadToTheEnd()) {
    stream.EndedAlongside();
  } else {
    stream.Drain();
  }
  return true;
}

}  // namespace

bool ResizeStream(RowStream& stream, const ResizePlan& sizes, OutputRows rows, RowSink& sink, ResizeHost& host) {
  if (const std::optional<RowSpan> lower = LowerSpan(stream, sizes, rows))
    return ResizeInTwo(stream, sizes, rows, sink, host, *lower);
  ResizeStats stats;
  return ResizeSpan(stream, sizes, rows, sink, host, RowSpan{}, stats);
}

}  // namespace sw
