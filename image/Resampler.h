#pragma once
// Bilinear resampling of the working image, exactly as the program defines it.

#include "image/Picture.h"

namespace sw {

// What the resampler needs from its caller between rows.
class ResizeHost {
 public:
  virtual ~ResizeHost() = default;
  virtual void SetProgress(int percent) = 0;
  virtual void ProcessPendingMessages() = 0;
  virtual bool IsQuitting() = 0;
};

// Replaces `picture` by a new display-compatible picture of
// Round(W x ScaleX) by Round(H x ScaleY) pixels. After every row: progress,
// pending messages, and an early stop when the host is quitting, which leaves
// `picture` unchanged. A destination size that can't be made raises the
// resource error before any row is computed.
void ResizeBitmap(Picture& picture, float ScaleX, float ScaleY, ResizeHost& host);

}  // namespace sw
