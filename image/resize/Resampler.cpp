#include "image/resize/Resampler.h"

#include <algorithm>
#include <cmath>
#include <new>
#include <optional>
#include <thread>
#include <vector>

#include "core/Messages.h"
#include "image/resize/ResizePlan.h"
#include "image/resize/ResizeTuning.h"
#include "image/resize/RowMaker.h"
#include "image/resize/RowSchedule.h"
#include "image/resize/SourceRows.h"
#include "image/resize/X87.h"

namespace sw {

void ResizeBitmap(Picture& picture, float ScaleX, float ScaleY, ResizeHost& host) {
  ResizeBitmap(picture, ScaleX, ScaleY, host, ResizeOptions{});
}

void ResizeBitmap(Picture& picture, float ScaleX, float ScaleY, ResizeHost& host, const ResizeOptions& options) {
  // The caller's picture is read only here: a handler run while messages are
  // processed may destroy it. The copy shares its store and keeps it alive.
  const Picture source = picture;
  const PictureRows sourceRows(source);

  // Creating the destination: W' x H', display-compatible, made as one store
  // of that size: the same failures as setting the width and then the height
  // of a new picture. It is not filled white, because every byte of every
  // row is written before the picture is handed over, and an early stop drops it.
  ResizePlan plan;
  {
    ResamplerArithmetic arithmetic;
    plan = PlanSizes(source.Width(), source.Height(), ScaleX, ScaleY, options.doublePrecision);
  }
  Picture destination = Picture::CreateDisplayCompatibleForOverwrite(plan.width, plan.height);

  // The rows, spread over threads, each with its own working rows.
  std::vector<RowMaker> makers;
  std::optional<RowSchedule> schedule;
  if (!destination.IsEmpty()) {
    uint8_t* const bits = destination.MutableBits();
    const size_t stride = destination.Stride();
    const int32_t height = destination.Height();
    const bool topDown = destination.IsTopDown();
    try {
      {
        ResamplerArithmetic arithmetic;
        MakeTables(plan, options.maxTableWidth);
      }
      const int threads = ThreadsFor(plan, options.threads, kWholeThreadedFromPixels);
      makers.reserve(static_cast<size_t>(threads));
      for (int i = 0; i < threads; ++i) makers.emplace_back(plan, sourceRows);
      schedule.emplace(plan.height, threads, std::max(options.rowsPerTask, 1),
                       [&makers, bits, stride, height, topDown](int32_t y, int worker) {
        makers[static_cast<size_t>(worker)].Make(y, bits + static_cast<size_t>(topDown ? y : height - 1 - y) * stride);
      });
    } catch (const std::bad_alloc&) {
      throw msg::OutOfMemory();  // the working rows are bounded by the table width; still, the platform may refuse
    }
  }

  // The main loop: after each row, progress, pending messages and the early stop.
  for (int32_t y = 0; y < plan.height; ++y) {
    if (schedule) schedule->Complete(y);
    host.SetProgress(ProgressAfterRow(y, plan.height));
    host.ProcessPendingMessages();
    if (host.IsQuitting()) return;  // `picture` may be gone; the workers are joined on the way out
    if (schedule) schedule->Reported(y + 1);
  }

  const int workers = schedule ? schedule->Workers() : 0;
  schedule.reset();
  if (options.stats) {
    ResizeStats& stats = *options.stats;
    stats = ResizeStats{};
    for (const RowMaker& maker : makers) stats += maker.Counts();
    stats.threads = workers;
    stats.tables = plan.tables;
  }
  picture = std::move(destination);
  host.SetProgress(0);
}

}  // namespace sw
