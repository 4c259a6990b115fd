// WorkJpeg's holdings through its four operations, its sticky
// WriteProgressive and what a failed operation leaves behind.

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>

#include "core/Messages.h"
#include "image/jpeg/Jpeg.h"
#include "tests/engine/JpegTestSupport.h"

namespace sw {
namespace {

using namespace jpegtest;

Bytes BaselineFile() { return MakeJpegFile(FileRecipe{}); }

Bytes ProgressiveFile() {
  FileRecipe recipe;
  recipe.progressive = true;
  return MakeJpegFile(recipe);
}

// The frame marker of a saved file: C0 baseline, C2 progressive.
uint8_t FrameMarkerOf(const Bytes& file) {
  for (const Segment& segment : SegmentsOf(file))
    if (segment.marker >= 0xC0 && segment.marker <= 0xCF && segment.marker != 0xC4 && segment.marker != 0xCC)
      return segment.marker;
  return 0;
}

std::string ErrorTextOf(const std::function<void()>& action) {
  try {
    action();
  } catch (const Error& error) {
    return error.Text();
  }
  return "(no error)";
}

TEST(JpegState, StartsEmptyAndBaseline) {
  WorkJpeg jpeg;
  EXPECT_FALSE(jpeg.EncodedData().has_value());
  EXPECT_FALSE(jpeg.HeldPicture().has_value());
  EXPECT_FALSE(jpeg.WriteProgressive());
}

TEST(JpegState, LoadHoldsTheFileBytesAndNoPicture) {
  const std::string path = TestPath("in.jpg");
  const Bytes file = BaselineFile();
  WriteFile(path, file);
  WorkJpeg jpeg;
  jpeg.TakeCopyOf(PatternPicture(4, 4));
  jpeg.LoadFromFile(path);
  ASSERT_TRUE(jpeg.EncodedData().has_value());
  EXPECT_EQ(*jpeg.EncodedData(), file);
  EXPECT_FALSE(jpeg.HeldPicture().has_value());
}

TEST(JpegState, CopyDecodesOnceAndKeepsTheBytes) {
  const std::string path = TestPath("in.jpg");
  WriteFile(path, BaselineFile());
  WorkJpeg jpeg;
  jpeg.LoadFromFile(path);
  Picture first;
  jpeg.CopyInto(first);
  EXPECT_EQ(first.Width(), 37);
  EXPECT_EQ(first.Height(), 23);
  ASSERT_TRUE(jpeg.HeldPicture().has_value());
  EXPECT_TRUE(jpeg.EncodedData().has_value());
  // A second copy comes from the held picture: it shares its pixel store.
  Picture second;
  jpeg.CopyInto(second);
  EXPECT_EQ(second.Bits(), jpeg.HeldPicture()->Bits());
  EXPECT_EQ(first.Bits(), second.Bits());
}

TEST(JpegState, TakingACopyDropsTheBytesAndCopiesBackWithoutDecoding) {
  const std::string path = TestPath("in.jpg");
  WriteFile(path, BaselineFile());
  WorkJpeg jpeg;
  jpeg.LoadFromFile(path);
  const Picture source = PatternPicture(9, 5, 32);
  jpeg.TakeCopyOf(source);
  EXPECT_FALSE(jpeg.EncodedData().has_value());
  ASSERT_TRUE(jpeg.HeldPicture().has_value());
  // There are no bytes to decode, so the copy must be the held picture itself.
  Picture out;
  jpeg.CopyInto(out);
  EXPECT_EQ(out.Width(), 9);
  EXPECT_TRUE(out.IsDisplayCompatible());
  EXPECT_EQ(RgbOf(out), RgbOf(source));
}

TEST(JpegState, SavingLoadedOrDecodedBytesWritesThemUnchanged) {
  const std::string in = TestPath("in.jpg");
  // Bytes the encoder would never write: progressive, quality 85, odd size.
  const Bytes file = ProgressiveFile();
  WriteFile(in, file);
  WorkJpeg jpeg;
  jpeg.LoadFromFile(in);
  jpeg.SaveToFile(TestPath("loaded.jpg"));
  EXPECT_EQ(ReadFile(TestPath("loaded.jpg")), file);
  Picture picture;
  jpeg.CopyInto(picture);
  jpeg.SaveToFile(TestPath("decoded.jpg"));
  EXPECT_EQ(ReadFile(TestPath("decoded.jpg")), file);
}

TEST(JpegState, SavingAHeldCopyEncodesItOnceAndKeepsTheResult) {
  WorkJpeg jpeg;
  jpeg.TakeCopyOf(PatternPicture(20, 10));
  jpeg.SaveToFile(TestPath("first.jpg"));
  ASSERT_TRUE(jpeg.EncodedData().has_value());
  const Bytes first = ReadFile(TestPath("first.jpg"));
  EXPECT_EQ(*jpeg.EncodedData(), first);
  EXPECT_TRUE(jpeg.HeldPicture().has_value());  // the encoded state keeps the copy
  jpeg.SaveToFile(TestPath("second.jpg"));
  EXPECT_EQ(ReadFile(TestPath("second.jpg")), first);
}

TEST(JpegState, HeldCopyIsUntouchedByLaterChangesToTheWorkingImage) {
  Picture work = PatternPicture(6, 6);
  WorkJpeg jpeg;
  jpeg.TakeCopyOf(work);
  const Bytes before = RgbOf(*jpeg.HeldPicture());
  work.WritePixel(2, 2, 0x00010203);
  EXPECT_EQ(RgbOf(*jpeg.HeldPicture()), before);
}

TEST(JpegState, ProgressiveLoadMakesLaterSavesProgressiveUntilASingleScanLoad) {
  const std::string baseline = TestPath("baseline.jpg");
  const std::string progressive = TestPath("progressive.jpg");
  WriteFile(baseline, BaselineFile());
  WriteFile(progressive, ProgressiveFile());
  const Picture other = PatternPicture(12, 8, 32);
  WorkJpeg jpeg;

  jpeg.TakeCopyOf(other);
  jpeg.SaveToFile(TestPath("before.jpg"));
  EXPECT_EQ(FrameMarkerOf(ReadFile(TestPath("before.jpg"))), 0xC0);

  jpeg.LoadFromFile(progressive);
  EXPECT_TRUE(jpeg.WriteProgressive());
  jpeg.TakeCopyOf(other);  // a picture from elsewhere, a BMP for instance
  EXPECT_TRUE(jpeg.WriteProgressive());
  jpeg.SaveToFile(TestPath("after-progressive.jpg"));
  EXPECT_TRUE(jpeg.WriteProgressive());
  EXPECT_EQ(FrameMarkerOf(ReadFile(TestPath("after-progressive.jpg"))), 0xC2);

  jpeg.LoadFromFile(baseline);
  EXPECT_FALSE(jpeg.WriteProgressive());
  jpeg.TakeCopyOf(other);
  jpeg.SaveToFile(TestPath("after-baseline.jpg"));
  EXPECT_EQ(FrameMarkerOf(ReadFile(TestPath("after-baseline.jpg"))), 0xC0);
}

TEST(JpegState, SequentialFileWithOneScanPerComponentCountsAsMultiScan) {
  FileRecipe recipe;
  recipe.separateScans = true;
  const Bytes file = MakeJpegFile(recipe);
  ASSERT_EQ(FrameMarkerOf(file), 0xC0);
  WriteFile(TestPath("separate.jpg"), file);
  WorkJpeg jpeg;
  jpeg.LoadFromFile(TestPath("separate.jpg"));
  EXPECT_TRUE(jpeg.WriteProgressive());
}

TEST(JpegState, EmptyFileLoadsKeepsWriteProgressiveAndFailsAtTheCopy) {
  WriteFile(TestPath("progressive.jpg"), ProgressiveFile());
  WriteFile(TestPath("empty.jpg"), Bytes{});
  WorkJpeg jpeg;
  jpeg.LoadFromFile(TestPath("progressive.jpg"));
  jpeg.LoadFromFile(TestPath("empty.jpg"));
  EXPECT_TRUE(jpeg.WriteProgressive());
  ASSERT_TRUE(jpeg.EncodedData().has_value());
  EXPECT_TRUE(jpeg.EncodedData()->empty());

  Picture work = PatternPicture(3, 2);
  const Bytes before = RgbOf(work);
  EXPECT_EQ(ErrorTextOf([&] { jpeg.CopyInto(work); }), "JPEG error #41");
  EXPECT_EQ(work.Width(), 3);
  EXPECT_EQ(RgbOf(work), before);
  EXPECT_FALSE(jpeg.HeldPicture().has_value());
}

TEST(JpegState, CopyBeforeAnyLoadFailsAsAnEmptyFile) {
  WorkJpeg jpeg;
  Picture work = PatternPicture(3, 2);
  EXPECT_EQ(ErrorTextOf([&] { jpeg.CopyInto(work); }), "JPEG error #41");
  EXPECT_EQ(work.Width(), 3);
}

TEST(JpegState, HeaderFailureKeepsTheBytesAndWriteProgressive) {
  WriteFile(TestPath("progressive.jpg"), ProgressiveFile());
  const Bytes notJpeg = {'B', 'M', 0x3A, 0, 0, 0, 0, 0, 0, 0, 0x36, 0, 0, 0};
  WriteFile(TestPath("bitmap.jpg"), notJpeg);
  WorkJpeg jpeg;
  jpeg.LoadFromFile(TestPath("progressive.jpg"));
  Picture decoded;
  jpeg.CopyInto(decoded);
  EXPECT_EQ(ErrorTextOf([&] { jpeg.LoadFromFile(TestPath("bitmap.jpg")); }), "JPEG error #52");
  ASSERT_TRUE(jpeg.EncodedData().has_value());
  EXPECT_EQ(*jpeg.EncodedData(), notJpeg);
  EXPECT_FALSE(jpeg.HeldPicture().has_value());
  EXPECT_TRUE(jpeg.WriteProgressive());
  // Closed again: Windows refuses to delete a file that is still open.
  EXPECT_TRUE(std::filesystem::remove(TestPath("bitmap.jpg")));
}

TEST(JpegState, UnopenableFileChangesNothing) {
  WriteFile(TestPath("progressive.jpg"), ProgressiveFile());
  WorkJpeg jpeg;
  jpeg.LoadFromFile(TestPath("progressive.jpg"));
  Picture decoded;
  jpeg.CopyInto(decoded);
  const std::string missing = TestPath("missing.jpg");
  EXPECT_EQ(ErrorTextOf([&] { jpeg.LoadFromFile(missing); }), "Cannot open file " + missing);
  EXPECT_EQ(ErrorTextOf([&] { jpeg.LoadFromFile(""); }), "Cannot open file ");
  EXPECT_TRUE(jpeg.EncodedData().has_value());
  EXPECT_TRUE(jpeg.HeldPicture().has_value());
  EXPECT_TRUE(jpeg.WriteProgressive());
}

TEST(JpegState, EmptyPictureOrNoneSavesAZeroByteFile) {
  const std::string path = TestPath("out.jpg");
  WriteFile(path, Bytes{1, 2, 3});
  WorkJpeg none;
  none.SaveToFile(path);
  EXPECT_TRUE(ReadFile(path).empty());

  WriteFile(path, Bytes{1, 2, 3});
  Picture widthOnly;
  widthOnly.SetWidth(5);
  WorkJpeg jpeg;
  jpeg.TakeCopyOf(widthOnly);
  jpeg.SaveToFile(path);
  EXPECT_TRUE(std::filesystem::exists(path));
  EXPECT_TRUE(ReadFile(path).empty());
  ASSERT_TRUE(jpeg.EncodedData().has_value());
  EXPECT_TRUE(jpeg.EncodedData()->empty());
}

TEST(JpegState, FailedEncodeKeepsTheEarlierFileAndEncodesAgainNextTime) {
  const std::string path = TestPath("out.jpg");
  const Bytes earlier = BaselineFile();
  WriteFile(path, earlier);
  WorkJpeg jpeg;
  jpeg.TakeCopyOf(Picture::CreateDisplayCompatible(65501, 1));
  EXPECT_EQ(ErrorTextOf([&] { jpeg.SaveToFile(path); }), "JPEG error #40");
  EXPECT_EQ(ReadFile(path), earlier);
  EXPECT_FALSE(jpeg.EncodedData().has_value());
  EXPECT_EQ(ErrorTextOf([&] { jpeg.SaveToFile(path); }), "JPEG error #40");
}

TEST(JpegState, UncreatableTargetIsAFileCreateError) {
  WorkJpeg jpeg;
  jpeg.TakeCopyOf(PatternPicture(4, 4));
  const std::string target = TestPath("no-such-folder") + "/out.jpg";
  EXPECT_EQ(ErrorTextOf([&] { jpeg.SaveToFile(target); }), "Cannot create file " + target);
}

}  // namespace
}  // namespace sw
