#pragma once
// The resize run behind the Execute command, written once against a small
// view of the main window, so the whole run is tested without a window.

#include <cstdint>
#include <memory>
#include <string>

#include "image/Jpeg.h"
#include "image/Picture.h"
#include "image/Resampler.h"

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

// What the run needs from the main window.
class RunView : public ResizeHost {
 public:
  virtual void SetMainWindowEnabled(bool enabled) = 0;
  virtual std::string NewWidthText() = 0;   // Edit3
  virtual std::string NewHeightText() = 0;  // Edit4
  virtual int FormatIndex() = 0;            // RadioGroup1: 0 "bmp", 1 "jpg"
  virtual std::string FormatItemText(int index) = 0;
  virtual bool WallpaperChecked() = 0;      // CheckBox1
  // Shows SaveDialog1 with this title and file name; true with the chosen
  // full path when confirmed.
  virtual bool ExecuteSaveDialog(const std::string& title, const std::string& fileName, std::string& path) = 0;
  virtual void SetDesktopWallpaper(const std::string& path) = 0;
  virtual void RefreshDesktopWallpaper() = 0;
  // Empties Edit1, Edit3, Edit4, Label2 and Label7 and unticks CheckBox1.
  virtual void ClearFields() = 0;
};

// Reads the picture again, resamples it to the typed size, asks for the
// target, writes it in the chosen format, sets the wallpaper on request and
// resets the fields. A failure is raised after the main window is enabled
// again, with the fields kept for correction.
void RunResize(RunState& state, RunView& view);

// Browse's reading step: the picture at `path` into WorkBitmap by its type,
// then OldWidth and OldHeight from it.
void ReadSourcePicture(RunState& state, const std::string& path);

}  // namespace sw
