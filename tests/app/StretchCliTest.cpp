#include <gtest/gtest.h>

#include <sstream>

#include "JpegBytes.h"
#include "ScriptedView.h"
#include "TempFolder.h"
#include "cli/Stretch.h"
#include "image/resize/ExtendedSteps.h"
#include "image/bmp/Bmp.h"

namespace sw {
namespace {

using test::ReadBytes;

struct Outcome {
  int status;
  std::string out, err;
};

class StretchCli : public ::testing::Test {
 protected:
  Outcome Stretch(const std::vector<std::string>& args) {
    std::ostringstream out, err;
    const int status = RunStretch(args, out, err, environment);
    return {status, out.str(), err.str()};
  }
  std::string Bmp(const std::string& name, int width, int height) {
    const std::string path = folder.File(name);
    Picture picture = test::Gradient(width, height);
    SaveBmpFile(picture, path);
    return path;
  }
  std::string Jpeg(const std::string& name, int width, int height, bool progressive) {
    const std::string path = folder.File(name);
    test::WriteBytes(path, test::MakeJpeg(width, height, progressive));
    return path;
  }
  static std::pair<int, int> SizeOf(const std::string& path) {
    Picture picture;
    LoadBmpFile(picture, path);
    return {picture.Width(), picture.Height()};
  }

  // What the window's run saves for the same source, sizes and format in a fresh program.
  std::vector<uint8_t> SavedByTheWindow(const std::string& source, const std::string& width,
                                        const std::string& height, int format) {
    RunState state;
    state.WorkBitmap = std::make_unique<Picture>();
    state.WorkJpeg = std::make_unique<WorkJpeg>();
    state.SourceFileName = source;
    ReadSourcePicture(state, source);
    test::ScriptedView view;
    view.widthText = width;
    view.heightText = height;
    view.formatIndex = format;
    view.target = folder.File("by-window-" + std::to_string(++windowRuns));
    RunResize(state, view.Request(), view, RunTarget::ChosenBy(view));
    return ReadBytes(*view.target);
  }

