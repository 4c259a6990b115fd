// The resampler's defined cases, its conversation with the host, its errors,
// and its independence of the caller's floating-point state.

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <future>
#include <limits>
#include <memory>
#include <random>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "ReferenceResampler.h"
#include "core/Error.h"
#include "image/picture/Picture.h"
#include "image/resize/Resampler.h"
#include "image/resize/ResizeTuning.h"
#include "image/resize/RowSchedule.h"
#include "image/resize/FloatingPoint.h"

namespace sw {
namespace {

constexpr ColorValue Rgb(uint32_t red, uint32_t green, uint32_t blue) { return red | (green << 8) | (blue << 16); }
uint32_t Red(ColorValue c) { return c & 0xFF; }
uint32_t Green(ColorValue c) { return (c >> 8) & 0xFF; }
uint32_t Blue(ColorValue c) { return (c >> 16) & 0xFF; }

// Records what the resampler tells it; can stop after a given row or run
// something as a window's message handling would, after each row.
class RecordingHost : public ResizeHost {
 public:
  void RowDone(int percent) override {
    Progress(percent);
    ++rowsDone;
    if (onRowDone) onRowDone();
    if (stopAfterRows >= 0 && rowsDone > stopAfterRows) stopping = true;
  }
  bool ShouldStop() override {
    ++stopQuestions;
    return stopping;
  }
  void RowsDone() override { Progress(0); }

  std::vector<int> progress;
  int rowsDone = 0;
  int stopQuestions = 0;
  int stopAfterRows = -1;
  bool stopping = false;
  std::function<void()> onProgress;
  std::function<void()> onRowDone;

