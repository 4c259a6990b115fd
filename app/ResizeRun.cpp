#include "app/ResizeRun.h"

#include "app/PictureRowSource.h"
#include "app/PictureType.h"
#include "app/RunOutput.h"
#include "app/RunTexts.h"
#include "app/ScaleFactor.h"
#include "image/resize/StreamedResize.h"

namespace sw {
namespace {

// A close of the main window while the run waits (in the message handling
// after a row, or in the save dialog) releases the picture objects and quits.
bool Abandoned(const RunState& state, RunHost& host) {
  return host.ShouldStop() || !state.WorkBitmap || !state.WorkJpeg;
}

// Steps 3 to 8, on the source opened by step 2.
RunOutcome Execute(RunState& state, const RunRequest& request, PictureRowSource& source, RunHost& host,
                   const RunTarget& target) {
  // Step 3: the sizes, height first.
  state.NewHeight = 0;
  state.NewWidth = 0;
  const PictureSize size = ParseNewSize(request.widthText, request.heightText, {state.OldWidth, state.OldHeight});
  state.NewHeight = size.height;
  state.NewWidth = size.width;

  // Step 4: the scale factors, height first, from the size Browse read.
  const double ScaleY = ScaleFactor(state.NewHeight, state.OldHeight);
  const double ScaleX = ScaleFactor(state.NewWidth, state.OldWidth);

  // Step 5: the destination's size is that of the picture read now.
  const ResizePlan sizes =
      PlanSizes(source.Width(), source.Height(), static_cast<float>(ScaleX), static_cast<float>(ScaleY));
  const bool progressive = state.WorkJpeg->WriteProgressive();

  if (!target.Chooser()) {
    std::unique_ptr<FileOutput> output =
        FileOutput::Make(target.Path(), sizes, request.format, progressive, source, state.SourceFileName);
    if (!ResizeStream(source, sizes, output->Rows(), *output, host)) return RunOutcome::kStopped;
    output->RowsComplete();
    // Steps 6 to 8: the target is the one given.
    output->Commit();
    state.TargetFileName = target.Path();
  } else {
    std::unique_ptr<MemoryOutput> output = MemoryOutput::Make(sizes, request.format, progressive);
    if (!ResizeStream(source, sizes, output->Rows(), *output, host)) return RunOutcome::kStopped;
    output->RowsComplete();
    if (Abandoned(state, host)) return RunOutcome::kStopped;
    *state.WorkBitmap = output->TakeDestination();

    // Steps 6 and 7: the save dialog.
    const std::optional<std::string> chosen =
        target.Chooser()->ChooseTarget(kSaveDialogTitle, std::string("*.") + FormatName(request.format));
    if (Abandoned(state, host)) return RunOutcome::kStopped;
    if (!chosen) {
      state.SourceFileName.clear();
      return RunOutcome::kCancelled;
    }
    // Step 8: write.
    state.TargetFileName = *chosen;
    output->SaveTo(state.TargetFileName, *state.WorkBitmap);
  }

  // Step 8: the wallpaper, then step 9's reset of the state.
  if (request.wallpaper) host.SetDesktopWallpaper(state.TargetFileName);
  host.RefreshDesktopWallpaper();
  state.SourceFileName.clear();
  return RunOutcome::kSaved;
}

}  // namespace

RunOutcome RunResize(RunState& state, const RunRequest& request, RunHost& host, const RunTarget& target,
                     std::unique_ptr<PictureRowSource> opened) {
  // Step 2: the picture is read afresh, whatever Browse left, row by row as
  // the resampler needs it. Browse's picture is let go first: nothing shows it.
  *state.WorkBitmap = Picture();
  std::unique_ptr<PictureRowSource> source =
      opened ? std::move(opened) : OpenPictureRows(state.SourceFileName, *state.WorkJpeg);
  try {
    return Execute(state, request, *source, host, target);
  } catch (...) {
    // The window reads the whole source before anything else can fail, so
    // a failure of the source, wherever it lies, is the one it reports.
    source->Drain();
    throw;
  }
}

void ReadSourcePicture(RunState& state, const std::string& path) {
  ReadPictureByType(path, *state.WorkBitmap, *state.WorkJpeg);
  state.OldWidth = state.WorkBitmap->Width();
  state.OldHeight = state.WorkBitmap->Height();
}

std::unique_ptr<PictureRowSource> ReadSourceSize(RunState& state, const std::string& path) {
  std::unique_ptr<PictureRowSource> source = OpenPictureRows(path, *state.WorkJpeg);
  state.OldWidth = source->Width();
  state.OldHeight = source->Height();
  return source;
}

}  // namespace sw
