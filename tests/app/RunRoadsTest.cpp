// The run's two roads against the whole-picture one they replace: for every
// kind of source the engine's tests make, every size and both formats, the
// window's run (target chosen after the rows, everything held in memory
// until then) and the command line's (target given, rows streamed into its
// file) give the bytes, the progress and the failure of reading the whole
// picture, resizing it with ResizeBitmap and saving it; and they leave
// nothing behind when they fail or are stopped part way.

#include <gtest/gtest.h>

#include <filesystem>

#include "ScriptedView.h"
#include "TempFolder.h"
#include "app/IntegerText.h"
#include "app/PictureType.h"
#include "app/ResizeRun.h"
#include "app/RunTexts.h"
#include "app/ScaleFactor.h"
#include "core/Messages.h"
#include "image/bmp/Bmp.h"
#include "image/resize/Resampler.h"
#include "image/resize/ResizeTuning.h"
#include "tests/engine/BmpKinds.h"
#include "tests/engine/JpegTestSupport.h"
#include "JpegKinds.h"

namespace sw {
namespace {

using Bytes = std::vector<uint8_t>;
using jpegtest::FileRecipe;

// The command line's side of a run: a record of the rows, and a stop after a
// given number of them.
class CommandLineView : public RunHost {
 public:
  std::function<void(int row)> afterRow;  // runs after each row
  int stopAfterRows = -1;
  std::vector<int> progress;
  int rows = 0;

  void RowDone(int percent) override {
    progress.push_back(percent);
    if (afterRow) afterRow(rows);
    ++rows;
  }
  bool ShouldStop() override { return stopAfterRows >= 0 && rows >= stopAfterRows; }
  void RowsDone() override { progress.push_back(0); }
  void SetDesktopWallpaper(const std::string&) override {}
  void RefreshDesktopWallpaper() override {}
};

// The resampler's host for the whole-picture road.
class ProgressRecord : public ResizeHost {
 public:
  std::vector<int> progress;
  void RowDone(int percent) override { progress.push_back(percent); }
  bool ShouldStop() override { return false; }
  void RowsDone() override { progress.push_back(0); }
};

struct Outcome {
  std::string failure;  // "" when it succeeded
  RunOutcome outcome = RunOutcome::kStopped;
  bool written = false;
  Bytes bytes;
  std::vector<int> progress;
};

class RunRoads : public ::testing::Test {
 protected:
  std::string Source(const std::string& name, const Bytes& bytes) {
    const std::string path = folder.File(name);
    test::WriteBytes(path, bytes);
    return path;
  }

  static RunState FreshState(bool eightBit) {
    RunState state;
    state.WorkBitmap = std::make_unique<Picture>();
    state.WorkJpeg = std::make_unique<WorkJpeg>(eightBit);
    return state;
  }
  void Record(Outcome& outcome, const std::string& target, const std::vector<int>& progress) {
    outcome.written = test::Exists(target);
    if (outcome.written) outcome.bytes = test::ReadBytes(target);
    outcome.progress = progress;
  }

  // What the window saved in a fresh program before its run streamed:
  // Browse, then the whole picture read again, resized and saved.
  Outcome ByWholePictures(const std::string& source, const std::string& width, const std::string& height,
                          int format, bool eightBit = false) {
    Outcome outcome;
    RunState state = FreshState(eightBit);
    ProgressRecord host;
    const std::string target = folder.File("whole-" + std::to_string(++runs));
    try {
      ReadSourcePicture(state, source);
      ReadPictureByType(source, *state.WorkBitmap, *state.WorkJpeg);
      const int32_t newHeight = ParseInteger(height);
      const int32_t newWidth = ParseInteger(width);
      const double scaleY = ScaleFactor(newHeight, state.OldHeight);
      const double scaleX = ScaleFactor(newWidth, state.OldWidth);
      ResizeBitmap(*state.WorkBitmap, static_cast<float>(scaleX), static_cast<float>(scaleY), host);
      if (format == kFormatBmp) {
        SaveBmpFile(*state.WorkBitmap, target);
      } else {
        state.WorkJpeg->TakeCopyOf(*state.WorkBitmap);
        state.WorkJpeg->SaveToFile(target);
      }
    } catch (const Error& error) {
      outcome.failure = error.Text();
    }
    Record(outcome, target, host.progress);
    return outcome;
  }

