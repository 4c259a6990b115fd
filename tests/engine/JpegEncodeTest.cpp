// What a save writes: byte for byte what Debian's cjpeg writes for the same
// pixels with -dct float -quality 90 and -baseline or -progressive (natively;
// the Windows build checks the file's layout and what it decodes back to).

#include <gtest/gtest.h>

#include <cstdlib>

#include "image/jpeg/Jpeg.h"
#include "tests/engine/JpegTestSupport.h"

namespace sw {
namespace {

using namespace jpegtest;

// A save of the picture through WorkJpeg, baseline unless a progressive file
// was loaded first.
Bytes Save(const Picture& picture, bool progressive) {
  WorkJpeg jpeg;
  if (progressive) {
    FileRecipe recipe;
    recipe.progressive = true;
    WriteFile(TestPath("progressive-source.jpg"), MakeJpegFile(recipe));
    jpeg.LoadFromFile(TestPath("progressive-source.jpg"));
  }
  jpeg.TakeCopyOf(picture);
  const std::string path = TestPath(progressive ? "progressive.jpg" : "baseline.jpg");
  jpeg.SaveToFile(path);
  return ReadFile(path);
}

// An 8-bit picture whose palette holds PatternColor's colours of a 16 x 16 corner.
Picture PalettedPicture(int width, int height) {
  DibLayout layout;
  layout.header.biSize = 40;
  layout.header.biWidth = width;
  layout.header.biHeight = -height;
  layout.header.biPlanes = 1;
  layout.header.biBitCount = 8;
  for (int i = 0; i < 256; ++i) {
    const ColorValue color = PatternColor(i % 16, i / 16);
    layout.colorTable.push_back(PaletteEntry{static_cast<uint8_t>(color >> 16), static_cast<uint8_t>(color >> 8),
                                             static_cast<uint8_t>(color), 0});
  }
  Picture picture = Picture::CreateDib(layout);
  for (int y = 0; y < height; ++y) {
    uint8_t* row = picture.MutableRow(y);
    for (int x = 0; x < width; ++x) row[x] = static_cast<uint8_t>((x % 16) + 16 * (y % 16));
  }
  return picture;
}

std::vector<Picture> PicturesOfEveryForm() {
  return {PatternPicture(200, 150, 24), PatternPicture(33, 17, 32), PalettedPicture(45, 31)};
}

#ifndef _WIN32
// cjpeg exists natively only; the layout and round-trip tests below run everywhere.
TEST(JpegEncode, BaselineBytesAreCjpegsForTheSamePixels) {
  for (const Picture& picture : PicturesOfEveryForm()) {
    const std::string ppm = TestPath("pixels.ppm");
    WritePpm(ppm, picture);
    EXPECT_TRUE(Save(picture, false) == Cjpeg(ppm, "-dct float -quality 90 -baseline")) << picture.Width();
  }
}

TEST(JpegEncode, ProgressiveBytesAreCjpegsForTheSamePixels) {
  for (const Picture& picture : PicturesOfEveryForm()) {
    const std::string ppm = TestPath("pixels.ppm");
    WritePpm(ppm, picture);
    EXPECT_TRUE(Save(picture, true) == Cjpeg(ppm, "-dct float -quality 90 -baseline -progressive")) << picture.Width();
  }
}
#endif

TEST(JpegEncode, SavedFileBeginsWithTheJfifSegment) {
  for (bool progressive : {false, true}) {
    const Bytes file = Save(PatternPicture(8, 8), progressive);
    const Bytes jfif = {0xFF, 0xD8, 0xFF, 0xE0, 0x00, 0x10, 'J', 'F', 'I', 'F', 0x00, 0x01, 0x01,
                        0x00,                    // density unit: aspect ratio only
                        0x00, 0x01, 0x00, 0x01,  // 1 by 1
                        0x00, 0x00};             // no thumbnail
    ASSERT_GT(file.size(), jfif.size());
    EXPECT_TRUE(Bytes(file.begin(), file.begin() + jfif.size()) == jfif);
    EXPECT_EQ(file[file.size() - 2], 0xFF);
    EXPECT_EQ(file[file.size() - 1], 0xD9);
  }
}

// Zig-zag position of each natural-order index, from the standard's diagonal walk.
std::vector<int> ZigzagPositions() {
  std::vector<int> position(64);
  int k = 0;
  for (int diagonal = 0; diagonal < 15; ++diagonal) {
    for (int i = 0; i <= diagonal; ++i) {
      const int row = diagonal % 2 == 0 ? diagonal - i : i;
      const int column = diagonal - row;
      if (row < 8 && column < 8) position[row * 8 + column] = k++;
    }
  }
  return position;
}

TEST(JpegEncode, SavedFileLayout) {
  for (bool progressive : {false, true}) {
    const Bytes file = Save(PatternPicture(40, 24), progressive);
    const std::vector<Segment> segments = SegmentsOf(file);

    // Luminance table for quality 90: the standard's table scaled to 20 %.
    const std::optional<Segment> tables = FindSegment(segments, 0xDB);
    ASSERT_TRUE(tables.has_value());
    ASSERT_EQ(file[tables->offset + 4], 0x00);  // 8-bit entries, table 0
    const uint8_t* zigzag = &file[tables->offset + 5];
    const std::vector<int> position = ZigzagPositions();
    const int firstRow[8] = {3, 2, 2, 3, 5, 8, 10, 12};
    for (int column = 0; column < 8; ++column) EXPECT_EQ(zigzag[position[column]], firstRow[column]);

    const std::optional<Segment> frame = FindSegment(segments, progressive ? 0xC2 : 0xC0);
    ASSERT_TRUE(frame.has_value());
    const uint8_t* sof = &file[frame->offset];
    EXPECT_EQ(sof[4], 8);
    EXPECT_EQ((sof[5] << 8) | sof[6], 24);
    EXPECT_EQ((sof[7] << 8) | sof[8], 40);
    ASSERT_EQ(sof[9], 3);
    EXPECT_EQ(sof[11], 0x22);  // luminance 2 by 2
    EXPECT_EQ(sof[14], 0x11);
    EXPECT_EQ(sof[17], 0x11);
    EXPECT_FALSE(FindSegment(segments, progressive ? 0xC0 : 0xC2).has_value());
    for (uint8_t absent : {0xDD, 0xFE, 0xEE}) EXPECT_FALSE(FindSegment(segments, absent).has_value());  // DRI, COM, Adobe
  }
}

TEST(JpegEncode, SavedFileDecodesBackToThePictureOfEveryForm) {
  for (const Picture& picture : PicturesOfEveryForm()) {
    for (bool progressive : {false, true}) {
      const std::string path = TestPath("roundtrip.jpg");
      WriteFile(path, Save(picture, progressive));
      WorkJpeg jpeg;
      jpeg.LoadFromFile(path);
      EXPECT_EQ(jpeg.WriteProgressive(), progressive);
      Picture back;
      jpeg.CopyInto(back);
      ASSERT_EQ(back.Width(), picture.Width());
      ASSERT_EQ(back.Height(), picture.Height());
      const Bytes a = RgbOf(picture), b = RgbOf(back);
      double total = 0;
      for (size_t i = 0; i < a.size(); ++i) total += std::abs(a[i] - b[i]);
      // JPEG's loss at the pattern's sharp edges stays well below the error of
      // a swapped channel or a shifted row (above 50).
      EXPECT_LT(total / static_cast<double>(a.size()), 16.0) << picture.Width();
    }
  }
}

}  // namespace
}  // namespace sw
