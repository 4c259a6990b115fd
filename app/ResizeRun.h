#pragma once
// The resize run behind the Execute command, written once for the window and
// the command line: read the picture again, turn the typed sizes into scale
// factors, resample, ask for the target, write it in the chosen format, set
// the wallpaper on request, reset. Each front end hands it what it was asked
// (a value, taken when the run starts) and implements what only it provides:
// the rows' progress and the stop, the target, the wallpaper.
//
// The source is decoded as the resampler needs its rows, on a thread of its
// own, and the rows are made on the resampler's threads, so reading,
// resampling and writing overlap; every step the user can see keeps its
// order: the progress after each row, the target asked for after the last
// row, the file written only once the target is known, each failure where
// the window reports it (a failure of the source, wherever it lies in the
// file, before every other).

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "app/NewSize.h"
#include "app/PictureRowSource.h"
#include "image/jpeg/Jpeg.h"
#include "image/picture/Picture.h"
#include "image/resize/ResizeHost.h"

namespace sw {

// The state the main window keeps for as long as the program runs; the
// command line keeps one for each source, as a freshly started program has it.
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

// What the run was asked, as it stood when it started.
struct RunRequest {
  // The new width's and height's texts; a side left out (the command line's
  // -W or -H alone) keeps the picture's aspect ratio.
  std::optional<std::string> widthText, heightText;
  int format = 1;  // kFormatBmp or kFormatJpg
  bool wallpaper = false;
};

// What the run needs of its host besides the rows' events.
class RunHost : public ResizeHost {
 public:
  virtual void SetDesktopWallpaper(const std::string& path) = 0;
  virtual void RefreshDesktopWallpaper() = 0;
};

// Chooses the target after the last row: the window's save dialog, with
// this title and initial file name. None when cancelled.
class TargetChooser {
 public:
  virtual ~TargetChooser() = default;
  virtual std::optional<std::string> ChooseTarget(const std::string& title, const std::string& fileName) = 0;
};

// Where the file goes.
class RunTarget {
 public:
  // Chosen after the last row: the destination is kept whole (it becomes
  // WorkBitmap) and the chosen format encoded alongside, so that once the
  // target is known only finished bytes are written.
  static RunTarget ChosenBy(TargetChooser& chooser) { return RunTarget(&chooser, {}); }
  // Known from the start (the command line's -o): the rows go straight into
  // the file that replaces it.
  static RunTarget Given(std::string path) { return RunTarget(nullptr, std::move(path)); }

  TargetChooser* Chooser() const { return chooser_; }
  const std::string& Path() const { return path_; }

 private:
  RunTarget(TargetChooser* chooser, std::string path) : chooser_(chooser), path_(std::move(path)) {}
  TargetChooser* chooser_;
  std::string path_;
};

enum class RunOutcome {
  kSaved,      // the file is written (and the wallpaper set on request)
  kCancelled,  // no target was chosen; nothing written
  kStopped,    // the host asked to stop after a row, or closed meanwhile; nothing written
};

// Runs the steps in order on `state`: SourceFileName read by the picture-type
// rule, the factors from OldWidth and OldHeight. Saved or cancelled, the
// state is reset for the next run (SourceFileName cleared); a failure is
// raised with the state kept for correction. `opened`, when given, is
// SourceFileName as ReadSourceSize opened it just before, read in place of
// opening it again.
RunOutcome RunResize(RunState& state, const RunRequest& request, RunHost& host, const RunTarget& target,
                     std::unique_ptr<PictureRowSource> opened = nullptr);

// Browse's reading step: the picture at `path` into WorkBitmap by its type,
// then OldWidth and OldHeight from it.
void ReadSourcePicture(RunState& state, const std::string& path);

// The same for a run that follows at once, without a window: OldWidth and
// OldHeight as Browse would read them, from the picture's header alone, and
// the picture opened for RunResize to read (opening a progressive JPEG
// already reads all its scans).
std::unique_ptr<PictureRowSource> ReadSourceSize(RunState& state, const std::string& path);

}  // namespace sw