  // The window's run in a fresh program: Browse, then Execute.
  Outcome ByTheWindow(const std::string& source, const std::string& width, const std::string& height, int format,
                      bool eightBit = false) {
    Outcome outcome;
    RunState state = FreshState(eightBit);
    state.SourceFileName = source;
    test::ScriptedView view;
    view.widthText = width;
    view.heightText = height;
    view.formatIndex = format;
    view.target = folder.File("window-" + std::to_string(++runs));
    try {
      ReadSourcePicture(state, source);
      EXPECT_EQ(RunResize(state, view.Request(), view, RunTarget::ChosenBy(view)), RunOutcome::kSaved);
    } catch (const Error& error) {
      outcome.failure = error.Text();
    }
    Record(outcome, *view.target, view.progress);
    return outcome;
  }

  Outcome ByTheCommandLine(const std::string& source, const std::string& width, const std::string& height,
                           int format, bool eightBit = false) {
    CommandLineView view;
    return Run(source, width, height, format, folder.File("streamed-" + std::to_string(++runs)), view, eightBit);
  }

  // The command line's run of one source into `target`, as a freshly
  // started program does it.
  Outcome Run(const std::string& source, const std::string& width, const std::string& height, int format,
              const std::string& target, CommandLineView& view, bool eightBit = false) {
    Outcome outcome;
    RunState state = FreshState(eightBit);
    state.SourceFileName = source;
    RunRequest request;
    request.widthText = width;
    request.heightText = height;
    request.format = format;
    try {
      outcome.outcome = RunResize(state, request, view, RunTarget::Given(target), ReadSourceSize(state, source));
    } catch (const Error& error) {
      outcome.failure = error.Text();
    }
    Record(outcome, target, view.progress);
    return outcome;
  }

  void ExpectTheWholePicturesOutcome(const std::string& source,
                                     const std::vector<std::pair<std::string, std::string>>& sizes,
                                     bool eightBit = false) {
    for (const auto& size : sizes) {
      for (int format : {0, 1}) {
        SCOPED_TRACE(source + " to " + size.first + " x " + size.second + (format == 0 ? " bmp" : " jpg") +
                     (eightBit ? " on 8 bits" : ""));
        const Outcome whole = ByWholePictures(source, size.first, size.second, format, eightBit);
        for (const Outcome& run : {ByTheWindow(source, size.first, size.second, format, eightBit),
                                   ByTheCommandLine(source, size.first, size.second, format, eightBit)}) {
          EXPECT_EQ(run.failure, whole.failure);
          EXPECT_EQ(run.written, whole.written);
          EXPECT_TRUE(run.bytes == whole.bytes) << run.bytes.size() << " bytes against " << whole.bytes.size();
          if (whole.failure.empty()) EXPECT_EQ(run.progress, whole.progress);
        }
      }
    }
  }

  // Only what the test put there: the sources and the targets written whole.
  std::vector<std::string> Entries() const {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder.Path()))
      names.push_back(entry.path().filename().u8string());
    std::sort(names.begin(), names.end());
    return names;
  }

  test::TempFolder folder;
  int runs = 0;
};

const std::vector<std::pair<std::string, std::string>> kSizes = {
    {"29", "20"}, {"6", "4"}, {"13", "9"}, {"1", "31"}, {"0", "5"}, {"5", "0"}};

TEST_F(RunRoads, EveryBmpKindGivesTheWholePicturesFile) {
  for (const test::BmpKind& kind : test::BmpKinds(13, 9)) ExpectTheWholePicturesOutcome(Source(kind.name + ".bmp", kind.bytes), kSizes);
}

using test::Jpeg;
using test::JpegKinds;

TEST_F(RunRoads, EveryJpegKindGivesTheWholePicturesFileOnEveryScreen) {
  for (const auto& kind : JpegKinds()) {
    const std::string source = Source(kind.first + ".jpg", kind.second);
    for (bool eightBit : {false, true}) ExpectTheWholePicturesOutcome(source, {{"75", "50"}, {"10", "7"}, {"0", "3"}}, eightBit);
  }
}

TEST_F(RunRoads, PicturesLargeEnoughForThreadsAndTallerThanTheRings) {
  // Rows spread over every processor, with rings that wrap many times.
  FileRecipe photo = Jpeg(3, JCS_RGB);
  photo.width = 300;
  photo.height = 700;
  const std::string baseline = Source("tall.jpg", jpegtest::MakeJpegFile(photo));
  photo.progressive = true;
  const std::string progressive = Source("tall-progressive.jpg", jpegtest::MakeJpegFile(photo));
  const std::vector<test::BmpKind> bmps = test::BmpKinds(300, 700);
  const std::string rgb = Source("tall.bmp", bmps[6].bytes);
  const std::string runLength = Source("tall-rle.bmp", bmps.back().bytes);
  ASSERT_EQ(bmps[6].name, "24-bit");
  for (const std::string& source : {baseline, progressive, rgb, runLength})
    ExpectTheWholePicturesOutcome(source, {{"650", "1500"}, {"123", "211"}, {"300", "700"}});
}

