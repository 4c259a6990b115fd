#pragma once
// The resize run behind the Execute command: read the picture again, turn the
// typed sizes into scale factors, resample, ask for the target, write it in
// the chosen format, set the wallpaper on request, reset. Written once against
// two small interfaces, so the window, the command line and the tests each
// give it what they mean.

#include <cstdint>
#include <memory>
#include <string>

#include "image/jpeg/Jpeg.h"
#include "image/picture/Picture.h"
#include "image/resize/Resampler.h"

namespace sw {

// The state the main window keeps for as long as the program runs.
struct RunState {
  std::string SourceFileName;
  std::string TargetFileName;
  int32_t OldWidth = 0;
  int32_t OldHeight = 0;
  int32_t NewWidth = 0;
  int32_t NewHeight = 0;
  // Made by the window's creation handler and released by its close handler,
  // which can run in the middle of a run.
  std::unique_ptr<Picture> WorkBitmap;
  std::unique_ptr<sw::WorkJpeg> WorkJpeg;
};

// What the run reads from its inputs.
class RunInputs {
 public:
  virtual ~RunInputs() = default;
  virtual std::string NewWidthText() = 0;   // the window's Edit3
  virtual std::string NewHeightText() = 0;  // Edit4
  virtual int FormatIndex() = 0;            // RadioGroup1: kFormatBmp or kFormatJpg
  virtual bool WallpaperChecked() = 0;      // CheckBox1
};

// What the run needs of its host: the resampler's progress and quitting
// (ResizeHost), the target, the wallpaper calls, and the run's start and end.
class RunHost : public ResizeHost {
 public:
  // Asks where the picture goes (the save dialog, with this title and initial
  // file name); true with the chosen full path, false when cancelled.
  virtual bool ChooseTarget(const std::string& title, const std::string& fileName, std::string& path) = 0;
  virtual void SetDesktopWallpaper(const std::string& path) = 0;
  virtual void RefreshDesktopWallpaper() = 0;
  // The inputs must not change while a run is under way (the window takes no
  // input); called with false when the run ends, also when it fails.
  virtual void HoldInputs(bool held) { (void)held; }
  // The run completed (saved or cancelled): its inputs are cleared for the next one.
  virtual void ClearInputs() {}
};

// Runs the steps in order. A failure is raised after the inputs are released
// again (unless the host is quitting), with them kept for correction.
void RunResize(RunState& state, RunInputs& inputs, RunHost& host);

// Browse's reading step: the picture at `path` into WorkBitmap by its type,
// then OldWidth and OldHeight from it.
void ReadSourcePicture(RunState& state, const std::string& path);

}  // namespace sw
