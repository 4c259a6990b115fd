#include <gtest/gtest.h>

#include <new>

#include "JpegKinds.h"
#include "JpegTestSupport.h"
#include "core/Messages.h"
#include "image/jpeg/JpegCodec.h"

namespace sw {
namespace {

using jpegtest::Bytes;
using jpegtest::FileRecipe;

// The first `limit` bytes of a file that claims to be longer, as a file that
// shrinks while it is read, or that fails part way, looks to its reader.
class ShortSource : public ByteSource {
 public:
  ShortSource(const Bytes& bytes, size_t limit) : bytes_(bytes), limit_(limit) {}
  size_t Read(void* buffer, size_t count) override {
    const size_t n = std::min(count, limit_ - std::min(limit_, position_));
    std::copy(bytes_.begin() + static_cast<long>(position_), bytes_.begin() + static_cast<long>(position_ + n),
              static_cast<uint8_t*>(buffer));
    position_ += n;
    return n;
  }

 private:
  const Bytes& bytes_;
  size_t limit_;
  size_t position_ = 0;
};

// Takes `capacity` bytes, then fails as its kind of sink does.
class FullSink : public ByteSink {
 public:
  FullSink(size_t capacity, bool memory) : capacity_(capacity), memory_(memory) {}
  void Write(const void*, size_t count) override {
    if (taken_ + count > capacity_) {
      if (memory_) throw std::bad_alloc();
      throw msg::WriteError();
    }
    taken_ += count;
  }

