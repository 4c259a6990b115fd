#include "app/ResizeRun.h"

#include "app/IntegerText.h"
#include "app/PictureType.h"
#include "app/RunTexts.h"
#include "app/ScaleFactor.h"
#include "core/Messages.h"
#include "image/bmp/Bmp.h"

namespace sw {
namespace {

// A close of the main window while the run waits (in the resampler's message
// pumping or in the save dialog) releases the picture objects and quits.
bool RunAbandoned(const RunState& state, RunHost& host) {
  return host.IsQuitting() || !state.WorkBitmap || !state.WorkJpeg;
}

void WritePicture(RunState& state, int formatIndex) {
  if (formatIndex == kFormatBmp) {
    SaveBmpFile(*state.WorkBitmap, state.TargetFileName);
  } else {
    state.WorkJpeg->TakeCopyOf(*state.WorkBitmap);
    state.WorkJpeg->SaveToFile(state.TargetFileName);
  }
}

// Steps 2 to 9; step 1, holding the inputs, is the caller's.
void RunFromReading(RunState& state, RunInputs& inputs, RunHost& host) {
  // Step 2: the picture is read afresh, whatever Browse left. Browse's
  // picture is let go first: nothing shows it, and holding it while the same
  // picture is read again would double the run's memory.
  *state.WorkBitmap = Picture();
  ReadPictureByType(state.SourceFileName, *state.WorkBitmap, *state.WorkJpeg);

  // Step 3: the sizes, height first.
  state.NewHeight = 0;
  state.NewWidth = 0;
  state.NewHeight = ParseInteger(inputs.NewHeightText());
  state.NewWidth = ParseInteger(inputs.NewWidthText());

  // Step 4: the scale factors, height first.
  const double ScaleY = ScaleFactor(state.NewHeight, state.OldHeight);
  const double ScaleX = ScaleFactor(state.NewWidth, state.OldWidth);

  // Step 5. The run resamples its own reference to the picture, so a close
  // during the resampling can release WorkBitmap without pulling the store
  // from under it.
  Picture resized = *state.WorkBitmap;
  ResizeBitmap(resized, static_cast<float>(ScaleX), static_cast<float>(ScaleY), host);
  if (RunAbandoned(state, host)) return;
  *state.WorkBitmap = std::move(resized);

  // Steps 6 and 7: the save dialog.
  const int formatIndex = inputs.FormatIndex();
  std::string chosenPath;
  const bool confirmed =
      host.ChooseTarget(kSaveDialogTitle, std::string("*.") + FormatName(formatIndex), chosenPath);
  if (RunAbandoned(state, host)) return;

  // Step 8: write, then the wallpaper.
  if (confirmed) {
    state.TargetFileName = chosenPath;
    WritePicture(state, formatIndex);
    if (inputs.WallpaperChecked()) host.SetDesktopWallpaper(state.TargetFileName);
    host.RefreshDesktopWallpaper();
  }

  // Step 9: the reset.
  state.SourceFileName.clear();
  host.ClearInputs();
  host.HoldInputs(false);
}

}  // namespace

void RunResize(RunState& state, RunInputs& inputs, RunHost& host) {
  host.HoldInputs(true);
  try {
    RunFromReading(state, inputs, host);
  } catch (...) {
    // The inputs keep their contents for correction, but must not stay held.
    if (!host.IsQuitting()) host.HoldInputs(false);
    throw;
  }
}

void ReadSourcePicture(RunState& state, const std::string& path) {
  ReadPictureByType(path, *state.WorkBitmap, *state.WorkJpeg);
  state.OldWidth = state.WorkBitmap->Width();
  state.OldHeight = state.WorkBitmap->Height();
}

}  // namespace sw
