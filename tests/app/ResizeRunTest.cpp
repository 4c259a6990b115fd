#include <gtest/gtest.h>

#include <functional>
#include <optional>

#include "JpegBytes.h"
#include "ScriptedView.h"
#include "TempFolder.h"
#include "app/PictureType.h"
#include "app/ResizeRun.h"
#include "core/Messages.h"
#include "image/bmp/Bmp.h"

namespace sw {
namespace {

using test::Gradient;
using test::ReadBytes;
using test::ScriptedView;
using test::WriteBytes;

class ResizeRun : public ::testing::Test {
 protected:
  ResizeRun() {
    state.WorkBitmap = std::make_unique<Picture>();
    state.WorkJpeg = std::make_unique<WorkJpeg>();
  }

  // A BMP source of the gradient, browsed as the window's Browse does it.
  std::string BrowseBmp(int width, int height, const std::string& name = "source.bmp") {
    const std::string path = folder.File(name);
    Picture picture = Gradient(width, height);
    SaveBmpFile(picture, path);
    Browse(path);
    return path;
  }
  void Browse(const std::string& path) {
    state.SourceFileName = path;
    ReadSourcePicture(state, path);
  }

  // The run's failure text, "" when it succeeded; the outcome kept in `outcome`.
  std::string Run() {
    outcome.reset();
    try {
      outcome = RunResize(state, view.Request(), view, RunTarget::ChosenBy(view));
    } catch (const Error& error) {
      return error.Text();
    }
    return std::string();
  }

  test::TempFolder folder;
  RunState state;
  ScriptedView view;
  std::optional<RunOutcome> outcome;
};

TEST_F(ResizeRun, WritesTheResampledPictureAsBmpAndResetsEverything) {
  BrowseBmp(4, 3);
  view.widthText = "8";
  view.heightText = "6";
  view.formatIndex = 0;
  view.target = folder.File("out.bmp");
  EXPECT_EQ(Run(), "");

  Picture written;
  LoadBmpFile(written, *view.target);
  EXPECT_EQ(written.Width(), 8);
  EXPECT_EQ(written.Height(), 6);
  EXPECT_EQ(written.ReadPixel(0, 0), Gradient(4, 3).ReadPixel(0, 0));
  EXPECT_EQ(written.ReadPixel(2, 2), Gradient(4, 3).ReadPixel(1, 1));
  EXPECT_EQ(state.NewWidth, 8);
  EXPECT_EQ(state.NewHeight, 6);
  EXPECT_EQ(state.TargetFileName, *view.target);
  EXPECT_EQ(state.SourceFileName, "");
  EXPECT_EQ(outcome, RunOutcome::kSaved);
  EXPECT_EQ(view.dialogTitle, "Сохраняем модифицированный файл");
  EXPECT_EQ(view.dialogFileName, "*.bmp");
  EXPECT_EQ(view.progress, (std::vector<int>{0, 17, 33, 50, 67, 83, 0}));
  EXPECT_EQ(state.WorkBitmap->Width(), 8);  // the resampled picture stays the working image
}

TEST_F(ResizeRun, SizesEqualToTheOldOnesReproduceThePicture) {
  const std::string source = BrowseBmp(5, 4);
  view.widthText = "5";
  view.heightText = "4";
  view.formatIndex = 0;
  view.target = folder.File("same.bmp");
  ASSERT_EQ(Run(), "");
  Picture original, copy;
  LoadBmpFile(original, source);
  LoadBmpFile(copy, *view.target);
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 5; ++x) EXPECT_EQ(copy.ReadPixel(x, y), original.ReadPixel(x, y)) << x << "," << y;
}

TEST_F(ResizeRun, TheFormatItemAloneDecidesTheFormat) {
  BrowseBmp(3, 3);
  view.widthText = view.heightText = "3";
  view.formatIndex = 1;
  view.target = folder.File("really-a-jpeg.bmp");
  ASSERT_EQ(Run(), "");
  const std::vector<uint8_t> jpeg = ReadBytes(*view.target);
  ASSERT_GE(jpeg.size(), 2u);
  EXPECT_EQ(jpeg[0], 0xFF);
  EXPECT_EQ(jpeg[1], 0xD8);
  EXPECT_EQ(view.dialogFileName, "*.jpg");

  BrowseBmp(3, 3);
  view.widthText = view.heightText = "3";
  view.formatIndex = 0;
  view.target = folder.File("really-a-bmp.jpg");
  ASSERT_EQ(Run(), "");
  const std::vector<uint8_t> bmp = ReadBytes(*view.target);
  ASSERT_GE(bmp.size(), 2u);
  EXPECT_EQ(bmp[0], 'B');
  EXPECT_EQ(bmp[1], 'M');
}

TEST_F(ResizeRun, ACancelledSaveResetsTheFieldsAndWritesNothing) {
  BrowseBmp(3, 2);
  view.widthText = view.heightText = "4";
  view.wallpaper = true;
  EXPECT_EQ(Run(), "");
  EXPECT_EQ(view.dialogs, 1);
  EXPECT_EQ(outcome, RunOutcome::kCancelled);
  EXPECT_EQ(view.refreshes, 0);
  EXPECT_TRUE(view.wallpapers.empty());
  EXPECT_EQ(state.SourceFileName, "");
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder.Path()), {}), 1);  // only the source
}

