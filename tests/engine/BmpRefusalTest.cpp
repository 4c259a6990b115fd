#include <gtest/gtest.h>

#include <climits>

#include "BmpBytes.h"

namespace sw::test {
namespace {

// A file of the given header fields, followed by room for any colour table and a little pixel data.
std::vector<uint8_t> File(int32_t width, int32_t height, uint16_t bits, uint32_t compression = kBiRgb,
                          uint32_t clrUsed = 0, uint16_t planes = 1) {
  return BmpBytes().FileHeader().InfoHeader(width, height, bits, compression, clrUsed, 0, 40, planes).Zeros(1100);
}

TEST(BmpRefusals, PlanesOtherThanOneAreNotValid) {
  EXPECT_EQ(ReadFailure(File(1, 1, 24, kBiRgb, 0, 0)), kNotValid);
  EXPECT_EQ(ReadFailure(File(1, 1, 24, kBiRgb, 0, 2)), kNotValid);
  EXPECT_EQ(ReadFailure(BmpBytes().FileHeader().CoreHeader(1, 1, 24, 3).Zeros(4)), kNotValid);
}

TEST(BmpRefusals, ZeroOrNegativeWidthAndZeroHeightAreNotValid) {
  EXPECT_EQ(ReadFailure(File(0, 1, 24)), kNotValid);
  EXPECT_EQ(ReadFailure(File(-1, 1, 24)), kNotValid);
  EXPECT_EQ(ReadFailure(File(INT32_MIN, 1, 24)), kNotValid);
  EXPECT_EQ(ReadFailure(File(1, 0, 24)), kNotValid);
  EXPECT_EQ(ReadFailure(BmpBytes().FileHeader().CoreHeader(0, 1, 24).Zeros(4)), kNotValid);
  EXPECT_EQ(ReadFailure(BmpBytes().FileHeader().CoreHeader(1, 0, 24).Zeros(4)), kNotValid);
}

TEST(BmpRefusals, BitCountsOtherThanTheSixDepthsAreNotValid) {
  for (uint16_t bits : {0, 2, 3, 5, 7, 9, 12, 15, 31, 33, 48, 64, 0xFFFF}) {
    EXPECT_EQ(ReadFailure(File(1, 1, bits)), kNotValid) << bits << " bits";
  }
}

TEST(BmpRefusals, CompressionsThatAreNotDecodedAreNotValid) {
  for (uint32_t compression : {4u, 5u, 6u, 11u, 0x7FFFFFFFu, 0xFFFFFFFFu}) {
    EXPECT_EQ(ReadFailure(File(1, 1, 24, compression)), kNotValid) << "compression " << compression;
  }
  for (uint16_t bits : {1, 4, 8, 24}) {
    EXPECT_EQ(ReadFailure(File(1, 1, bits, kBiBitfields)), kNotValid) << "bit fields at " << bits << " bits";
  }
}

TEST(BmpRefusals, RunLengthAtTheWrongDepthOrTopDownIsNotValid) {
  EXPECT_EQ(ReadFailure(File(1, 1, 4, kBiRle8)), kNotValid);
  EXPECT_EQ(ReadFailure(File(1, 1, 24, kBiRle8)), kNotValid);
  EXPECT_EQ(ReadFailure(File(1, 1, 8, kBiRle4)), kNotValid);
  EXPECT_EQ(ReadFailure(File(1, 1, 1, kBiRle4)), kNotValid);
  EXPECT_EQ(ReadFailure(File(1, -1, 8, kBiRle8, 2)), kNotValid);
  EXPECT_EQ(ReadFailure(File(1, -1, 4, kBiRle4, 2)), kNotValid);
  EXPECT_EQ(ReadFailure(File(0, 1, 8, kBiRle8, 2)), kNotValid);
}

TEST(BmpRefusals, MoreThan256ColoursAreNotValid) {
  EXPECT_EQ(ReadFailure(File(1, 1, 8, kBiRgb, 257)), kNotValid);
  EXPECT_EQ(ReadFailure(File(1, 1, 24, kBiRgb, 0x40000000)), kNotValid);
  EXPECT_EQ(ReadFailure(File(1, 1, 8, kBiRgb, 0xFFFFFFFF)), kNotValid);
  // 256 is the largest table, at any depth.
  BmpBytes largest = BmpBytes().FileHeader().InfoHeader(1, 1, 1, kBiRgb, 256).Zeros(1024).Raw({0x80, 0, 0, 0});
  EXPECT_EQ(ReadFailure(largest), "");
}

TEST(BmpRefusals, HeaderSizesBelowFortyOtherThanTwelveAreNotValid) {
  for (uint32_t size : {0u, 4u, 11u, 13u, 16u, 39u}) {
    EXPECT_EQ(ReadFailure(BmpBytes().FileHeader().U32(size).Zeros(80)), kNotValid) << "header size " << size;
  }
}

TEST(BmpRefusals, APictureAboveTheSizeLimitIsRefusedAsTheSystemWould) {
  // One row more than the largest 32-bit store of 16384 x 16384.
  EXPECT_EQ(ReadFailure(File(16384, 16385, 32)), kNoMemory);
  EXPECT_EQ(ReadFailure(File(16384, -16385, 32)), kNoMemory);
  EXPECT_EQ(ReadFailure(File(INT32_MAX, 1, 32)), kNoMemory);
  EXPECT_EQ(ReadFailure(File(INT32_MAX, INT32_MAX, 32)), kNoMemory);
  EXPECT_EQ(ReadFailure(File(INT32_MAX, INT32_MIN, 1)), kNoMemory);
  EXPECT_EQ(ReadFailure(File(1, INT32_MIN, 24)), kNoMemory);
  EXPECT_EQ(ReadFailure(BmpBytes().FileHeader().CoreHeader(65535, 65535, 24).Zeros(4)), kNoMemory);
  EXPECT_EQ(ReadFailure(File(100000, 100000, 8, kBiRle8, 2)), kNoMemory);
  EXPECT_EQ(ReadFailure(File(INT32_MAX, INT32_MAX, 4, kBiRle4, 2)), kNoMemory);
}

TEST(BmpRefusals, ValidityIsDecidedBeforeTheSize) {
  EXPECT_EQ(ReadFailure(File(INT32_MAX, INT32_MAX, 33)), kNotValid);
  EXPECT_EQ(ReadFailure(File(INT32_MAX, INT32_MAX, 32, 4)), kNotValid);
}

TEST(BmpRefusals, TheRefusalIsTheSystemsMessageWithoutItsFullStop) {
  Picture picture;
  const std::vector<uint8_t> bytes = File(100000, 100000, 24);
  MemorySource source(bytes);
  try {
    ReadBmp(picture, source, bytes.size());
    FAIL() << "no error";
  } catch (const Error& e) {
    EXPECT_EQ(e.Kind(), ErrorKind::Os);
    EXPECT_EQ(e.Text(), "System Error.  Code: 8.\r\nNot enough memory resources are available to process this command");
  }
}

}  // namespace
}  // namespace sw::test
