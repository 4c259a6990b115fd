#pragma once
// The command line's resize of one source: what the window's run does in a
// freshly started program (Browse, then Execute), writing the same bytes and
// failing with the same messages, but streaming. The source is decoded row
// by row as the resampler needs its rows, the output rows go to the encoder
// (or to their places in the BMP file) as they are made, and decoding,
// resampling and encoding run at once (RowPipeline); no whole source or
// destination picture is ever held. The file goes through a temporary file
// that replaces the target only when complete and the source has been read
// to its end without failure.

#include <cstdint>
#include <string>

#include "app/ResizeRun.h"

namespace sw {

// The run's inputs, told the source's size before any size text is asked
// for, as Browse shows it in the window before the sizes are typed.
class StreamingInputs : public RunInputs {
 public:
  virtual void SourceSize(int32_t oldWidth, int32_t oldHeight) {
    (void)oldWidth;
    (void)oldHeight;
  }
};

// Resizes the picture at `sourcePath` as the run does; the target comes from
// the host's ChooseTarget. Failures are raised with the window's message,
// and when several things fail, the one the window meets first: a failure
// reading the source comes before everything else, wherever in the file it
// lies. Returns false when the host asked to stop (IsQuitting after a row):
// the target is then as it was and no temporary file is left.
bool RunStreamingResize(const std::string& sourcePath, bool eightBitOutput, StreamingInputs& inputs,
                        RunHost& host);

}  // namespace sw