TEST_F(ResizeRun, WallpaperWhenTickedAndARefreshAfterEverySave) {
  BrowseBmp(2, 2);
  view.widthText = view.heightText = "2";
  view.target = folder.File("plain.jpg");
  ASSERT_EQ(Run(), "");
  EXPECT_EQ(view.refreshes, 1);
  EXPECT_TRUE(view.wallpapers.empty());

  BrowseBmp(2, 2);
  view.refreshes = 0;
  view.wallpaper = true;
  view.target = folder.File("wall.jpg");
  ASSERT_EQ(Run(), "");
  EXPECT_EQ(view.refreshes, 2);
  EXPECT_EQ(view.wallpapers, (std::vector<std::string>{*view.target}));
}

TEST_F(ResizeRun, AZeroSizeGivesAZeroByteFileInBothFormats) {
  for (int format : {0, 1}) {
    BrowseBmp(3, 3);
    view.widthText = "0";
    view.heightText = "3";
    view.formatIndex = format;
    view.target = folder.File("empty" + std::to_string(format));
    WriteBytes(*view.target, {1, 2, 3});
    ASSERT_EQ(Run(), "");
    EXPECT_TRUE(ReadBytes(*view.target).empty()) << format;
    EXPECT_EQ(view.progress.back(), 0);
  }
  BrowseBmp(3, 3);
  view.widthText = "3";
  view.heightText = "0";
  view.formatIndex = 0;
  view.target = folder.File("no-rows.bmp");
  ASSERT_EQ(Run(), "");
  EXPECT_TRUE(ReadBytes(*view.target).empty());
}

TEST_F(ResizeRun, AProgressiveSourceMakesTheNextJpegSaveProgressive) {
  const std::string progressive = folder.File("p.jpg");
  const std::string baseline = folder.File("b.jpeg");
  WriteBytes(progressive, test::MakeJpeg(16, 16, true));
  WriteBytes(baseline, test::MakeJpeg(16, 16, false));
  view.widthText = view.heightText = "8";

  Browse(progressive);
  view.target = folder.File("after-progressive.jpg");
  ASSERT_EQ(Run(), "");
  EXPECT_TRUE(test::IsProgressiveJpeg(ReadBytes(*view.target)));

  // A BMP read in between leaves the flag as the last JPEG set it.
  BrowseBmp(4, 4);
  view.widthText = view.heightText = "8";
  view.target = folder.File("bmp-after-progressive.jpg");
  ASSERT_EQ(Run(), "");
  EXPECT_TRUE(test::IsProgressiveJpeg(ReadBytes(*view.target)));

  Browse(baseline);
  view.widthText = view.heightText = "8";
  view.target = folder.File("after-baseline.jpg");
  ASSERT_EQ(Run(), "");
  const std::vector<uint8_t> bytes = ReadBytes(*view.target);
  EXPECT_TRUE(test::IsBaselineJpeg(bytes));
  EXPECT_FALSE(test::IsProgressiveJpeg(bytes));
}

