#include "image/resize/ResizeTuning.h"

#include "image/resize/Resampler.h"

namespace sw {
namespace {

const ResizeTuning kDefaultTuning;
thread_local const ResizeTuning* currentTuning = &kDefaultTuning;

}  // namespace

const ResizeTuning& CurrentResizeTuning() { return *currentTuning; }

ScopedResizeTuning::ScopedResizeTuning(const ResizeTuning& tuning) : previous_(currentTuning) {
  currentTuning = &tuning;
}

ScopedResizeTuning::~ScopedResizeTuning() { currentTuning = previous_; }

void ResizeBitmap(Picture& picture, float ScaleX, float ScaleY, ResizeHost& host, const ResizeTuning& tuning) {
  const ScopedResizeTuning scope(tuning);
  ResizeBitmap(picture, ScaleX, ScaleY, host);
}

}  // namespace sw