 private:
  void Progress(int percent) {
    progress.push_back(percent);
    if (onProgress) onProgress();
  }
};

Picture FromRows(const std::vector<std::vector<ColorValue>>& rows) {
  Picture picture = Picture::CreateDisplayCompatible(static_cast<int32_t>(rows[0].size()),
                                                     static_cast<int32_t>(rows.size()));
  for (size_t y = 0; y < rows.size(); ++y) picture.WriteRow(static_cast<int32_t>(y), rows[y].data());
  return picture;
}

Picture RandomPicture(uint32_t seed, int32_t width, int32_t height) {
  std::mt19937 random(seed);
  Picture picture = Picture::CreateDisplayCompatible(width, height);
  for (int32_t y = 0; y < height; ++y)
    for (int32_t x = 0; x < width; ++x) picture.WritePixel(x, y, random() & 0xFFFFFF);
  return picture;
}

void ExpectSamePixels(const Picture& expected, const Picture& actual) {
  ASSERT_EQ(expected.Width(), actual.Width());
  ASSERT_EQ(expected.Height(), actual.Height());
  for (int32_t y = 0; y < expected.Height(); ++y)
    for (int32_t x = 0; x < expected.Width(); ++x)
      ASSERT_EQ(expected.ReadPixel(x, y), actual.ReadPixel(x, y)) << "at " << x << "," << y;
}

Picture Resized(Picture picture, float scaleX, float scaleY, const ResizeTuning& options = {}) {
  RecordingHost host;
  ResizeBitmap(picture, scaleX, scaleY, host, options);
  return picture;
}

TEST(ResamplerCases, ScaleOneReproducesThePictureExactly) {
  const Picture source = RandomPicture(1, 23, 17);
  const Picture result = Resized(source, 1.0f, 1.0f);
  EXPECT_NE(result.Bits(), source.Bits());  // a new picture
  ExpectSamePixels(source, result);

  // A DIB comes back display-compatible with its colours as read.
  DibLayout layout;
  layout.header.biWidth = 3;
  layout.header.biHeight = 1;
  layout.header.biBitCount = 8;
  layout.colorTable = {PaletteEntry{10, 20, 30, 0}, PaletteEntry{40, 50, 60, 0}};
  Picture dib = Picture::CreateDib(layout);
  dib.MutableRow(0)[1] = 1;
  const Picture fromDib = Resized(dib, 1.0f, 1.0f);
  EXPECT_TRUE(fromDib.IsDisplayCompatible());
  EXPECT_EQ(fromDib.ReadPixel(0, 0), dib.ReadPixel(0, 0));
  EXPECT_EQ(fromDib.ReadPixel(1, 0), Rgb(60, 50, 40));
}

TEST(ResamplerCases, DoublingTakesMidpointsRoundedToEvenAndWhiteBeyondTheEdges) {
  // Red rows [0 1 2 3] and [20 23 0 5]; green and blue 0.
  const Picture source = FromRows({{Rgb(0, 0, 0), Rgb(1, 0, 0), Rgb(2, 0, 0), Rgb(3, 0, 0)},
                                   {Rgb(20, 0, 0), Rgb(23, 0, 0), Rgb(0, 0, 0), Rgb(5, 0, 0)}});
  const Picture result = Resized(source, 2.0f, 2.0f);
  ASSERT_EQ(result.Width(), 8);
  ASSERT_EQ(result.Height(), 4);
  // Even columns and rows are the source; odd ones the midpoint of their
  // neighbours (the last of each: with white, 255), worked out by hand:
  // row 1 is the midpoint of the unrounded rows 0 and 2, row 3 of row 2 and white.
  const std::vector<std::vector<uint32_t>> red = {
      {0, 0, 1, 2, 2, 2, 3, 129},            // 0.5 -> 0, 1.5 -> 2, 2.5 -> 2, (3 + 255) / 2
      {10, 11, 12, 6, 1, 2, 4, 130},          // 6.5 -> 6, 2.5 -> 2, 129.5 -> 130
      {20, 22, 23, 12, 0, 2, 5, 130},         // 21.5 -> 22, 11.5 -> 12, 2.5 -> 2
      {138, 138, 139, 133, 128, 129, 130, 192},  // 137.5 -> 138, 127.5 -> 128, 192.5 -> 192
  };
  const std::vector<std::vector<uint32_t>> green = {
      {0, 0, 0, 0, 0, 0, 0, 128},
      {0, 0, 0, 0, 0, 0, 0, 128},
      {0, 0, 0, 0, 0, 0, 0, 128},
      {128, 128, 128, 128, 128, 128, 128, 191},  // (127.5 + 255) / 2 = 191.25
  };
  for (int32_t y = 0; y < 4; ++y) {
    for (int32_t x = 0; x < 8; ++x) {
      EXPECT_EQ(Red(result.ReadPixel(x, y)), red[y][x]) << x << "," << y;
      EXPECT_EQ(Green(result.ReadPixel(x, y)), green[y][x]) << x << "," << y;
      EXPECT_EQ(Blue(result.ReadPixel(x, y)), green[y][x]) << x << "," << y;
    }
  }
}

TEST(ResamplerCases, AOnePixelWidePictureBecomesARampTowardWhite) {
  const Picture source = FromRows({{Rgb(0, 100, 255)}});
  const Picture result = Resized(source, 4.0f, 1.0f);
  ASSERT_EQ(result.Width(), 4);
  ASSERT_EQ(result.Height(), 1);
  // c + (255 - c) x / 4: 63.75, 127.5, 191.25 and 138.75, 177.5, 216.25.
  EXPECT_EQ(result.ReadPixel(0, 0), Rgb(0, 100, 255));
  EXPECT_EQ(result.ReadPixel(1, 0), Rgb(64, 139, 255));
  EXPECT_EQ(result.ReadPixel(2, 0), Rgb(128, 178, 255));
  EXPECT_EQ(result.ReadPixel(3, 0), Rgb(191, 216, 255));
}

TEST(ResamplerCases, ShrinkingByPointSevenExtrapolatesAndWraps) {
  // At x = 2: sx = 2, X0 = Round(1.4) = 1, weight 1/0.7: 200 / 0.7 = 285.7
  // gives 286, stored as 30; the other way round -85.7 gives -86, stored as 170.
  const std::vector<ColorValue> row = {0, 0, Rgb(0, 200, 0), Rgb(200, 0, 0), 0};
  const Picture source = FromRows({row, row});
  const Picture result = Resized(source, 0.7f, 1.0f);
  ASSERT_EQ(result.Width(), 3);  // 5 x 0.7f is 3.4999999
  ASSERT_EQ(result.Height(), 2);
  for (int32_t y = 0; y < 2; ++y) {
    EXPECT_EQ(Red(result.ReadPixel(2, y)), 30u);
    EXPECT_EQ(Green(result.ReadPixel(2, y)), 170u);
  }
}

TEST(ResamplerCases, ZeroWidthStillWalksTheRows) {
  Picture picture = RandomPicture(2, 4, 8);
  RecordingHost host;
  ResizeBitmap(picture, 0.0f, 1.0f, host);
  EXPECT_EQ(picture.Width(), 0);
  EXPECT_EQ(picture.Height(), 8);
  EXPECT_TRUE(picture.IsEmpty());
  EXPECT_EQ(host.progress, (std::vector<int>{0, 12, 25, 38, 50, 62, 75, 88, 0}));
  EXPECT_EQ(host.rowsDone, 8);
}

TEST(ResamplerCases, ZeroHeightHasNoRowsAndStillReplacesThePicture) {
  Picture picture = RandomPicture(3, 4, 8);
  RecordingHost host;
  ResizeBitmap(picture, 2.0f, 0.0f, host);
  EXPECT_EQ(picture.Width(), 8);
  EXPECT_EQ(picture.Height(), 0);
  EXPECT_EQ(host.progress, std::vector<int>{0});
  EXPECT_EQ(host.rowsDone, 0);
}

TEST(ResamplerHost, EightRowsReportTheRoundedProgressThenZero) {
  for (int threads : {1, 2, 3}) {
    Picture picture = RandomPicture(4, 300, 4);
    RecordingHost host;
    ResizeTuning options;
    options.threads = threads;
    options.rowsPerTask = 1;
    ResizeBitmap(picture, 1.0f, 2.0f, host, options);
    EXPECT_EQ(host.progress, (std::vector<int>{0, 12, 25, 38, 50, 62, 75, 88, 0}));
    EXPECT_EQ(host.rowsDone, 8);
    EXPECT_EQ(host.stopQuestions, 8);
  }
}

TEST(ResamplerHost, QuittingStopsAfterTheCurrentRowAndLeavesThePicture) {
  for (int threads : {1, 2, 4}) {
    Picture picture = RandomPicture(5, 64, 40);
    const Picture before = picture;
    RecordingHost host;
    host.stopAfterRows = 3;
    ResizeTuning options;
    options.threads = threads;
    options.rowsPerTask = 2;
    ResizeBitmap(picture, 3.0f, 2.0f, host, options);
    EXPECT_EQ(host.progress, (std::vector<int>{0, 1, 2, 4}));  // no final 0
    EXPECT_EQ(host.rowsDone, 4);
    EXPECT_EQ(host.stopQuestions, 4);
    EXPECT_EQ(picture.Width(), 64);
    EXPECT_EQ(picture.Height(), 40);
    EXPECT_EQ(picture.Bits(), before.Bits());  // the same store, untouched
  }
}

TEST(ResamplerHost, TheHostMayDestroyThePictureWhileProcessingMessages) {
  // As the main window's close handler does: the resampler must not touch
  // the picture afterwards (the sanitizer build checks that it doesn't).
  for (int threads : {1, 2}) {
    auto owner = std::make_unique<Picture>(RandomPicture(6, 200, 50));
    RecordingHost host;
    host.onRowDone = [&] {
      if (host.rowsDone == 5) {
        owner.reset();
        host.stopping = true;
      }
    };
    ResizeTuning options;
    options.threads = threads;
    Picture& picture = *owner;
    ResizeBitmap(picture, 2.0f, 2.0f, host, options);
    EXPECT_EQ(owner, nullptr);
    EXPECT_EQ(host.progress.size(), 5u);
  }
}

TEST(ResamplerHost, AFailingHostLeavesThePictureAndStopsEveryWorker) {
  Picture picture = RandomPicture(7, 300, 60);
  const Picture before = picture;
  RecordingHost host;
  host.onProgress = [&] {
    if (host.progress.size() == 10) throw std::runtime_error("host failed");
  };
  ResizeTuning options;
  options.threads = 3;
  EXPECT_THROW(ResizeBitmap(picture, 2.0f, 2.0f, host, options), std::runtime_error);
  EXPECT_EQ(picture.Bits(), before.Bits());
  EXPECT_EQ(picture.Width(), 300);
}

TEST(ResamplerErrors, SizesThatCantBeMadeRaiseTheResourceErrorBeforeAnyRow) {
  struct Case {
    int32_t width, height;
    float scaleX, scaleY;
  };
  // Round(W x ScaleX) beyond the 32-bit range is refused, not truncated;
  // negative sizes; and a store above the limit.
  for (const Case& c : {Case{2, 2, 2e9f, 1.0f}, Case{2, 2, 1.0f, 3e9f}, Case{3, 3, -1.0f, 1.0f},
                        Case{3, 3, 1.0f, -0.5f}, Case{100, 100, 200.0f, 200.0f}, Case{2, 2, 1e30f, 0.0f}}) {
    Picture picture = RandomPicture(8, c.width, c.height);
    const Picture before = picture;
    RecordingHost host;
    try {
      ResizeBitmap(picture, c.scaleX, c.scaleY, host);
      ADD_FAILURE() << "no error for " << c.scaleX << " x " << c.scaleY;
    } catch (const Error& error) {
      EXPECT_EQ(error.Kind(), ErrorKind::Resource);
      EXPECT_EQ(error.Text(), "Out of system resources");
    }
    EXPECT_TRUE(host.progress.empty());
    EXPECT_EQ(picture.Bits(), before.Bits());
  }
}

TEST(ResamplerErrors, ANotANumberScaleIsAnInvalidOperation) {
  Picture picture = RandomPicture(9, 2, 2);
  RecordingHost host;
  try {
    ResizeBitmap(picture, std::numeric_limits<float>::quiet_NaN(), 1.0f, host);
    ADD_FAILURE() << "no error";
  } catch (const Error& error) {
    EXPECT_EQ(error.Kind(), ErrorKind::FloatingPoint);
    EXPECT_EQ(error.Text(), "Invalid floating point operation");
  }
}

#if defined(__x86_64__) || defined(__i386__)
TEST(ResamplerArithmeticState, ResultsDontDependOnTheCallersFloatingPointState) {
  // Windows starts processes with 53-bit x87 precision; other rounding
  // modes, flush-to-zero and denormals-are-zero must not matter either.
  const Picture source = RandomPicture(10, 37, 29);
  const std::vector<std::pair<float, float>> scales = {{0.7f, 1.3f}, {3.0f / 7, 7.0f / 3}, {1.0f / 3, 2.0f}};
  std::vector<Picture> expected;
  for (const auto& s : scales) expected.push_back(reference::ReferenceResize(source, s.first, s.second));

  const uint16_t x87 = X87ControlWord();
  const uint32_t mxcsr = Mxcsr();
  const uint16_t callerX87[] = {
      static_cast<uint16_t>((x87 & ~(kX87PrecisionMask | kX87RoundingMask)) | kX87Precision53 | kX87RoundUp),
      static_cast<uint16_t>((x87 & ~(kX87PrecisionMask | kX87RoundingMask)) | kX87Precision24 | kX87RoundTowardZero),
  };
  const uint32_t callerMxcsr[] = {
      (mxcsr & ~kMxcsrRoundingMask) | kMxcsrRoundDown | kMxcsrFlushToZero | kMxcsrDenormalsAreZero,
      (mxcsr & ~kMxcsrRoundingMask) | kMxcsrRoundUp,
  };
  for (int state = 0; state < 2; ++state) {
    for (int threads : {1, 2}) {
      for (size_t i = 0; i < scales.size(); ++i) {
        Picture picture = source;
        RecordingHost host;
        uint16_t seenX87 = 0;
        uint32_t seenMxcsr = 0;
        host.onProgress = [&] {
          seenX87 = X87ControlWord();
          seenMxcsr = Mxcsr();
        };
        ResizeTuning options;
        options.threads = threads;
        SetX87ControlWord(callerX87[state]);
        SetMxcsr(callerMxcsr[state]);
        ResizeBitmap(picture, scales[i].first, scales[i].second, host, options);
        const uint16_t afterX87 = X87ControlWord();
        const uint32_t afterMxcsr = Mxcsr() & ~0x3Fu;  // without the sticky exception flags
        SetX87ControlWord(x87);
        SetMxcsr(mxcsr);
        EXPECT_EQ(afterX87, callerX87[state]);
        EXPECT_EQ(afterMxcsr, callerMxcsr[state] & ~0x3Fu);
        // The host's operations run in the caller's state too.
        EXPECT_EQ(seenX87, callerX87[state]);
        EXPECT_EQ(seenMxcsr & ~0x3Fu, callerMxcsr[state] & ~0x3Fu);
        ExpectSamePixels(expected[i], picture);
      }
    }
  }
}

TEST(ResamplerArithmeticState, TheCallersStatesDoChangeExtendedArithmetic) {
  // Without this the test above could pass for want of any effect.
  const uint16_t x87 = X87ControlWord();
  const auto third = [](uint16_t word) {
    SetX87ControlWord(word);
    volatile long double one = 1, three = 3;
    long double result = one / three;
    FloatingPointFence(result);
    return result;
  };
  const uint16_t base = static_cast<uint16_t>(x87 & ~(kX87PrecisionMask | kX87RoundingMask));
  const long double extended = third(base | kX87Precision64);
  const long double coarse = third(base | kX87Precision53);
  const long double up = third(base | kX87Precision64 | kX87RoundUp);
  const long double down = third(base | kX87Precision64 | kX87RoundDown);
  SetX87ControlWord(x87);
  EXPECT_NE(extended, coarse);
  EXPECT_NE(up, down);
}
#endif

TEST(ResamplerPaths, EveryWayOfSpreadingAndComputingGivesTheSamePixels) {
  const Picture source = RandomPicture(12, 45, 33);
  for (const auto& s : std::vector<std::pair<float, float>>{{2.0f, 2.0f}, {0.7f, 1.7f}, {1.0f / 3, 3.0f / 7}}) {
    const Picture expected = reference::ReferenceResize(source, s.first, s.second);
    for (int threads : {1, 2, 5}) {
      for (int rowsPerTask : {1, 3, 32}) {
        for (bool doublePrecision : {true, false}) {
          for (int32_t maxTableWidth : {1 << 20, 8}) {
            ResizeTuning options;
            options.threads = threads;
            options.rowsPerTask = rowsPerTask;
            options.doublePrecision = doublePrecision;
            options.maxTableWidth = maxTableWidth;
            ResizeStats stats;
            options.stats = &stats;
            SCOPED_TRACE(testing::Message() << s.first << "," << s.second << " threads " << threads << " rows "
                                            << rowsPerTask << (doublePrecision ? " double" : " extended")
                                            << " tables up to " << maxTableWidth);
            ExpectSamePixels(expected, Resized(source, s.first, s.second, options));
            EXPECT_EQ(stats.tables, maxTableWidth > 45 * 3);
            EXPECT_EQ(stats.threads, stats.tables ? threads - 1 : 0);
            if (!doublePrecision || !stats.tables) {
              EXPECT_EQ(stats.finalExtended, stats.finalValues);
            }
          }
        }
      }
    }
  }
}

TEST(ResamplerPaths, AWholePictureTakesEveryProcessorFromSixtyFiveThousandPixels) {
  // Left to itself the resampler threads a picture of 2^16 output pixels and
  // more (one processor each, at most 16), and computes a smaller one alone.
  const unsigned processors = std::thread::hardware_concurrency();
  if (processors < 2) GTEST_SKIP() << "one processor";
  const Picture source = RandomPicture(5, 128, 128);
  for (const auto& c : {std::pair<int32_t, bool>{256, true}, {255, false}}) {
    ResizeStats stats;
    ResizeTuning options;
    options.stats = &stats;
    const float scaleX = static_cast<float>(c.first) / 128;
    const Picture result = Resized(source, scaleX, 2.0f, options);
    ASSERT_EQ(result.Width(), c.first);
    ASSERT_EQ(result.Height(), 256);
    EXPECT_EQ(stats.threads, c.second ? static_cast<int>(std::min(processors, 16u)) - 1 : 0) << c.first;
  }
}

TEST(ResamplerPaths, ExtremeFactorsAgreeWithThePlainEvaluation) {
  // Very large factors make the slope differences too fine for the double
  // path; very small ones leave a pixel or two.
  const Picture dot = RandomPicture(13, 1, 1);
  const Picture tiny = RandomPicture(14, 2, 3);
  const Picture wide = RandomPicture(15, 700, 2);
  struct Case {
    const Picture* source;
    float scaleX, scaleY;
  };
  for (const Case& c : {Case{&dot, 6e5f, 1.0f}, Case{&tiny, 1.0f, 4e4f}, Case{&tiny, 777.7f, 33.3f},
                        Case{&wide, 0.0015f, 0.7f}, Case{&wide, 1.0f / 700, 0.5f}}) {
    SCOPED_TRACE(testing::Message() << c.scaleX << " x " << c.scaleY);
    ResizeStats stats;
    ResizeTuning options;
    options.stats = &stats;
    ExpectSamePixels(reference::ReferenceResize(*c.source, c.scaleX, c.scaleY),
                     Resized(*c.source, c.scaleX, c.scaleY, options));
    if (c.source == &dot) {
      EXPECT_EQ(stats.slopeExtended, stats.slopeValues);  // too fine for doubles
    }
  }
}


// The schedule on its own, with rows that now and then take long on a
// worker, so that the calling thread steals, spins and blocks.
void SlowNowAndThen(int32_t row, int worker) {
  if (worker != 0 && row % 37 == 5) std::this_thread::sleep_for(std::chrono::milliseconds(1));
}

// A schedule that loses a row or a wake-up hangs; this ends the test program
// with a failure after `seconds` instead of leaving it to the run's time limit.
void WithinSeconds(int seconds, const std::function<void()>& scenario) {
  auto outcome = std::make_shared<std::promise<void>>();
  std::future<void> finished = outcome->get_future();
  std::thread([outcome, scenario] {
    try {
      scenario();
      outcome->set_value();
    } catch (...) {
      outcome->set_exception(std::current_exception());
    }
  }).detach();
  if (finished.wait_for(std::chrono::seconds(seconds)) != std::future_status::ready) {
    ADD_FAILURE() << "the schedule hangs";
    std::fflush(stdout);
    std::_Exit(1);
  }
  finished.get();
}

TEST(ResamplerSchedule, EveryRowIsMadeOnceAndCompleteInRowOrder) {
  for (int threads : {1, 2, 3, 8}) {
    for (int rowsPerTask : {1, 3, 32}) {
      for (int32_t rows : {1, 7, 400}) {
        SCOPED_TRACE(testing::Message() << threads << " threads, " << rowsPerTask << " rows a task, " << rows);
        std::vector<std::atomic<int>> made(static_cast<size_t>(rows));
        std::vector<int32_t> payload(static_cast<size_t>(rows), -1);  // plain memory, as a destination row
        std::atomic<int> byWorkers{0};
        WithinSeconds(60, [&] {
          RowSchedule schedule(rows, threads, rowsPerTask, [&](int32_t row, int worker) {
            SlowNowAndThen(row, worker);
            payload[static_cast<size_t>(row)] = row * 3;
            made[static_cast<size_t>(row)].fetch_add(1);
            if (worker != 0) byWorkers.fetch_add(1);
          });
          for (int32_t y = 0; y < rows; ++y) {
            schedule.Complete(y);
            ASSERT_EQ(made[static_cast<size_t>(y)].load(), 1) << "row " << y;
            ASSERT_EQ(payload[static_cast<size_t>(y)], y * 3) << "row " << y;
            schedule.Reported(y + 1);
          }
        });
        for (int32_t y = 0; y < rows; ++y) ASSERT_EQ(made[static_cast<size_t>(y)].load(), 1) << "row " << y;
        if (threads == 1) EXPECT_EQ(byWorkers.load(), 0);
      }
    }
  }
}

TEST(ResamplerSchedule, RowsAreMadeOnlyWithinTheWindowAheadOfTheReportedOnes) {
  // With 3 threads and 4 rows a task the window is 64 rows; a task claimed
  // at its edge reaches 4 rows further. An early stop after 100 rows leaves
  // the rest unmade.
  constexpr int32_t kRows = 5000, kReach = 64 + 4;
  std::atomic<int32_t> reported{0}, beyond{-1}, madeRows{0};
  WithinSeconds(60, [&] {
    RowSchedule schedule(kRows, 3, 4, [&](int32_t row, int worker) {
      SlowNowAndThen(row, worker);
      if (row >= reported.load() + kReach) beyond.store(row);
      madeRows.fetch_add(1);
    });
    for (int32_t y = 0; y < 100; ++y) {
      schedule.Complete(y);
      if (y % 10 == 0) std::this_thread::sleep_for(std::chrono::milliseconds(1));  // a slow host
      reported.store(y + 1);
      schedule.Reported(y + 1);
    }
  });
  EXPECT_EQ(beyond.load(), -1);
  EXPECT_LE(madeRows.load(), 100 + kReach);
}

TEST(ResamplerSchedule, AWorkersFailureIsRaisedOnTheCallingThread) {
  // Every row a worker takes fails; the calling thread makes its own. Once
  // a worker has failed, the calling thread must learn of it, whichever row
  // it is at, and no row beyond the window past the failed one is made.
  // (Where threads start slowly, as under Wine, the calling thread may have
  // made many rows before a worker takes its first.)
  for (int threads : {2, 4}) {
    std::atomic<int> failures{0};
    std::atomic<int32_t> farthest{-1}, firstFailed{INT32_MAX};
    bool raised = false;
    WithinSeconds(60, [&] {
      try {
        RowSchedule schedule(2000, threads, 2, [&](int32_t row, int worker) {
          std::this_thread::sleep_for(std::chrono::microseconds(50));
          if (worker != 0) {
            failures.fetch_add(1);
            int32_t first = firstFailed.load();
            while (row < first && !firstFailed.compare_exchange_weak(first, row)) {
            }
            throw std::runtime_error("worker row " + std::to_string(row));
          }
          int32_t seen = farthest.load();
          while (row > seen && !farthest.compare_exchange_weak(seen, row)) {
          }
        });
        for (int32_t y = 0; y < 2000; ++y) {
          schedule.Complete(y);
          schedule.Reported(y + 1);
        }
      } catch (const std::runtime_error& error) {
        raised = std::string(error.what()).rfind("worker row ", 0) == 0;
      }
    });
    EXPECT_EQ(raised, failures.load() > 0) << threads << " threads";
    if (raised) EXPECT_LT(farthest.load(), firstFailed.load() + RowSchedule::RowsInFlight(threads, 2)) << threads;
  }
}

}  // namespace
}  // namespace sw
