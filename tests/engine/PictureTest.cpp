// The working image: sizes, white fill, copy on write, pixel reads and writes
// of every kind, the resource error and the DIB form.

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <functional>
#include <vector>

#include "core/Error.h"
#include "image/picture/Picture.h"

namespace sw {
namespace {

constexpr ColorValue Rgb(uint32_t red, uint32_t green, uint32_t blue) { return red | (green << 8) | (blue << 16); }

DibLayout Layout(int32_t width, int32_t height, uint16_t bits, uint32_t compression = kBiRgb) {
  DibLayout layout;
  layout.header.biSize = 40;
  layout.header.biWidth = width;
  layout.header.biHeight = height;
  layout.header.biPlanes = 1;
  layout.header.biBitCount = bits;
  layout.header.biCompression = compression;
  return layout;
}

PaletteEntry Entry(uint8_t red, uint8_t green, uint8_t blue) {
  PaletteEntry entry;
  entry.rgbRed = red;
  entry.rgbGreen = green;
  entry.rgbBlue = blue;
  return entry;
}

// Writes stored bytes into the row that shows as row y.
void SetRowBytes(Picture& picture, int32_t y, const std::vector<uint8_t>& bytes) {
  std::memcpy(picture.MutableRow(y), bytes.data(), bytes.size());
}

void ExpectResourceError(const std::function<void()>& action) {
  try {
    action();
    ADD_FAILURE() << "no error raised";
  } catch (const Error& error) {
    EXPECT_EQ(error.Kind(), ErrorKind::Resource);
    EXPECT_EQ(error.Text(), "Out of system resources");
  }
}

TEST(PictureSize, ANewPictureIsEmptyAndDisplayCompatible) {
  const Picture picture;
  EXPECT_EQ(picture.Width(), 0);
  EXPECT_EQ(picture.Height(), 0);
  EXPECT_TRUE(picture.IsEmpty());
  EXPECT_TRUE(picture.IsDisplayCompatible());
  EXPECT_EQ(picture.ImageBytes(), 0u);
  EXPECT_EQ(picture.ReadPixel(0, 0), kColorOutside);
}

TEST(PictureSize, AWidthAloneHoldsNoPixels) {
  Picture picture;
  picture.SetWidth(5);
  EXPECT_EQ(picture.Width(), 5);
  EXPECT_EQ(picture.Height(), 0);
  EXPECT_TRUE(picture.IsEmpty());
  EXPECT_EQ(picture.ImageBytes(), 0u);
  EXPECT_EQ(picture.ReadPixel(0, 0), kColorOutside);
}

TEST(PictureSize, WidthThenHeightGivesWhitePixels) {
  Picture picture;
  picture.SetWidth(3);
  picture.SetHeight(2);
  ASSERT_FALSE(picture.IsEmpty());
  EXPECT_EQ(picture.BitsPerPixel(), 32);
  EXPECT_EQ(picture.Stride(), 12u);
  for (int32_t y = 0; y < 2; ++y)
    for (int32_t x = 0; x < 3; ++x) EXPECT_EQ(picture.ReadPixel(x, y), 0xFFFFFFu) << x << "," << y;
}

TEST(PictureSize, EnlargingKeepsTheOldPixelsTopLeftAndFillsWhite) {
  Picture picture = Picture::CreateDisplayCompatible(2, 2);
  picture.WritePixel(0, 0, 0x010203);
  picture.WritePixel(1, 0, 0x040506);
  picture.WritePixel(0, 1, 0x070809);
  picture.WritePixel(1, 1, 0x0A0B0C);
  picture.SetWidth(3);
  picture.SetHeight(3);
  EXPECT_EQ(picture.ReadPixel(0, 0), 0x010203u);
  EXPECT_EQ(picture.ReadPixel(1, 0), 0x040506u);
  EXPECT_EQ(picture.ReadPixel(0, 1), 0x070809u);
  EXPECT_EQ(picture.ReadPixel(1, 1), 0x0A0B0Cu);
  for (int32_t i = 0; i < 3; ++i) {
    EXPECT_EQ(picture.ReadPixel(2, i), kColorWhite);
    EXPECT_EQ(picture.ReadPixel(i, 2), kColorWhite);
  }
}

TEST(PictureSize, ShrinkingCrops) {
  Picture picture = Picture::CreateDisplayCompatible(3, 3);
  picture.WritePixel(0, 0, 0x112233);
  picture.WritePixel(1, 1, 0x445566);
  picture.WritePixel(2, 2, 0x778899);
  picture.SetWidth(2);
  picture.SetHeight(2);
  EXPECT_EQ(picture.ReadPixel(0, 0), 0x112233u);
  EXPECT_EQ(picture.ReadPixel(1, 1), 0x445566u);
  EXPECT_EQ(picture.ReadPixel(2, 2), kColorOutside);
}

TEST(PictureSize, ASizeOfZeroEmptiesAndTheSameSizeChangesNothing) {
  Picture picture = Picture::CreateDisplayCompatible(4, 4);
  picture.WritePixel(1, 1, 0x123456);
  const uint8_t* bits = picture.Bits();
  picture.SetWidth(4);
  picture.SetHeight(4);
  EXPECT_EQ(picture.Bits(), bits);
  EXPECT_EQ(picture.ReadPixel(1, 1), 0x123456u);
  picture.SetHeight(0);
  EXPECT_TRUE(picture.IsEmpty());
  EXPECT_EQ(picture.Width(), 4);
  EXPECT_EQ(picture.ImageBytes(), 0u);
  picture.SetHeight(2);
  EXPECT_EQ(picture.ReadPixel(1, 1), kColorWhite);  // nothing was kept while empty
}

TEST(PictureSize, DibPicturesKeepTheirDepthAndRowOrderWhenResized) {
  DibLayout layout = Layout(2, -2, 8);
  layout.colorTable = {Entry(0, 0, 0), Entry(255, 255, 255), Entry(10, 20, 30), Entry(10, 20, 30)};
  Picture picture = Picture::CreateDib(layout);
  SetRowBytes(picture, 0, {2, 3});  // two entries of the same colour
  SetRowBytes(picture, 1, {0, 1});
  picture.SetWidth(3);
  picture.SetHeight(3);
  EXPECT_TRUE(picture.IsDib());
  EXPECT_EQ(picture.BitsPerPixel(), 8);
  EXPECT_TRUE(picture.IsTopDown());
  EXPECT_EQ(picture.Description().dsBmih.biHeight, -3);
  // Stored indices are kept as they are, the new area takes white's index.
  EXPECT_EQ(picture.Row(0)[0], 2);
  EXPECT_EQ(picture.Row(0)[1], 3);
  EXPECT_EQ(picture.Row(1)[1], 1);
  EXPECT_EQ(picture.Row(0)[2], 1);
  EXPECT_EQ(picture.Row(2)[0], 1);
  EXPECT_EQ(picture.ReadPixel(2, 2), kColorWhite);
}

TEST(PictureSize, SubBytePicturesFillWhiteAndKeepTheirIndices) {
  DibLayout layout = Layout(3, 1, 1);
  layout.colorTable = {Entry(255, 255, 255), Entry(0, 0, 0)};  // white is index 0 here
  Picture picture = Picture::CreateDib(layout);
  SetRowBytes(picture, 0, {0b01000000});  // white, black, white
  picture.SetWidth(10);
  EXPECT_EQ(picture.Row(0)[0], 0b01000000);
  EXPECT_EQ(picture.Row(0)[1], 0);
  EXPECT_EQ(picture.ReadPixel(1, 0), 0u);
  EXPECT_EQ(picture.ReadPixel(9, 0), kColorWhite);
}

TEST(PictureResourceError, NegativeSizesLeaveThePictureAsItWas) {
  Picture picture = Picture::CreateDisplayCompatible(2, 2);
  picture.WritePixel(1, 1, 0x0A0B0C);
  ExpectResourceError([&] { picture.SetWidth(-1); });
  ExpectResourceError([&] { picture.SetHeight(-5); });
  EXPECT_EQ(picture.Width(), 2);
  EXPECT_EQ(picture.Height(), 2);
  EXPECT_EQ(picture.ReadPixel(1, 1), 0x0A0B0Cu);
  ExpectResourceError([] { Picture::CreateDisplayCompatible(-3, 2); });
  Picture empty;
  ExpectResourceError([&] { empty.SetWidth(INT32_MIN); });
  EXPECT_EQ(empty.Width(), 0);
}

TEST(PictureResourceError, StoresAboveTheLimitAreRefusedAndLeaveThePictureAsItWas) {
  EXPECT_EQ(PixelStoreBytes(16384, 16384, 32), kMaxPixelStoreBytes);
  EXPECT_EQ(PixelStoreBytes(16384, 16385, 32), 0u);
  EXPECT_EQ(PixelStoreBytes(INT32_MAX, INT32_MAX, 32), 0u);
  EXPECT_EQ(PixelStoreBytes(-1, 1, 8), 0u);

  Picture picture = Picture::CreateDisplayCompatible(3, 1);
  picture.WritePixel(2, 0, 0x345678);
  ExpectResourceError([&] { picture.SetWidth(INT32_MAX); });
  ExpectResourceError([&] { picture.SetHeight(1 << 30); });
  EXPECT_EQ(picture.Width(), 3);
  EXPECT_EQ(picture.Height(), 1);
  EXPECT_EQ(picture.ReadPixel(2, 0), 0x345678u);

  // While the height is 0 any width is only recorded; the height then fails.
  Picture flat;
  flat.SetWidth(INT32_MAX);
  ExpectResourceError([&] { flat.SetHeight(1); });
  EXPECT_EQ(flat.Width(), INT32_MAX);
  EXPECT_EQ(flat.Height(), 0);

  ExpectResourceError([] { Picture::CreateDib(Layout(20000, 20000, 32)); });
}

// The DIB's own rules, each refused with its reason; a run-length layout is
// the reader's to decode, never a DIB store's.
TEST(PictureDib, LayoutsNoDibCanHaveAreRefusedWithTheirReason) {
  struct Case {
    DibLayout layout;
    DibFault fault;
  };
  DibLayout colours = Layout(1, 1, 8);
  colours.colorTable.resize(257);
  const Case cases[] = {{Layout(0, 1, 24), DibFault::Width},           {Layout(1, 0, 24), DibFault::Height},
                        {Layout(1, 1, 2), DibFault::BitCount},         {Layout(1, 1, 8, kBiRle8), DibFault::Compression},
                        {Layout(1, 1, 24, kBiBitfields), DibFault::Compression},
                        {colours, DibFault::ColorCount},               {Layout(20000, 20000, 32), DibFault::TooLarge}};
  for (const Case& c : cases) {
    try {
      Picture::CreateDib(c.layout);
      ADD_FAILURE() << "made a DIB for fault " << static_cast<int>(c.fault);
    } catch (const DibHeaderError& e) {
      EXPECT_EQ(e.Fault(), c.fault);
      EXPECT_EQ(e.Kind(), c.fault == DibFault::TooLarge ? ErrorKind::Resource : ErrorKind::InvalidBitmap);
    }
  }
}

TEST(PicturePixels, ReadsOutsideThePictureGiveTheOutsideValue) {
  const Picture picture = Picture::CreateDisplayCompatible(4, 3);
  EXPECT_EQ(picture.ReadPixel(4, 0), kColorOutside);
  EXPECT_EQ(picture.ReadPixel(0, 3), kColorOutside);
  EXPECT_EQ(picture.ReadPixel(-1, 0), kColorOutside);
  EXPECT_EQ(picture.ReadPixel(0, -1), kColorOutside);
  EXPECT_EQ(picture.ReadPixel(INT32_MIN, INT32_MAX), kColorOutside);
  EXPECT_EQ(picture.ReadPixel(3, 2), kColorWhite);
  std::vector<ColorValue> row(4, 0);
  picture.ReadRow(3, row.data());
  EXPECT_EQ(row, std::vector<ColorValue>(4, kColorOutside));
  picture.ReadRow(-1, row.data());
  EXPECT_EQ(row, std::vector<ColorValue>(4, kColorOutside));
}

TEST(PicturePixels, DisplayCompatiblePicturesKeepEveryColourInBgrxOrder) {
  Picture picture = Picture::CreateDisplayCompatible(2, 2);
  picture.WritePixel(1, 0, 0x00123456);
  EXPECT_EQ(picture.ReadPixel(1, 0), 0x00123456u);
  // Bottom-up rows of blue, green, red and a zero byte: row 0 is stored last.
  const uint8_t* stored = picture.Bits() + picture.Stride() + 4;
  EXPECT_EQ(stored[0], 0x12);
  EXPECT_EQ(stored[1], 0x34);
  EXPECT_EQ(stored[2], 0x56);
  EXPECT_EQ(stored[3], 0);
  EXPECT_EQ(picture.Row(0), picture.Bits() + picture.Stride());
}

TEST(PicturePixels, SystemColoursTakeTheClassicDefaults) {
  Picture picture = Picture::CreateDisplayCompatible(4, 1);
  picture.WritePixel(0, 0, 0x80000000u | 5);   // COLOR_WINDOW: white
  picture.WritePixel(1, 0, 0x80000000u | 15);  // COLOR_BTNFACE: RGB(192, 192, 192)
  picture.WritePixel(2, 0, 0x80000000u | 13);  // COLOR_HIGHLIGHT: RGB(0, 0, 128)
  picture.WritePixel(3, 0, 0x80000000u | 8);   // COLOR_WINDOWTEXT: black
  EXPECT_EQ(picture.ReadPixel(0, 0), Rgb(255, 255, 255));
  EXPECT_EQ(picture.ReadPixel(1, 0), Rgb(192, 192, 192));
  EXPECT_EQ(picture.ReadPixel(2, 0), Rgb(0, 0, 128));
  EXPECT_EQ(picture.ReadPixel(3, 0), Rgb(0, 0, 0));
  // Only the low 8 bits choose the colour; bits 24-30 of other values are kept out.
  const ColorValue row[2] = {0x80FFFF05u, 0x00000000u};
  Picture two = Picture::CreateDisplayCompatible(2, 1);
  two.WriteRow(0, row);
  EXPECT_EQ(two.ReadPixel(0, 0), Rgb(255, 255, 255));
  EXPECT_EQ(two.ReadPixel(1, 0), 0u);
}

TEST(PicturePixels, AWriteOutsideChangesNoPixelButDropsTheDibForm) {
  Picture picture = Picture::CreateDisplayCompatible(2, 2);
  picture.EnsureDibForm();
  const Picture copy = picture;
  picture.WritePixel(5, 5, 0x000000);
  picture.WritePixel(-1, 0, 0x000000);
  EXPECT_FALSE(picture.HasDibForm());
  EXPECT_TRUE(copy.HasDibForm());
  for (int32_t y = 0; y < 2; ++y)
    for (int32_t x = 0; x < 2; ++x) EXPECT_EQ(picture.ReadPixel(x, y), kColorWhite);
}

TEST(PictureCopyOnWrite, ACopySeesNoLaterWriteOfTheOriginal) {
  Picture original = Picture::CreateDisplayCompatible(2, 2);
  original.WritePixel(0, 0, 0x111111);
  const Picture copy = original;
  EXPECT_EQ(copy.Bits(), original.Bits());  // shared, not copied
  original.WritePixel(0, 0, 0x222222);
  EXPECT_EQ(copy.ReadPixel(0, 0), 0x111111u);
  EXPECT_EQ(original.ReadPixel(0, 0), 0x222222u);
  EXPECT_NE(copy.Bits(), original.Bits());
}

TEST(PictureCopyOnWrite, TheOriginalSeesNoLaterWriteOfTheCopy) {
  const Picture original = [] {
    Picture p = Picture::CreateDisplayCompatible(2, 2);
    p.WritePixel(1, 1, 0x333333);
    return p;
  }();
  Picture copy;
  copy = original;
  EXPECT_EQ(copy.Width(), 2);
  copy.WritePixel(1, 1, 0x444444);
  std::vector<ColorValue> row(2, 0x555555);
  copy.WriteRow(0, row.data());
  EXPECT_EQ(original.ReadPixel(1, 1), 0x333333u);
  EXPECT_EQ(original.ReadPixel(0, 0), kColorWhite);
  EXPECT_EQ(copy.ReadPixel(1, 1), 0x444444u);
  EXPECT_EQ(copy.ReadPixel(0, 0), 0x555555u);
}

TEST(PictureCopyOnWrite, PaletteDescriptionAndResizeChangesStayPrivate) {
  DibLayout layout = Layout(2, 1, 8);
  layout.colorTable = {Entry(1, 2, 3), Entry(4, 5, 6)};
  const Picture original = Picture::CreateDib(layout);
  Picture copy = original;
  copy.SetOwnPalette({Entry(9, 9, 9)});
  copy.MutableDescription().dsBmih.biXPelsPerMeter = 2835;
  copy.WritePixel(0, 0, Rgb(4, 5, 6));
  EXPECT_EQ(original.ColorTable().size(), 2u);
  EXPECT_TRUE(original.OwnPalette().empty());
  EXPECT_EQ(copy.OwnPalette().size(), 1u);
  EXPECT_EQ(original.Description().dsBmih.biXPelsPerMeter, 0);
  EXPECT_EQ(copy.ReadPixel(0, 0), Rgb(4, 5, 6));
  EXPECT_EQ(original.ReadPixel(0, 0), Rgb(1, 2, 3));
  copy.SetWidth(5);
  EXPECT_EQ(original.Width(), 2);
  EXPECT_EQ(original.Description().dsBm.bmWidth, 2);
}

TEST(PictureDepths, PaletteDepthsReadTheirEntries) {
  DibLayout one = Layout(10, 1, 1);
  one.colorTable = {Entry(0, 0, 0), Entry(200, 100, 50)};
  Picture onebit = Picture::CreateDib(one);
  SetRowBytes(onebit, 0, {0b10100000, 0b01000000});
  EXPECT_EQ(onebit.Stride(), 4u);
  EXPECT_EQ(onebit.ReadPixel(0, 0), Rgb(200, 100, 50));
  EXPECT_EQ(onebit.ReadPixel(1, 0), 0u);
  EXPECT_EQ(onebit.ReadPixel(2, 0), Rgb(200, 100, 50));
  EXPECT_EQ(onebit.ReadPixel(9, 0), Rgb(200, 100, 50));

  DibLayout four = Layout(3, 1, 4);
  four.colorTable.resize(16);
  four.colorTable[1] = Entry(1, 1, 1);
  four.colorTable[15] = Entry(15, 15, 15);
  four.colorTable[7] = Entry(7, 8, 9);
  Picture fourbit = Picture::CreateDib(four);
  SetRowBytes(fourbit, 0, {0x1F, 0x70});
  EXPECT_EQ(fourbit.ReadPixel(0, 0), Rgb(1, 1, 1));
  EXPECT_EQ(fourbit.ReadPixel(1, 0), Rgb(15, 15, 15));
  EXPECT_EQ(fourbit.ReadPixel(2, 0), Rgb(7, 8, 9));

  // The JPEG decoder's grey pictures: entry g is (g, g, g).
  DibLayout grey = Layout(2, 1, 8);
  for (int g = 0; g < 256; ++g) grey.colorTable.push_back(Entry(g, g, g));
  Picture greys = Picture::CreateDib(grey);
  SetRowBytes(greys, 0, {0x40, 0xFE});
  EXPECT_EQ(greys.ReadPixel(0, 0), Rgb(0x40, 0x40, 0x40));
  EXPECT_EQ(greys.ReadPixel(1, 0), Rgb(0xFE, 0xFE, 0xFE));

  // An index past a short colour table reads as black.
  DibLayout shortTable = Layout(1, 1, 8);
  shortTable.colorTable = {Entry(9, 9, 9)};
  Picture past = Picture::CreateDib(shortTable);
  SetRowBytes(past, 0, {5});
  EXPECT_EQ(past.ReadPixel(0, 0), 0u);
}

TEST(PictureDepths, SixteenBitChannelsWidenByRepeatingTheirTopBits) {
  // 5-5-5 without masks: x rrrrr ggggg bbbbb.
  Picture plain = Picture::CreateDib(Layout(4, 1, 16));
  SetRowBytes(plain, 0, {0xFF, 0x7F, 0x1F, 0x00, 0x00, 0x40, 0x01, 0x00});
  EXPECT_EQ(plain.ReadPixel(0, 0), Rgb(255, 255, 255));
  EXPECT_EQ(plain.ReadPixel(1, 0), Rgb(0, 0, 255));
  EXPECT_EQ(plain.ReadPixel(2, 0), Rgb((16 << 3) | (16 >> 2), 0, 0));  // 10000 -> 10000100
  EXPECT_EQ(plain.ReadPixel(3, 0), Rgb(0, 0, (1 << 3) | (1 >> 2)));
  // 5-6-5 with bit fields.
  DibLayout layout = Layout(3, 1, 16, kBiBitfields);
  layout.masks[0] = 0xF800;
  layout.masks[1] = 0x07E0;
  layout.masks[2] = 0x001F;
  Picture masked = Picture::CreateDib(layout);
  SetRowBytes(masked, 0, {0x00, 0x04, 0xE0, 0x07, 0xFF, 0xFF});
  EXPECT_EQ(masked.ReadPixel(0, 0), Rgb(0, (32 << 2) | (32 >> 4), 0));  // 100000 -> 10000010
  EXPECT_EQ(masked.ReadPixel(1, 0), Rgb(0, 255, 0));
  EXPECT_EQ(masked.ReadPixel(2, 0), Rgb(255, 255, 255));
  std::vector<ColorValue> row(3);
  masked.ReadRow(0, row.data());
  EXPECT_EQ(row[0], masked.ReadPixel(0, 0));
}

TEST(PictureDepths, SixteenBitWritesStoreTheNearestChannelValue) {
  Picture plain = Picture::CreateDib(Layout(3, 1, 16));
  // Every colour the format holds reads back exactly as written.
  for (uint32_t v = 0; v < 32; ++v) {
    const uint32_t wide = (v << 3) | (v >> 2);
    plain.WritePixel(0, 0, Rgb(wide, wide, wide));
    ASSERT_EQ(plain.ReadPixel(0, 0), Rgb(wide, wide, wide)) << v;
  }
  // 7 is nearer to 8 (00001 widened) than to 0.
  plain.WritePixel(1, 0, Rgb(7, 3, 250));
  EXPECT_EQ(plain.ReadPixel(1, 0), Rgb(8, 0, 247));
}

TEST(PictureDepths, TrueColourDepthsAndRowOrders) {
  Picture bgr = Picture::CreateDib(Layout(2, 2, 24));  // bottom-up
  EXPECT_EQ(bgr.Stride(), 8u);
  SetRowBytes(bgr, 0, {0x01, 0x02, 0x03, 0x04, 0x05, 0x06});
  EXPECT_EQ(bgr.ReadPixel(0, 0), Rgb(0x03, 0x02, 0x01));
  EXPECT_EQ(bgr.ReadPixel(1, 0), Rgb(0x06, 0x05, 0x04));
  EXPECT_EQ(bgr.Row(0), bgr.Bits() + 8);
  bgr.WritePixel(0, 1, 0x00ABCDEF);
  EXPECT_EQ(bgr.Bits()[0], 0xAB);
  EXPECT_EQ(bgr.Bits()[2], 0xEF);

  Picture topDown = Picture::CreateDib(Layout(1, -2, 32));
  SetRowBytes(topDown, 0, {0x10, 0x20, 0x30, 0xFF});  // the fourth byte is not part of the colour
  EXPECT_EQ(topDown.Row(0), topDown.Bits());
  EXPECT_EQ(topDown.ReadPixel(0, 0), Rgb(0x30, 0x20, 0x10));
  EXPECT_EQ(topDown.Height(), 2);

  DibLayout wide = Layout(1, 1, 32, kBiBitfields);
  wide.masks[0] = 0x3FF00000;
  wide.masks[1] = 0x000FFC00;
  wide.masks[2] = 0x000003FF;
  Picture tenBits = Picture::CreateDib(wide);
  const uint32_t pixel = (0x3FFu << 20) | (0x200u << 10) | 0x003u;
  SetRowBytes(tenBits, 0, {static_cast<uint8_t>(pixel), static_cast<uint8_t>(pixel >> 8),
                           static_cast<uint8_t>(pixel >> 16), static_cast<uint8_t>(pixel >> 24)});
  EXPECT_EQ(tenBits.ReadPixel(0, 0), Rgb(255, 128, 0));
  tenBits.WritePixel(0, 0, Rgb(1, 2, 3));
  EXPECT_EQ(tenBits.ReadPixel(0, 0), Rgb(1, 2, 3));
}

TEST(PictureDepths, PaletteWritesTakeTheNearestEntry) {
  DibLayout layout = Layout(2, 1, 8);
  layout.colorTable = {Entry(0, 0, 0), Entry(250, 250, 250), Entry(200, 10, 10)};
  Picture picture = Picture::CreateDib(layout);
  picture.WritePixel(0, 0, Rgb(190, 30, 0));
  picture.WritePixel(1, 0, kColorWhite);
  EXPECT_EQ(picture.Row(0)[0], 2);
  EXPECT_EQ(picture.Row(0)[1], 1);
}

TEST(PictureDib, InvalidLayoutsAreRefused) {
  const auto expectInvalid = [](const DibLayout& layout) {
    try {
      Picture::CreateDib(layout);
      ADD_FAILURE() << "accepted";
    } catch (const Error& error) {
      EXPECT_EQ(error.Kind(), ErrorKind::InvalidBitmap);
    }
  };
  expectInvalid(Layout(0, 1, 24));
  expectInvalid(Layout(1, 0, 24));
  expectInvalid(Layout(1, 1, 2));
  expectInvalid(Layout(1, 1, 24, kBiBitfields));
  expectInvalid(Layout(1, 1, 8, kBiRle8));
  DibLayout big = Layout(1, 1, 8);
  big.colorTable.resize(257);
  expectInvalid(big);
  // 2^31 rows are a valid height, if far too many.
  ExpectResourceError([] { Picture::CreateDib(Layout(1, INT32_MIN, 24)); });
}

TEST(PictureDib, TheDescriptionFollowsTheStore) {
  DibLayout layout = Layout(5, -3, 24);
  layout.header.biXPelsPerMeter = 3780;
  Picture picture = Picture::CreateDib(layout);
  const PictureDescription& d = picture.Description();
  EXPECT_EQ(d.dsBm.bmType, 0);
  EXPECT_EQ(d.dsBm.bmWidth, 5);
  EXPECT_EQ(d.dsBm.bmHeight, 3);
  EXPECT_EQ(d.dsBm.bmWidthBytes, 16);
  EXPECT_EQ(d.dsBm.bmPlanes, 1);
  EXPECT_EQ(d.dsBm.bmBitsPixel, 24);
  EXPECT_EQ(d.dsBm.bmBits, picture.Bits());
  EXPECT_EQ(d.dsBmih.biSize, 40u);
  EXPECT_EQ(d.dsBmih.biWidth, 5);
  EXPECT_EQ(d.dsBmih.biHeight, -3);
  EXPECT_EQ(d.dsBmih.biSizeImage, 48u);
  EXPECT_EQ(d.dsBmih.biXPelsPerMeter, 3780);
  EXPECT_EQ(picture.ImageBytes(), 48u);
}

TEST(PictureDib, ADisplayCompatiblePictureGetsABottomUpDibFormUntilTheNextWrite) {
  Picture picture = Picture::CreateDisplayCompatible(3, 2);
  EXPECT_FALSE(picture.HasDibForm());
  EXPECT_EQ(picture.Description().dsBmih.biSize, 0u);
  EXPECT_EQ(picture.Description().dsBm.bmBits, nullptr);
  picture.EnsureDibForm();
  const PictureDescription& d = picture.Description();
  EXPECT_EQ(d.dsBmih.biSize, 40u);
  EXPECT_EQ(d.dsBmih.biWidth, 3);
  EXPECT_EQ(d.dsBmih.biHeight, 2);
  EXPECT_EQ(d.dsBmih.biPlanes, 1);
  EXPECT_EQ(d.dsBmih.biBitCount, 32);
  EXPECT_EQ(d.dsBmih.biCompression, kBiRgb);
  EXPECT_EQ(d.dsBmih.biSizeImage, 24u);
  EXPECT_EQ(d.dsBmih.biClrUsed, 0u);
  EXPECT_EQ(d.dsBm.bmBits, picture.Bits());
  EXPECT_TRUE(picture.IsDisplayCompatible());
  picture.WritePixel(0, 0, 0x010101);
  EXPECT_FALSE(picture.HasDibForm());
  EXPECT_EQ(picture.Description().dsBm.bmBits, nullptr);

  Picture empty;
  empty.EnsureDibForm();
  EXPECT_FALSE(empty.HasDibForm());
}

TEST(PictureDib, APictureMadeForOverwriteHasItsSizeAndTheSameLimits) {
  Picture picture = Picture::CreateDisplayCompatibleForOverwrite(7, 5);
  EXPECT_EQ(picture.Width(), 7);
  EXPECT_EQ(picture.Height(), 5);
  EXPECT_TRUE(picture.IsDisplayCompatible());
  EXPECT_EQ(picture.ImageBytes(), 7u * 4 * 5);
  EXPECT_TRUE(Picture::CreateDisplayCompatibleForOverwrite(0, 100000).IsEmpty());
  ExpectResourceError([] { Picture::CreateDisplayCompatibleForOverwrite(-1, 1); });
  ExpectResourceError([] { Picture::CreateDisplayCompatibleForOverwrite(20000, 20000); });
}

}  // namespace
}  // namespace sw