TEST_F(RunRoads, SourcesTheWholePictureReadRefusesAreRefusedWithItsMessage) {
  const Bytes baseline = jpegtest::MakeJpegFile(Jpeg(3, JCS_RGB));
  Bytes markerAfterScan = baseline;  // fails at the very end of the read, after every row
  markerAfterScan.insert(markerAfterScan.end() - 2, {0xFF, 0x02});
  FileRecipe arithmetic = Jpeg(3, JCS_RGB);
  arithmetic.arithmetic = true;
  FileRecipe twoComponents = Jpeg(2, JCS_UNKNOWN);
  const std::vector<std::pair<std::string, Bytes>> refused = {
      {"empty.jpg", {}},
      {"empty.bmp", {}},
      {"bitmap.jpg", test::BmpKinds(3, 3)[0].bytes},
      {"marker-after-scan.jpg", markerAfterScan},
      {"arithmetic.jpg", jpegtest::MakeJpegFile(arithmetic)},
      {"two-components.jpg", jpegtest::MakeJpegFile(twoComponents)},
      {"short.bmp", {'B', 'M', 0}},
      {"huge.bmp", test::BmpBytes().FileHeader().InfoHeader(16384, 16385, 32).Bytes()},
  };
  for (const auto& source : refused) {
    const std::string path = Source(source.first, source.second);
    // Every size: bad ones, zero ones and good ones alike meet the source's failure first.
    ExpectTheWholePicturesOutcome(path, {{"8", "8"}, {"0", "0"}, {"x", "y"}, {"-3", "5"}});
  }
  ExpectTheWholePicturesOutcome(folder.File("missing.jpg"), {{"8", "8"}});
}

TEST_F(RunRoads, SizesAndTargetsTheWholeRoadRefusesAreRefusedWithItsMessage) {
  const std::string source = Source("s.bmp", test::BmpKinds(5, 4)[6].bytes);
  ExpectTheWholePicturesOutcome(source, {{"12a", "4"}, {"4", " 4 "}, {"-4", "4"}, {"2147483647", "4"}, {"70000", "2"},
                                   {"16385", "16385"}});
  CommandLineView view;
  const std::string target = folder.File("no-such-folder/out.jpg");
  EXPECT_EQ(Run(source, "8", "8", 1, target, view).failure, "Cannot create file " + target);
}

TEST_F(RunRoads, ASourceWrittenOverItselfGivesTheWindowsFile) {
  FileRecipe progressive = Jpeg(3, JCS_RGB, JCS_UNKNOWN, true);
  const std::vector<std::pair<std::string, Bytes>> sources = {
      {"photo.jpg", jpegtest::MakeJpegFile(progressive)},
      {"picture.bmp", test::BmpKinds(40, 30)[6].bytes},
      {"lines.bmp", test::BmpKinds(40, 30).back().bytes},
  };
  for (const auto& source : sources) {
    for (int format : {0, 1}) {
      const std::string original = Source("original-" + source.first, source.second);
      const Outcome whole = ByWholePictures(original, "90", "70", format);
      const std::string path = Source(source.first, source.second);
      CommandLineView view;
      const Outcome streamed = Run(path, "90", "70", format, path, view);
      EXPECT_EQ(streamed.failure, "") << source.first;
      EXPECT_TRUE(streamed.bytes == whole.bytes) << source.first << " " << format;
    }
  }
}

TEST_F(RunRoads, ASourceFailingAfterItsLastRowLeavesTheTargetAsItWas) {
  FileRecipe recipe = Jpeg(3, JCS_RGB);
  recipe.width = 200;
  recipe.height = 300;
  Bytes file = jpegtest::MakeJpegFile(recipe);
  file.insert(file.end() - 2, {0xFF, 0x02});
  const std::string source = Source("fails-late.jpg", file);
  for (int format : {0, 1}) {
    CommandLineView view;
    const std::string target = folder.File("target");
    test::WriteBytes(target, {'o', 'l', 'd'});
    EXPECT_EQ(Run(source, "400", "600", format, target, view).failure, "JPEG error #67");
    EXPECT_EQ(view.rows, 600) << "every row was made and written before the failure";
    EXPECT_EQ(test::ReadBytes(target), (Bytes{'o', 'l', 'd'}));
    EXPECT_EQ(Entries(), (std::vector<std::string>{"fails-late.jpg", "target"}));
  }
}