  test::TempFolder folder;
  StretchEnvironment environment;
  int windowRuns = 0;
};

TEST_F(StretchCli, UsageErrorsExitWithTwoAndAShortUsage) {
  const std::string source = Bmp("s.bmp", 2, 2);
  const std::vector<std::vector<std::string>> wrong = {
      {},
      {"-W", "2", "-H", "2", source},                             // no -o
      {"-W", "2", "-o", folder.File("o.bmp")},                    // no source
      {"-o", folder.File("o.bmp"), source},                       // no size
      {"-W", "2", "-f", "png", "-o", folder.File("o.png"), source},
      {"-W", "2", "-x", "-o", folder.File("o.bmp"), source},
      {"-W"},
      {"-W", "2", "-o", folder.File("o.bmp"), source, source},   // several sources need a folder
      {"-W", "2", "--wallpaper", "-o", folder.File("o.bmp"), source},  // no wallpaper here
  };
  for (const auto& args : wrong) {
    const Outcome outcome = Stretch(args);
    EXPECT_EQ(outcome.status, 2) << testing::PrintToString(args);
    EXPECT_NE(outcome.err.find("usage: stretch"), std::string::npos);
    EXPECT_EQ(outcome.out, "");
  }
  EXPECT_FALSE(test::Exists(folder.File("o.bmp")));
}

TEST_F(StretchCli, HelpAndVersionGoToStandardOutput) {
  Outcome help = Stretch({"--help"});
  EXPECT_EQ(help.status, 0);
  EXPECT_EQ(help.out.rfind("usage: stretch", 0), 0u);
  Outcome version = Stretch({"--version"});
  EXPECT_EQ(version.status, 0);
  // The version, and which way the extended steps are taken in this process.
  EXPECT_EQ(version.out, std::string("stretch 1.0\nextended precision: ") +
                             (UsesX87Unit() ? "x87 unit" : "software") + "\n");
}

TEST_F(StretchCli, OneSizeKeepsTheAspectRatioRoundingTiesToEven) {
  const std::string source = Bmp("s.bmp", 4, 2);
  const std::string out = folder.File("o.bmp");
  ASSERT_EQ(Stretch({"-W", "5", "-o", out, source}).status, 0);
  EXPECT_EQ(SizeOf(out), std::make_pair(5, 2));  // 2 x 5 / 4 = 2.5 rounds to 2
  ASSERT_EQ(Stretch({"-W", "3", "-o", out, source}).status, 0);
  EXPECT_EQ(SizeOf(out), std::make_pair(3, 2));  // 1.5 rounds to 2
  ASSERT_EQ(Stretch({"-H", "3", "-o", out, source}).status, 0);
  EXPECT_EQ(SizeOf(out), std::make_pair(6, 3));
  ASSERT_EQ(Stretch({"-W", "7", "-H", "1", "-o", out, source}).status, 0);
  EXPECT_EQ(SizeOf(out), std::make_pair(7, 1));
}

TEST_F(StretchCli, WritesTheSameBytesAsTheWindowInBothFormats) {
  const std::string bmp = Bmp("src.bmp", 7, 5);
  const std::string jpeg = Jpeg("src.jpg", 9, 6, true);
  for (const std::string& source : {bmp, jpeg}) {
    for (int format : {0, 1}) {
      const std::string out = folder.File("cli-out");
      const Outcome outcome = Stretch({"-W", "11", "-H", "4", "-f", format == 0 ? "bmp" : "jpg", "-o", out, source});
      ASSERT_EQ(outcome.status, 0) << outcome.err;
      EXPECT_EQ(ReadBytes(out), SavedByTheWindow(source, "11", "4", format)) << source << " " << format;
    }
  }
  // The progressive source makes the JPEG output progressive, as in the window.
  ASSERT_EQ(Stretch({"-W", "4", "-o", folder.File("p.jpg"), jpeg}).status, 0);
  EXPECT_TRUE(test::IsProgressiveJpeg(ReadBytes(folder.File("p.jpg"))));
}

TEST_F(StretchCli, WithoutFormatTheTargetNameDecides) {
  const std::string source = Bmp("s.bmp", 2, 2);
  ASSERT_EQ(Stretch({"-W", "2", "-o", folder.File("a.BMP"), source}).status, 0);
  EXPECT_EQ(ReadBytes(folder.File("a.BMP"))[0], 'B');
  ASSERT_EQ(Stretch({"-W", "2", "-o", folder.File("a.Bmp"), source}).status, 0);
  EXPECT_EQ(ReadBytes(folder.File("a.Bmp"))[0], 0xFF);
}

TEST_F(StretchCli, BatchIntoAFolderKeepsBaseNamesAndGoesOnAfterAFailure) {
  const std::string a = Bmp("a.bmp", 4, 4);
  const std::string b = Jpeg("b.photo.jpeg", 8, 8, false);
  const std::string missing = folder.File("missing.bmp");
  const std::string broken = folder.File("broken.jpg");
  test::WriteBytes(broken, {'B', 'M', 1, 2});
  std::filesystem::create_directories(std::filesystem::u8path(folder.File("out")));
  const std::string out = folder.File("out");

  Outcome outcome = Stretch({"-W", "2", "-o", out, a, missing, b, broken});
  EXPECT_EQ(outcome.status, 1);
  EXPECT_EQ(outcome.err, "stretch: " + missing + ": Cannot open file " + missing + ".\n" + "stretch: " + broken +
                             ": JPEG error #52.\n");
  EXPECT_EQ(SizeOf(folder.File("out/a.bmp")), std::make_pair(2, 2));
  const std::vector<uint8_t> jpeg = ReadBytes(folder.File("out/b.photo.jpg"));
  ASSERT_FALSE(jpeg.empty());
  EXPECT_EQ(jpeg[0], 0xFF);

  ASSERT_EQ(Stretch({"-H", "2", "-f", "bmp", "-q", "-o", out, b}).status, 0);
  EXPECT_EQ(SizeOf(folder.File("out/b.photo.bmp")), std::make_pair(2, 2));
}

TEST_F(StretchCli, ABatchNeverWritesOverAnotherSourcesOutputOrASourceStillToBeRead) {
  std::filesystem::create_directories(std::filesystem::u8path(folder.File("a")));
  std::filesystem::create_directories(std::filesystem::u8path(folder.File("b")));
  const std::string first = Bmp("a/x.bmp", 4, 4);
  const std::string second = Bmp("b/x.bmp", 6, 6);
  // pic.bmp's output is pic.jpg, a source read after it; pic.jpg's own
  // output is itself, which is allowed.
  const std::string pic = Bmp("pic.bmp", 4, 4);
  const std::string picJpeg = Jpeg("pic.jpg", 8, 8, false);
  const std::vector<uint8_t> picJpegBytes = ReadBytes(picJpeg);

  Outcome outcome = Stretch({"-W", "2", "-q", "-o", folder.File("a"), first, second});
  EXPECT_EQ(outcome.status, 1);
  // The target as stretch names it: the folder joined with the system's separator.
  EXPECT_EQ(outcome.err.rfind("stretch: " + second + ": not written: ", 0), 0u) << outcome.err;
  EXPECT_NE(outcome.err.find("x.bmp was written from an earlier source\n"), std::string::npos) << outcome.err;
  EXPECT_EQ(SizeOf(first), std::make_pair(2, 2));  // its own output, written over it

  outcome = Stretch({"-W", "2", "-f", "jpg", "-q", "-o", folder.File("."), pic, picJpeg});
  EXPECT_EQ(outcome.status, 1);
  EXPECT_NE(outcome.err.find("stretch: " + pic + ": not written: "), std::string::npos) << outcome.err;
  EXPECT_NE(outcome.err.find("is a later source"), std::string::npos) << outcome.err;
  // pic.jpg was read as it was, and written over itself at the new width.
  EXPECT_NE(ReadBytes(picJpeg), picJpegBytes);
  EXPECT_EQ(outcome.err.find(picJpeg + ": not written"), std::string::npos);
}

TEST_F(StretchCli, ErrorTextsAreThoseOfTheErrorBox) {
  const std::string source = Bmp("s.bmp", 2, 2);
  Outcome outcome = Stretch({"-W", "12a", "-H", "x", "-o", folder.File("o.bmp"), source});
  EXPECT_EQ(outcome.status, 1);
  // The height is parsed first; the box's rule adds the full stop.
  EXPECT_EQ(outcome.err, "stretch: " + source + ": 'x' is not a valid integer value.\n");
}

TEST_F(StretchCli, AcceptsNonAsciiPathsAndDrawsNoBarWhenNotATerminal) {
  const std::string source = Bmp("картинка.bmp", 3, 3);
  const std::string out = folder.File("результат.bmp");
  Outcome outcome = Stretch({"-W", "6", "-o", out, source});
  EXPECT_EQ(outcome.status, 0);
  EXPECT_EQ(outcome.err, "");
  EXPECT_EQ(SizeOf(out), std::make_pair(6, 6));

  environment.errorIsTerminal = true;
  outcome = Stretch({"-W", "6", "-o", out, source});
  EXPECT_NE(outcome.err.find("] 50%"), std::string::npos);
  outcome = Stretch({"-W", "6", "-q", "-o", out, source});
  EXPECT_EQ(outcome.err, "");
}

TEST_F(StretchCli, AnInterruptStopsTheBatchAfterARowNamingTheSourceAndLeavingItsTarget) {
  const std::string a = Bmp("a.bmp", 4, 40);
  const std::string b = Bmp("b.bmp", 4, 4);
  const std::string out = folder.File("out");
  std::filesystem::create_directories(std::filesystem::u8path(out));
  const std::string target = folder.File("out/a.bmp");
  test::WriteBytes(target, {'o', 'l', 'd'});
  int asked = 0;
  environment.interrupted = [&] { return ++asked > 6; };  // once before the batch's first source, then after each row
  environment.interruptedStatus = 77;
  const Outcome outcome = Stretch({"-H", "80", "-o", out, a, b});
  EXPECT_EQ(outcome.status, 77);
  EXPECT_EQ(outcome.err, "stretch: " + a + ": interrupted\n");
  EXPECT_EQ(asked, 7) << "stopped after the sixth row";
  EXPECT_EQ(ReadBytes(target), (std::vector<uint8_t>{'o', 'l', 'd'}));
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(std::filesystem::u8path(out)), {}), 1)
      << "no temporary file, and b never begun";