TEST_F(ResizeRun, TheSourceIsReadAfreshByThePictureTypeRule) {
  const std::string upper = BrowseBmp(2, 2, "UPPER.BMP");
  EXPECT_EQ(state.OldWidth, 2);
  // Rewritten after Browse: the run reads the file again.
  Picture bigger = Gradient(4, 4);
  SaveBmpFile(bigger, upper);
  view.widthText = view.heightText = "4";
  view.formatIndex = 0;
  view.target = folder.File("fresh.bmp");
  ASSERT_EQ(Run(), "");
  Picture written;
  LoadBmpFile(written, *view.target);
  // The scale is 4/2 of a 4 x 4 picture: the width doubles.
  EXPECT_EQ(written.Width(), 8);
}

TEST_F(ResizeRun, AMixedCaseExtensionIsReadAsJpegAndFails) {
  const std::string path = folder.File("mixed.Bmp");
  Picture picture = Gradient(2, 2);
  SaveBmpFile(picture, path);
  state.SourceFileName = path;
  view.widthText = view.heightText = "2";
  EXPECT_EQ(Run(), "JPEG error #52");
  EXPECT_TRUE(IsBmpPath("a.bmp"));
  EXPECT_TRUE(IsBmpPath("C:\\pics\\a.BMP"));
  EXPECT_FALSE(IsBmpPath("a.Bmp"));
  EXPECT_FALSE(IsBmpPath("a.bmp.jpg"));
  EXPECT_FALSE(IsBmpPath("C:\\x.bmp\\picture"));
  EXPECT_FALSE(IsBmpPath("C:bmp"));
  EXPECT_FALSE(IsBmpPath("bmp"));
  EXPECT_TRUE(IsBmpPath("C:.bmp"));
}

// Every failure the run can meet, with its exact text; each leaves the fields
// as typed, writes nothing and gives the window back.
TEST_F(ResizeRun, FailuresReportTheirTextAndLeaveTheWindowUsable) {
  const std::string good = BrowseBmp(4, 4);
  const std::string notBm = folder.File("bad.bmp");
  WriteBytes(notBm, {'B', 'A', 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 40, 0, 0, 0});
  const std::string shortBmp = folder.File("short.bmp");
  WriteBytes(shortBmp, {'B', 'M', 0, 0});
  const std::string emptyJpeg = folder.File("empty.jpg");
  WriteBytes(emptyJpeg, {});
  const std::string target = folder.File("never.bmp");

  struct Case {
    std::string source, width, height, expected;
  };
  const std::vector<Case> cases = {
      {"", "4", "4", "Cannot open file "},
      {folder.File("missing.jpg"), "4", "4", "Cannot open file " + folder.File("missing.jpg")},
      {notBm, "4", "4", "Bitmap image is not valid"},
      {shortBmp, "4", "4", "Stream read error"},
      {emptyJpeg, "4", "4", "JPEG error #41"},
      {good, "w", "h", "'h' is not a valid integer value"},
      {good, "12a", "4", "'12a' is not a valid integer value"},
      {good, "4", " 4 ", "' 4 ' is not a valid integer value"},
      {good, "-4", "4", "Out of system resources"},
      {good, "2147483647", "4", "Out of system resources"},
  };
  for (const Case& c : cases) {
    state.SourceFileName = c.source;
    view = ScriptedView();
    view.widthText = c.width;
    view.heightText = c.height;
    view.formatIndex = 0;
    view.target = target;
    EXPECT_EQ(Run(), c.expected) << c.source << " " << c.width << "x" << c.height;
    EXPECT_EQ(view.dialogs, 0);
    EXPECT_EQ(state.SourceFileName, c.source);
    EXPECT_FALSE(test::Exists(target));
  }
}

TEST_F(ResizeRun, AZeroOldSizeIsAFloatingPointErrorHeightFirst) {
  const std::string empty = folder.File("empty.bmp");
  WriteBytes(empty, {});
  Browse(empty);  // an empty BMP file is an empty picture: 0 x 0
  EXPECT_EQ(state.OldWidth, 0);
  view.widthText = "0";
  view.heightText = "5";
  EXPECT_EQ(Run(), "Floating point division by zero");
  view.heightText = "0";
  view.widthText = "5";
  EXPECT_EQ(Run(), "Invalid floating point operation");
}