TEST_F(RunRoads, AStopAfterARowLeavesTheTargetAsItWas) {
  const std::string source = Source("s.jpg", jpegtest::MakeJpegFile(Jpeg(3, JCS_RGB)));
  for (int format : {0, 1}) {
    for (int stopAfter : {1, 17, 45}) {
      CommandLineView view;
      view.stopAfterRows = stopAfter;
      const std::string target = folder.File("target");
      test::WriteBytes(target, {'o', 'l', 'd'});
      const Outcome stopped = Run(source, "90", "46", format, target, view);
      EXPECT_EQ(stopped.failure, "");
      EXPECT_EQ(stopped.outcome, RunOutcome::kStopped);
      EXPECT_EQ(view.rows, stopAfter) << "no row after the one under way";
      EXPECT_EQ(test::ReadBytes(target), (Bytes{'o', 'l', 'd'}));
      EXPECT_EQ(Entries(), (std::vector<std::string>{"s.jpg", "target"}));
    }
  }
}

TEST_F(RunRoads, ShrinksWhoseLowerRowsASecondReaderReadsAlongsideGiveTheWholePicturesFile) {
  // Every source a second reader is tried on, however small.
  ResizeStats stats;
  ResizeTuning tuning;
  tuning.readAlongsideFromPixels = 0;
  tuning.stats = &stats;
  ScopedResizeTuning tuned(tuning);
  FileRecipe photo = Jpeg(3, JCS_RGB);
  photo.width = 300;
  photo.height = 700;
  const Bytes tall = jpegtest::MakeJpegFile(photo);
  const std::string source = Source("tall.jpg", tall);
  ExpectTheWholePicturesOutcome(source, {{"299", "233"}, {"123", "211"}, {"75", "100"}});
  EXPECT_GT(stats.rowsAlongside, 0) << "the command line's last run read its lower rows alongside";
  for (const auto& kind : JpegKinds()) {
    ExpectTheWholePicturesOutcome(Source(kind.first + ".jpg", kind.second), {{"10", "7"}, {"3", "11"}});
  }
  Bytes markerAfterScan = tall;  // fails at the very end, after every row
  markerAfterScan.insert(markerAfterScan.end() - 2, {0xFF, 0x02});
  ExpectTheWholePicturesOutcome(Source("marker-after-scan.jpg", markerAfterScan), {{"75", "100"}});
  Bytes cut(tall.begin(), tall.begin() + static_cast<long>(tall.size() * 3 / 4));
  ExpectTheWholePicturesOutcome(Source("cut.jpg", cut), {{"75", "100"}});
  // Read into memory first, as a source written over itself is.
  const Outcome whole = ByWholePictures(source, "75", "100", 1);
  CommandLineView view;
  const Outcome overItself = Run(source, "75", "100", 1, source, view);
  EXPECT_EQ(overItself.failure, "");
  EXPECT_GT(stats.rowsAlongside, 0);
  EXPECT_TRUE(overItself.bytes == whole.bytes);
}

#ifndef _WIN32
// Windows keeps a file being read from being cut; natively another program can.
TEST_F(RunRoads, ASourceCutWhileItIsReadIsAReadErrorAndLeavesNothing) {
  FileRecipe recipe = Jpeg(3, JCS_RGB);
  recipe.width = 64;
  recipe.height = 4000;
  const Bytes jpeg = jpegtest::MakeJpegFile(recipe);
  const test::BmpKind bmp = test::BmpKinds(64, 4000)[6];
  for (const auto& source : {std::make_pair(std::string("cut.jpg"), jpeg), std::make_pair(std::string("cut.bmp"), bmp.bytes)}) {
    const std::string path = Source(source.first, source.second);
    CommandLineView view;
    const std::string target = folder.File("target");
    view.afterRow = [&](int row) {
      if (row == 0) std::filesystem::resize_file(std::filesystem::u8path(path), 600);
    };
    EXPECT_EQ(Run(path, "64", "4000", 1, target, view).failure, "Stream read error") << source.first;
    EXPECT_FALSE(test::Exists(target));
    EXPECT_EQ(Entries(), std::vector<std::string>{source.first});
    std::filesystem::remove(std::filesystem::u8path(path));
  }
}
#endif

}  // namespace
}  // namespace sw