  // One that comes between two sources stops the batch before the next.
  asked = 0;
  environment.interrupted = [&] { return ++asked > 3; };  // after b's two rows, before a
  const Outcome between = Stretch({"-H", "2", "-q", "-o", out, b, a});
  EXPECT_EQ(between.status, 77);
  EXPECT_EQ(between.err, "stretch: " + a + ": interrupted\n");
  EXPECT_EQ(SizeOf(folder.File("out/b.bmp")), std::make_pair(2, 2));
}

TEST_F(StretchCli, WallpaperIsSetThroughThePlatformWithTheRefresh) {
  std::vector<std::string> calls;
  environment.setDesktopWallpaper = [&](const std::string& path) { calls.push_back("set " + path); };
  environment.refreshDesktopWallpaper = [&] { calls.push_back("refresh"); };
  const std::string source = Bmp("s.bmp", 2, 2);
  const std::string out = folder.File("wall.bmp");
  ASSERT_EQ(Stretch({"-W", "2", "--wallpaper", "-o", out, source}).status, 0);
  EXPECT_EQ(calls, (std::vector<std::string>{"set " + out, "refresh"}));
  calls.clear();
  ASSERT_EQ(Stretch({"-W", "2", "-o", out, source}).status, 0);
  EXPECT_EQ(calls, (std::vector<std::string>{"refresh"}));
}

}  // namespace
}  // namespace sw