 private:
  size_t capacity_;
  bool memory_;
  size_t taken_ = 0;
};

std::string DecodeFailure(ByteSource& source, uint64_t size) {
  try {
    jpeg::RowDecoder decoder(source, size, false);
    decoder.Start();
    std::vector<uint8_t> row(static_cast<size_t>(decoder.Width()) * 3);
    for (int32_t y = 0; y < decoder.Height(); ++y) decoder.ReadRow(row.data());
    decoder.Finish();
  } catch (const Error& error) {
    return error.Text();
  }
  return "";
}

TEST(JpegRowDecoding, RowsReadOneAtATimeAreTheWholeDecodesRows) {
  FileRecipe grey;
  grey.components = 1;
  grey.inSpace = JCS_GRAYSCALE;
  FileRecipe cmyk;
  cmyk.components = 4;
  cmyk.inSpace = JCS_CMYK;
  cmyk.fileSpace = JCS_YCCK;
  FileRecipe progressive;
  progressive.progressive = true;
  for (const FileRecipe& recipe : {FileRecipe{}, grey, cmyk, progressive}) {
    for (bool eightBit : {false, true}) {
      const Bytes file = jpegtest::MakeJpegFile(recipe);
      const Picture whole = jpeg::Decode(file.data(), file.size(), eightBit);
      MemorySource source(file);
      jpeg::RowDecoder decoder(source, file.size(), eightBit);
      decoder.Start();
      ASSERT_EQ(decoder.Width(), whole.Width());
      ASSERT_EQ(decoder.Height(), whole.Height());
      ASSERT_EQ(decoder.Paletted(), whole.BitsPerPixel() == 8);
      if (decoder.Paletted()) EXPECT_EQ(decoder.Palette().size(), whole.ColorTable().size());
      const size_t bytes = static_cast<size_t>(whole.Width()) * (decoder.Paletted() ? 1 : 3);
      std::vector<uint8_t> row(bytes);
      for (int32_t y = 0; y < whole.Height(); ++y) {
        decoder.ReadRow(row.data());
        ASSERT_TRUE(std::equal(row.begin(), row.end(), whole.Row(y))) << recipe.components << " row " << y;
      }
      decoder.Finish();
    }
  }
}

// The rows from `row` on of a decode that passes over the rows above it.
std::vector<Bytes> RowsAfterPassingOver(const Bytes& file, int32_t row) {
  MemorySource source(file);
  jpeg::RowDecoder decoder(source, file.size(), false);
  decoder.Start();
  if (row > 0) decoder.PassOver(row);
  std::vector<Bytes> rows;
  for (int32_t y = row; y < decoder.Height(); ++y) {
    rows.emplace_back(static_cast<size_t>(decoder.Width()) * 3);
    decoder.ReadRow(rows.back().data());
  }
  decoder.Finish();
  return rows;
}

TEST(JpegRowDecoding, RowsAfterAPassOverAreTheWholeDecodesFromAnyRowOn) {
  std::vector<std::pair<std::string, Bytes>> kinds;
  for (const auto& kind : test::JpegKinds()) {
    MemorySource source(kind.second);
    jpeg::RowDecoder decoder(source, kind.second.size(), false);
    decoder.Start();
    // Grey rows are quantized; progressive files and separate scans are
    // decoded whole at the start.
    const bool single = kind.first == "baseline" || kind.first == "cmyk" || kind.first == "restarts" ||
                        kind.first == "cut short";
    EXPECT_EQ(decoder.PassesOver(), single) << kind.first;
    if (single) kinds.push_back(kind);
    MemorySource again(kind.second);
    jpeg::RowDecoder eightBit(again, kind.second.size(), true);
    eightBit.Start();
    EXPECT_FALSE(eightBit.PassesOver()) << kind.first;
  }
  // Every chroma sampling, some upsampled from the rows around them, on
  // pictures of several rows of blocks that end inside one.
  for (const auto& sampling : std::vector<std::pair<int, int>>{{1, 1}, {2, 1}, {1, 2}, {2, 2}, {4, 1}, {1, 4}}) {
    FileRecipe recipe;
    recipe.width = 43;
    recipe.height = 71;
    recipe.lumaSampling[0] = sampling.first;
    recipe.lumaSampling[1] = sampling.second;
    kinds.push_back({std::to_string(sampling.first) + "x" + std::to_string(sampling.second), jpegtest::MakeJpegFile(recipe)});
  }
  for (const auto& kind : kinds) {
    const Picture whole = jpeg::Decode(kind.second.data(), kind.second.size(), false);
    for (int32_t row = 0; row < whole.Height(); ++row) {
      const std::vector<Bytes> rows = RowsAfterPassingOver(kind.second, row);
      ASSERT_EQ(rows.size(), static_cast<size_t>(whole.Height() - row));
      for (int32_t y = row; y < whole.Height(); ++y)
        ASSERT_TRUE(std::equal(rows[y - row].begin(), rows[y - row].end(), whole.Row(y)))
            << kind.first << ": row " << y << " after passing over " << row;
    }
  }
}

TEST(JpegRowDecoding, AFileThatGivesFewerBytesThanItsSizeIsAReadError) {
  FileRecipe recipe;
  recipe.width = 200;
  recipe.height = 120;
  const Bytes file = jpegtest::MakeJpegFile(recipe);
  for (size_t limit : {size_t{0}, size_t{100}, file.size() / 2, file.size() - 1}) {
    ShortSource source(file, limit);
    EXPECT_EQ(DecodeFailure(source, file.size()), "Stream read error") << limit;
  }
  ShortSource whole(file, file.size());
  EXPECT_EQ(DecodeFailure(whole, file.size()), "");
}

TEST(JpegRowEncoding, ASinkThatFillsUpEndsTheEncodeWithItsOwnError) {
  const Picture picture = jpegtest::PatternPicture(300, 200);
  for (bool memory : {false, true}) {
    for (bool progressive : {false, true}) {
      FullSink sink(10000, memory);
      jpeg::RowEncoder encoder(sink);
      std::string failure;
      try {
        encoder.Start(picture.Width(), picture.Height(), progressive);
        std::vector<ColorValue> colors(300);
        std::vector<uint8_t> bgrx(1200);
        for (int32_t y = 0; y < picture.Height(); ++y) {
          picture.ReadRow(y, colors.data());
          jpeg::PackBgrx(colors.data(), bgrx.data(), colors.size());
          encoder.WriteRow(bgrx.data());
        }
        encoder.Finish();
      } catch (const Error& error) {
        failure = error.Text();
      }
      EXPECT_EQ(failure, memory ? "Out of memory while expanding memory stream" : "Stream write error")
          << progressive;
    }
  }
}

// Rows go to the encoder as a display-compatible picture stores them: blue,
// green, red and a byte that carries no colour.
TEST(JpegRowEncoding, RowsAreTakenInTheStoredOrderWhateverTheirFourthByte) {
  const int32_t width = 67, height = 45;
  const Picture pattern = jpegtest::PatternPicture(width, height, 32);
  const Bytes whole = jpeg::Encode(&pattern, false);
  ASSERT_FALSE(whole.empty());
  for (uint8_t unused : {0x00, 0x5A, 0xFF}) {
    MemorySink sink;
    jpeg::RowEncoder encoder(sink);
    encoder.Start(width, height, false);
    std::vector<uint8_t> row(4 * static_cast<size_t>(width));
    for (int32_t y = 0; y < height; ++y) {
      std::copy(pattern.Row(y), pattern.Row(y) + row.size(), row.begin());
      for (size_t x = 3; x < row.size(); x += 4) row[x] = unused;
      encoder.WriteRow(row.data());
    }
    encoder.Finish();
    EXPECT_EQ(sink.Bytes(), whole) << "fourth byte " << int{unused};
  }

  // Each channel lands where it belongs: a flat colour comes back as itself,
  // give or take the quantizer's rounding.
  Picture flat = Picture::CreateDisplayCompatible(16, 16);
  const ColorValue color = 0x00204080;  // red 0x80, green 0x40, blue 0x20
  for (int32_t y = 0; y < 16; ++y)
    for (int32_t x = 0; x < 16; ++x) flat.WritePixel(x, y, color);
  const Bytes encoded = jpeg::Encode(&flat, false);
  const Picture decoded = jpeg::Decode(encoded.data(), encoded.size(), false);
  const ColorValue back = decoded.ReadPixel(7, 7);
  for (int shift : {0, 8, 16})
    EXPECT_NEAR(static_cast<int>((back >> shift) & 0xFF), static_cast<int>((color >> shift) & 0xFF), 3) << shift;
}

TEST(JpegRowEncoding, AnEmptyPictureTakesNoRowsAndGivesNoBytes) {
  MemorySink sink;
  jpeg::RowEncoder encoder(sink);
  encoder.Start(0, 7, true);
  encoder.Finish();
  EXPECT_TRUE(sink.Bytes().empty());
}

}  // namespace
}  // namespace sw
