// What a copy into the working image decodes: the picture form, and pixels
// equal to Debian's djpeg -dct float on the same file (natively; djpeg does
// not exist in the Windows build, which checks the same pictures against the
// pixels they were made from and against the library's raw output).

#include <gtest/gtest.h>

#include <cstdlib>

#include "core/Messages.h"
#include "image/jpeg/Jpeg.h"
#include "tests/engine/JpegTestSupport.h"

namespace sw {
namespace {

using namespace jpegtest;

// The file loaded and copied into a working image, as Browse reads it, on a
// screen of more than 8 bits per pixel or, with `eightBitScreen`, of 8 or fewer.
Picture DecodeFile(const Bytes& file, bool eightBitScreen = false, const std::string& name = "in.jpg") {
  const std::string path = TestPath(name);
  WriteFile(path, file);
  WorkJpeg jpeg(eightBitScreen);
  jpeg.LoadFromFile(path);
  Picture picture;
  jpeg.CopyInto(picture);
  return picture;
}

// Natively: the decoded pixels are djpeg's for the file.
void ExpectDjpegPixels(const Bytes& file, const Picture& picture, const std::string& options) {
#ifndef _WIN32
  const std::string path = TestPath("reference.jpg");
  WriteFile(path, file);
  const Ppm reference = Djpeg(path, "-dct float " + options);
  EXPECT_EQ(reference.width, picture.Width());
  EXPECT_EQ(reference.height, picture.Height());
  EXPECT_TRUE(RgbOf(picture) == reference.rgb) << "pixels differ from djpeg " << options;
#else
  (void)file;
  (void)picture;
  (void)options;
#endif
}

// The mean difference per channel from the pixels the file was made from.
double MeanDifference(const Picture& picture, const Bytes& samples, int components) {
  const Bytes rgb = RgbOf(picture);
  double total = 0;
  size_t count = 0;
  for (size_t i = 0; i < rgb.size(); ++i) {
    const size_t pixel = i / 3;
    const int expected = components == 1 ? samples[pixel] : samples[pixel * 3 + i % 3];
    total += std::abs(rgb[i] - expected);
    ++count;
  }
  return total / static_cast<double>(count);
}

FileRecipe Colour() { return FileRecipe{}; }

FileRecipe Grey() {
  FileRecipe recipe;
  recipe.components = 1;
  recipe.inSpace = JCS_GRAYSCALE;
  return recipe;
}

FileRecipe Progressive(FileRecipe recipe) {
  recipe.progressive = true;
  return recipe;
}

TEST(JpegDecode, ColourFilesBecome24BitPicturesOfDjpegsPixels) {
  FileRecipe restarts = Colour();
  restarts.restartRows = 1;
  FileRecipe separate = Colour();
  separate.separateScans = true;
  for (const FileRecipe& recipe : {Colour(), Progressive(Colour()), restarts, separate}) {
    const Bytes file = MakeJpegFile(recipe);
    const Picture picture = DecodeFile(file);
    ASSERT_TRUE(picture.IsDib());
    EXPECT_EQ(picture.BitsPerPixel(), 24);
    EXPECT_EQ(picture.Width(), recipe.width);
    EXPECT_EQ(picture.Height(), recipe.height);
    EXPECT_LT(MeanDifference(picture, PatternSamples(recipe.width, recipe.height, 3), 3), 8.0);
    ExpectDjpegPixels(file, picture, "");
  }
}

TEST(JpegDecode, GreyFilesBecome8BitPicturesOf236GreysAsDjpegQuantizes) {
  for (bool eightBit : {false, true}) {
    for (const FileRecipe& recipe : {Grey(), Progressive(Grey())}) {
      const Bytes file = MakeJpegFile(recipe);
      const Picture picture = DecodeFile(file, eightBit);
      ASSERT_TRUE(picture.IsDib());
      EXPECT_EQ(picture.BitsPerPixel(), 8);
      ASSERT_EQ(picture.ColorTable().size(), 236u);
      for (int i = 0; i < 236; ++i) {
        const PaletteEntry& entry = picture.ColorTable()[i];
        const int grey = (i * 255 + 117) / 235;
        EXPECT_EQ(entry.rgbRed, grey);
        EXPECT_EQ(entry.rgbGreen, grey);
        EXPECT_EQ(entry.rgbBlue, grey);
        EXPECT_EQ(entry.rgbReserved, 0);
      }
      EXPECT_LT(MeanDifference(picture, PatternSamples(recipe.width, recipe.height, 1), 1), 6.0);
      ExpectDjpegPixels(file, picture, "-colors 236");
    }
  }
}

TEST(JpegDecode, GreyWhiteAndBlackAreasReadBackExactly) {
  FileRecipe recipe = Grey();
  recipe.width = 32;
  recipe.height = 16;
  recipe.samples.assign(32 * 16, 0);
  for (int y = 0; y < 16; ++y)
    for (int x = 16; x < 32; ++x) recipe.samples[y * 32 + x] = 255;
  const Picture picture = DecodeFile(MakeJpegFile(recipe));
  for (int y = 0; y < 16; ++y) {
    EXPECT_EQ(picture.ReadPixel(4, y), 0x000000u);
    EXPECT_EQ(picture.ReadPixel(28, y), 0xFFFFFFu);
  }
}

TEST(JpegDecode, EightBitScreenQuantizesColourFilesTo236ColoursAsDjpegDoes) {
  for (const FileRecipe& recipe : {Colour(), Progressive(Colour())}) {
    const Bytes file = MakeJpegFile(recipe);
    const Picture picture = DecodeFile(file, true);
    EXPECT_EQ(picture.BitsPerPixel(), 8);
    EXPECT_GT(picture.ColorTable().size(), 16u);
    EXPECT_LE(picture.ColorTable().size(), 236u);
    EXPECT_LT(MeanDifference(picture, PatternSamples(recipe.width, recipe.height, 3), 3), 14.0);
    ExpectDjpegPixels(file, picture, "-colors 236");
  }
}

// libjpeg's own CMYK samples for the file, C, M, Y, K per pixel.
Bytes RawCmykOf(const Bytes& file) {
  jpeg_decompress_struct cinfo{};
  jpeg_error_mgr errors{};
  cinfo.err = jpeg_std_error(&errors);
  jpeg_create_decompress(&cinfo);
  jpeg_mem_src(&cinfo, file.data(), static_cast<unsigned long>(file.size()));
  jpeg_read_header(&cinfo, TRUE);
  cinfo.dct_method = JDCT_FLOAT;
  jpeg_start_decompress(&cinfo);
  Bytes samples(static_cast<size_t>(cinfo.output_width) * cinfo.output_height * 4);
  while (cinfo.output_scanline < cinfo.output_height) {
    JSAMPROW row = samples.data() + static_cast<size_t>(cinfo.output_scanline) * cinfo.output_width * 4;
    jpeg_read_scanlines(&cinfo, &row, 1);
  }
  jpeg_finish_decompress(&cinfo);
  jpeg_destroy_decompress(&cinfo);
  return samples;
}

TEST(JpegDecode, CmykAndYcckFilesBecome24BitWithAdobesInvertedInks) {
  for (J_COLOR_SPACE space : {JCS_CMYK, JCS_YCCK}) {
    FileRecipe recipe;
    recipe.components = 4;
    recipe.inSpace = JCS_CMYK;
    recipe.fileSpace = space;
    const Bytes file = MakeJpegFile(recipe);
    const Picture picture = DecodeFile(file);
    EXPECT_EQ(picture.BitsPerPixel(), 24);
    const Bytes cmyk = RawCmykOf(file);
    Bytes expected;
    for (size_t i = 0; i < cmyk.size(); i += 4)
      for (int c = 0; c < 3; ++c) expected.push_back(static_cast<uint8_t>(cmyk[i + c] * cmyk[i + 3] / 255.0 + 0.5));
    EXPECT_TRUE(RgbOf(picture) == expected);
    ExpectDjpegPixels(file, picture, "");
  }
}

TEST(JpegDecode, CmykFileOnAnEightBitScreenGetsAPaletteOfConvertedInks) {
  FileRecipe recipe;
  recipe.components = 4;
  recipe.inSpace = JCS_CMYK;
  recipe.fileSpace = JCS_CMYK;
  const Bytes file = MakeJpegFile(recipe);
  Picture trueColour;
  trueColour = DecodeFile(file, false);
  const Picture paletted = DecodeFile(file, true);
  EXPECT_EQ(paletted.BitsPerPixel(), 8);
  EXPECT_LE(paletted.ColorTable().size(), 236u);
  // Dithered, so near the true-colour decode on average, not pixel for pixel.
  const Bytes a = RgbOf(trueColour), b = RgbOf(paletted);
  double total = 0;
  for (size_t i = 0; i < a.size(); ++i) total += std::abs(a[i] - b[i]);
  EXPECT_LT(total / static_cast<double>(a.size()), 40.0);
}

TEST(JpegDecode, FileCutInsideItsScanDecodesAtFullSizeAsDjpegDoes) {
  FileRecipe big = Colour();
  big.width = 320;
  big.height = 240;  // several 4096-byte chunks
  for (const FileRecipe& recipe : {big, Progressive(big)}) {
    const Bytes file = MakeJpegFile(recipe);
    ASSERT_GT(file.size(), 3 * 4096u);
    const std::optional<Segment> firstScan = FindSegment(SegmentsOf(file), 0);
    ASSERT_TRUE(firstScan.has_value());
    const Bytes cut(file.begin(), file.begin() + firstScan->offset + firstScan->length / 2);
    const Picture picture = DecodeFile(cut);
    EXPECT_EQ(picture.Width(), recipe.width);
    EXPECT_EQ(picture.Height(), recipe.height);
    ExpectDjpegPixels(cut, picture, "");
  }
}

// The file with its first scan (tables, header and data) repeated.
Bytes WithFirstScanRepeated(const Bytes& file, int times) {
  const std::vector<Segment> segments = SegmentsOf(file);
  size_t start = 0, end = 0;
  for (size_t i = 0; i < segments.size(); ++i) {
    if (segments[i].marker != 0xDA) continue;
    start = i > 0 && segments[i - 1].marker == 0xC4 ? segments[i - 1].offset : segments[i].offset;
    end = segments[i + 1].offset + segments[i + 1].length;
    break;
  }
  Bytes repeated(file.begin(), file.begin() + end);
  for (int i = 0; i < times; ++i) repeated.insert(repeated.end(), file.begin() + start, file.begin() + end);
  repeated.insert(repeated.end(), file.begin() + end, file.end());
  return repeated;
}

TEST(JpegDecode, ScansPast500AreIgnoredAsIfTheFileEndedThere) {
  const Bytes file = MakeJpegFile(Progressive(Colour()));
  const Bytes fewRepeats = WithFirstScanRepeated(file, 10);
  const Bytes manyRepeats = WithFirstScanRepeated(file, 600);
  const std::vector<Segment> segments = SegmentsOf(manyRepeats);
  Bytes endedAt501;
  int scans = 0;
  for (const Segment& segment : segments)
    if (segment.marker == 0xDA && ++scans == 501)
      endedAt501.assign(manyRepeats.begin(), manyRepeats.begin() + segment.offset + segment.length);
  ASSERT_FALSE(endedAt501.empty());

  const Bytes whole = RgbOf(DecodeFile(file));
  // A repeated first scan changes nothing while every scan is read ...
  EXPECT_TRUE(RgbOf(DecodeFile(fewRepeats)) == whole);
  // ... but from the 501st on, the scans with all the detail are not read.
  const Bytes limited = RgbOf(DecodeFile(manyRepeats));
  EXPECT_FALSE(limited == whole);
  EXPECT_TRUE(limited == RgbOf(DecodeFile(endedAt501)));
}

// A small file of the recipe claiming another size in its frame header.
Bytes WithFrameSize(const Bytes& file, uint16_t width, uint16_t height) {
  Bytes crafted = file;
  for (const Segment& segment : SegmentsOf(file)) {
    if (segment.marker != 0xC0 && segment.marker != 0xC2) continue;
    crafted[segment.offset + 5] = static_cast<uint8_t>(height >> 8);
    crafted[segment.offset + 6] = static_cast<uint8_t>(height);
    crafted[segment.offset + 7] = static_cast<uint8_t>(width >> 8);
    crafted[segment.offset + 8] = static_cast<uint8_t>(width);
  }
  return crafted;
}

std::string CopyFailure(const Bytes& file, ErrorKind* kind, bool eightBitScreen = false) {
  const std::string path = TestPath("crafted.jpg");
  WriteFile(path, file);
  WorkJpeg jpeg(eightBitScreen);
  jpeg.LoadFromFile(path);  // the header alone is fine
  Picture work = PatternPicture(2, 2);
  try {
    jpeg.CopyInto(work);
  } catch (const Error& error) {
    *kind = error.Kind();
    EXPECT_EQ(work.Width(), 2);
    return error.Text();
  }
  return "(no error)";
}

TEST(JpegDecode, PictureAboveThePixelStoreLimitIsAResourceErrorBeforeDecoding) {
  ErrorKind kind{};
  EXPECT_EQ(CopyFailure(WithFrameSize(MakeJpegFile(Colour()), 30000, 30000), &kind), "Out of system resources");
  EXPECT_EQ(kind, ErrorKind::Resource);
  EXPECT_EQ(CopyFailure(WithFrameSize(MakeJpegFile(Grey()), 40000, 40000), &kind), "Out of system resources");
  EXPECT_EQ(CopyFailure(WithFrameSize(MakeJpegFile(Colour()), 60000, 60000), &kind, true), "Out of system resources");
}

TEST(JpegDecode, LibraryMemoryAboveItsBoundIsOutOfMemory) {
  // 16384 x 16384 fits a pixel store, but the coefficients of three full-size
  // progressive components do not fit the library's working memory.
  FileRecipe recipe = Progressive(Colour());
  recipe.inSpace = JCS_RGB;
  recipe.fileSpace = JCS_RGB;  // no subsampling
  ErrorKind kind{};
  EXPECT_EQ(CopyFailure(WithFrameSize(MakeJpegFile(recipe), 16384, 16384), &kind), "Out of memory");
  EXPECT_EQ(kind, ErrorKind::Memory);
}

}  // namespace
}  // namespace sw
