#include <gtest/gtest.h>

#include "BmpBytes.h"

namespace sw::test {
namespace {

using Pixels = std::vector<ColorValue>;

// --- Empty and short files -------------------------------------------------

TEST(BmpReadEmptyAndShort, ZeroBytesGiveAnEmptyPictureReplacingTheOldOne) {
  Picture picture = Picture::CreateDisplayCompatible(2, 2);
  MemorySource source(nullptr, 0);
  ReadBmp(picture, source, 0);
  EXPECT_EQ(picture.Width(), 0);
  EXPECT_EQ(picture.Height(), 0);
  EXPECT_TRUE(picture.IsEmpty());
}

TEST(BmpReadEmptyAndShort, OneToThirteenBytesAreAReadError) {
  const std::vector<uint8_t> start = BmpBytes().FileHeader(100, 54);
  for (size_t n = 1; n <= 13; ++n) {
    EXPECT_EQ(ReadFailure(std::vector<uint8_t>(start.begin(), start.begin() + n)), kShort) << n << " bytes";
  }
}

TEST(BmpReadEmptyAndShort, AnythingButBmIsNotValid) {
  BmpBytes file = BmpBytes().U8('B').U8('A').U32(0).U32(0).U32(54);
  file.InfoHeader(1, 1, 24).Raw({1, 2, 3, 0});
  EXPECT_EQ(ReadFailure(file), kNotValid);
  EXPECT_EQ(ReadFailure(BmpBytes().U8('M').U8('B').Zeros(60)), kNotValid);
}

TEST(BmpReadEmptyAndShort, AFileEndingInsideTheInfoHeaderIsNotValid) {
  const std::vector<uint8_t> whole = BmpBytes().FileHeader().InfoHeader(1, 1, 24).Raw({1, 2, 3, 0});
  for (size_t n : {14, 15, 17, 18, 30, 53}) {
    EXPECT_EQ(ReadFailure(std::vector<uint8_t>(whole.begin(), whole.begin() + n)), kNotValid) << n << " bytes";
  }
  const std::vector<uint8_t> core = BmpBytes().FileHeader().CoreHeader(1, 1, 24).Raw({1, 2, 3, 0});
  EXPECT_EQ(ReadFailure(std::vector<uint8_t>(core.begin(), core.begin() + 25)), kNotValid);
  // A header that announces more bytes than the file holds.
  EXPECT_EQ(ReadFailure(BmpBytes().FileHeader().InfoHeader(1, 1, 24, 0, 0, 0, 108).Zeros(20)), kNotValid);
  EXPECT_EQ(ReadFailure(BmpBytes().FileHeader().InfoHeader(1, 1, 24, 0, 0, 0, 0xFFFFFFFF).Zeros(20)), kNotValid);
}

TEST(BmpReadEmptyAndShort, MasksOrColourTableCutShortAreAReadError) {
  EXPECT_EQ(ReadFailure(BmpBytes().FileHeader().InfoHeader(1, 1, 16, kBiBitfields).U32(0xF800).U32(0x07E0)), kShort);
  EXPECT_EQ(ReadFailure(BmpBytes().FileHeader().InfoHeader(1, 1, 8).Zeros(1023)), kShort);
  EXPECT_EQ(ReadFailure(BmpBytes().FileHeader().CoreHeader(1, 1, 1).Triple(1, 2, 3).U8(4)), kShort);
}

TEST(BmpReadEmptyAndShort, AFailedReadLeavesThePictureAsItWas) {
  Picture picture = Picture::CreateDisplayCompatible(2, 1);
  picture.WritePixel(0, 0, 0x123456);
  const std::vector<uint8_t> bad = BmpBytes().FileHeader().InfoHeader(1, 1, 24, 0, 0, 0, 40, 2).Zeros(4);
  MemorySource source(bad);
  EXPECT_THROW(ReadBmp(picture, source, bad.size()), Error);
  EXPECT_EQ(picture.Width(), 2);
  EXPECT_EQ(picture.ReadPixel(0, 0), 0x123456u);
}

// --- Every depth, pixel by pixel --------------------------------------------

constexpr ColorValue kBlack = 0;

TEST(BmpReadDepths, OneBitRowsAreBottomUpWithTheirPadding) {
  const Picture picture = ReadBytes(BmpBytes()
                                        .FileHeader()
                                        .InfoHeader(3, 2, 1)
                                        .Quad(0x10, 0x20, 0x30)
                                        .Quad(0xA0, 0xB0, 0xC0)
                                        .Raw({0xA0, 0, 0, 0})    // bottom row: 1 0 1
                                        .Raw({0x60, 0, 0, 0}));  // top row: 0 1 1
  const ColorValue e0 = Rgb(0x30, 0x20, 0x10), e1 = Rgb(0xC0, 0xB0, 0xA0);
  EXPECT_TRUE(picture.IsDib());
  EXPECT_EQ(picture.BitsPerPixel(), 1);
  EXPECT_EQ(PixelsOf(picture), (Pixels{e0, e1, e1, e1, e0, e1}));
}

TEST(BmpReadDepths, FourBitWithAnExplicitColourCount) {
  const Picture picture = ReadBytes(BmpBytes()
                                        .FileHeader()
                                        .InfoHeader(3, 2, 4, kBiRgb, 3)
                                        .Quad(1, 2, 3)
                                        .Quad(4, 5, 6)
                                        .Quad(7, 8, 9)
                                        .Raw({0x21, 0x00, 0, 0})    // bottom row: 2 1 0
                                        .Raw({0x02, 0x10, 0, 0}));  // top row: 0 2 1
  const ColorValue e0 = Rgb(3, 2, 1), e1 = Rgb(6, 5, 4), e2 = Rgb(9, 8, 7);
  EXPECT_EQ(PixelsOf(picture), (Pixels{e0, e2, e1, e2, e1, e0}));
  EXPECT_EQ(picture.ColorTable().size(), 3u);
}

TEST(BmpReadDepths, EightBitWithColourCountZeroReadsAll256EntriesFirst) {
  BmpBytes file = BmpBytes().FileHeader().InfoHeader(2, 2, 8);
  for (int i = 0; i < 256; ++i) file.Quad(static_cast<uint8_t>(i), static_cast<uint8_t>(255 - i), 7);
  file.Raw({0, 255, 0, 0}).Raw({1, 200, 0, 0});
  ASSERT_EQ(file.Size(), 14u + 40 + 1024 + 8);
  const Picture picture = ReadBytes(file);
  EXPECT_EQ(PixelsOf(picture), (Pixels{Rgb(7, 254, 1), Rgb(7, 55, 200), Rgb(7, 255, 0), Rgb(7, 0, 255)}));
}

TEST(BmpReadDepths, SixteenBitWithoutMasksIsFiveBitsPerChannel) {
  const Picture picture =
      ReadBytes(BmpBytes().FileHeader().InfoHeader(2, 2, 16).U16(0x7C00).U16(0x001F).U16(0x03E0).U16(0x7FFF));
  EXPECT_EQ(PixelsOf(picture), (Pixels{Rgb(0, 255, 0), Rgb(255, 255, 255), Rgb(255, 0, 0), Rgb(0, 0, 255)}));
}

TEST(BmpReadDepths, SixteenBitFieldsReadTheTwelveMaskBytesAfterAFortyByteHeader) {
  const Picture picture = ReadBytes(BmpBytes()
                                        .FileHeader()
                                        .InfoHeader(2, 2, 16, kBiBitfields)
                                        .U32(0xF800)
                                        .U32(0x07E0)
                                        .U32(0x001F)
                                        .U16(0xF800)
                                        .U16(0x07E0)
                                        .U16(0x001F)
                                        .U16(0xFFFF));
  EXPECT_EQ(PixelsOf(picture), (Pixels{Rgb(0, 0, 255), Rgb(255, 255, 255), Rgb(255, 0, 0), Rgb(0, 255, 0)}));
}

TEST(BmpReadDepths, TwentyFourBitRowsArePaddedToFourBytes) {
  const Picture picture = ReadBytes(BmpBytes()
                                        .FileHeader()
                                        .InfoHeader(3, 2, 24)
                                        .Triple(1, 2, 3)
                                        .Triple(4, 5, 6)
                                        .Triple(7, 8, 9)
                                        .Raw({0xEE, 0xEE, 0xEE})
                                        .Triple(10, 11, 12)
                                        .Triple(13, 14, 15)
                                        .Triple(16, 17, 18)
                                        .Raw({0xEE, 0xEE, 0xEE}));
  EXPECT_EQ(PixelsOf(picture), (Pixels{Rgb(12, 11, 10), Rgb(15, 14, 13), Rgb(18, 17, 16), Rgb(3, 2, 1),
                                       Rgb(6, 5, 4), Rgb(9, 8, 7)}));
}

TEST(BmpReadDepths, ThirtyTwoBitIgnoresTheFourthByte) {
  const Picture picture =
      ReadBytes(BmpBytes().FileHeader().InfoHeader(2, 1, 32).Raw({0x11, 0x22, 0x33, 0xFF, 0x44, 0x55, 0x66, 0x80}));
  EXPECT_EQ(PixelsOf(picture), (Pixels{Rgb(0x33, 0x22, 0x11), Rgb(0x66, 0x55, 0x44)}));
}

TEST(BmpReadDepths, ThirtyTwoBitFieldsFollowTheirMasks) {
  const Picture picture = ReadBytes(BmpBytes()
                                        .FileHeader()
                                        .InfoHeader(1, 1, 32, kBiBitfields)
                                        .U32(0x000000FF)
                                        .U32(0x0000FF00)
                                        .U32(0x00FF0000)
                                        .Raw({0x11, 0x22, 0x33, 0x00}));
  EXPECT_EQ(PixelsOf(picture), (Pixels{Rgb(0x11, 0x22, 0x33)}));
}

TEST(BmpReadDepths, AnIndexPastTheColourTableIsBlack) {
  const Picture picture =
      ReadBytes(BmpBytes().FileHeader().InfoHeader(2, 1, 4, kBiRgb, 1).Quad(9, 9, 9).Raw({0x05, 0, 0, 0}));
  EXPECT_EQ(PixelsOf(picture), (Pixels{Rgb(9, 9, 9), kBlack}));
}

// --- Header variants ----------------------------------------------------------

TEST(BmpReadHeaders, CoreHeaderHasThreeByteEntriesAndIsBottomUp) {
  BmpBytes file = BmpBytes().FileHeader().CoreHeader(2, 2, 8);
  for (int i = 0; i < 256; ++i) file.Triple(static_cast<uint8_t>(i), 0, static_cast<uint8_t>(255 - i));
  file.Raw({3, 250, 0, 0}).Raw({0, 1, 0, 0});
  const Picture picture = ReadBytes(file);
  EXPECT_EQ(PixelsOf(picture), (Pixels{Rgb(255, 0, 0), Rgb(254, 0, 1), Rgb(252, 0, 3), Rgb(5, 0, 250)}));
  EXPECT_EQ(picture.ColorTable()[3].rgbReserved, 0);
}

TEST(BmpReadHeaders, CoreHeaderSizesAreUnsigned) {
  std::vector<uint8_t> rows(8192, 0xFF);  // bottom row: every pixel index 1
  rows.resize(2 * 8192, 0x00);            // top row: index 0
  const Picture picture = ReadBytes(
      BmpBytes().FileHeader().CoreHeader(65535, 2, 1).Triple(0, 0, 0).Triple(255, 255, 255).Raw(rows));
  EXPECT_EQ(picture.Width(), 65535);
  EXPECT_EQ(picture.Height(), 2);
  EXPECT_FALSE(picture.IsTopDown());
  EXPECT_EQ(picture.ReadPixel(65534, 0), 0u);
  EXPECT_EQ(picture.ReadPixel(65534, 1), 0xFFFFFFu);
  EXPECT_EQ(picture.ReadPixel(0, 1), 0xFFFFFFu);
}

TEST(BmpReadHeaders, V4HeaderCarriesItsOwnMasksAndNoExtraBytesAreRead) {
  const Picture picture = ReadBytes(BmpBytes()
                                        .FileHeader()
                                        .InfoHeader(1, 1, 32, kBiBitfields, 0, 0, 108)
                                        .U32(0x0000FF00)
                                        .U32(0x00FF0000)
                                        .U32(0xFF000000)
                                        .U32(0x000000FF)
                                        .Zeros(52)
                                        .Raw({0x00, 0x11, 0x22, 0x33}));
  EXPECT_EQ(PixelsOf(picture), (Pixels{Rgb(0x11, 0x22, 0x33)}));
}

TEST(BmpReadHeaders, V5HeaderWithSixteenBitFields) {
  const Picture picture = ReadBytes(BmpBytes()
                                        .FileHeader()
                                        .InfoHeader(2, 1, 16, kBiBitfields, 0, 0, 124)
                                        .U32(0xF800)
                                        .U32(0x07E0)
                                        .U32(0x001F)
                                        .U32(0)
                                        .Zeros(52 + 16)
                                        .U16(0x07E0)
                                        .U16(0xF81F));
  EXPECT_EQ(PixelsOf(picture), (Pixels{Rgb(0, 255, 0), Rgb(255, 0, 255)}));
}

TEST(BmpReadHeaders, LongerHeaderWithoutBitFieldsIgnoresItsMaskFields) {
  const Picture picture = ReadBytes(BmpBytes()
                                        .FileHeader()
                                        .InfoHeader(1, 1, 24, kBiRgb, 0, 0, 108)
                                        .U32(0xDEADBEEF)
                                        .U32(0x12345678)
                                        .U32(0x0F0F0F0F)
                                        .Zeros(56)
                                        .Raw({1, 2, 3, 0}));
  EXPECT_EQ(PixelsOf(picture), (Pixels{Rgb(3, 2, 1)}));
}

TEST(BmpReadHeaders, AnUnusualHeaderSizeIsPassedOverWhole) {
  const Picture picture =
      ReadBytes(BmpBytes().FileHeader().InfoHeader(1, 1, 24, kBiRgb, 0, 0, 1000).Zeros(960).Raw({1, 2, 3, 0}));
  EXPECT_EQ(PixelsOf(picture), (Pixels{Rgb(3, 2, 1)}));
}

TEST(BmpReadHeaders, BitFieldsInAHeaderTooShortForMasksAreNotValid) {
  EXPECT_EQ(ReadFailure(BmpBytes().FileHeader().InfoHeader(1, 1, 32, kBiBitfields, 0, 0, 44).Zeros(20)), kNotValid);
  EXPECT_EQ(ReadFailure(BmpBytes().FileHeader().InfoHeader(1, 1, 32, kBiBitfields, 0, 0, 51).Zeros(20)), kNotValid);
}

TEST(BmpReadHeaders, TopDownFileReportsAPositiveHeight) {
  const Picture topDown =
      ReadBytes(BmpBytes().FileHeader().InfoHeader(1, -2, 24).Raw({0, 0, 255, 0}).Raw({255, 0, 0, 0}));
  EXPECT_EQ(topDown.Height(), 2);
  EXPECT_TRUE(topDown.IsTopDown());
  EXPECT_EQ(PixelsOf(topDown), (Pixels{Rgb(255, 0, 0), Rgb(0, 0, 255)}));
  const Picture bottomUp =
      ReadBytes(BmpBytes().FileHeader().InfoHeader(1, 2, 24).Raw({0, 0, 255, 0}).Raw({255, 0, 0, 0}));
  EXPECT_EQ(PixelsOf(bottomUp), (Pixels{Rgb(0, 0, 255), Rgb(255, 0, 0)}));
}

TEST(BmpReadHeaders, ColourTableOfADeepFileBecomesThePicturesOwnPalette) {
  // 24 bits with two colour entries: they are read (and skipped) before the pixels.
  const Picture picture = ReadBytes(
      BmpBytes().FileHeader().InfoHeader(1, 1, 24, kBiRgb, 2).Quad(1, 1, 1).Quad(2, 2, 2).Raw({7, 8, 9, 0}));
  EXPECT_EQ(PixelsOf(picture), (Pixels{Rgb(9, 8, 7)}));
  ASSERT_EQ(picture.OwnPalette().size(), 2u);
  EXPECT_EQ(picture.OwnPalette()[1].rgbGreen, 2);
}

TEST(BmpReadHeaders, DescriptionKeepsResolutionAndColourCounts) {
  BmpBytes file = BmpBytes().FileHeader().U32(40).I32(1).I32(1).U16(1).U16(8).U32(0).U32(0);
  file.I32(3780).I32(-5).U32(0).U32(17);
  for (int i = 0; i < 256; ++i) file.Quad(0, 0, 0);
  file.Raw({0, 0, 0, 0});
  const Picture picture = ReadBytes(file);
  const BitmapInfoHeader& header = picture.Description().dsBmih;
  EXPECT_EQ(header.biXPelsPerMeter, 3780);
  EXPECT_EQ(header.biYPelsPerMeter, -5);
  EXPECT_EQ(header.biClrUsed, 256u);
  EXPECT_EQ(header.biClrImportant, 17u);
  EXPECT_EQ(header.biSize, 40u);
}

// --- Pixel data size ----------------------------------------------------------

TEST(BmpReadPixelData, CutShortDataFillsOnlyTheRowsPresent) {
  // Bottom-up: the one row present is the bottom one, the missing top rows are zero bytes.
  const Picture picture = ReadBytes(BmpBytes().FileHeader().InfoHeader(1, 3, 24).Raw({1, 2, 3, 0}).Raw({4, 5}));
  EXPECT_EQ(PixelsOf(picture), (Pixels{kBlack, Rgb(0, 5, 4), Rgb(3, 2, 1)}));
  const Picture topDown = ReadBytes(BmpBytes().FileHeader().InfoHeader(1, -3, 24).Raw({1, 2, 3, 0}));
  EXPECT_EQ(PixelsOf(topDown), (Pixels{Rgb(3, 2, 1), kBlack, kBlack}));
  const Picture none = ReadBytes(BmpBytes().FileHeader().InfoHeader(2, 2, 32));
  EXPECT_EQ(PixelsOf(none), (Pixels{kBlack, kBlack, kBlack, kBlack}));
}

TEST(BmpReadPixelData, AStatedImageSizeLimitsTheBytesRead) {
  const Picture picture =
      ReadBytes(BmpBytes().FileHeader().InfoHeader(1, 2, 24, kBiRgb, 0, 4).Raw({1, 2, 3, 0}).Raw({4, 5, 6, 0}));
  EXPECT_EQ(PixelsOf(picture), (Pixels{kBlack, Rgb(3, 2, 1)}));
}

TEST(BmpReadPixelData, AnImageSizeBeyondThePictureNeverWritesPastIt) {
  BmpBytes file = BmpBytes().FileHeader().InfoHeader(1, 1, 24, kBiRgb, 0, 1000).Raw({1, 2, 3, 0});
  file.Zeros(996);
  const Picture picture = ReadBytes(file);
  EXPECT_EQ(picture.ImageBytes(), 4u);
  EXPECT_EQ(PixelsOf(picture), (Pixels{Rgb(3, 2, 1)}));
  EXPECT_EQ(PixelsOf(ReadBytes(BmpBytes().FileHeader().InfoHeader(1, 1, 24, kBiRgb, 0, 0xFFFFFFFF).Raw({1, 2, 3}))),
            (Pixels{Rgb(3, 2, 1)}));
}

TEST(BmpReadPixelData, FileHeaderSizeAndOffsetAreIgnored) {
  const Picture wrongSize = ReadBytes(BmpBytes().FileHeader(0xFFFFFFFF, 0).InfoHeader(1, 1, 24).Raw({1, 2, 3, 0}));
  EXPECT_EQ(PixelsOf(wrongSize), (Pixels{Rgb(3, 2, 1)}));
  // bfOffBits leaves a 4-byte gap: the gap is read as the first pixel bytes.
  const Picture gap =
      ReadBytes(BmpBytes().FileHeader(62, 58).InfoHeader(1, 1, 24).Raw({9, 8, 7, 6}).Raw({1, 2, 3, 0}));
  EXPECT_EQ(PixelsOf(gap), (Pixels{Rgb(7, 8, 9)}));
}

TEST(BmpReadPixelData, OnlyTheGivenByteCountIsRead) {
  // The source holds more than the caller says belongs to the file.
  const std::vector<uint8_t> bytes = BmpBytes().FileHeader().InfoHeader(1, 2, 24).Raw({1, 2, 3, 0}).Raw({4, 5, 6, 0});
  Picture picture;
  MemorySource source(bytes);
  ReadBmp(picture, source, bytes.size() - 4);
  EXPECT_EQ(PixelsOf(picture), (Pixels{kBlack, Rgb(3, 2, 1)}));
  EXPECT_EQ(source.Remaining(), 4u);
}

TEST(BmpReadPixelData, ASourceShorterThanItsCountIsAReadError) {
  const std::vector<uint8_t> bytes = BmpBytes().FileHeader().InfoHeader(1, 2, 24).Raw({1, 2, 3, 0});
  Picture picture;
  MemorySource source(bytes);
  EXPECT_EQ(FailureOf([&] { ReadBmp(picture, source, bytes.size() + 4); }), kShort);
  EXPECT_TRUE(picture.IsEmpty());
}

}  // namespace
}  // namespace sw::test
