#include <gtest/gtest.h>

#include <climits>

#include "BmpBytes.h"

namespace sw::test {
namespace {

constexpr const char* kFaultNames[] = {"None",   "HeaderSize", "Planes",      "MasksMissing", "ColorCount",
                                       "Width",  "Height",     "BitCount",    "Compression",  "TooLarge",
                                       "HeaderCut"};

// What a refused file gives: the failure the user sees and the header rule it broke.
struct Refused {
  std::string failure;
  DibFault fault = DibFault::None;
  bool operator==(const Refused& other) const { return failure == other.failure && fault == other.fault; }
};
std::ostream& operator<<(std::ostream& out, const Refused& refused) {
  return out << refused.failure << " (" << kFaultNames[static_cast<int>(refused.fault)] << ")";
}

Refused Refusal(const std::vector<uint8_t>& bytes) {
  Refused refused;
  try {
    ReadBytes(bytes);
  } catch (const DibHeaderError& e) {
    refused = {std::string(KindName(e.Kind())) + ": " + e.Text(), e.Fault()};
  } catch (const Error& e) {
    refused.failure = std::string(KindName(e.Kind())) + ": " + e.Text();
  }
  return refused;
}
Refused NotValid(DibFault fault) { return {kNotValid, fault}; }
Refused NoMemory() { return {kNoMemory, DibFault::TooLarge}; }

// A file of the given header fields, followed by room for any colour table and a little pixel data.
std::vector<uint8_t> File(int32_t width, int32_t height, uint16_t bits, uint32_t compression = kBiRgb,
                          uint32_t clrUsed = 0, uint16_t planes = 1) {
  return BmpBytes().FileHeader().InfoHeader(width, height, bits, compression, clrUsed, 0, 40, planes).Zeros(1100);
}

TEST(BmpRefusals, PlanesOtherThanOneAreNotValid) {
  EXPECT_EQ(Refusal(File(1, 1, 24, kBiRgb, 0, 0)), NotValid(DibFault::Planes));
  EXPECT_EQ(Refusal(File(1, 1, 24, kBiRgb, 0, 2)), NotValid(DibFault::Planes));
  EXPECT_EQ(Refusal(BmpBytes().FileHeader().CoreHeader(1, 1, 24, 3).Zeros(4)), NotValid(DibFault::Planes));
}

TEST(BmpRefusals, ZeroOrNegativeWidthAndZeroHeightAreNotValid) {
  EXPECT_EQ(Refusal(File(0, 1, 24)), NotValid(DibFault::Width));
  EXPECT_EQ(Refusal(File(-1, 1, 24)), NotValid(DibFault::Width));
  EXPECT_EQ(Refusal(File(INT32_MIN, 1, 24)), NotValid(DibFault::Width));
  EXPECT_EQ(Refusal(File(1, 0, 24)), NotValid(DibFault::Height));
  EXPECT_EQ(Refusal(BmpBytes().FileHeader().CoreHeader(0, 1, 24).Zeros(4)), NotValid(DibFault::Width));
  EXPECT_EQ(Refusal(BmpBytes().FileHeader().CoreHeader(1, 0, 24).Zeros(4)), NotValid(DibFault::Height));
}

TEST(BmpRefusals, BitCountsOtherThanTheSixDepthsAreNotValid) {
  for (uint16_t bits : {0, 2, 3, 5, 7, 9, 12, 15, 31, 33, 48, 64, 0xFFFF}) {
    EXPECT_EQ(Refusal(File(1, 1, bits)), NotValid(DibFault::BitCount)) << bits << " bits";
  }
}

TEST(BmpRefusals, CompressionsThatAreNotDecodedAreNotValid) {
  for (uint32_t compression : {4u, 5u, 6u, 11u, 0x7FFFFFFFu, 0xFFFFFFFFu}) {
    EXPECT_EQ(Refusal(File(1, 1, 24, compression)), NotValid(DibFault::Compression)) << "compression " << compression;
  }
  for (uint16_t bits : {1, 4, 8, 24}) {
    EXPECT_EQ(Refusal(File(1, 1, bits, kBiBitfields)), NotValid(DibFault::Compression)) << "bit fields at " << bits << " bits";
  }
}

TEST(BmpRefusals, RunLengthAtTheWrongDepthOrTopDownIsNotValid) {
  EXPECT_EQ(Refusal(File(1, 1, 4, kBiRle8)), NotValid(DibFault::Compression));
  EXPECT_EQ(Refusal(File(1, 1, 24, kBiRle8)), NotValid(DibFault::Compression));
  EXPECT_EQ(Refusal(File(1, 1, 8, kBiRle4)), NotValid(DibFault::Compression));
  EXPECT_EQ(Refusal(File(1, 1, 1, kBiRle4)), NotValid(DibFault::Compression));
  EXPECT_EQ(Refusal(File(1, -1, 8, kBiRle8, 2)), NotValid(DibFault::Compression));
  EXPECT_EQ(Refusal(File(1, -1, 4, kBiRle4, 2)), NotValid(DibFault::Compression));
  EXPECT_EQ(Refusal(File(0, 1, 8, kBiRle8, 2)), NotValid(DibFault::Width));
}

TEST(BmpRefusals, MoreThan256ColoursAreNotValid) {
  EXPECT_EQ(Refusal(File(1, 1, 8, kBiRgb, 257)), NotValid(DibFault::ColorCount));
  EXPECT_EQ(Refusal(File(1, 1, 24, kBiRgb, 0x40000000)), NotValid(DibFault::ColorCount));
  EXPECT_EQ(Refusal(File(1, 1, 8, kBiRgb, 0xFFFFFFFF)), NotValid(DibFault::ColorCount));
  // 256 is the largest table, at any depth.
  BmpBytes largest = BmpBytes().FileHeader().InfoHeader(1, 1, 1, kBiRgb, 256).Zeros(1024).Raw({0x80, 0, 0, 0});
  EXPECT_EQ(Refusal(largest), Refused{});
}

TEST(BmpRefusals, HeaderSizesBelowFortyOtherThanTwelveAreNotValid) {
  for (uint32_t size : {0u, 4u, 11u, 13u, 16u, 39u}) {
    EXPECT_EQ(Refusal(BmpBytes().FileHeader().U32(size).Zeros(80)), NotValid(DibFault::HeaderSize)) << "header size " << size;
  }
}

TEST(BmpRefusals, AHeaderCutByTheEndOfTheFileOrWithoutRoomForItsMasksIsNotValid) {
  EXPECT_EQ(Refusal(BmpBytes().FileHeader().U16(40).Bytes()), NotValid(DibFault::HeaderCut));
  EXPECT_EQ(Refusal(BmpBytes().FileHeader().U32(40).Zeros(20).Bytes()), NotValid(DibFault::HeaderCut));
  EXPECT_EQ(Refusal(BmpBytes().FileHeader().U32(12).Zeros(3).Bytes()), NotValid(DibFault::HeaderCut));
  // Bit fields need 52 bytes of header, or the 12 bytes after a 40-byte one.
  EXPECT_EQ(Refusal(BmpBytes().FileHeader().InfoHeader(1, 1, 16, kBiBitfields, 0, 0, 44).Zeros(64).Bytes()),
            NotValid(DibFault::MasksMissing));
  EXPECT_EQ(Refusal(BmpBytes().FileHeader().InfoHeader(1, 1, 32, kBiBitfields, 0, 0, 40).Zeros(64).Bytes()),
            Refused{});
}

TEST(BmpRefusals, APictureAboveTheSizeLimitIsRefusedAsTheSystemWould) {
  // One row more than the largest 32-bit store of 16384 x 16384.
  EXPECT_EQ(Refusal(File(16384, 16385, 32)), NoMemory());
  EXPECT_EQ(Refusal(File(16384, -16385, 32)), NoMemory());
  EXPECT_EQ(Refusal(File(INT32_MAX, 1, 32)), NoMemory());
  EXPECT_EQ(Refusal(File(INT32_MAX, INT32_MAX, 32)), NoMemory());
  EXPECT_EQ(Refusal(File(INT32_MAX, INT32_MIN, 1)), NoMemory());
  EXPECT_EQ(Refusal(File(1, INT32_MIN, 24)), NoMemory());
  EXPECT_EQ(Refusal(BmpBytes().FileHeader().CoreHeader(65535, 65535, 24).Zeros(4)), NoMemory());
  EXPECT_EQ(Refusal(File(100000, 100000, 8, kBiRle8, 2)), NoMemory());
  EXPECT_EQ(Refusal(File(INT32_MAX, INT32_MAX, 4, kBiRle4, 2)), NoMemory());
}

TEST(BmpRefusals, ValidityIsDecidedBeforeTheSize) {
  EXPECT_EQ(Refusal(File(INT32_MAX, INT32_MAX, 33)), NotValid(DibFault::BitCount));
  EXPECT_EQ(Refusal(File(INT32_MAX, INT32_MAX, 32, 4)), NotValid(DibFault::Compression));
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
