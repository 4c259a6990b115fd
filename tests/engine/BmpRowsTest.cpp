#include <gtest/gtest.h>

#include <cstring>

#include "BmpKinds.h"
#include "image/bmp/BmpRows.h"

namespace sw::test {
namespace {

// Rows read one at a time, in `order`, against the rows of the picture
// ReadBmp makes of the same file: the same stored bytes and the same colours.
void ExpectRowsOfTheWholePicture(const BmpKind& kind, const std::vector<int32_t>& order) {
  SCOPED_TRACE(kind.name);
  const Picture whole = ReadBytes(kind.bytes);
  MemorySource file(kind.bytes);
  BmpRowReader reader(file);
  ASSERT_EQ(reader.Width(), whole.Width());
  ASSERT_EQ(reader.Height(), whole.Height());
  const StoredRowForm& form = reader.Form();
  EXPECT_EQ(form.directStep, DirectStepOf(whole.BitsPerPixel(), whole.Compression()));
  std::vector<uint8_t> row(form.bytes + 1, 0xA5);
  std::vector<ColorValue> colors(static_cast<size_t>(whole.Width())), expected(colors.size());
  for (int32_t y : order) {
    reader.ReadRow(y, row.data());
    ASSERT_EQ(std::memcmp(row.data(), whole.Row(y), form.bytes), 0) << "row " << y;
    EXPECT_EQ(row[form.bytes], 0xA5) << "written past the row";
    form.Decode(row.data(), 0, whole.Width(), colors.data());
    whole.ReadRow(y, expected.data());
    EXPECT_EQ(colors, expected) << "row " << y;
  }
}

std::vector<int32_t> TopDown(int32_t height) {
  std::vector<int32_t> order;
  for (int32_t y = 0; y < height; ++y) order.push_back(y);
  return order;
}

TEST(BmpRowReading, EveryKindGivesTheRowsOfTheWholePicture) {
  for (const auto& size : {std::make_pair(13, 9), std::make_pair(3, 3), std::make_pair(64, 5)}) {
    for (const BmpKind& kind : BmpKinds(size.first, size.second)) ExpectRowsOfTheWholePicture(kind, TopDown(size.second));
  }
}

TEST(BmpRowReading, RowsCanBeReadInAnyOrderAndAgain) {
  for (const BmpKind& kind : BmpKinds(11, 7)) ExpectRowsOfTheWholePicture(kind, {6, 0, 3, 3, 1, 5, 2, 4, 0});
}

TEST(BmpRowReading, RunLengthNoiseOfEverySeedMatchesTheWholePicture) {
  // Any bytes are run-length data: each line must still be decoded alone
  // exactly as the whole walk decodes it.
  for (uint32_t seed = 100; seed < 160; ++seed) {
    for (int bits : {4, 8}) {
      const std::vector<uint8_t> codes = seed % 2 ? RunLengthCodes(9, 6, bits, seed) : VariedBytes(40, seed);
      BmpBytes file = BmpBytes().FileHeader().InfoHeader(9, 6, static_cast<uint16_t>(bits), bits == 8 ? kBiRle8 : kBiRle4,
                                                          0, static_cast<uint32_t>(codes.size()));
      AddTable(file, 1 << bits, seed);
      ExpectRowsOfTheWholePicture({"seed " + std::to_string(seed), file.Raw(codes).Bytes()}, TopDown(6));
    }
  }
}

TEST(BmpRowReading, AnEmptyFileIsAnEmptyPicture) {
  MemorySource empty(nullptr, 0);
  BmpRowReader reader(empty);
  EXPECT_EQ(reader.Width(), 0);
  EXPECT_EQ(reader.Height(), 0);
}

TEST(BmpRowReading, RefusalsAreThoseOfTheWholePictureReader) {
  const std::vector<std::vector<uint8_t>> refused = {
      BmpBytes().FileHeader().Bytes(),                                               // ends before its info header
      BmpBytes().U8('B').U8('A').U32(0).U32(0).U32(54).InfoHeader(1, 1, 24).Zeros(4),  // not "BM"
      BmpBytes().FileHeader().InfoHeader(1, 1, 8).Zeros(100),                        // colour table cut short
      BmpBytes().FileHeader().InfoHeader(1, 1, 24, kBiRgb, 0, 0, 40, 2).Zeros(4),    // two planes
      BmpBytes().FileHeader().InfoHeader(16384, 16385, 32),                          // above the store limit
      BmpBytes().FileHeader().InfoHeader(16384, 16385, 8, kBiRle8, 1).Zeros(4),      // its 32-bit rows would be too
      BmpBytes().FileHeader().InfoHeader(2, -2, 8, kBiRle8, 1).Zeros(4),             // run lengths are bottom-up
  };
  for (const std::vector<uint8_t>& bytes : refused) {
    MemorySource file(bytes);
    const std::string whole = ReadFailure(bytes);
    ASSERT_NE(whole, "");
    EXPECT_EQ(FailureOf([&] { BmpRowReader reader(file); }), whole);
  }
}

// The resampled picture's file, written row by row as rows come, top first,
// is the file WriteBmp writes of the whole picture.
TEST(BmpRowWriting, RowsAtTheirPlacesMakeTheFileWriteBmpMakes) {
  for (const auto& size : {std::make_pair(1, 1), std::make_pair(3, 2), std::make_pair(17, 9)}) {
    Picture picture = Picture::CreateDisplayCompatible(size.first, size.second);
    std::mt19937 random(static_cast<uint32_t>(size.first));
    for (int32_t y = 0; y < size.second; ++y)
      for (int32_t x = 0; x < size.first; ++x) picture.WritePixel(x, y, random() & 0xFFFFFF);
    MemorySink streamed;
    BmpRowWriter writer(streamed, picture.Width(), picture.Height());
    for (int32_t y = 0; y < picture.Height(); ++y) writer.WriteRow(y, picture.Row(y));
    EXPECT_EQ(streamed.Bytes(), WriteBytes(picture)) << size.first << " x " << size.second;
  }
}

TEST(BmpRowWriting, AnEmptyPictureWritesNothing) {
  for (const auto& size : {std::make_pair(0, 5), std::make_pair(5, 0), std::make_pair(0, 0)}) {
    MemorySink sink;
    BmpRowWriter writer(sink, size.first, size.second);
    EXPECT_TRUE(sink.Bytes().empty());
  }
}

}  // namespace
}  // namespace sw::test
