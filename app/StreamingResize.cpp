#include "app/StreamingResize.h"

#include <new>
#include <optional>

#include "app/IntegerText.h"
#include "app/PictureRowSource.h"
#include "app/RowPipeline.h"
#include "app/RunTexts.h"
#include "app/ScaleFactor.h"
#include "core/Messages.h"
#include "image/bmp/BmpRows.h"
#include "image/jpeg/JpegCodec.h"
#include "image/resize/ResizeTuning.h"
#include "image/resize/X87.h"
#include "platform/FileAccess.h"

namespace sw {
namespace {

// The host asked to stop: raised through the file's writing so that the
// temporary file goes, caught before it leaves the job.
struct Stopped {};

// The encoder's pieces go to the file in writes of this size.
constexpr size_t kEncodedWriteBytes = 256 * 1024;

// The resampled picture's file in the chosen format, taking its rows in order.
class ResizedFile {
 public:
  ResizedFile(RandomAccessSink& sink, int formatIndex, int32_t width, int32_t height, bool progressive)
      : encoded_(sink, kEncodedWriteBytes) {
    if (formatIndex == kFormatBmp) {
      bmp_.emplace(sink, width, height);
    } else {
      jpeg_.emplace(encoded_);
      jpeg_->Start(width, height, progressive);
    }
  }
  PixelOrder Order() const { return bmp_ ? PixelOrder::kBgrx : PixelOrder::kRgb; }
  void WriteRow(int32_t y, const uint8_t* row) {
    if (bmp_) {
      bmp_->WriteRow(y, row);
    } else {
      jpeg_->WriteRow(row);
    }
  }
  void Finish() {
    if (jpeg_) jpeg_->Finish();
    encoded_.Flush();
  }

 private:
  BufferedSink encoded_;
  std::optional<BmpRowWriter> bmp_;
  std::optional<jpeg::RowEncoder> jpeg_;
};

// The destination the window's resampler makes: display-compatible, 32 bits
// a pixel, refused for a negative size or a store above the limit.
void CheckDestination(const ResizePlan& plan) {
  if (plan.width < 0 || plan.height < 0) throw msg::Resource();
  if (plan.width > 0 && plan.height > 0 && PixelStoreBytes(plan.width, plan.height, 32) == 0) throw msg::Resource();
}

// After each row, as the window's resampler reports it.
void RowDone(int32_t y, const ResizePlan& plan, RunHost& host) {
  host.SetProgress(ProgressAfterRow(y, plan.height));
  host.ProcessPendingMessages();
  if (host.IsQuitting()) throw Stopped();
}

// Step 8's write, the resampling streaming through it.
void WriteResized(PictureRowSource& source, ResizePlan& plan, int formatIndex, RandomAccessSink& sink,
                  RunHost& host) {
  ResizedFile file(sink, formatIndex, plan.width, plan.height, source.WriteProgressive());
  if (plan.width == 0 || plan.height == 0) {
    // No pixel to make; the rows of a picture without columns are still walked.
    for (int32_t y = 0; y < plan.height; ++y) RowDone(y, plan, host);
    file.Finish();
    source.Drain();
  } else {
    RowPipeline pipeline(plan, source, file.Order());
    for (int32_t y = 0; y < plan.height; ++y) {
      file.WriteRow(y, pipeline.Row(y));
      RowDone(y, plan, host);
      pipeline.Used(y);
    }
    file.Finish();
    pipeline.WaitForSource();
  }
  host.SetProgress(0);
}

// Steps 3 to 8 on an open source.
void Execute(const std::string& sourcePath, PictureRowSource& source, StreamingInputs& inputs, RunHost& host) {
  // Step 3: the sizes, height first.
  const int32_t NewHeight = ParseInteger(inputs.NewHeightText());
  const int32_t NewWidth = ParseInteger(inputs.NewWidthText());

  // Step 4: the scale factors, height first.
  const double ScaleY = ScaleFactor(NewHeight, source.Height());
  const double ScaleX = ScaleFactor(NewWidth, source.Width());

  // Step 5's destination and tables, with the resampler's failures.
  const ResizeOptions options;
  ResizePlan plan;
  {
    ResamplerArithmetic arithmetic;
    plan = PlanSizes(source.Width(), source.Height(), static_cast<float>(ScaleX), static_cast<float>(ScaleY),
                     options.doublePrecision);
  }
  CheckDestination(plan);
  if (plan.width > 0 && plan.height > 0) {
    try {
      ResamplerArithmetic arithmetic;
      MakeTables(plan, options.maxTableWidth);
    } catch (const std::bad_alloc&) {
      throw msg::OutOfMemory();
    }
  }

  // Steps 6 and 7: the target, asked for before the rows are made.
  const int formatIndex = inputs.FormatIndex();
  std::string target;
  if (!host.ChooseTarget(kSaveDialogTitle, std::string("*.") + FormatName(formatIndex), target)) {
    source.Drain();
    return;
  }

  // Step 8: write, then the wallpaper. The window has read the whole source
  // before it writes, so the target may be the source itself.
  if (IsSameFile(sourcePath, target)) source.HoldInMemory();
  ReplaceFileWith(target, [&](RandomAccessSink& sink) { WriteResized(source, plan, formatIndex, sink, host); });
  if (inputs.WallpaperChecked()) host.SetDesktopWallpaper(target);
  host.RefreshDesktopWallpaper();
}

}  // namespace

bool RunStreamingResize(const std::string& sourcePath, bool eightBitOutput, StreamingInputs& inputs,
                        RunHost& host) {
  host.HoldInputs(true);
  try {
    // Browse: the source opened and read up to its first row.
    std::unique_ptr<PictureRowSource> source = OpenPictureRows(sourcePath, eightBitOutput);
    inputs.SourceSize(source->Width(), source->Height());
    try {
      Execute(sourcePath, *source, inputs, host);
    } catch (const Stopped&) {
      throw;
    } catch (...) {
      // The window reads the whole source before anything else can fail, so
      // a failure of the source, wherever it lies, is the one it reports.
      source->Drain();
      throw;
    }
  } catch (const Stopped&) {
    host.HoldInputs(false);
    return false;
  } catch (...) {
    host.HoldInputs(false);
    throw;
  }
  host.ClearInputs();
  host.HoldInputs(false);
  return true;
}

}  // namespace sw
