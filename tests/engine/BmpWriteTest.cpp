#include <gtest/gtest.h>

#include <array>

#include "BmpBytes.h"
#include "core/Messages.h"

namespace sw::test {
namespace {

using Bytes = std::vector<uint8_t>;

uint32_t U32At(const Bytes& bytes, size_t offset) {
  return bytes[offset] | (bytes[offset + 1] << 8) | (bytes[offset + 2] << 16) |
         (static_cast<uint32_t>(bytes[offset + 3]) << 24);
}

Picture Dib(int32_t width, int32_t height, uint16_t bits, uint32_t compression = kBiRgb,
            std::vector<PaletteEntry> table = {}, std::array<uint32_t, 3> masks = {0, 0, 0}) {
  DibLayout layout;
  layout.header.biSize = 40;
  layout.header.biWidth = width;
  layout.header.biHeight = height;
  layout.header.biPlanes = 1;
  layout.header.biBitCount = bits;
  layout.header.biCompression = compression;
  std::copy(masks.begin(), masks.end(), layout.masks);
  layout.colorTable = std::move(table);
  return Picture::CreateDib(layout);
}

// --- The resampled picture ----------------------------------------------------

TEST(BmpWriteResampled, OneByOneIsA58ByteFile) {
  Picture picture;
  picture.SetWidth(1);
  picture.SetHeight(1);
  picture.WritePixel(0, 0, Rgb(0x56, 0x34, 0x12));
  const Bytes expected = BmpBytes()
                             .Raw({'B', 'M'}).U32(58).U16(0).U16(0).U32(54)
                             .U32(40).I32(1).I32(1).U16(1).U16(32).U32(kBiRgb).U32(4)
                             .I32(0).I32(0).U32(0).U32(0)
                             .Raw({0x12, 0x34, 0x56, 0x00});
  EXPECT_EQ(WriteBytes(picture), expected);
}

TEST(BmpWriteResampled, RowsAreWrittenBottomUpAndReadBackExactly) {
  Picture picture;
  picture.SetWidth(3);
  picture.SetHeight(2);
  picture.WritePixel(0, 0, Rgb(1, 2, 3));  // top row
  picture.WritePixel(2, 1, Rgb(7, 8, 9));  // bottom row
  const Bytes bytes = WriteBytes(picture);
  ASSERT_EQ(bytes.size(), 54u + 4 * 3 * 2);
  EXPECT_EQ(U32At(bytes, 2), 78u);
  EXPECT_EQ(U32At(bytes, 22), 2u);  // biHeight: positive, bottom-up
  EXPECT_EQ(U32At(bytes, 34), 24u);  // biSizeImage 4 x W x H
  // The first stored row is the bottom one: white, white, then (7, 8, 9).
  EXPECT_EQ(Bytes(bytes.begin() + 54, bytes.begin() + 66),
            (Bytes{255, 255, 255, 0, 255, 255, 255, 0, 9, 8, 7, 0}));
  const Picture back = ReadBytes(bytes);
  EXPECT_EQ(PixelsOf(back), PixelsOf(picture));
}

TEST(BmpWriteResampled, ThePictureKeepsItsPixelsAndGainsADibForm) {
  Picture picture = Picture::CreateDisplayCompatible(2, 2);
  picture.WritePixel(1, 1, Rgb(10, 20, 30));
  const auto before = PixelsOf(picture);
  WriteBytes(picture);
  EXPECT_TRUE(picture.HasDibForm());
  EXPECT_EQ(PixelsOf(picture), before);
  EXPECT_EQ(picture.Description().dsBmih.biSize, 40u);
}

TEST(BmpWriteResampled, AnEmptyPictureWritesNothing) {
  Picture fresh;
  EXPECT_TRUE(WriteBytes(fresh).empty());
  Picture widthOnly;
  widthOnly.SetWidth(5);
  EXPECT_TRUE(WriteBytes(widthOnly).empty());
  Picture emptied = Dib(2, 2, 24);
  emptied.SetHeight(0);
  EXPECT_TRUE(WriteBytes(emptied).empty());
  // And the empty file reads back as an empty picture.
  EXPECT_TRUE(ReadBytes({}).IsEmpty());
}

// --- DIB pictures of other depths -------------------------------------------

TEST(BmpWriteDib, ThreeByTwoAt24BitsIsA78ByteFile) {
  Picture picture = Dib(3, 2, 24);
  picture.WritePixel(0, 0, Rgb(0x01, 0x02, 0x03));
  picture.WritePixel(1, 0, Rgb(0x04, 0x05, 0x06));
  picture.WritePixel(2, 0, Rgb(0x07, 0x08, 0x09));
  picture.WritePixel(0, 1, Rgb(0x11, 0x12, 0x13));
  picture.WritePixel(1, 1, Rgb(0x14, 0x15, 0x16));
  picture.WritePixel(2, 1, Rgb(0x17, 0x18, 0x19));
  const Bytes expected = BmpBytes()
                             .Raw({'B', 'M'}).U32(78).U16(0).U16(0).U32(54)
                             .U32(40).I32(3).I32(2).U16(1).U16(24).U32(kBiRgb).U32(24)
                             .I32(0).I32(0).U32(0).U32(0)
                             .Raw({0x13, 0x12, 0x11, 0x16, 0x15, 0x14, 0x19, 0x18, 0x17, 0, 0, 0})
                             .Raw({0x03, 0x02, 0x01, 0x06, 0x05, 0x04, 0x09, 0x08, 0x07, 0, 0, 0});
  EXPECT_EQ(WriteBytes(picture), expected);
}

TEST(BmpWriteDib, EightBitsCarryTheirColourTableAndItsCount) {
  std::vector<PaletteEntry> table(256);
  for (int i = 0; i < 256; ++i) table[i] = PaletteEntry{static_cast<uint8_t>(i), 0, static_cast<uint8_t>(255 - i), 0};
  Picture picture = Dib(2, 1, 8, kBiRgb, table);
  picture.MutableBits()[0] = 5;
  picture.MutableBits()[1] = 250;
  const Bytes bytes = WriteBytes(picture);
  ASSERT_EQ(bytes.size(), 14u + 40 + 1024 + 4);
  EXPECT_EQ(U32At(bytes, 10), 1078u);
  EXPECT_EQ(U32At(bytes, 46), 256u);  // biClrUsed: the count written
  EXPECT_EQ(Bytes(bytes.begin() + 54 + 4 * 5, bytes.begin() + 54 + 4 * 6), (Bytes{5, 0, 250, 0}));
  EXPECT_EQ(picture.Description().dsBmih.biClrUsed, 256u);
  EXPECT_EQ(PixelsOf(ReadBytes(bytes)), PixelsOf(picture));
}

TEST(BmpWriteDib, AShortColourTableGivesOffsetsThatPointAtThePixels) {
  const Picture read = ReadBytes(
      BmpBytes().FileHeader().InfoHeader(3, 1, 8, kBiRgb, 2).Quad(1, 2, 3).Quad(4, 5, 6).Raw({1, 0, 1, 0}));
  Picture picture = read;
  const Bytes bytes = WriteBytes(picture);
  ASSERT_EQ(bytes.size(), 14u + 40 + 8 + 4);
  EXPECT_EQ(U32At(bytes, 2), 66u);
  EXPECT_EQ(U32At(bytes, 10), 62u);
  EXPECT_EQ(U32At(bytes, 46), 2u);
  EXPECT_EQ(PixelsOf(ReadBytes(bytes)), PixelsOf(read));
}

TEST(BmpWriteDib, ADibHoldsNoMoreColoursThanItsDepthAllows) {
  // A one-bit file that lists 256 colours: two of them can be used.
  BmpBytes file = BmpBytes().FileHeader().InfoHeader(1, 1, 1, kBiRgb, 256);
  for (int i = 0; i < 256; ++i) file.Quad(static_cast<uint8_t>(i), 0, 0);
  Picture picture = ReadBytes(file.Raw({0x80, 0, 0, 0}));
  const Bytes bytes = WriteBytes(picture);
  EXPECT_EQ(U32At(bytes, 10), 14u + 40 + 8);
  EXPECT_EQ(U32At(bytes, 46), 2u);
  EXPECT_EQ(PixelsOf(ReadBytes(bytes)), (std::vector<ColorValue>{Rgb(0, 0, 1)}));
}

TEST(BmpWriteDib, BitFieldsAreFollowedByTheirMasks) {
  Picture picture = Dib(1, 1, 32, kBiBitfields, {}, {0x000000FF, 0x0000FF00, 0x00FF0000});
  picture.WritePixel(0, 0, Rgb(0x11, 0x22, 0x33));
  const Bytes bytes = WriteBytes(picture);
  ASSERT_EQ(bytes.size(), 14u + 40 + 12 + 4);
  EXPECT_EQ(U32At(bytes, 10), 66u);
  EXPECT_EQ(U32At(bytes, 30), kBiBitfields);
  EXPECT_EQ(U32At(bytes, 54), 0x000000FFu);
  EXPECT_EQ(U32At(bytes, 58), 0x0000FF00u);
  EXPECT_EQ(U32At(bytes, 62), 0x00FF0000u);
  EXPECT_EQ(Bytes(bytes.begin() + 66, bytes.end()), (Bytes{0x11, 0x22, 0x33, 0x00}));
  EXPECT_EQ(PixelsOf(ReadBytes(bytes)), PixelsOf(picture));
}

TEST(BmpWriteDib, BitFieldsWithoutARedMaskGetTheDefaultMasks) {
  Picture sixteen = Dib(1, 1, 16, kBiBitfields, {}, {0, 0x03E0, 0x001F});
  const Bytes bytes16 = WriteBytes(sixteen);
  EXPECT_EQ(U32At(bytes16, 54), 0xF800u);
  EXPECT_EQ(U32At(bytes16, 58), 0x07E0u);
  EXPECT_EQ(U32At(bytes16, 62), 0x001Fu);
  EXPECT_EQ(sixteen.Description().dsBitfields[0], 0xF800u);
  Picture thirtyTwo = Dib(1, 1, 32, kBiBitfields);
  const Bytes bytes32 = WriteBytes(thirtyTwo);
  EXPECT_EQ(U32At(bytes32, 54), 0x00FF0000u);
  EXPECT_EQ(U32At(bytes32, 58), 0x0000FF00u);
  EXPECT_EQ(U32At(bytes32, 62), 0x000000FFu);
}

TEST(BmpWriteDib, ATopDownPictureIsWrittenInItsOwnRowOrder) {
  const Picture read = ReadBytes(BmpBytes().FileHeader().InfoHeader(1, -2, 24).Raw({1, 2, 3, 0}).Raw({4, 5, 6, 0}));
  Picture picture = read;
  const Bytes bytes = WriteBytes(picture);
  EXPECT_EQ(static_cast<int32_t>(U32At(bytes, 22)), -2);
  EXPECT_EQ(Bytes(bytes.begin() + 54, bytes.end()), (Bytes{1, 2, 3, 0, 4, 5, 6, 0}));
  EXPECT_EQ(PixelsOf(ReadBytes(bytes)), PixelsOf(read));
}

TEST(BmpWriteDib, APaletteOfADeepPictureIsWrittenAsAnOptionalTable) {
  Picture picture = ReadBytes(
      BmpBytes().FileHeader().InfoHeader(1, 1, 24, kBiRgb, 2).Quad(1, 1, 1).Quad(2, 2, 2).Raw({7, 8, 9, 0}));
  const Bytes bytes = WriteBytes(picture);
  ASSERT_EQ(bytes.size(), 14u + 40 + 8 + 4);
  EXPECT_EQ(U32At(bytes, 10), 62u);
  EXPECT_EQ(U32At(bytes, 46), 2u);
  EXPECT_EQ(Bytes(bytes.begin() + 54, bytes.end()), (Bytes{1, 1, 1, 0, 2, 2, 2, 0, 7, 8, 9, 0}));
}

TEST(BmpWriteDib, ARunLengthPictureIsWrittenAt32BitsWithItsPalette) {
  Picture picture = ReadBytes(
      BmpBytes().FileHeader().InfoHeader(2, 1, 8, kBiRle8, 2, 4).Quad(1, 2, 3).Quad(4, 5, 6).Raw({1, 1, 1, 0}));
  const Bytes bytes = WriteBytes(picture);
  EXPECT_EQ(U32At(bytes, 10), 62u);
  EXPECT_EQ(U32At(bytes, 28) & 0xFFFF, 32u);
  EXPECT_EQ(U32At(bytes, 30), kBiRgb);
  EXPECT_EQ(Bytes(bytes.begin() + 62, bytes.end()), (Bytes{4, 5, 6, 0, 1, 2, 3, 0}));
  EXPECT_EQ(PixelsOf(ReadBytes(bytes)), (std::vector<ColorValue>{Rgb(6, 5, 4), Rgb(3, 2, 1)}));
}

// --- Failing sinks ------------------------------------------------------------

class FullSink : public ByteSink {
 public:
  explicit FullSink(size_t room) : room_(room) {}
  void Write(const void*, size_t count) override {
    ++writes_;
    if (count > room_) throw msg::WriteError();
    room_ -= count;
  }
  int writes_ = 0;

 private:
  size_t room_;
};

TEST(BmpWriteSink, ASinkThatRefusesBytesGivesAStreamWriteError) {
  for (size_t room : {0, 10, 54, 57}) {
    Picture picture = Picture::CreateDisplayCompatible(1, 1);
    FullSink sink(room);
    EXPECT_EQ(FailureOf([&] { WriteBmp(picture, sink); }), "EWriteError: Stream write error") << room;
  }
  Picture picture = Picture::CreateDisplayCompatible(1, 1);
  FullSink roomy(58);
  EXPECT_EQ(FailureOf([&] { WriteBmp(picture, roomy); }), "");
  Picture empty;
  FullSink none(0);
  WriteBmp(empty, none);
  EXPECT_EQ(none.writes_, 0);
}

}  // namespace
}  // namespace sw::test
