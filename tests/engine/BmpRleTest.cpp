#include <gtest/gtest.h>

#include "BmpBytes.h"

namespace sw::test {
namespace {

using Pixels = std::vector<ColorValue>;

constexpr ColorValue B = 0;  // black: pixels the data never reaches
constexpr ColorValue e0 = Rgb(0x10, 0x11, 0x12), e1 = Rgb(0x20, 0x21, 0x22), e2 = Rgb(0x30, 0x31, 0x32),
                     e3 = Rgb(0x40, 0x41, 0x42);

// A run-length file with the four entries above and the given encoded data.
std::vector<uint8_t> RleFile(uint32_t compression, int32_t width, int32_t height, std::vector<uint8_t> data,
                             uint32_t sizeImage = 0) {
  const uint16_t bits = compression == kBiRle8 ? 8 : 4;
  if (sizeImage == 0) sizeImage = static_cast<uint32_t>(data.size());
  return BmpBytes()
      .FileHeader()
      .InfoHeader(width, height, bits, compression, 4, sizeImage)
      .Quad(0x12, 0x11, 0x10)
      .Quad(0x22, 0x21, 0x20)
      .Quad(0x32, 0x31, 0x30)
      .Quad(0x42, 0x41, 0x40)
      .Raw(data);
}

TEST(BmpRle8, EncodedRunsEndOfLineAndEndOfBitmap) {
  const Picture picture = ReadBytes(RleFile(kBiRle8, 4, 2, {2, 1, 2, 2, 0, 0, 4, 3, 0, 1}));
  EXPECT_TRUE(picture.IsDisplayCompatible());
  EXPECT_EQ(picture.Width(), 4);
  EXPECT_EQ(picture.Height(), 2);
  EXPECT_EQ(PixelsOf(picture), (Pixels{e3, e3, e3, e3, e1, e1, e2, e2}));
}

TEST(BmpRle8, AbsoluteRunsArePaddedToAWord) {
  // Three indices and a pad byte, then an encoded run; four indices need no pad.
  const Picture picture =
      ReadBytes(RleFile(kBiRle8, 4, 2, {0, 3, 1, 2, 3, 0, 1, 0, 0, 0, 0, 4, 3, 2, 1, 0, 0, 1}));
  EXPECT_EQ(PixelsOf(picture), (Pixels{e3, e2, e1, e0, e1, e2, e3, e0}));
}

TEST(BmpRle8, DeltaMovesRightAndUpLeavingTheSkippedPixelsBlack) {
  const Picture picture = ReadBytes(RleFile(kBiRle8, 3, 3, {1, 1, 0, 2, 1, 1, 1, 2, 0, 1}));
  EXPECT_EQ(PixelsOf(picture), (Pixels{B, B, B, B, B, e2, e1, B, B}));
}

TEST(BmpRle8, RunsAndDeltasLeavingThePictureAreClipped) {
  // Ten pixels on a line of three: no wrap onto the next line.
  EXPECT_EQ(PixelsOf(ReadBytes(RleFile(kBiRle8, 3, 2, {10, 1, 0, 0, 1, 2, 0, 1}))), (Pixels{e2, B, B, e1, e1, e1}));
  // An absolute run past the right edge.
  EXPECT_EQ(PixelsOf(ReadBytes(RleFile(kBiRle8, 2, 1, {0, 5, 1, 2, 3, 1, 2, 0, 0, 1}))), (Pixels{e1, e2}));
  // A delta past the right edge drops the rest of the line.
  EXPECT_EQ(PixelsOf(ReadBytes(RleFile(kBiRle8, 3, 2, {1, 1, 0, 2, 255, 0, 1, 2, 0, 0, 1, 3, 0, 1}))),
            (Pixels{e3, B, B, e1, B, B}));
  // A delta past the top ends the picture; what follows is ignored.
  EXPECT_EQ(PixelsOf(ReadBytes(RleFile(kBiRle8, 2, 2, {2, 1, 0, 2, 0, 255, 2, 2, 0, 0, 2, 3}))),
            (Pixels{B, B, e1, e1}));
  // End-of-line codes past the top are ignored too.
  EXPECT_EQ(PixelsOf(ReadBytes(RleFile(kBiRle8, 1, 1, {1, 1, 0, 0, 0, 0, 0, 0, 1, 2}))), (Pixels{e1}));
}

TEST(BmpRle8, DataEndingEarlyLeavesTheRestBlack) {
  EXPECT_EQ(PixelsOf(ReadBytes(RleFile(kBiRle8, 2, 2, {1, 1}))), (Pixels{B, B, e1, B}));
  EXPECT_EQ(PixelsOf(ReadBytes(RleFile(kBiRle8, 3, 1, {0, 4, 2}))), (Pixels{e2, B, B}));
  EXPECT_EQ(PixelsOf(ReadBytes(RleFile(kBiRle8, 3, 2, {1, 3, 0, 2, 1}))), (Pixels{B, B, B, e3, B, B}));
  EXPECT_EQ(PixelsOf(ReadBytes(RleFile(kBiRle8, 2, 1, {2}))), (Pixels{B, B}));
  EXPECT_EQ(PixelsOf(ReadBytes(RleFile(kBiRle8, 2, 1, {}))), (Pixels{B, B}));
}

TEST(BmpRle8, EndOfBitmapLeavesTheRestBlack) {
  EXPECT_EQ(PixelsOf(ReadBytes(RleFile(kBiRle8, 2, 2, {1, 2, 0, 1, 2, 3, 0, 0, 2, 3}))), (Pixels{B, B, e2, B}));
}

TEST(BmpRle8, TheImageSizeBoundsTheDataRead) {
  EXPECT_EQ(PixelsOf(ReadBytes(RleFile(kBiRle8, 2, 2, {2, 1, 0, 0, 2, 2, 0, 1}, 2))), (Pixels{B, B, e1, e1}));
}

TEST(BmpRle8, AnIndexPastTheColourTableIsBlack) {
  const std::vector<uint8_t> file =
      BmpBytes().FileHeader().InfoHeader(2, 1, 8, kBiRle8, 1, 4).Quad(9, 9, 9).Raw({1, 0, 1, 200});
  EXPECT_EQ(PixelsOf(ReadBytes(file)), (Pixels{Rgb(9, 9, 9), B}));
}

TEST(BmpRle8, ColourCountZeroReadsTheFullTable) {
  BmpBytes file = BmpBytes().FileHeader().InfoHeader(1, 1, 8, kBiRle8, 0, 4);
  for (int i = 0; i < 256; ++i) file.Quad(static_cast<uint8_t>(i), 0, 0);
  file.Raw({1, 77, 0, 1});
  EXPECT_EQ(PixelsOf(ReadBytes(file)), (Pixels{Rgb(0, 0, 77)}));
}

TEST(BmpRle8, ThePictureKeepsTheTableAsItsPaletteAndTheFileFields) {
  const Picture picture = ReadBytes(RleFile(kBiRle8, 1, 1, {1, 1}));
  ASSERT_EQ(picture.OwnPalette().size(), 4u);
  EXPECT_EQ(picture.OwnPalette()[3].rgbBlue, 0x42);
  EXPECT_EQ(picture.Description().dsBmih.biClrUsed, 4u);
  EXPECT_EQ(picture.Description().dsBmih.biXPelsPerMeter, 2835);
}

TEST(BmpRle8, CompressedDataShorterThanTheCountIsAReadError) {
  const std::vector<uint8_t> bytes = RleFile(kBiRle8, 2, 1, {1, 1, 1, 2}, 100);
  Picture picture;
  MemorySource source(bytes);
  EXPECT_EQ(FailureOf([&] { ReadBmp(picture, source, bytes.size() + 10); }), kShort);
}

TEST(BmpRle4, EncodedRunsAlternateTheirTwoIndices) {
  EXPECT_EQ(PixelsOf(ReadBytes(RleFile(kBiRle4, 5, 1, {5, 0x12, 0, 1}))), (Pixels{e1, e2, e1, e2, e1}));
  EXPECT_EQ(PixelsOf(ReadBytes(RleFile(kBiRle4, 3, 1, {3, 0x33, 0, 1}))), (Pixels{e3, e3, e3}));
}

TEST(BmpRle4, AbsoluteRunsPackTwoIndicesAByteAndArePaddedToAWord) {
  // Bottom: 3 indices in 2 bytes (no pad), a run of 2 and one of 1.
  // Top: 5 indices in 3 bytes and a pad byte, then a run of 1.
  const Picture picture = ReadBytes(RleFile(
      kBiRle4, 6, 2,
      {0, 3, 0x12, 0x00, 2, 0x21, 1, 0x00, 0, 0, 0, 5, 0x21, 0x02, 0x10, 0x00, 1, 0x20, 0, 1}));
  EXPECT_EQ(PixelsOf(picture), (Pixels{e2, e1, e0, e2, e1, e2, e1, e2, e0, e2, e1, e0}));
}

TEST(BmpRle4, DeltaClippingAndEarlyEnd) {
  EXPECT_EQ(PixelsOf(ReadBytes(RleFile(kBiRle4, 3, 2, {0, 2, 2, 1, 2, 0x33, 0, 1}))), (Pixels{B, B, e3, B, B, B}));
  EXPECT_EQ(PixelsOf(ReadBytes(RleFile(kBiRle4, 2, 2, {9, 0x12, 0, 0, 0, 7, 0x33, 0x33}))),
            (Pixels{e3, e3, e1, e2}));
  EXPECT_EQ(PixelsOf(ReadBytes(RleFile(kBiRle4, 4, 1, {0, 4, 0x12}))), (Pixels{e1, e2, B, B}));
}

}  // namespace
}  // namespace sw::test