TEST_F(ResizeRun, AnUncreatableTargetIsReportedWithItsPath) {
  BrowseBmp(2, 2);
  view.widthText = view.heightText = "2";
  view.formatIndex = 0;
  view.target = folder.File("no-such-folder/out.bmp");
  EXPECT_EQ(Run(), "Cannot create file " + *view.target);
  EXPECT_EQ(view.refreshes, 0);
  EXPECT_EQ(state.SourceFileName, folder.File("source.bmp")) << "kept for correction";
}

TEST_F(ResizeRun, AFailedSaveKeepsTheEarlierFile) {
  BrowseBmp(2, 2);
  view.widthText = "70000";  // wider than JPEG allows
  view.heightText = "1";
  view.formatIndex = 1;
  view.target = folder.File("keep.jpg");
  WriteBytes(*view.target, {9, 9, 9});
  EXPECT_EQ(Run(), "JPEG error #40");
  EXPECT_EQ(ReadBytes(*view.target), (std::vector<uint8_t>{9, 9, 9}));
}

TEST_F(ResizeRun, ACloseDuringTheResamplingStopsTheRun) {
  BrowseBmp(4, 8);
  view.widthText = "4";
  view.heightText = "8";
  view.target = folder.File("never.jpg");
  int rows = 0;
  // The close handler releases the picture objects while the resampler pumps.
  view.onPump = [&] {
    if (++rows == 2) {
      state.WorkJpeg.reset();
      state.WorkBitmap.reset();
      view.quitting = true;
    }
  };
  EXPECT_EQ(Run(), "");
  EXPECT_EQ(outcome, RunOutcome::kStopped);
  EXPECT_EQ(rows, 2);
  EXPECT_EQ(view.dialogs, 0);
  EXPECT_FALSE(test::Exists(*view.target));
}

TEST_F(ResizeRun, EightRowsReportTheRoundedProgressThenZero) {
  BrowseBmp(3, 4);
  view.widthText = "3";
  view.heightText = "8";
  view.target = folder.File("eight.jpg");
  ASSERT_EQ(Run(), "");
  EXPECT_EQ(view.progress, (std::vector<int>{0, 12, 25, 38, 50, 62, 75, 88, 0}));
}

// The JPEG is encoded while the rows are made, but its failure belongs to
// the save: a cancelled dialog drops it, a confirmed one reports it.
TEST_F(ResizeRun, AnEncodingFailureWaitsForTheSaveDialog) {
  BrowseBmp(2, 2);
  view.widthText = "70000";  // wider than JPEG allows
  view.heightText = "3";
  view.formatIndex = 1;
  EXPECT_EQ(Run(), "");
  EXPECT_EQ(outcome, RunOutcome::kCancelled);
  EXPECT_EQ(view.progress, (std::vector<int>{0, 33, 67, 0})) << "every row made as usual";

  BrowseBmp(2, 2);
  view = ScriptedView();
  view.widthText = "70000";
  view.heightText = "3";
  view.formatIndex = 1;
  view.target = folder.File("never.jpg");
  EXPECT_EQ(Run(), "JPEG error #40");
  EXPECT_EQ(view.dialogs, 1) << "reported after the dialog, where the save fails";
  EXPECT_EQ(view.refreshes, 0);
  EXPECT_FALSE(test::Exists(*view.target));
  EXPECT_EQ(state.WorkBitmap->Width(), 70000) << "the resampled picture is the working image all the same";
}

TEST_F(ResizeRun, ACloseDuringTheSaveDialogWritesNothing) {
  for (int format : {0, 1}) {
    BrowseBmp(4, 4);
    view = ScriptedView();
    view.widthText = view.heightText = "8";
    view.formatIndex = format;
    view.target = folder.File("never");
    view.onDialog = [&] {
      state.WorkJpeg.reset();
      state.WorkBitmap.reset();
      view.quitting = true;
    };
    EXPECT_EQ(Run(), "");
    EXPECT_EQ(outcome, RunOutcome::kStopped);
    EXPECT_EQ(view.refreshes, 0);
    EXPECT_FALSE(test::Exists(*view.target));
    state.WorkBitmap = std::make_unique<Picture>();
    state.WorkJpeg = std::make_unique<WorkJpeg>();
  }
}

}  // namespace
}  // namespace sw
