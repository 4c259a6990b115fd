// The streaming run against the window's run: for every kind of source the
// engine's tests make, every size and both formats, the same bytes, the same
// progress and the same failure; and nothing left behind when it fails or is
// stopped part way.

#include <gtest/gtest.h>

#include <filesystem>

#include "ScriptedView.h"
#include "TempFolder.h"
#include "app/StreamingResize.h"
#include "core/Messages.h"
#include "tests/engine/BmpKinds.h"
#include "tests/engine/JpegTestSupport.h"

namespace sw {
namespace {

using Bytes = std::vector<uint8_t>;
using jpegtest::FileRecipe;

// The command line's side of a run: sizes, format, the target, and a record.
class StreamingView : public StreamingInputs, public RunHost {
 public:
  std::string widthText, heightText, target;
  int formatIndex = 1;
  std::function<void(int row)> afterRow;  // runs after each row
  int stopAfterRows = -1;
  std::vector<int> progress;
  int rows = 0;

  std::string NewWidthText() override { return widthText; }
  std::string NewHeightText() override { return heightText; }
  int FormatIndex() override { return formatIndex; }
  bool WallpaperChecked() override { return false; }
  bool ChooseTarget(const std::string&, const std::string&, std::string& path) override {
    path = target;
    return true;
  }
  void SetDesktopWallpaper(const std::string&) override {}
  void RefreshDesktopWallpaper() override {}
  void SetProgress(int percent) override { progress.push_back(percent); }
  void ProcessPendingMessages() override {
    if (afterRow) afterRow(rows);
    ++rows;
  }
  bool IsQuitting() override { return stopAfterRows >= 0 && rows >= stopAfterRows; }
};

struct Outcome {
  std::string failure;  // "" when it succeeded
  bool written = false;
  Bytes bytes;
  std::vector<int> progress;
};

class StreamingResize : public ::testing::Test {
 protected:
  std::string Source(const std::string& name, const Bytes& bytes) {
    const std::string path = folder.File(name);
    test::WriteBytes(path, bytes);
    return path;
  }

  // What the window saves in a fresh program: Browse, then Execute.
  Outcome ByTheWindow(const std::string& source, const std::string& width, const std::string& height, int format,
                      bool eightBit = false) {
    Outcome outcome;
    RunState state;
    state.WorkBitmap = std::make_unique<Picture>();
    state.WorkJpeg = std::make_unique<WorkJpeg>(eightBit);
    state.SourceFileName = source;
    test::ScriptedView view;
    view.widthText = width;
    view.heightText = height;
    view.formatIndex = format;
    view.target = folder.File("window-" + std::to_string(++runs));
    try {
      ReadSourcePicture(state, source);
      RunResize(state, view, view);
    } catch (const Error& error) {
      outcome.failure = error.Text();
    }
    outcome.written = test::Exists(*view.target);
    if (outcome.written) outcome.bytes = test::ReadBytes(*view.target);
    outcome.progress = view.progress;
    return outcome;
  }

  Outcome Streaming(const std::string& source, const std::string& width, const std::string& height, int format,
                    bool eightBit = false) {
    StreamingView view;
    view.widthText = width;
    view.heightText = height;
    view.formatIndex = format;
    view.target = folder.File("streamed-" + std::to_string(++runs));
    return Run(source, view, eightBit);
  }

  Outcome Run(const std::string& source, StreamingView& view, bool eightBit = false) {
    Outcome outcome;
    try {
      EXPECT_TRUE(RunStreamingResize(source, eightBit, view, view));
    } catch (const Error& error) {
      outcome.failure = error.Text();
    }
    outcome.written = test::Exists(view.target);
    if (outcome.written) outcome.bytes = test::ReadBytes(view.target);
    outcome.progress = view.progress;
    return outcome;
  }

