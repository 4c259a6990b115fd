#pragma once
// Where a run's resized picture goes while its rows are made, and how it
// reaches its target. The window's target is chosen after the last row (the
// save dialog), so everything waits in memory until then: the destination
// made whole, as the working image keeps it, and the chosen format encoded
// alongside. The command line's target is known from the start, so the rows
// go straight into the file that will replace it.

#include <cstdint>
#include <memory>
#include <string>

#include "app/PictureRowSource.h"
#include "image/picture/Picture.h"
#include "image/resize/DriveRows.h"
#include "image/resize/ResizeCore.h"
#include "image/resize/ResizePlan.h"

namespace sw {

class RunOutput : public RowSink {
 public:
  // Where the resampler makes the rows.
  virtual OutputRows Rows() = 0;
  // After the last row.
  virtual void RowsComplete() = 0;
};

// Held in memory until the target is chosen.
class MemoryOutput : public RunOutput {
 public:
  // The destination of `sizes` in `format`, JPEG `progressive` or not: the
  // resource error when the destination can't be made. A failure of the
  // encoding is kept for SaveTo, where the save reports it.
  static std::unique_ptr<MemoryOutput> Make(const ResizePlan& sizes, int format, bool progressive);

  // The resampled picture, once its rows are complete, handed over whole.
  virtual Picture TakeDestination() = 0;
  // Writes the file at `path` (replacing an earlier one only when complete)
  // from `picture`, the destination taken; raises the encoding's failure
  // first, before the target is touched.
  virtual void SaveTo(const std::string& path, Picture& picture) = 0;
};

// Streamed into the file that replaces the target.
class FileOutput : public RunOutput {
 public:
  // The file for `target` of `sizes` in `format`: the window's failures for
  // a destination that can't be made, a target that can't be created and a
  // JPEG that can't be encoded, in that order. A target that is the source
  // itself has the source read into memory first.
  static std::unique_ptr<FileOutput> Make(const std::string& target, const ResizePlan& sizes, int format,
                                          bool progressive, PictureRowSource& source,
                                          const std::string& sourcePath);

  // The file takes the target's place.
  virtual void Commit() = 0;
};

}  // namespace sw
