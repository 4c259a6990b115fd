#include "image/ResizeRun.h"

#include "image/Bmp.h"
#include "image/IntegerText.h"
#include "image/Messages.h"
#include "image/PictureType.h"
#include "image/X87.h"

namespace sw {
namespace {

constexpr const char* kSaveDialogTitle = "Сохраняем модифицированный файл";
constexpr int kFormatBmp = 0;

// New size over old size, divided in extended precision and kept as a double.
// A zero old size is refused here, as the floating-point unit would refuse it.
double ScaleFactor(int32_t newSize, int32_t oldSize) {
  if (oldSize == 0) throw newSize == 0 ? msg::InvalidOperation() : msg::DivisionByZero();
  X87ExtendedPrecision precision;
  return static_cast<double>(static_cast<long double>(newSize) / static_cast<long double>(oldSize));
}

// A close of the main window while the run waits (in the resampler's message
// pumping or in the save dialog) releases the picture objects and quits.
bool RunAbandoned(const RunState& state, RunView& view) {
  return view.IsQuitting() || !state.WorkBitmap || !state.WorkJpeg;
}

void WritePicture(RunState& state, int formatIndex) {
  if (formatIndex == kFormatBmp) {
    SaveBmpFile(*state.WorkBitmap, state.TargetFileName);
  } else {
    state.WorkJpeg->TakeCopyOf(*state.WorkBitmap);
    state.WorkJpeg->SaveToFile(state.TargetFileName);
  }
}

void RunSteps(RunState& state, RunView& view) {
  ReadPictureByType(state.SourceFileName, *state.WorkBitmap, *state.WorkJpeg);

  state.NewHeight = 0;
  state.NewWidth = 0;
  state.NewHeight = ParseInteger(view.NewHeightText());
  state.NewWidth = ParseInteger(view.NewWidthText());

  const double ScaleY = ScaleFactor(state.NewHeight, state.OldHeight);
  const double ScaleX = ScaleFactor(state.NewWidth, state.OldWidth);

  // The run resamples its own reference to the picture, so a close during the
  // resampling can release WorkBitmap without pulling the store from under it.
  Picture resized = *state.WorkBitmap;
  ResizeBitmap(resized, static_cast<float>(ScaleX), static_cast<float>(ScaleY), view);
  if (RunAbandoned(state, view)) return;
  *state.WorkBitmap = std::move(resized);

  const int formatIndex = view.FormatIndex();
  std::string chosenPath;
  const bool confirmed = view.ExecuteSaveDialog(kSaveDialogTitle, "*." + view.FormatItemText(formatIndex), chosenPath);
  if (RunAbandoned(state, view)) return;
  if (confirmed) {
    state.TargetFileName = chosenPath;
    WritePicture(state, formatIndex);
    if (view.WallpaperChecked()) view.SetDesktopWallpaper(state.TargetFileName);
    view.RefreshDesktopWallpaper();
  }

  state.SourceFileName.clear();
  view.ClearFields();
  view.SetMainWindowEnabled(true);
}

}  // namespace

void RunResize(RunState& state, RunView& view) {
  view.SetMainWindowEnabled(false);
  try {
    RunSteps(state, view);
  } catch (...) {
    // The fields keep their contents for correction; the window must not stay disabled.
    if (!view.IsQuitting()) view.SetMainWindowEnabled(true);
    throw;
  }
}

void ReadSourcePicture(RunState& state, const std::string& path) {
  ReadPictureByType(path, *state.WorkBitmap, *state.WorkJpeg);
  state.OldWidth = state.WorkBitmap->Width();
  state.OldHeight = state.WorkBitmap->Height();
}

}  // namespace sw