  void ExpectTheWindowsOutcome(const std::string& source, const std::vector<std::pair<std::string, std::string>>& sizes,
                               bool eightBit = false) {
    for (const auto& size : sizes) {
      for (int format : {0, 1}) {
        SCOPED_TRACE(source + " to " + size.first + " x " + size.second + (format == 0 ? " bmp" : " jpg") +
                     (eightBit ? " on 8 bits" : ""));
        const Outcome window = ByTheWindow(source, size.first, size.second, format, eightBit);
        const Outcome streamed = Streaming(source, size.first, size.second, format, eightBit);
        EXPECT_EQ(streamed.failure, window.failure);
        EXPECT_EQ(streamed.written, window.written);
        EXPECT_TRUE(streamed.bytes == window.bytes) << streamed.bytes.size() << " bytes against " << window.bytes.size();
        if (window.failure.empty()) EXPECT_EQ(streamed.progress, window.progress);
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

TEST_F(StreamingResize, EveryBmpKindGivesTheWindowsFile) {
  for (const test::BmpKind& kind : test::BmpKinds(13, 9)) ExpectTheWindowsOutcome(Source(kind.name + ".bmp", kind.bytes), kSizes);
}

FileRecipe Jpeg(int components, J_COLOR_SPACE in, J_COLOR_SPACE file = JCS_UNKNOWN, bool progressive = false) {
  FileRecipe recipe;
  recipe.width = 37;
  recipe.height = 23;
  recipe.components = components;
  recipe.inSpace = in;
  recipe.fileSpace = file;
  recipe.progressive = progressive;
  return recipe;
}

std::vector<std::pair<std::string, Bytes>> JpegKinds() {
  std::vector<std::pair<std::string, Bytes>> kinds;
  const auto add = [&](const std::string& name, const FileRecipe& recipe) {
    kinds.push_back({name, jpegtest::MakeJpegFile(recipe)});
  };
  add("baseline", Jpeg(3, JCS_RGB));
  add("progressive", Jpeg(3, JCS_RGB, JCS_UNKNOWN, true));
  add("grey", Jpeg(1, JCS_GRAYSCALE));
  add("grey progressive", Jpeg(1, JCS_GRAYSCALE, JCS_UNKNOWN, true));
  add("cmyk", Jpeg(4, JCS_CMYK, JCS_CMYK));
  add("ycck progressive", Jpeg(4, JCS_CMYK, JCS_YCCK, true));
  FileRecipe separate = Jpeg(3, JCS_RGB);
  separate.separateScans = true;
  add("separate scans", separate);
  FileRecipe restarts = Jpeg(3, JCS_RGB);
  restarts.restartRows = 1;
  add("restarts", restarts);
  for (bool progressive : {false, true}) {
    FileRecipe big = Jpeg(3, JCS_RGB, JCS_UNKNOWN, progressive);
    big.width = 160;
    big.height = 120;
    const Bytes file = jpegtest::MakeJpegFile(big);
    const std::optional<jpegtest::Segment> scan = jpegtest::FindSegment(jpegtest::SegmentsOf(file), 0);
    kinds.push_back({progressive ? "progressive cut short" : "cut short",
                     Bytes(file.begin(), file.begin() + static_cast<long>(scan->offset + scan->length / 2))});
  }
  return kinds;
}

TEST_F(StreamingResize, EveryJpegKindGivesTheWindowsFileOnEveryScreen) {
  for (const auto& kind : JpegKinds()) {
    const std::string source = Source(kind.first + ".jpg", kind.second);
    for (bool eightBit : {false, true}) ExpectTheWindowsOutcome(source, {{"75", "50"}, {"10", "7"}, {"0", "3"}}, eightBit);
  }
}

TEST_F(StreamingResize, PicturesLargeEnoughForThreadsAndTallerThanTheRings) {
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
    ExpectTheWindowsOutcome(source, {{"650", "1500"}, {"123", "211"}, {"300", "700"}});
}

TEST_F(StreamingResize, SourcesTheWindowRefusesAreRefusedWithItsMessage) {
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
    ExpectTheWindowsOutcome(path, {{"8", "8"}, {"0", "0"}, {"x", "y"}, {"-3", "5"}});
  }
  ExpectTheWindowsOutcome(folder.File("missing.jpg"), {{"8", "8"}});
}

TEST_F(StreamingResize, SizesAndTargetsTheWindowRefusesAreRefusedWithItsMessage) {
  const std::string source = Source("s.bmp", test::BmpKinds(5, 4)[6].bytes);
  ExpectTheWindowsOutcome(source, {{"12a", "4"}, {"4", " 4 "}, {"-4", "4"}, {"2147483647", "4"}, {"70000", "2"},
                                   {"16385", "16385"}});
  StreamingView view;
  view.widthText = view.heightText = "8";
  view.target = folder.File("no-such-folder/out.jpg");
  EXPECT_EQ(Run(source, view).failure, "Cannot create file " + view.target);
}

TEST_F(StreamingResize, ASourceWrittenOverItselfGivesTheWindowsFile) {
  FileRecipe progressive = Jpeg(3, JCS_RGB, JCS_UNKNOWN, true);
  const std::vector<std::pair<std::string, Bytes>> sources = {
      {"photo.jpg", jpegtest::MakeJpegFile(progressive)},
      {"picture.bmp", test::BmpKinds(40, 30)[6].bytes},
      {"lines.bmp", test::BmpKinds(40, 30).back().bytes},
  };
  for (const auto& source : sources) {
    for (int format : {0, 1}) {
      const std::string original = Source("original-" + source.first, source.second);
      const Outcome window = ByTheWindow(original, "90", "70", format);
      const std::string path = Source(source.first, source.second);
      StreamingView view;
      view.widthText = "90";
      view.heightText = "70";
      view.formatIndex = format;
      view.target = path;
      const Outcome streamed = Run(path, view);
      EXPECT_EQ(streamed.failure, "") << source.first;
      EXPECT_TRUE(streamed.bytes == window.bytes) << source.first << " " << format;
    }
  }
}

TEST_F(StreamingResize, ASourceFailingAfterItsLastRowLeavesTheTargetAsItWas) {
  FileRecipe recipe = Jpeg(3, JCS_RGB);
  recipe.width = 200;
  recipe.height = 300;
  Bytes file = jpegtest::MakeJpegFile(recipe);
  file.insert(file.end() - 2, {0xFF, 0x02});
  const std::string source = Source("fails-late.jpg", file);
  for (int format : {0, 1}) {
    StreamingView view;
    view.widthText = "400";
    view.heightText = "600";
    view.formatIndex = format;
    view.target = folder.File("target");
    test::WriteBytes(view.target, {'o', 'l', 'd'});
    EXPECT_EQ(Run(source, view).failure, "JPEG error #67");
    EXPECT_EQ(view.progress.size(), 600u) << "every row was made and written before the failure";
    EXPECT_EQ(test::ReadBytes(view.target), (Bytes{'o', 'l', 'd'}));
    EXPECT_EQ(Entries(), (std::vector<std::string>{"fails-late.jpg", "target"}));
  }
}

TEST_F(StreamingResize, AStopAfterARowLeavesTheTargetAsItWas) {
  const std::string source = Source("s.jpg", jpegtest::MakeJpegFile(Jpeg(3, JCS_RGB)));
  for (int format : {0, 1}) {
    for (int stopAfter : {1, 17, 45}) {
      StreamingView view;
      view.widthText = "90";
      view.heightText = "46";
      view.formatIndex = format;
      view.target = folder.File("target");
      view.stopAfterRows = stopAfter;
      test::WriteBytes(view.target, {'o', 'l', 'd'});
      EXPECT_FALSE(RunStreamingResize(source, false, view, view));
      EXPECT_EQ(view.rows, stopAfter) << "no row after the one under way";
      EXPECT_EQ(test::ReadBytes(view.target), (Bytes{'o', 'l', 'd'}));
      EXPECT_EQ(Entries(), (std::vector<std::string>{"s.jpg", "target"}));
    }
  }
}

#ifndef _WIN32
// Windows keeps a file being read from being cut; natively another program can.
TEST_F(StreamingResize, ASourceCutWhileItIsReadIsAReadErrorAndLeavesNothing) {
  FileRecipe recipe = Jpeg(3, JCS_RGB);
  recipe.width = 64;
  recipe.height = 4000;
  const Bytes jpeg = jpegtest::MakeJpegFile(recipe);
  const test::BmpKind bmp = test::BmpKinds(64, 4000)[6];
  for (const auto& source : {std::make_pair(std::string("cut.jpg"), jpeg), std::make_pair(std::string("cut.bmp"), bmp.bytes)}) {
    const std::string path = Source(source.first, source.second);
    StreamingView view;
    view.widthText = "64";
    view.heightText = "4000";
    view.target = folder.File("target");
    view.afterRow = [&](int row) {
      if (row == 0) std::filesystem::resize_file(std::filesystem::u8path(path), 600);
    };
    EXPECT_EQ(Run(path, view).failure, "Stream read error") << source.first;
    EXPECT_FALSE(test::Exists(view.target));
    EXPECT_EQ(Entries(), std::vector<std::string>{source.first});
    std::filesystem::remove(std::filesystem::u8path(path));
  }
}
#endif

}  // namespace
}  // namespace sw
