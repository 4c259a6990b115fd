// Every failure a user meets, from a file crafted for it: the number shown is
// libjpeg 6a's for the failures of the table, whatever the linked library's
// own numbering, and each is raised by the operation that finds it.

#include <gtest/gtest.h>

#include <jerror.h>

#include "core/Messages.h"
#include "image/jpeg/Jpeg.h"
#include "tests/engine/JpegTestSupport.h"

namespace sw {
namespace {

using namespace jpegtest;

enum class FailsAt { Nothing, Load, Copy };

struct Outcome {
  FailsAt at = FailsAt::Nothing;
  std::string text;
};

// Loads the bytes as a file and copies them into a working image.
Outcome LoadAndCopy(const Bytes& file) {
  const std::string path = TestPath("crafted.jpg");
  WriteFile(path, file);
  WorkJpeg jpeg;
  Picture work;
  Outcome outcome;
  try {
    outcome.at = FailsAt::Load;
    jpeg.LoadFromFile(path);
    outcome.at = FailsAt::Copy;
    jpeg.CopyInto(work);
    outcome.at = FailsAt::Nothing;
  } catch (const Error& error) {
    EXPECT_EQ(error.Kind(), ErrorKind::Jpeg) << error.Text();
    outcome.text = error.Text();
  }
  return outcome;
}

void ExpectFailure(const Bytes& file, FailsAt at, int code) {
  const Outcome outcome = LoadAndCopy(file);
  EXPECT_EQ(outcome.at, at);
  EXPECT_EQ(outcome.text, "JPEG error #" + std::to_string(code));
}

Bytes Baseline() { return MakeJpegFile(FileRecipe{}); }

Segment FrameOf(const std::vector<Segment>& segments) {
  const std::optional<Segment> frame = FindSegment(segments, 0xC0);
  if (!frame) ADD_FAILURE() << "no SOF0";
  return frame.value_or(Segment{0, 0, 0});
}

Bytes Prefix(const Bytes& file, size_t length) { return Bytes(file.begin(), file.begin() + length); }

TEST(JpegErrorCode, NotStartingWithSoiIs52AtTheLoad) {
  ExpectFailure({'B', 'M', 0x46, 0, 0, 0, 0, 0, 0, 0, 0x36, 0, 0, 0, 40, 0, 0, 0}, FailsAt::Load, 52);
  ExpectFailure({'G', 'I', 'F', '8', '9', 'a'}, FailsAt::Load, 52);
  ExpectFailure({0xFF}, FailsAt::Load, 52);
}

TEST(JpegErrorCode, EmptyFileIs41AtTheCopy) { ExpectFailure({}, FailsAt::Copy, 41); }

TEST(JpegErrorCode, NoFrameBeforeTheEndIs50AtTheLoad) {
  ExpectFailure({0xFF, 0xD8}, FailsAt::Load, 50);
  ExpectFailure({0xFF, 0xD8, 0xFF, 0xD9}, FailsAt::Load, 50);
  // Tables only: the quantization tables of a real file, then the end.
  const Bytes file = Baseline();
  const std::optional<Segment> tables = FindSegment(SegmentsOf(file), 0xDB);
  ASSERT_TRUE(tables.has_value());
  Bytes tablesOnly = Prefix(file, tables->offset + tables->length);
  tablesOnly.insert(tablesOnly.end(), {0xFF, 0xD9});
  ExpectFailure(tablesOnly, FailsAt::Load, 50);
}

TEST(JpegErrorCode, FrameWithoutScanIs58AtTheLoad) {
  const Bytes file = Baseline();
  const std::vector<Segment> segments = SegmentsOf(file);
  const Segment frame = FrameOf(segments);
  ExpectFailure(Prefix(file, frame.offset + frame.length), FailsAt::Load, 58);
  const std::optional<Segment> scan = FindSegment(segments, 0xDA);
  ASSERT_TRUE(scan.has_value());
  Bytes endBeforeScan = Prefix(file, scan->offset);
  endBeforeScan.insert(endBeforeScan.end(), {0xFF, 0xD9});
  ExpectFailure(endBeforeScan, FailsAt::Load, 58);
}

TEST(JpegErrorCode, LosslessHierarchicalAndReservedFramesAre59AtTheLoad) {
  const Bytes file = Baseline();
  const size_t at = FrameOf(SegmentsOf(file)).offset + 1;
  for (uint8_t marker : {0xC3, 0xC5, 0xC6, 0xC7, 0xC8, 0xCB, 0xCD, 0xCE, 0xCF}) {
    SCOPED_TRACE(static_cast<int>(marker));
    Bytes crafted = file;
    crafted[at] = marker;
    ExpectFailure(crafted, FailsAt::Load, 59);
  }
}

TEST(JpegErrorCode, ArithmeticCodingLoadsButIs1AtTheCopy) {
  FileRecipe sequential;
  sequential.arithmetic = true;
  const Bytes sof9 = MakeJpegFile(sequential);
  ASSERT_TRUE(FindSegment(SegmentsOf(sof9), 0xC9).has_value());
  ExpectFailure(sof9, FailsAt::Copy, 1);

  FileRecipe progressive = sequential;
  progressive.progressive = true;
  const Bytes sof10 = MakeJpegFile(progressive);
  ASSERT_TRUE(FindSegment(SegmentsOf(sof10), 0xCA).has_value());
  ExpectFailure(sof10, FailsAt::Copy, 1);
}

TEST(JpegErrorCode, PrecisionOtherThan8Is13AtTheLoad) {
  const Bytes file = Baseline();
  const size_t precision = FrameOf(SegmentsOf(file)).offset + 4;
  ASSERT_EQ(file[precision], 8);
  for (uint8_t bits : {12, 16, 2}) {
    Bytes crafted = file;
    crafted[precision] = bits;
    ExpectFailure(crafted, FailsAt::Load, 13);
  }
}

TEST(JpegErrorCode, SideAbove65500Is40AtTheLoad) {
  const Bytes file = Baseline();
  const size_t frame = FrameOf(SegmentsOf(file)).offset;
  for (size_t field : {frame + 5, frame + 7}) {  // height, then width
    SCOPED_TRACE(field - frame);
    Bytes crafted = file;
    crafted[field] = 0xFF;  // 65501
    crafted[field + 1] = 0xDD;
    ExpectFailure(crafted, FailsAt::Load, 40);
    crafted[field + 1] = 0xDC;  // 65500 is allowed: the load passes
    const std::string path = TestPath("65500.jpg");
    WriteFile(path, crafted);
    WorkJpeg jpeg;
    EXPECT_NO_THROW(jpeg.LoadFromFile(path));
  }
}

TEST(JpegErrorCode, SideAbove65500Is40AtTheSave) {
  for (auto size : {std::pair<int, int>{65501, 1}, std::pair<int, int>{1, 65501}}) {
    WorkJpeg jpeg;
    jpeg.TakeCopyOf(Picture::CreateDisplayCompatible(size.first, size.second));
    try {
      jpeg.SaveToFile(TestPath("big.jpg"));
      ADD_FAILURE() << "saved";
    } catch (const Error& error) {
      EXPECT_EQ(error.Text(), "JPEG error #40");
    }
  }
}

TEST(JpegErrorCode, UndefinedMarkerIs67AtTheLoadInTheHeaderAndAtTheCopyAfterTheScan) {
  const Bytes file = Baseline();
  Bytes inHeader = file;
  inHeader.insert(inHeader.begin() + 2, {0xFF, 0x02});
  ExpectFailure(inHeader, FailsAt::Load, 67);

  Bytes afterScan = file;
  ASSERT_EQ(afterScan[afterScan.size() - 1], 0xD9);
  afterScan.insert(afterScan.end() - 2, {0xFF, 0x02});
  ExpectFailure(afterScan, FailsAt::Copy, 67);

  // Between the scans of a progressive file, which the load does not reach.
  FileRecipe recipe;
  recipe.progressive = true;
  const Bytes progressive = MakeJpegFile(recipe);
  const std::vector<Segment> segments = SegmentsOf(progressive);
  size_t scans = 0;
  for (const Segment& segment : segments) {
    if (segment.marker != 0xDA || ++scans != 2) continue;
    Bytes crafted = progressive;
    crafted.insert(crafted.begin() + segment.offset, {0xFF, 0x02});
    ExpectFailure(crafted, FailsAt::Copy, 67);
  }
  EXPECT_GE(scans, 2u);
}

TEST(JpegErrorCode, OtherFailuresShowTheLinkedLibrarysOwnCode) {
  const Bytes file = Baseline();
  const size_t frame = FrameOf(SegmentsOf(file)).offset;
  Bytes noWidth = file;
  noWidth[frame + 7] = 0;
  noWidth[frame + 8] = 0;
  ExpectFailure(noWidth, FailsAt::Load, JERR_EMPTY_IMAGE);

  // Two components have no picture form: refused at the copy.
  FileRecipe twoComponents;
  twoComponents.components = 2;
  twoComponents.inSpace = JCS_UNKNOWN;
  ExpectFailure(MakeJpegFile(twoComponents), FailsAt::Copy, JERR_CONVERSION_NOTIMPL);
}

TEST(JpegErrorCode, DamagedScanDataRaisesNothing) {
  Bytes file = Baseline();
  const std::vector<Segment> segments = SegmentsOf(file);
  const std::optional<Segment> data = FindSegment(segments, 0);
  ASSERT_TRUE(data.has_value());
  // Bits flipped, but never so that a marker appears.
  for (size_t i = data->offset + 4; i < data->offset + data->length; i += 7) {
    const uint8_t damaged = static_cast<uint8_t>(file[i] ^ 0x5A);
    if (file[i] != 0xFF && file[i - 1] != 0xFF && damaged != 0xFF) file[i] = damaged;
  }
  const Outcome outcome = LoadAndCopy(file);
  EXPECT_EQ(outcome.at, FailsAt::Nothing) << outcome.text;
}

}  // namespace
}  // namespace sw
