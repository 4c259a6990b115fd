#include "image/resize/Resampler.h"

#include "image/resize/DriveRows.h"
#include "image/resize/ResizeCore.h"
#include "image/resize/ResizeTuning.h"

namespace sw {

void ResizeBitmap(Picture& picture, float ScaleX, float ScaleY, ResizeHost& host) {
  // The caller's picture is read only here: a handler run while messages are
  // processed may destroy it. The copy shares its store and keeps it alive.
  const Picture source = picture;
  PictureRows sourceRows(source);

  // Creating the destination: W' x H', display-compatible, made as one store
  // of that size: the same failures as setting the width and then the height
  // of a new picture. It is not filled white, because every byte of every
  // row is written before the picture is handed over, and an early stop drops it.
  ResizePlan sizes = PlanSizes(source.Width(), source.Height(), ScaleX, ScaleY, CurrentResizeTuning().doublePrecision);
  Picture destination = Picture::CreateDisplayCompatibleForOverwrite(sizes.width, sizes.height);

  ResizeCore core(std::move(sizes), sourceRows, OutputRows::InPicture(destination), ResizeCore::Company::kAlone);
  if (!DriveRows(core, nullptr, host)) return;  // `picture` may be gone; the workers are joined on the way out
  picture = std::move(destination);
}

}  // namespace sw
