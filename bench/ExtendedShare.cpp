// How many of a resize's values the double-precision fast path can't vouch
// for, so that they are computed in extended precision (on the x87 unit or
// in software, as STRETCHWELL_EXTENDED says), at each of the three stages.
// The totals of row values and slopes vary a little from run to run: a
// thread reuses the rows it computed last, and how the threads share the
// rows is up to the scheduler, so a row with a tie may count twice.
//
//   extended_share PICTURE WIDTH HEIGHT    (a .bmp or .BMP file, else JPEG)

#include <cstdio>
#include <cstdlib>
#include <string>

#include "QuietHost.h"
#include "app/PictureType.h"
#include "app/ScaleFactor.h"
#include "image/resize/ExtendedSteps.h"
#include "image/resize/ResizeTuning.h"

int main(int argc, char** argv) {
  if (argc != 4) {
    std::fprintf(stderr, "usage: extended_share PICTURE WIDTH HEIGHT\n");
    return 2;
  }
  sw::Picture picture;
  sw::WorkJpeg jpeg;
  sw::ReadPictureByType(argv[1], picture, jpeg);
  const float scaleX = static_cast<float>(sw::ScaleFactor(std::atoi(argv[2]), picture.Width()));
  const float scaleY = static_cast<float>(sw::ScaleFactor(std::atoi(argv[3]), picture.Height()));
  sw::ResizeStats stats;
  sw::ResizeTuning tuning;
  tuning.stats = &stats;
  sw::test::QuietHost host;
  sw::ResizeBitmap(picture, scaleX, scaleY, host, tuning);
  const auto share = [](uint64_t part, uint64_t whole) { return whole ? 100.0 * part / whole : 0.0; };
  std::printf("extended precision: %s\n", sw::ExtendedPathName());
  std::printf("row values: %llu of %llu in extended precision (%.4f%%)\n",
              static_cast<unsigned long long>(stats.rowExtended), static_cast<unsigned long long>(stats.rowValues),
              share(stats.rowExtended, stats.rowValues));
  std::printf("slopes:     %llu of %llu (%.4f%%)\n", static_cast<unsigned long long>(stats.slopeExtended),
              static_cast<unsigned long long>(stats.slopeValues), share(stats.slopeExtended, stats.slopeValues));
  std::printf("finals:     %llu of %llu (%.4f%%)\n", static_cast<unsigned long long>(stats.finalExtended),
              static_cast<unsigned long long>(stats.finalValues), share(stats.finalExtended, stats.finalValues));
  return 0;
}
